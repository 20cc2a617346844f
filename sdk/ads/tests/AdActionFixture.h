#pragma once
// The action engine's test bed: a recording ad-space view showing a unit of three frames
// (banner "g1", takeover "g2", banner "g3"; the cursor on the first) in the space "space", a log
// stored for "g1", and a host delegate whose calls join the view's record.

#include "platform/testsupport/DeviceTest.h"
#include "sdk/ads/AdLogManager.h"
#include "sdk/ads/VuderuAdCache.h"
#include "sdk/ads/VuderuAdAction.h"
#include "sdk/ads/VuderuAdDelegate.h"
#include "sdk/ads/VuderuAds.h"
#include "sdk/ads/tests/RecordingAdHandler.h"

class RecordingAdDelegate : public VuderuAdDelegate {
public:
    explicit RecordingAdDelegate(std::vector<std::string>& calls) : calls_(calls) {}
    void spaceWillExpand(const std::string& space) override { calls_.push_back("spaceWillExpand(" + space + ")"); }
    void spaceWillCollapse(const std::string& space) override { calls_.push_back("spaceWillCollapse(" + space + ")"); }
    void spaceDidCollapse(const std::string& space) override { calls_.push_back("spaceDidCollapse(" + space + ")"); }

private:
    std::vector<std::string>& calls_;
};

class AdActionTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        // The actions are tested here, not the ad server: a refill the manager starts goes nowhere.
        VuderuAdCache::setFetchStarter([](const std::shared_ptr<VuderuAdCache>&, const Value&) {});
        makeView();
    }
    // A fresh view, unit, event and delegate.
    void makeView() {
        handler_ = std::make_shared<RecordingAdHandler>();
        delegate_ = std::make_shared<RecordingAdDelegate>(handler_->calls);
        event_ = std::make_shared<VuderuAdEvent>(VuderuAdEvent::kClicked, std::nullopt, nullptr, 0);
        unit_ = makeUnit({{"g1", "banner"}, {"g2", "takeover"}, {"g3", "banner"}});
        handler_->units = {unit_};
        AdLogManager::instance()->storeAdLog(std::make_shared<VuderuAdLog>(1000, "g1"));
        VuderuAds::setAdDelegate(delegate_);
    }
    void TearDown() override {
        VuderuAdCache::setFetchStarter(nullptr);
        VuderuAds::setAdDelegate(nullptr);
        DeviceTest::TearDown();
    }

    // Runs one action for a "clicked" event; answers the result action.
    std::int32_t execute(const std::optional<std::string>& action, VuderuAdAction::Params& params) {
        std::int32_t result = -1;
        VuderuAdAction::executeActionFromAdEventForEventHandlerWithResultActionParams(action, event_, handler_, &result, params);
        return result;
    }
    static std::optional<std::string> status(const VuderuAdAction::Params& params) {
        auto found = params.find("status");
        return found == params.end() ? std::nullopt : std::optional<std::string>(found->second.stringValue());
    }

    std::shared_ptr<RecordingAdHandler> handler_;
    std::shared_ptr<RecordingAdDelegate> delegate_;
    VuderuAdUnitPtr unit_;
    VuderuAdEventPtr event_;
};
