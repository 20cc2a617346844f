#include "app/support/VTVersion.h"
#include "app/support/tests/VTVersionFixture.h"

#include "platform/foundation/NSJSONSerialization.h"
#include "platform/uikit/UIApplication.h"

#include <gtest/gtest.h>

namespace {

VTVersion version(const std::string& text) { return VTVersion(text, "", false); }

TEST(VTVersionTest, ComparesVersions) {
    struct Case {
        const char* a;
        const char* b;
        NSComparisonResult result;
    };
    const Case cases[] = {
        {"1.3", "1.2", NSOrderedDescending}, {"1.2", "1.3", NSOrderedAscending},  {"1.2", "1.2", NSOrderedSame},
        {"1.2b", "1.2", NSOrderedAscending}, {"1.2", "1.2b", NSOrderedDescending}, {"1.10", "1.9", NSOrderedDescending},
        {"1.9", "1.10", NSOrderedAscending}, {"2", "1.9.9", NSOrderedDescending},  {"1.2a", "1.2b", NSOrderedAscending},
        {"1.3b", "1.2", NSOrderedDescending}, {"b", "", NSOrderedAscending},       {"", "b", NSOrderedDescending},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        EXPECT_EQ(version(c.a).compare(version(c.b)), c.result);
    }
}

TEST(VTVersionTest, RecordsFromTheServicesVersionObject) {
    struct Case {
        const char* json;
        bool valid;
        std::string number = {};
        std::string installUrl = {};
        bool mandatory = false;
    };
    const Case cases[] = {
        {R"({"number":"1.3","install_url":"cydia://package/x","mandatory":true})", true, "1.3", "cydia://package/x", true},
        {R"({"number":2})", true, "2"},
        {R"({"number":1.5,"mandatory":1})", true, "1.5", "", true},
        {R"({"number":"1","mandatory":false})", true, "1"},
        {R"({"number":"1","mandatory":2})", true, "1"},
        {R"({"number":"1","mandatory":null,"install_url":null})", true, "1"},
        {R"({"number":"1","mandatory":"yes"})", false},
        {R"({"number":"1","install_url":5})", false},
        {R"({"number":null})", false},
        {R"({"install_url":"x"})", false},
        {R"(["number"])", false},
        {R"("1.3")", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        NSLogCapture log;
        auto value = NSJSONSerialization::JSONObjectWithData(std::string_view(c.json), NSJSONReadingAllowFragments);
        ASSERT_TRUE(value);
        auto record = VTVersion::initWithDictionary(*value);
        ASSERT_EQ(bool(record), c.valid);
        if (!record) {
            EXPECT_TRUE(log.contains("VTVersionTracker :: Attempted to created invalid version"));
            continue;
        }
        EXPECT_EQ(record->versionString(), c.number);
        EXPECT_EQ(record->installUrl(), c.installUrl);
        EXPECT_EQ(record->mandatory(), c.mandatory);
        EXPECT_EQ(record->descriptionText(), "");
    }
}

TEST(VTVersionTest, RecordsFromReplyBodies) {
    EXPECT_EQ(VTVersion::versionFromServiceReply(R"({"version":{"number":"1.3"}})")->versionString(), "1.3");
    for (const char* body : {"", "{", "[1]", "{}", R"({"version":null})", R"({"version":"1.3"})", "\xff\xfe"}) {
        SCOPED_TRACE(body);
        EXPECT_FALSE(VTVersion::versionFromServiceReply(body));
    }
}

TEST(VTVersionTest, InstallOpensTheAddressWhenThereIsOne) {
    auto app = UIApplication::sharedApplication();
    app->reset();
    EXPECT_FALSE(VTVersion("1.3", "cydia://package/org.harborstack.tandrel", true).install());
    ASSERT_EQ(app->openedURLs().size(), 1u);
    EXPECT_EQ(app->openedURLs()[0]->absoluteString(), "cydia://package/org.harborstack.tandrel");
    EXPECT_FALSE(VTVersion("1.3", "", true).install());
    EXPECT_EQ(app->openedURLs().size(), 1u);
    app->reset();
}

class VTLocalVersionTest : public VTVersionServiceTest {};

TEST_F(VTLocalVersionTest, TheBundleVersionOrZero) {
    setLocalVersion("1.2");
    EXPECT_EQ(VTVersion::currentLocalVersion()->versionString(), "1.2");
    EXPECT_FALSE(VTVersion::currentLocalVersion()->mandatory());
}

TEST_F(VTLocalVersionTest, ZeroWithoutABundleVersion) {
    setLocalVersion("");
    EXPECT_EQ(VTVersion::currentLocalVersion()->versionString(), "0");
}

TEST_F(VTLocalVersionTest, LatestRemoteVersionAsksTheChannelWithoutTheCache) {
    serve({{200, R"({"version":{"number":"1.3","install_url":"cydia://x","mandatory":false}})"}});
    auto latest = VTVersion::latestRemoteVersionForChannelWithBaseUrl("release", baseUrl());
    ASSERT_TRUE(latest);
    EXPECT_EQ(latest->versionString(), "1.3");
    ASSERT_EQ(server_.requestCount(), 1u);
    EXPECT_EQ(server_.requests()[0].method, "GET");
    EXPECT_EQ(server_.requests()[0].target, "/Tandrel/track/release");

    EXPECT_FALSE(VTVersion::latestRemoteVersionForChannelWithBaseUrl("", baseUrl()));
    EXPECT_FALSE(VTVersion::latestRemoteVersionForChannelWithBaseUrl("release", ""));
    EXPECT_EQ(server_.requestCount(), 1u);

    for (const VTServiceReply& reply : std::vector<VTServiceReply>{{404, R"({"version":{"number":"9"}})"},
                                                                   {200, ""},
                                                                   {500, R"({"version":{"number":"9"}})"}}) {
        SCOPED_TRACE(reply.status);
        serve({reply});
        EXPECT_FALSE(VTVersion::latestRemoteVersionForChannelWithBaseUrl("release", baseUrl()));
    }
    server_.stop();
    EXPECT_FALSE(VTVersion::latestRemoteVersionForChannelWithBaseUrl("release", baseUrl()));
}

} // namespace
