#pragma once
// An ad-space view for the ad manager's tests: ready as soon as it is asked to prepare (unless
// told to fail), recording what the manager does to it.

#include "platform/dispatch/dispatch.h"
#include "platform/uikit/UIView.h"
#include "sdk/ads/IVuderuAd.h"
#include "sdk/ads/VuderuAdError.h"
#include "sdk/ads/VuderuAdManager.h"

class TestAdSpaceView : public IVuderuAd, public std::enable_shared_from_this<TestAdSpaceView> {
public:
    TestAdSpaceView(std::shared_ptr<NSObject> container, std::string space) : container_(std::move(container)), space_(std::move(space)) {}

    // Makers registered with the manager; `failing` views refuse to prepare.
    static void registerWithManager(bool failing = false) {
        VuderuAdManager::registerAdViewMaker(
            [failing](const std::shared_ptr<NSObject>& container, const std::string& space) {
                auto view = std::make_shared<TestAdSpaceView>(container, space);
                view->failPreparing = failing;
                return view;
            },
            [](const VuderuAdFramePtr& frame) { return frame && frame->adSpaceLayout() && frame->adSpaceLayout()->isTakeover() ? 1 : 2; });
    }

    VuderuAdUnitPtr activeAdUnit() const override { return units_.empty() ? nullptr : units_.front(); }
    bool isGuidActive(const std::string& guid) const override {
        auto frame = adFrame();
        return frame && frame->adLogGUID() == guid;
    }
    bool readyForDisplay() const override { return ready_; }
    std::string adSpaceName() const override { return space_; }
    void updateViewContainer(const std::shared_ptr<NSObject>& container) override { container_ = container; }
    void addAdUnit(const VuderuAdUnitPtr& unit) override { units_.push_back(unit); }
    std::int64_t notificationFlag() const override { return flag_; }
    void setNotificationFlag(std::int64_t flag) override { flag_ = flag; }
    bool displayWhenReady() const override { return displayWhenReady_; }
    void setDisplayWhenReady(bool value) override { displayWhenReady_ = value; }
    bool prepareAdForDisplay(NSErrorPtr* error) override {
        if (failPreparing) {
            if (error) *error = VuderuAdError::adErrorWithCodeDescription(kVuderuAdErrorUnitNotActive, "Ad unit is not active");
            return false;
        }
        ready_ = true;
        auto self = shared_from_this();
        dispatch_async(dispatch_get_main_queue(), [self] { VuderuAdManager::instance()->adReadyForDisplay(self); });
        return true;
    }
    void renderView() override { ++renders; }
    bool adRendered() const override { return renders > 0; }
    bool canBeRefreshed() const override { return refreshable; }
    void removeAd() override { removed = true; }
    void withdraw() override { withdrawn = true; }
    std::shared_ptr<UIView> parentView() const override { return std::dynamic_pointer_cast<UIView>(container_); }
    std::shared_ptr<UIView> parentViewContainersView() const override { return parentView(); }
    std::shared_ptr<UIView> adView() const override { return view_; }
    const std::shared_ptr<NSObject>& container() const { return container_; }

    bool failPreparing = false;
    bool refreshable = true;
    bool removed = false;
    bool withdrawn = false;
    int renders = 0;

private:
    std::shared_ptr<NSObject> container_;
    std::string space_;
    std::vector<VuderuAdUnitPtr> units_;
    std::int64_t flag_ = 0;
    bool displayWhenReady_ = false;
    bool ready_ = false;
    std::shared_ptr<UIView> view_ = std::make_shared<UIView>(CGRect{{0, 0}, {320, 50}});
};
