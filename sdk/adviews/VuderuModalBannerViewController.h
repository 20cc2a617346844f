#pragma once
// A banner the host asked to show modally: its web view centred on dark grey with a close button
// in the top right corner, which removes the ad from its space through the ads facade. Unlike
// the takeover controllers it rotates with the interface.

#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIViewController.h"
#include "sdk/adviews/IVuderuAdViewController.h"

class VuderuModalBannerViewController : public UIViewController, public IVuderuAdViewController {
public:
    static std::shared_ptr<VuderuModalBannerViewController> initWithAd(const IVuderuAdPtr& ad);
    ~VuderuModalBannerViewController() override;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void loadAd(const IVuderuAdPtr& ad) override;
    void closeAd();
    std::shared_ptr<UIViewController> clientViewController() const;
    void removeWindow() override;

    bool prefersStatusBarHidden() const override { return true; }
    bool shouldAutorotate() const override { return true; }
    bool shouldAutorotateToInterfaceOrientation(UIInterfaceOrientation) override { return true; }
    void willRotateToInterfaceOrientationDuration(UIInterfaceOrientation to, double duration) override;
    void willAnimateRotationToInterfaceOrientationDuration(UIInterfaceOrientation to, double duration) override;
    void didRotateFromInterfaceOrientation(UIInterfaceOrientation from) override;

    void adjustViewForCurrentUserInterface();
    void adjustToOrientation(std::int64_t orientation);
    void centerAdView();

    IVuderuAdPtr ad() const override { return ad_; }
    void setAd(const IVuderuAdPtr& ad) override { ad_ = ad; }
    UIViewPtr adView() const override { return adView_; }
    void setAdView(const UIViewPtr& view) override { adView_ = view; }
    const VuderuAdFramePtr& adFrame() const { return adFrame_; }
    const std::shared_ptr<UIButton>& closeButton() const { return closeButton_; }
    bool isStatusBarHidden() const { return statusBarHidden_; }

    VuderuModalBannerViewController();

private:
    void makeCloseButton();

    bool statusBarHidden_ = false;
    IVuderuAdPtr ad_;
    UIViewPtr adView_;
    VuderuAdFramePtr adFrame_;
    std::shared_ptr<UIButton> closeButton_;
};
