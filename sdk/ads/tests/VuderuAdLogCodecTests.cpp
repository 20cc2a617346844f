#include "platform/foundation/PlatformClock.h"
#include "platform/testsupport/DeviceTest.h"
#include "sdk/ads/VuderuAdLogRequest.h"
#include "sdk/ads/VuderuAdLogResponse.h"
#include "sdk/ads/VuderuAvro.h"
#include "sdk/ads/tests/AdLogBuilders.h"
#include "sdk/ads/tests/AvroBytes.h"
#include "sdk/ads/tests/DynamicFakes.h"
#include "sdk/analytics/VuderuGlobalVariableStorage.h"
#include "sdk/analytics/VuderuUtil.h"

#include <gtest/gtest.h>

namespace {

// An event with parameters and no raw name.
VuderuAdEventPtr paramEvent(std::int32_t id, bool toBeSent, std::int64_t offset, VuderuAdEvent::ParamMap params = {}) {
    return adlog_builders::event(id, toBeSent, offset, std::nullopt, std::move(params));
}

VuderuAdLogPtr logWith(std::optional<std::string> guid, std::vector<VuderuAdEventPtr> events, const std::string& transfer) {
    auto log = std::make_shared<VuderuAdLog>(1000, std::move(guid));
    for (const auto& e : events) log->logAdEvent(e);
    log->pushEventsForTransferWithIdentifier(transfer);
    return log;
}

class AdLogCodecTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        auto settings = VuderuGlobalVariableStorage::sharedInstance();
        settings->setMacAddressEnabled(false);
        settings->setApiKey("KEY");
        registerVendorIdentifier("V1");
        PlatformClock::setManual(1500.25);
    }
    void TearDown() override {
        if (HasFailure()) {
            for (const auto& line : log_->lines()) std::fprintf(stderr, "%s\n", line.c_str());
        }
        NSUnregisterClass("UIDevice");
        VuderuUtil::setLogLevel(1);
        DeviceTest::TearDown();
    }
    bool logged(const std::string& line) const {
        auto lines = log_->lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

// The fields of the request around its list of logs, as written on the wire.
std::string requestAround(const std::string& adLogs) {
    return std::string("\x06KEY")                 // apiKey
           + "\x02" + "\x0c" + "\x04V1" + '\0'     // one AdReportedId: type 6, id "V1"; end of array
           + adLogs                                // sdkAdLogs
           + "\xb4\x91\xb7\x01"                    // agentTimestamp 1500250
           + "\x06" "137"                          // agentVersion
           + '\0';                                 // testDevice false
}

} // namespace

TEST_F(AdLogCodecTest, RequestBytesAsWritten) {
    std::vector<VuderuAdLogPtr> logs = {
        logWith("g", {paramEvent(5, true, 7, {{"a", "1"}}), paramEvent(7, false, 8)}, "t"),
        logWith(std::nullopt, {paramEvent(3, true, 0)}, "t"),
        logWith("other transfer", {paramEvent(3, true, 0)}, "u"),
    };
    VuderuUtil::setLogLevel(2);
    auto body = VuderuAdLogRequest(logs, "t").dataRepresentation();
    ASSERT_NE(body, nullptr);
    const std::string adLogs = std::string("\x04")                                                   // two SdkAdLogs
                               + "\xd0\x0f" + "\x02g"                                            // sessionId 1000, GUID "g"
                               + "\x02" + "\x10rendered" + "\x02\x02" "a" "\x02" "1" + '\0' + "\x0e" + '\0' // one event; its map; offset 7
                               + "\xd0\x0f" + '\0'                                               // sessionId 1000, GUID ""
                               + "\x02" + "\x0c" "filled" + '\0' + '\0' + '\0'                   // one event, empty map, offset 0
                               + '\0';                                                           // end of the logs
    EXPECT_EQ(body->stringView(), requestAround(adLogs));
    EXPECT_TRUE(logged("AdLogRequest: Empty adevent array found for guid other transfer"));
    EXPECT_TRUE(logged("Successfully parsed ad log request schema"));
}

