// The protocol against another Avro implementation: Debian's python3-avro, with schemas written
// from the protocol's tables on its own side (tests/avro_checker.py).
#include "platform/foundation/PlatformClock.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/ShellCommand.h"
#include "sdk/ads/VuderuAdLogRequest.h"
#include "sdk/ads/VuderuAdLogResponse.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuAdResponse.h"
#include "sdk/ads/tests/DynamicFakes.h"
#include "sdk/analytics/VuderuGlobalVariableStorage.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

class AvroInteropTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        makeDirectory("/tmp");
    }
    // Runs the checker; its exit status, and its standard output in `output`.
    int checker(const std::string& arguments, std::string* output = nullptr) const {
        return runShellCommand("/usr/bin/python3 '" VUDERU_ADS_TESTS_DIR "/avro_checker.py' " + arguments, output);
    }
    NSData hostFile(const std::string& devicePath) const {
        std::ifstream in(host(devicePath), std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        std::string text = bytes.str();
        return NSData(text.data(), text.size());
    }
};

} // namespace

TEST_F(AvroInteropTest, ResponsesEncodedElsewhereDecodeIntoUnits) {
    ASSERT_EQ(checker("encode-response '" + host("/tmp/response.avro") + "'"), 0);
    auto units = VuderuAdResponse().parseAdResponse(hostFile("/tmp/response.avro"));
    ASSERT_TRUE(units);
    ASSERT_EQ(units->size(), 3u);
    const auto& alpha = *units->at(0);
    EXPECT_EQ(alpha.adSpace(), "alpha");
    EXPECT_EQ(alpha.expiration(), 1700000000000);
    EXPECT_EQ(alpha.groupId(), "group-alpha");
    EXPECT_EQ(alpha.idHash(), "hash-alpha");
    EXPECT_EQ(alpha.serveTime(), 1600000000000);
    EXPECT_EQ(alpha.newCap(), 3);
    EXPECT_EQ(alpha.prevCap(), -1);
    EXPECT_EQ(alpha.expirationTime(), 1800000000000);
    EXPECT_TRUE(alpha.videoAutoPlay());
    EXPECT_TRUE(alpha.preRender());
    EXPECT_EQ(alpha.preRenderTimeoutMillis(), 10000);
    EXPECT_EQ(alpha.preCacheAdSkippableTimeLimit(), 20000);
    EXPECT_EQ(alpha.screenOrientation(), 0);
    EXPECT_EQ(alpha.clientSideRtbPayload(), (std::map<std::string, std::string>{{"bid", "0.5"}}));
    ASSERT_EQ(alpha.adFrames().size(), 2u);
    const auto& a1 = *alpha.adFrames()[0];
    EXPECT_EQ(a1.adLogGUID(), "a1");
    EXPECT_EQ(a1.display(), "<html>a1</html>");
    EXPECT_EQ(a1.content(), "content of a1");
    EXPECT_EQ(a1.assetExpiration(), 1);
    EXPECT_TRUE(a1.adSpaceLayout()->isTakeover());
    EXPECT_EQ(a1.adCallbacks()->size(), 2u);
    EXPECT_EQ(a1.adCallbacks()->at("clicked")->actions(), (std::vector<std::string>{"sendUrl", "directOpen"}));
    EXPECT_TRUE(a1.adCallbacks()->at("rendered")->actions().empty());
    EXPECT_EQ(*a1.cacheWhitelistedAssets(), std::vector<std::string>{"white.mp4"});
    EXPECT_TRUE(alpha.adFrames()[1]->adCallbacks()->empty());
    EXPECT_EQ(units->at(1)->clientSideRtbPayload(), std::nullopt);
    EXPECT_EQ(units->at(1)->screenOrientation(), 1);
    EXPECT_EQ(units->at(1)->newCap(), -1);
    EXPECT_EQ(units->at(2)->screenOrientation(), 2);
    EXPECT_FALSE(units->at(2)->adFrames()[0]->adSpaceLayout()->isTakeover());
    auto manager = VuderuAdManager::instance();
    EXPECT_EQ(manager->sdkAssetUrl(), "https://assets.example/v2/ios.zip");
    EXPECT_EQ(manager->cacheSize(), 20971520);
    EXPECT_EQ(manager->maxAssetSize(), 2072576);
}

TEST_F(AvroInteropTest, AdLogRequestsDecodeFieldByFieldAndReencodeAlike) {
    auto settings = VuderuGlobalVariableStorage::sharedInstance();
    settings->setMacAddressEnabled(false);
    settings->setApiKey("KEY");
    registerVendorIdentifier("V1");
    PlatformClock::setManual(1500.25);
    auto log = std::make_shared<VuderuAdLog>(1000, "g");
    auto event = std::make_shared<VuderuAdEvent>(5, std::nullopt, std::make_shared<VuderuAdEvent::ParamMap>(VuderuAdEvent::ParamMap{{"a", "1"}}), 7);
    event->setToBeSent(true);
    log->logAdEvent(event);
    log->pushEventsForTransferWithIdentifier("t");
    auto body = VuderuAdLogRequest({log}, "t").dataRepresentation();
    NSUnregisterClass("UIDevice");
    ASSERT_NE(body, nullptr);
    ASSERT_TRUE(body->writeToFile("/tmp/request.avro", true));
    std::string output;
    ASSERT_EQ(checker("check-log-request '" + host("/tmp/request.avro") + "'", &output), 0) << output;
    EXPECT_EQ(output, R"({"adReportedIds": [{"id": "5631", "type": 6}], "agentTimestamp": 1500250, "agentVersion": "137", "apiKey": "KEY", )"
                      R"("sdkAdLogs": [{"adLogGUID": "g", "sdkAdEvents": [{"params": {"a": "1"}, "timeOffset": 7, "type": "rendered"}], )"
                      R"("sessionId": 1000}], "testDevice": false})"
                      "\n");
}

TEST_F(AvroInteropTest, AdLogResponsesEncodedElsewhereDecode) {
    ASSERT_EQ(checker("encode-log-response '" + host("/tmp/log.avro") + "' SUCCESS 'first error' second"), 0);
    auto response = std::make_shared<VuderuAdLogResponse>();
    ASSERT_EQ(response->parseAdLogResponse(hostFile("/tmp/log.avro")), response);
    EXPECT_TRUE(response->isResultSuccess());
    EXPECT_EQ(response->errors(), (std::vector<std::string>{"first error", "second"}));
}
