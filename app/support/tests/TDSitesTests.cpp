#include "app/support/TDSites.h"
#include "platform/testsupport/DeviceTest.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(TDSitesTest, OnlyHTTPOriginsAreTaken) {
    struct Case {
        const char* text;
        const char* origin;
    };
    const Case cases[] = {
        {"http://127.0.0.1:8123", "http://127.0.0.1:8123"},
        {"http://127.0.0.1:8123/", "http://127.0.0.1:8123"},
        {"https://mirror.example", "https://mirror.example"},
        {"http://127.0.0.1:8123/path", ""},
        {"http://127.0.0.1?q=1", ""},
        {"http://user@host", ""},
        {"ftp://host", ""},
        {"file:///tmp", ""},
        {"127.0.0.1:8123", ""},
        {"http://", ""},
        {"not an origin", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(TDSites::normalizedOrigin(c.text), c.origin);
    }
}

TEST(TDSitesTest, ProductionAddressesUnlessTheEnvironmentMovesThem) {
    EXPECT_EQ(TDSites::videoInformationOrigin(), "http://www.youtube.com");
    EXPECT_EQ(TDSites::videoImageOrigin(), "http://img.youtube.com");
    EXPECT_EQ(TDSites::videoDataFeedOrigin(), "http://gdata.youtube.com");
    EXPECT_EQ(TDSites::versionServiceBaseURL(), "http://harborstack.org/Tandrel");

    NSLogCapture log;
    ::setenv("TANDREL_VIDEO_SITE", "http://127.0.0.1:8123", 1);
    ::setenv("TANDREL_MAKER_SITE", "http://127.0.0.1:9/x", 1);
    TDSites::loadFromEnvironment();
    EXPECT_EQ(TDSites::videoInformationOrigin(), "http://127.0.0.1:8123");
    EXPECT_EQ(TDSites::videoImageOrigin(), "http://127.0.0.1:8123");
    EXPECT_EQ(TDSites::videoDataFeedOrigin(), "http://127.0.0.1:8123");
    EXPECT_EQ(TDSites::versionServiceBaseURL(), "http://harborstack.org/Tandrel");
    EXPECT_TRUE(log.contains("TANDREL_MAKER_SITE is not an http(s) origin, ignored: http://127.0.0.1:9/x"));

    ASSERT_TRUE(TDSites::setMakerSiteOrigin("http://127.0.0.1:9"));
    EXPECT_EQ(TDSites::versionServiceBaseURL(), "http://127.0.0.1:9/Tandrel");
    EXPECT_EQ(TDSites::bookmarkletInstallerURL(),
              "http://127.0.0.1:9/Tandrel/egg.php?bookmark=javascript:window.location='tandrel://'+document.URL;");
    ::unsetenv("TANDREL_VIDEO_SITE");
    ::unsetenv("TANDREL_MAKER_SITE");
}

TEST(TDSitesTest, TheProbeMovesToAnyHTTPURLFromTheEnvironment) {
    EXPECT_EQ(TDSites::reachabilityProbeURL(), TDSites::kReachabilityProbePage);
    struct Case {
        const char* text;
        bool taken;
    };
    const Case cases[] = {
        {"http://127.0.0.1:8123/", true},
        {"https://127.0.0.1:8123/page?q=1", true},
        {"ftp://127.0.0.1/", false},
        {"http:127.0.0.1", false},
        {"http://", false},
        {"127.0.0.1:8123", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        NSLogCapture log;
        ::setenv("TANDREL_PROBE_URL", c.text, 1);
        TDSites::loadFromEnvironment();
        EXPECT_EQ(TDSites::reachabilityProbeURL(), c.taken ? c.text : TDSites::kReachabilityProbePage);
        EXPECT_EQ(log.contains(std::string("TANDREL_PROBE_URL is not an http(s) URL, ignored: ") + c.text), !c.taken);
        TDSites::setReachabilityProbeURL("");
    }
    ::unsetenv("TANDREL_PROBE_URL");
}

} // namespace
