#pragma once
// A takeover shown in a window of its own over the application's (one level above the status
// bar), when the host did not ask for modal display. Videos on a phone are turned to landscape
// by a transform; the window and the application's key window it covers are kept once for the
// process, so a second controller made while the window stands reuses it.

#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UIViewController.h"
#include "sdk/adviews/IVuderuAdViewController.h"
#include "sdk/adviews/TapDetectingWindow.h"

#include <string>

class VuderuAdWindowBasedViewController : public UIViewController, public IVuderuAdViewController {
public:
    static std::shared_ptr<VuderuAdWindowBasedViewController> initWithAd(const IVuderuAdPtr& ad);
    ~VuderuAdWindowBasedViewController() override;

    void createWindow();
    void loadAd();
    void loadAd(const IVuderuAdPtr& ad) override;
    void removeWindow() override;
    void adjustToOrientation(std::int64_t orientation);
    void adjustToCurrentStatusBarOrientation();
    void didRotateToInterfaceOrientation();
    bool shouldAutorotate() const override { return false; }
    bool shouldAutorotateToInterfaceOrientation(UIInterfaceOrientation) override { return false; }

    // Never set: the controller does not keep the ad.
    IVuderuAdPtr ad() const override { return ad_; }
    void setAd(const IVuderuAdPtr& ad) override { ad_ = ad; }
    UIViewPtr adView() const override { return adView_; }
    void setAdView(const UIViewPtr& view) override { adView_ = view; }
    const VuderuAdFramePtr& adFrame() const { return adFrame_; }
    const std::string& previousOrientation() const { return previousOrientation_; }
    std::int64_t adOrientation() const { return adOrientation_; }
    const std::shared_ptr<UIActivityIndicatorView>& spinner() const { return spinner_; }

    // The process-wide takeover window while it stands, and the window it covers.
    static std::shared_ptr<TapDetectingWindow> takeoverWindow();
    static std::shared_ptr<UIWindow> userWindow();

    VuderuAdWindowBasedViewController();

private:
    void keepAd(const IVuderuAdPtr& ad);
    bool isVideo() const;

    IVuderuAdPtr ad_;
    VuderuAdFramePtr adFrame_;
    UIViewPtr adView_;
    std::string previousOrientation_;
    std::int64_t adOrientation_ = 0;
    std::shared_ptr<UIActivityIndicatorView> spinner_;
    std::shared_ptr<NSObject> rotationObserver_;
};
