#pragma once
// An ad request against the loopback ad server: a delegate that records every outcome, and a
// fixture that points the ad server's address at the loopback one and runs one fetch.

#include "platform/foundation/PlatformClock.h"
#include "platform/testsupport/AnalyticsCollector.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "sdk/ads/VuderuAdRequest.h"
#include "sdk/ads/tests/DynamicFakes.h"
#include "sdk/analytics/VuderuGlobalVariableStorage.h"
#include "sdk/analytics/VuderuNetworkUtil.h"
#include "sdk/analytics/VuderuUtil.h"

#include <gtest/gtest.h>

#include <algorithm>

struct RecordedOutcome {
    enum class Kind { Success, Failure, Cancel } kind;
    std::size_t units = 0;
    Value params;
    NSErrorPtr error;
    std::vector<VuderuAdUnitPtr> reported;  // the units of a success
};

class RecordingAdRequestDelegate : public VuderuAdRequestDelegate {
public:
    void requestSuccessfulWithParams(const std::vector<VuderuAdUnitPtr>& units, const Value& params) override {
        outcomes.push_back({RecordedOutcome::Kind::Success, units.size(), params, nullptr, units});
    }
    void requestDidFailError(const Value& params, const NSErrorPtr& error) override {
        outcomes.push_back({RecordedOutcome::Kind::Failure, 0, params, error, {}});
    }
    void requestDidCancel() override { outcomes.push_back({RecordedOutcome::Kind::Cancel, 0, Value(), nullptr, {}}); }
    std::vector<RecordedOutcome> outcomes;
};

class AdRequestTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        PlatformClock::setManual(1700000000.5);
        auto settings = VuderuGlobalVariableStorage::sharedInstance();
        settings->setMacAddressEnabled(false);
        settings->setApiKey("KEY");
        registerVendorIdentifier("V1");
        VuderuNetworkUtil::setAdServerUrl(collector_.urlFor(AnalyticsCollector::kAdsPath));
    }
    void TearDown() override {
        if (HasFailure()) {
            for (const auto& line : log_->lines()) std::fprintf(stderr, "%s\n", line.c_str());
        }
        NSUnregisterClass("UIDevice");
        NSUnregisterClass("VuderuAdsTestConnector");
        VuderuUtil::setLogLevel(1);
        DeviceTest::TearDown();
    }
    bool logged(const std::string& line) const {
        auto lines = log_->lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    // Sends a request for the space and runs the main run loop until its task has reported.
    std::shared_ptr<VuderuAdRequest> fetch(const std::string& space = "banner", const std::map<std::string, std::string>& payload = {},
                                           bool renderStage = false) {
        auto request = std::make_shared<VuderuAdRequest>();
        request->getAdRequestForSpace(space, CGRect{{0, 0}, {320.7, 50.2}}, delegate_, Value("params"), renderStage, payload);
        EXPECT_TRUE(runMainUntil([&] { return request->runningTasks().empty(); }, 30));
        drainMain();
        return request;
    }

    AnalyticsCollector collector_;
    std::shared_ptr<RecordingAdRequestDelegate> delegate_ = std::make_shared<RecordingAdRequestDelegate>();
};