TEST_F(AdLogCodecTest, BatchWithoutEventsForTheTransferSendsNoLogs) {
    std::vector<VuderuAdLogPtr> logs = {logWith("g", {paramEvent(5, true, 1)}, "other")};
    auto body = VuderuAdLogRequest(logs, "t").dataRepresentation();
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->stringView(), requestAround(std::string(1, '\0')));
}

TEST_F(AdLogCodecTest, TextsJsonCannotRenderStillGoOut) {
    std::vector<VuderuAdLogPtr> logs = {logWith("g", {paramEvent(5, true, 1, {{"keyword", "caf\xe9"}})}, "t")};
    VuderuUtil::setLogLevel(2);
    auto body = VuderuAdLogRequest(logs, "t").dataRepresentation();
    ASSERT_NE(body, nullptr);
    EXPECT_NE(body->stringView().find("\x08" "caf\xe9"), std::string_view::npos);
    EXPECT_TRUE(logged("AdLogRequest ERROR: cannot get JSON AdRequest"));
}

TEST_F(AdLogCodecTest, ResponseResultAndErrors) {
    struct Case {
        std::string bytes;
        std::string result;
        std::vector<std::string> errors;
        bool success;
    } cases[] = {
        {std::string("\x0e" "success") + '\0', "success", {}, true},
        {std::string("\x0e" "SUCCESS") + "\x02\x06" "bad" + '\0', "SUCCESS", {"bad"}, true},
        {std::string("\x08" "fail") + "\x04\x02" "a" "\x02" "b" + '\0', "fail", {"a", "b"}, false},
        {std::string("\x10" "successs") + '\0', "successs", {}, false},
        // Two blocks of the array, the second given with its byte size (negative count).
        {std::string("\x0e" "success") + "\x02\x02" "a" "\x01\x04\x02" "b" + '\0', "success", {"a", "b"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.result);
        auto response = std::make_shared<VuderuAdLogResponse>();
        auto parsed = response->parseAdLogResponse(NSData(c.bytes.data(), c.bytes.size()));
        ASSERT_EQ(parsed, response);
        EXPECT_EQ(response->result(), c.result);
        EXPECT_EQ(response->errors(), c.errors);
        EXPECT_EQ(response->isResultSuccess(), c.success);
    }
}

TEST_F(AdLogCodecTest, HostileResponsesDecodeToNoneWithinTheBody) {
    VuderuUtil::setLogLevel(2);
    const std::string valid = std::string("\x0e" "success") + "\x02\x06" "bad" + '\0';
    struct Case {
        std::string what;
        std::string bytes;
    };
    std::vector<Case> cases = {
        {"string length past the body", AvroBytes().l(std::int64_t{1} << 40).raw("abc").str()},
        {"string of a mebibyte in a short body", AvroBytes().l(1 << 20).raw("abc").str()},
        {"negative string length", AvroBytes().l(-3).raw("abc").str()},
        {"array count of 2^60", AvroBytes().s("ok").l(std::int64_t{1} << 60).s("x").str()},
        {"another schema's bytes", AvroBytes().l(1).s("space").l(1700000000000).str()},
        // One byte a string: the array's block of items grows far past the body's length.
        {"thousands of empty strings cut short", AvroBytes().s("").l(5000).raw(std::string(1200, '\0')).str()},
    };
    for (std::size_t n = 0; n < valid.size(); ++n) cases.push_back({"truncated to " + std::to_string(n), valid.substr(0, n)});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto response = std::make_shared<VuderuAdLogResponse>();
        EXPECT_EQ(response->parseAdLogResponse(NSData(c.bytes.data(), c.bytes.size())), nullptr);
        bool explained = false;
        for (const auto& line : log_->lines()) explained |= line.rfind("AdLogResponse: the reply of " + std::to_string(c.bytes.size()) + " bytes", 0) == 0;
        EXPECT_TRUE(explained);
        EXPECT_LE(avroLargestAllocationOfLastRead(), avroAllocationLimitForBody(c.bytes.size()));
    }
}
