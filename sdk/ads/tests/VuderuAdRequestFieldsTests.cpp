// What an ad request carries, read back by another Avro implementation (tests/avro_checker.py
// on Debian's python3-avro) from the bytes the loopback ad server received.
#include "platform/foundation/NSPropertyListSerialization.h"
#include "platform/testsupport/ShellCommand.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuAdProperties.h"
#include "sdk/ads/VuderuContentLoadingManager.h"
#include "sdk/ads/VuderuFreqCapInfo.h"
#include "sdk/ads/tests/AdRequestFixture.h"

#include <fstream>

namespace {

class AdRequestFieldsTest : public AdRequestTest {
protected:
    // The checker's JSON of the one request the server received ("" when it does not decode or
    // re-encode to the same bytes).
    std::string postedRequestAsJson() {
        auto requests = collector_.requests();
        EXPECT_EQ(requests.size(), 1u);
        if (requests.size() != 1) return {};
        makeDirectory("/tmp");
        std::ofstream(host("/tmp/request.avro"), std::ios::binary) << requests[0].body;
        std::string command = "/usr/bin/python3 '" VUDERU_ADS_TESTS_DIR "/avro_checker.py' check-request '" + host("/tmp/request.avro") + "'";
        std::string text;
        EXPECT_EQ(runShellCommand(command, &text), 0) << text;
        return text;
    }
    // The SDK bundle's index entry, cached that many days before now.
    void storeBundleCachedDaysAgo(double days) {
        const std::string root = "/var/mobile/Library/Caches/VuderuFiles";
        makeDirectory(root);
        Value::Dictionary entry{{"cachedTime", Value::Date{PlatformClock::now() - days * 86400}}, {"resourceId", kVuderuSDKAssetsResourceId}};
        ASSERT_TRUE(NSPropertyListSerialization::writePropertyListToFile(Value(Value::Dictionary{{kVuderuSDKAssetsResourceId, entry}}),
                                                                        root + "/" + kLocalAssetLookup, true));
    }
};

VuderuFreqCapInfoPtr cap(const std::string& hash, std::int32_t views, std::int32_t newCap) {
    auto info = std::make_shared<VuderuFreqCapInfo>();
    info->idHash = hash;
    info->serveTime = 1600000000000;
    info->expirationTime = 1800000000000;
    info->views = views;
    info->newCap = newCap;
    info->prevCap = 1;
    info->prevCapType = 2;
    return info;
}

} // namespace

TEST_F(AdRequestFieldsTest, EveryFieldReadsBackFromThePostedBytes) {
    VuderuAdProperties::setKeywords(VuderuAdProperties::Dictionary{{"color", "blue"}, {"size", "big"}});
    VuderuFreqCapManager::storeFreqCapInfo(cap("h1", 2, 5));
    VuderuFreqCapManager::storeFreqCapInfo(cap("h2", 0, 3));
    VuderuAdManager::setupDefaultsForAdSpaceSize("banner", 430);
    auto connector = std::make_shared<FakeDynamicObject>(std::map<std::string, Value>{{"testAdID", "T-1"}});
    NSRegisterClass("VuderuAdsTestConnector", std::make_shared<FakeDynamicObject>(std::map<std::string, Value>{{"sharedInstance", Value(connector)}}));
    storeBundleCachedDaysAgo(1);

    fetch("banner", {{"bid", "0.5"}, {"seat", "s1"}}, true);
    const std::string json = postedRequestAsJson();
    const char* expected[] = {
        R"("apiKey": "KEY")",
        R"("adSpaceName": "banner")",
        R"("adReportedIds": [{"id": "5631", "type": 6}])",
        R"("bindings": [1, 2, 3, 4, 5, 6])",
        R"("adViewContainer": {"density": 2.0, "screenHeight": 568, "screenOrientation": "PORTRAIT", "screenWidth": 320, "viewHeight": 50, "viewWidth": 320})",
        R"("testAds": {"adspacePlacement": 430})",
        R"("keywords": {"color": "blue", "size": "big"})",
        R"("refresh": false)",
        R"("sendConfiguration": false)",
        R"("bcat": ["VUDERU_VIEWER", "T-1"])",
        R"("targetingOverride": {"ageRange": -2, "gender": -2, "personas": []})",
        R"("renderTime": true)",
        R"("clientSideRtbPayload": {"bid": "0.5", "seat": "s1"})",
        R"({"expirationTime": 1800000000000, "idHash": "h1", "newCap": 5, "previousCap": 1, "previousCapType": 2, "serveTime": 1600000000000, "views": 2})",
        R"({"expirationTime": 1800000000000, "idHash": "h2", "newCap": 3, "previousCap": 1, "previousCapType": 2, "serveTime": 1600000000000, "views": 0})",
    };
    for (const char* field : expected) EXPECT_NE(json.find(field), std::string::npos) << field << "\nin " << json;
}

TEST_F(AdRequestFieldsTest, AnEmptySpaceAsksForRefreshAndConfiguration) {
    storeBundleCachedDaysAgo(1);
    fetch("");
    const std::string json = postedRequestAsJson();
    EXPECT_NE(json.find(R"("refresh": true)"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("sendConfiguration": true)"), std::string::npos) << json;
}

TEST_F(AdRequestFieldsTest, ABundleCachedSixDaysAgoNeedsNoConfiguration) {
    storeBundleCachedDaysAgo(6);
    EXPECT_FALSE(VuderuAdRequest::shouldSendConfiguration("banner"));
}

TEST_F(AdRequestFieldsTest, ABundleCachedEightDaysAgoAsksForConfiguration) {
    storeBundleCachedDaysAgo(8);
    EXPECT_TRUE(VuderuAdRequest::shouldSendConfiguration("banner"));
}

TEST_F(AdRequestFieldsTest, NoBundleAsksForConfiguration) { EXPECT_TRUE(VuderuAdRequest::shouldSendConfiguration("banner")); }

// A keyword that is not UTF-8 cannot be shown as JSON in the log; the request goes all the same.
TEST_F(AdRequestFieldsTest, AKeywordThatIsNotUtf8StillSends) {
    VuderuUtil::setLogLevel(2);
    VuderuAdProperties::setKeywords(VuderuAdProperties::Dictionary{{"k", "\xff\xfe"}});
    fetch();
    ASSERT_EQ(collector_.requestCount(), 1u);
    // The keyword map as written: one entry, "k", its four-byte value, the end.
    EXPECT_NE(collector_.bodies()[0].find(std::string("\x02\x02k\x04\xff\xfe") + '\0'), std::string::npos);
    EXPECT_TRUE(logged("Unable to get JSON from request, error a text that is not UTF-8"));
}
