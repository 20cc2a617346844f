#pragma once
// A takeover shown modally over the host's controller: the ad's web view on white, a spinner
// behind it, the status bar hidden while the controller lives. It never autorotates; the content
// is turned by a transform so the ad keeps the orientation it was made for.

#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UIViewController.h"
#include "sdk/adviews/IVuderuAdViewController.h"

class VuderuAdViewController : public UIViewController, public IVuderuAdViewController {
public:
    static std::shared_ptr<VuderuAdViewController> initWithAd(const IVuderuAdPtr& ad);
    ~VuderuAdViewController() override;

    void loadAd(const IVuderuAdPtr& ad) override;
    void removeWindow() override;
    IVuderuAdPtr ad() const override { return ad_; }
    void setAd(const IVuderuAdPtr& ad) override { ad_ = ad; }
    UIViewPtr adView() const override { return adView_; }
    void setAdView(const UIViewPtr& view) override { adView_ = view; }
    const VuderuAdFramePtr& adFrame() const { return adFrame_; }
    const std::shared_ptr<UIActivityIndicatorView>& spinner() const { return spinner_; }
    bool isStatusBarHidden() const { return statusBarHidden_; }

    void viewWillAppear(bool animated) override;
    bool prefersStatusBarHidden() const override { return true; }
    bool shouldAutorotate() const override { return false; }
    bool shouldAutorotateToInterfaceOrientation(UIInterfaceOrientation) override { return shouldAutorotate(); }

    // Geometry of the content inside the view.
    void adjustViewForCurrentUserInterface();
    void adjustPerAdOrientation();
    void adjustForOrientation(std::int64_t orientation);
    void adjustToOrientation(std::int64_t orientation);
    void centerAdView();

    VuderuAdViewController();

private:
    bool statusBarHidden_ = false;
    IVuderuAdPtr ad_;
    UIViewPtr adView_;
    VuderuAdFramePtr adFrame_;
    std::shared_ptr<UIActivityIndicatorView> spinner_;
};
