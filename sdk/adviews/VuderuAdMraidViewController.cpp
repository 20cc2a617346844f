#include "sdk/adviews/VuderuAdMraidViewController.h"

#include "platform/uikit/UIScreen.h"
#include "platform/web/UIWebView.h"
#include "sdk/adviews/VuderuAdTakeoverSetUp.h"
#include "sdk/ads/UIViewController+VuderuExtensions.h"

VuderuAdMraidViewController::VuderuAdMraidViewController() = default;

std::shared_ptr<VuderuAdMraidViewController> VuderuAdMraidViewController::initWithAd(const IVuderuAdPtr& ad) {
    auto controller = std::make_shared<VuderuAdMraidViewController>();
    controller->statusBarHidden_ = VuderuAdTakeoverSetUp::commonSetUp(*controller);
    controller->loadAd(ad);
    return controller;
}

VuderuAdMraidViewController::~VuderuAdMraidViewController() { VuderuAdTakeoverSetUp::restoreStatusBar(statusBarHidden_); }

// The page draws and places everything itself: the web view only goes in.
void VuderuAdMraidViewController::loadAd(const IVuderuAdPtr& ad) {
    if (adView_) adView_->removeFromSuperview();
    if (!ad) return;
    adFrame_ = ad->adFrame();
    adView_ = ad->webView();
    if (adView_) view()->addSubview(adView_);
}

void VuderuAdMraidViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    if (!adView_) return;
    adView_->setFrame(view()->bounds());
    view()->addSubview(adView_);
}

void VuderuAdMraidViewController::removeWindow() {
    auto presenter = UIViewController_VuderuExtensions::com_vuderu_ads_presentingViewController(self<UIViewController>());
    UIViewController_VuderuExtensions::com_vuderu_ads_dismissViewControllerAnimated(presenter, false);
}

bool VuderuAdMraidViewController::shouldAutorotateToInterfaceOrientation(UIInterfaceOrientation orientation) {
    view()->setFrame(UIScreen::mainScreen()->bounds());
    return orientation == UIInterfaceOrientationPortrait;
}

void VuderuAdMraidViewController::didRotateFromInterfaceOrientation(UIInterfaceOrientation) {
    view()->setFrame(UIScreen::mainScreen()->bounds());
}
