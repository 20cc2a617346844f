#include "sdk/adviews/VuderuModalBannerViewController.h"

#include "platform/web/UIWebView.h"
#include "sdk/adviews/VuderuAdContentGeometry.h"
#include "sdk/adviews/VuderuAdTakeoverSetUp.h"
#include "sdk/adviews/VuderuCloseImage.h"
#include "sdk/ads/UIViewController+VuderuExtensions.h"
#include "sdk/ads/VuderuAds.h"
#include "sdk/analytics/VuderuUtil.h"

#include <numbers>

using namespace VuderuAdContentGeometry;

namespace {
constexpr CGFloat kModalPi = std::numbers::pi_v<CGFloat>;
constexpr std::int32_t kModalVideoBinding = 3;
// The close button's distance from the top and right edges.
constexpr CGFloat kCloseMargin = 10;
} // namespace

VuderuModalBannerViewController::VuderuModalBannerViewController() = default;

std::shared_ptr<VuderuModalBannerViewController> VuderuModalBannerViewController::initWithAd(const IVuderuAdPtr& ad) {
    auto controller = std::make_shared<VuderuModalBannerViewController>();
    controller->statusBarHidden_ = VuderuAdTakeoverSetUp::hideStatusBar(*controller);
    controller->ad_ = ad;
    return controller;
}

VuderuModalBannerViewController::~VuderuModalBannerViewController() { VuderuAdTakeoverSetUp::restoreStatusBar(statusBarHidden_); }

void VuderuModalBannerViewController::viewDidLoad() {
    UIViewController::viewDidLoad();
    view()->setBackgroundColor(UIColor::blackColor());
}

void VuderuModalBannerViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    view()->setBackgroundColor(UIColor::darkGrayColor());
    if (!closeButton_) makeCloseButton();
    loadAd(ad_);
}

void VuderuModalBannerViewController::makeCloseButton() {
    auto image = UIImage::imageWithData(NSData(closeX_png, closeX_png_len));
    auto size = image ? image->size() : CGSizeZero;
    closeButton_ = UIButton::buttonWithType(UIButtonTypeCustom);
    closeButton_->setBackgroundColor(UIColor::clearColor());
    closeButton_->setBackgroundImageForState(image, UIControlStateNormal);
    closeButton_->setFrame(CGRectMake(view()->bounds().size.width - size.width - kCloseMargin, kCloseMargin, size.width, size.height));
    closeButton_->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleBottomMargin);
    closeButton_->setEnabled(true);
    closeButton_->addTargetActionForControlEvents(
        self<VuderuModalBannerViewController>(), &VuderuModalBannerViewController::closeAd,
        UIControlEventTouchUpInside);
    view()->addSubview(closeButton_);
}

void VuderuModalBannerViewController::loadAd(const IVuderuAdPtr& ad) {
    if (adView_) adView_->removeFromSuperview();
    if (!ad) return;
    ad_ = ad;
    adFrame_ = ad->adFrame();
    adView_ = ad->webView();
    if (!adView_) return;
    adView_->setAutoresizingMask(UIViewAutoresizingNone);
    if (closeButton_) closeButton_->setHidden(ad->activeFrameTakeover());
    view()->addSubview(adView_);
    adjustViewForCurrentUserInterface();
}

void VuderuModalBannerViewController::closeAd() {
    if (ad_) VuderuAds::removeAdFromSpace(ad_->space());
}

std::shared_ptr<UIViewController> VuderuModalBannerViewController::clientViewController() const {
    return UIViewController_VuderuExtensions::com_vuderu_ads_presentingViewController(
        std::const_pointer_cast<UIViewController>(self<UIViewController>()));
}

void VuderuModalBannerViewController::removeWindow() {
    UIViewController_VuderuExtensions::com_vuderu_ads_dismissViewControllerAnimated(clientViewController(), false);
}

void VuderuModalBannerViewController::willRotateToInterfaceOrientationDuration(UIInterfaceOrientation, double) {
    if (!VuderuUtil::isIPad() && adView_) adView_->setHidden(true);
}

void VuderuModalBannerViewController::willAnimateRotationToInterfaceOrientationDuration(UIInterfaceOrientation, double) {
    if (VuderuUtil::isIPad()) adjustViewForCurrentUserInterface();
}

void VuderuModalBannerViewController::didRotateFromInterfaceOrientation(UIInterfaceOrientation) {
    if (VuderuUtil::isIPad()) return;
    adjustViewForCurrentUserInterface();
    if (adView_) adView_->setHidden(false);
}

void VuderuModalBannerViewController::adjustViewForCurrentUserInterface() {
    if (adFrame_ && adFrame_->binding() == kModalVideoBinding && !VuderuUtil::isIPad()) adjustToOrientation(interfaceOrientation());
    else centerAdView();
}

void VuderuModalBannerViewController::adjustToOrientation(std::int64_t orientation) {
    if (VuderuUtil::isIPad() || !adView_) return;
    adView_->setTransform(CGAffineTransformIdentity);
    auto bounds = view()->bounds();
    CGFloat offset = offsetOf(bounds);
    if (orientation == UIInterfaceOrientationPortrait) adView_->setTransform(turn(-kModalPi / 2, -offset));
    else if (orientation == UIInterfaceOrientationPortraitUpsideDown) adView_->setTransform(turn(kModalPi / 2, offset));
    fillRect(*adView_, bounds);
}

void VuderuModalBannerViewController::centerAdView() {
    if (!adView_) return;
    adView_->setTransform(CGAffineTransformIdentity);
    auto bounds = view()->bounds();
    if (ad_ && ad_->activeFrameTakeover()) adView_->setFrame(bounds);
    else adView_->setFrame(centredFrame(adView_->frame().size, bounds.size));
    view()->bringSubviewToFront(adView_);
}
