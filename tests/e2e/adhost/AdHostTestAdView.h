#pragma once
// The ad host's test ad-space view: what the ad manager makes for a taken unit while the real
// ad-space view is not registered (or with --test-views). It is ready as soon as it is asked to
// prepare, renders a labelled subview with the frame's binding and GUID, and raises events
// through the event controller, one action per call until it answers NO. What the actions ask of
// it (frame switches, links, alerts) is listed on the screen.

#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIView.h"
#include "sdk/ads/IVuderuEventControllerHandler.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class AdHostTestAdView : public IVuderuEventControllerHandler, public std::enable_shared_from_this<AdHostTestAdView> {
public:
    AdHostTestAdView(std::shared_ptr<NSObject> container, std::string space);

    // Makes the ad manager build its views as test views (types from the ad-space view's table).
    static void registerMaker();

    // Raises the event and runs its actions; the number of actions run.
    int raiseEvent(const std::string& event);

    VuderuAdUnitPtr activeAdUnit() const override;
    std::vector<VuderuAdUnitPtr> allAdUnitsList() const override { return units_; }
    bool isGuidActive(const std::string& guid) const override;
    bool readyForDisplay() const override { return ready_; }
    std::string adSpaceName() const override { return space_; }

    void updateViewContainer(const std::shared_ptr<NSObject>& container) override { container_ = container; }
    void addAdUnit(const VuderuAdUnitPtr& unit) override { units_.push_back(unit); }
    void setInitialOrientation(std::int64_t orientation) override { orientation_ = orientation; }
    std::int64_t notificationFlag() const override { return flag_; }
    void setNotificationFlag(std::int64_t flag) override { flag_ = flag; }
    void setNotificationFlag(std::int32_t flag) override { flag_ = flag; }
    bool displayWhenReady() const override { return displayWhenReady_; }
    void setDisplayWhenReady(bool value) override { displayWhenReady_ = value; }
    bool prepareAdForDisplay(NSErrorPtr* error) override;
    void renderView() override;
    bool adRendered() const override { return rendered_; }
    void removeAd() override;
    std::shared_ptr<UIView> parentView() const override;
    std::shared_ptr<UIView> parentViewContainersView() const override;
    std::shared_ptr<UIView> adView() const override { return view_; }

    bool loadAdFrameError(const VuderuAdFramePtr& frame, NSErrorPtr* error) override;
    void loadAdFrameWithDelayFrameOffset(std::int64_t delay, std::string& offset) override;
    void resumeFrame() override;
    void linkProcessedForAdAction(const std::optional<std::string>& url, const std::string& adAction) override;
    void linkNotProcessedForAdAction(const NSErrorPtr& error, const std::string& adAction) override;

    std::shared_ptr<NSObject> parentViewContainer() const override { return container_; }
    bool isShownModallyForViewController() const override { return false; }
    void setIsLoadingAdComponents(bool) override {}
    void setMraidAdLoaded(bool) override {}
    std::shared_ptr<UIAlertView> alertView() const override { return alert_; }
    void setAlertView(const std::shared_ptr<UIAlertView>& alert) override { alert_ = alert; }
    bool openUrlInNativeBrowserParams(const NSURLPtr& url, Value::Dictionary& params) override;
    void alertViewClickedButtonAtIndex(UIAlertView& alertView, long index) override;

private:
    void note(const std::string& what) const;
    // The label's text: the space, the frame's binding and GUID.
    std::string label() const;

    std::shared_ptr<NSObject> container_;
    std::string space_;
    std::vector<VuderuAdUnitPtr> units_;
    std::int64_t flag_ = 0;
    std::int64_t orientation_ = 0;
    bool displayWhenReady_ = false;
    bool ready_ = false;
    bool rendered_ = false;
    std::shared_ptr<UIAlertView> alert_;
    std::shared_ptr<UIView> view_;
    std::shared_ptr<UILabel> label_;
};
