#include "sdk/adviews/VuderuAdWindowBasedViewController.h"

#include "platform/foundation/NSNotificationCenter.h"
#include "platform/uikit/UIDevice.h"
#include "platform/uikit/UIScreen.h"
#include "platform/web/UIWebView.h"
#include "sdk/adviews/VuderuAdContentGeometry.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/analytics/VuderuUtil.h"

#include <cmath>

using namespace VuderuAdContentGeometry;

namespace {
constexpr std::int32_t kAdWindowBasedViewControllerVideoBinding = 3;
constexpr CGFloat kAdWindowBasedViewControllerSpinnerWheel = 22;
constexpr CGFloat kAdWindowBasedViewControllerSpinnerSide = 45;

// The one takeover window of this class and the application's key window it covers (weakly:
// the application owns its windows).
struct TakeoverWindows {
    std::shared_ptr<TapDetectingWindow> window;
    std::weak_ptr<UIWindow> userWindow;
};
TakeoverWindows& takeover() {
    static TakeoverWindows shared;
    return shared;
}

void relayout(UIView& view) {
    view.setNeedsLayout();
    view.setNeedsDisplay();
    view.layoutIfNeeded();
}
} // namespace

VuderuAdWindowBasedViewController::VuderuAdWindowBasedViewController() = default;

std::shared_ptr<TapDetectingWindow> VuderuAdWindowBasedViewController::takeoverWindow() { return takeover().window; }
std::shared_ptr<UIWindow> VuderuAdWindowBasedViewController::userWindow() { return takeover().userWindow.lock(); }

std::shared_ptr<VuderuAdWindowBasedViewController> VuderuAdWindowBasedViewController::initWithAd(const IVuderuAdPtr& ad) {
    auto controller = std::make_shared<VuderuAdWindowBasedViewController>();
    controller->keepAd(ad);
    controller->createWindow();
    controller->loadAd();
    UIDevice::currentDevice()->beginGeneratingDeviceOrientationNotifications();
    std::weak_ptr<VuderuAdWindowBasedViewController> weak = controller;
    NSNotificationCenter::defaultCenter()->addObserver(controller, UIDeviceOrientationDidChangeNotification, nullptr, [weak](auto&) {
        if (auto me = weak.lock()) me->didRotateToInterfaceOrientation();
    });
    return controller;
}

VuderuAdWindowBasedViewController::~VuderuAdWindowBasedViewController() {
    NSNotificationCenter::defaultCenter()->removeObserver(this);
    UIDevice::currentDevice()->endGeneratingDeviceOrientationNotifications();
    removeWindow();
    if (spinner_) {
        spinner_->stopAnimating();
        spinner_->removeFromSuperview();
    }
}

void VuderuAdWindowBasedViewController::keepAd(const IVuderuAdPtr& ad) {
    if (!ad) return;
    adFrame_ = ad->adFrame();
    adView_ = ad->webView();
    adOrientation_ = ad->initialOrientation();
}

bool VuderuAdWindowBasedViewController::isVideo() const {
    if (!adFrame_) return false;
    return VuderuAdManager::instance()->vastManagerForAdGuid(adFrame_->adLogGUID()) || adFrame_->binding() == kAdWindowBasedViewControllerVideoBinding;
}

void VuderuAdWindowBasedViewController::createWindow() {
    auto& shared = takeover();
    if (shared.window) return;
    if (!shared.userWindow.lock()) shared.userWindow = UIApplication::sharedApplication()->keyWindow();
    auto window = std::make_shared<TapDetectingWindow>(UIScreen::mainScreen()->bounds());
    window->setBackgroundColor(UIColor::colorWithRed(1, 1, 1, 1));
    window->setWindowLevel(UIWindowLevelStatusBar + 1);
    window->setAutoresizingMask(UIViewAutoresizingNone);
    shared.window = window;
    auto own = view();
    own->setAutoresizesSubviews(true);
    own->setFrame(VuderuUtil::screenBounds());
    window->addSubview(own);
    auto bounds = window->bounds();
    spinner_ = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyleWhite);
    spinner_->setColor(UIColor::blackColor());
    spinner_->setFrame(CGRectMake(std::round((bounds.size.width - kAdWindowBasedViewControllerSpinnerWheel) / 2), std::round((bounds.size.height - kAdWindowBasedViewControllerSpinnerWheel) / 2),
                                  kAdWindowBasedViewControllerSpinnerSide, kAdWindowBasedViewControllerSpinnerSide));
    own->addSubview(spinner_);
    spinner_->startAnimating();
}

void VuderuAdWindowBasedViewController::loadAd() {
    auto window = takeover().window;
    if (!window) return;
    // The content view observes itself: no tap reaches this controller.
    window->setViewToObserve(adView_);
    window->setControllerThatObserves(adView_);
    if (adView_) window->addSubview(adView_);
    bool iPad = VuderuUtil::isIPad();
    if (!iPad && isVideo()) adjustToOrientation(VuderuUtil::canvasInLandscapeRight() ? UIInterfaceOrientationLandscapeRight
                                                                                      : UIInterfaceOrientationLandscapeLeft);
    else if (iPad && isVideo()) adjustToCurrentStatusBarOrientation();
    else adjustToOrientation(adOrientation_);
    window->makeKeyAndVisible();
    previousOrientation_ = VuderuUtil::getCanvasOrientation();
}

void VuderuAdWindowBasedViewController::loadAd(const IVuderuAdPtr& ad) {
    if (adView_) adView_->removeFromSuperview();
    adView_.reset();
    adFrame_.reset();
    keepAd(ad);
    loadAd();
}

void VuderuAdWindowBasedViewController::removeWindow() {
    auto& shared = takeover();
    if (auto user = shared.userWindow.lock()) {
        user->makeKeyAndVisible();
        relayout(*user);
    }
    shared.userWindow.reset();
    if (auto window = std::move(shared.window)) {
        shared.window.reset();
        window->setHidden(true);
    }
}

void VuderuAdWindowBasedViewController::adjustToOrientation(std::int64_t orientation) {
    auto window = takeover().window;
    if (!window || !adView_) return;
    auto screen = UIScreen::mainScreen()->bounds();
    adView_->setTransform(screenTurn(orientation, screen));
    relayout(*window);
    fillRect(*adView_, screen);
    previousOrientation_ = VuderuUtil::getCanvasOrientation();
}

void VuderuAdWindowBasedViewController::adjustToCurrentStatusBarOrientation() {
    adjustToOrientation(UIApplication::sharedApplication()->statusBarOrientation());
}

void VuderuAdWindowBasedViewController::didRotateToInterfaceOrientation() {
    if (!isVideo()) return;
    if (VuderuUtil::isIPad()) return adjustToCurrentStatusBarOrientation();
    auto status = UIApplication::sharedApplication()->statusBarOrientation();
    if (status == UIInterfaceOrientationLandscapeRight || status == UIInterfaceOrientationLandscapeLeft) adjustToOrientation(status);
}
