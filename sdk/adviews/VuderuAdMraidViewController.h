#pragma once
// A takeover whose page loaded its own MRAID script, shown modally over the host's controller:
// the page draws its own close control, so the controller only hosts the web view.

#include "platform/uikit/UIViewController.h"
#include "sdk/adviews/IVuderuAdViewController.h"

class VuderuAdMraidViewController : public UIViewController, public IVuderuAdViewController {
public:
    static std::shared_ptr<VuderuAdMraidViewController> initWithAd(const IVuderuAdPtr& ad);
    ~VuderuAdMraidViewController() override;

    void loadAd(const IVuderuAdPtr& ad) override;
    void removeWindow() override;
    // Never set: the controller does not keep the ad.
    IVuderuAdPtr ad() const override { return ad_; }
    void setAd(const IVuderuAdPtr& ad) override { ad_ = ad; }
    UIViewPtr adView() const override { return adView_; }
    void setAdView(const UIViewPtr& view) override { adView_ = view; }
    const VuderuAdFramePtr& adFrame() const { return adFrame_; }
    bool isStatusBarHidden() const { return statusBarHidden_; }

    void viewWillAppear(bool animated) override;
    bool prefersStatusBarHidden() const override { return true; }
    bool shouldAutorotate() const override { return false; }
    bool shouldAutorotateToInterfaceOrientation(UIInterfaceOrientation orientation) override;
    void didRotateFromInterfaceOrientation(UIInterfaceOrientation from) override;

    VuderuAdMraidViewController();

private:
    bool statusBarHidden_ = false;
    IVuderuAdPtr ad_;
    UIViewPtr adView_;
    VuderuAdFramePtr adFrame_;
};
