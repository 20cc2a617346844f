#pragma once
// A takeover whose page loaded its own MRAID script, in a window of its own two levels above the
// status bar. The page draws its close button 10 points from the top and right edges; a tap on
// that square closes the ad at once, whether or not the page heard it. The window and the
// application's key window it covers are kept once for the process. The ad view state uses this
// controller to show an expanded ad.

#include "platform/uikit/UIViewController.h"
#include "sdk/adviews/IVuderuAdViewController.h"
#include "sdk/adviews/TapDetectingWindow.h"

class VuderuAdWindowBasedMraidViewController : public UIViewController,
                                               public IVuderuAdViewController,
                                               public TapDetectingWindowDelegate {
public:
    static std::shared_ptr<VuderuAdWindowBasedMraidViewController> initWithAd(const IVuderuAdPtr& ad);
    ~VuderuAdWindowBasedMraidViewController() override;

    // The controller's view is the content view itself.
    void loadView() override;
    void createWindow();
    void loadAd();
    void loadAd(const IVuderuAdPtr& ad) override;
    void removeWindow() override;

    // A tap in the close corner asks the ad to close and to remove its windows; YES then.
    bool userDidTapView(CGPoint point) override;
    bool shouldAutorotateToInterfaceOrientation(UIInterfaceOrientation orientation) override;
    bool shouldAutorotate() const override { return false; }
    void didRotateFromInterfaceOrientation(UIInterfaceOrientation from) override;

    IVuderuAdPtr ad() const override { return ad_; }
    void setAd(const IVuderuAdPtr& ad) override { ad_ = ad; }
    UIViewPtr adView() const override { return adView_; }
    void setAdView(const UIViewPtr& view) override { adView_ = view; }

    // MRAID_TAKEOVER_WINDOW while it stands, and MRAID_USER_WINDOW, the window it covers.
    static std::shared_ptr<TapDetectingWindow> takeoverWindow();
    static std::shared_ptr<UIWindow> userWindow();

    VuderuAdWindowBasedMraidViewController();

private:
    IVuderuAdPtr ad_;
    UIViewPtr adView_;
};
