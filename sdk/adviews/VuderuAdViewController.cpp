#include "sdk/adviews/VuderuAdViewController.h"

#include "platform/uikit/UIScreen.h"
#include "platform/web/UIWebView.h"
#include "sdk/adviews/VuderuAdContentGeometry.h"
#include "sdk/adviews/VuderuAdTakeoverSetUp.h"
#include "sdk/ads/UIViewController+VuderuExtensions.h"
#include "sdk/analytics/VuderuUtil.h"

#include <cmath>
#include <numbers>

using namespace VuderuAdContentGeometry;

namespace {
constexpr CGFloat kPi = std::numbers::pi_v<CGFloat>;
constexpr int kLastBefore6 = 59999;
constexpr std::int32_t kVideoBinding = 3;
constexpr std::int32_t kVideoAdType = 0;
// The spinner's place is worked out for a 22-point wheel; its frame is larger.
constexpr CGFloat kSpinnerWheel = 22;
constexpr CGFloat kAdViewControllerSpinnerSide = 45;

// A turn of the content for the status bar's orientation s and the one the ad was requested in,
// i; the offset's sign follows the angle's. Pairs not listed keep the content as it is.
struct PairTurn {
    std::int64_t s, i;
    CGFloat angle;
    int offsetSign;
};
constexpr PairTurn kPairTurns[] = {
    {2, 1, kPi, 0},       {1, 2, kPi, 0},       {3, 4, kPi, 0},       {4, 3, kPi, 0},
    {1, 3, kPi / 2, 1},   {4, 1, kPi / 2, 1},   {3, 2, kPi / 2, 1},   {2, 4, kPi / 2, 1},
    {1, 4, -kPi / 2, -1}, {3, 1, -kPi / 2, -1}, {2, 3, -kPi / 2, -1}, {4, 2, -kPi / 2, -1},
};
} // namespace

VuderuAdViewController::VuderuAdViewController() = default;

std::shared_ptr<VuderuAdViewController> VuderuAdViewController::initWithAd(const IVuderuAdPtr& ad) {
    auto controller = std::make_shared<VuderuAdViewController>();
    controller->statusBarHidden_ = VuderuAdTakeoverSetUp::commonSetUp(*controller);
    auto view = controller->view();
    view->setBackgroundColor(UIColor::colorWithRed(1, 1, 1, 1));
    controller->spinner_ = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyleWhite);
    controller->spinner_->setColor(UIColor::blackColor());
    view->addSubview(controller->spinner_);
    controller->spinner_->startAnimating();
    controller->loadAd(ad);
    return controller;
}

VuderuAdViewController::~VuderuAdViewController() {
    VuderuAdTakeoverSetUp::restoreStatusBar(statusBarHidden_);
    if (spinner_) {
        spinner_->stopAnimating();
        spinner_->removeFromSuperview();
    }
}

void VuderuAdViewController::loadAd(const IVuderuAdPtr& ad) {
    if (adView_) adView_->removeFromSuperview();
    if (!ad) return;
    adFrame_ = ad->adFrame();
    adView_ = ad->webView();
    ad_ = ad;
    if (adView_) view()->addSubview(adView_);
    adjustViewForCurrentUserInterface();
}

void VuderuAdViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    view()->setBackgroundColor(UIColor::colorWithRed(1, 1, 1, 1));
    if (!adView_) return;
    fillRect(*adView_, view()->bounds());
    view()->addSubview(adView_);
}

void VuderuAdViewController::removeWindow() {
    auto presenter = UIViewController_VuderuExtensions::com_vuderu_ads_presentingViewController(self<UIViewController>());
    UIViewController_VuderuExtensions::com_vuderu_ads_dismissViewControllerAnimated(presenter, false);
}

void VuderuAdViewController::adjustViewForCurrentUserInterface() {
    if (!adView_) return;
    auto unit = ad_ ? ad_->activeAdUnit() : nullptr;
    bool video = (adFrame_ && adFrame_->binding() == kVideoBinding) || (unit && unit->adType() == kVideoAdType);
    if (video && !VuderuUtil::isIPad()) {
        adjustToOrientation(interfaceOrientation());
    } else {
        if (VuderuUtil::getSystemVersionAsAnInteger() > kLastBefore6) adjustPerAdOrientation();
        else adjustForOrientation(ad_ ? ad_->initialOrientation() : 0);
        centerAdView();
    }
    if (spinner_) {
        auto content = adView_->frame().size;
        spinner_->setFrame(CGRectMake(std::round((content.width - kSpinnerWheel) / 2), std::round((content.height - kSpinnerWheel) / 2),
                                      kAdViewControllerSpinnerSide, kAdViewControllerSpinnerSide));
    }
}

void VuderuAdViewController::adjustToOrientation(std::int64_t orientation) {
    if (!adView_) return;
    adView_->setTransform(CGAffineTransformIdentity);
    auto bounds = view()->bounds();
    CGFloat offset = offsetOf(bounds);
    if (orientation == UIInterfaceOrientationPortrait) adView_->setTransform(turn(-kPi / 2, -offset));
    else if (orientation == UIInterfaceOrientationPortraitUpsideDown) adView_->setTransform(turn(kPi / 2, offset));
    fillRect(*adView_, bounds);
}

void VuderuAdViewController::adjustForOrientation(std::int64_t orientation) {
    if (!adView_) return;
    auto screen = UIScreen::mainScreen()->bounds();
    adView_->setTransform(screenTurn(orientation, screen));
    fillRect(*adView_, screen);
}

void VuderuAdViewController::adjustPerAdOrientation() {
    if (!adView_) return;
    auto bounds = view()->bounds();
    CGFloat offset = offsetOf(bounds);
    std::int64_t s = UIApplication::sharedApplication()->statusBarOrientation();
    std::int64_t i = ad_ ? ad_->initialOrientation() : 0;
    for (const auto& row : kPairTurns) {
        if (row.s != s || row.i != i) continue;
        adView_->setTransform(turn(row.angle, row.offsetSign * offset));
        break;
    }
    fillRect(*adView_, bounds);
}

void VuderuAdViewController::centerAdView() {
    if (!adView_) return;
    auto bounds = view()->bounds();
    if (ad_ && ad_->activeFrameTakeover()) fillRect(*adView_, bounds);
    else fillRect(*adView_, centredFrame(adView_->frame().size, bounds.size));
    view()->bringSubviewToFront(adView_);
}
