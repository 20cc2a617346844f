#include "sdk/adviews/VuderuAdWindowBasedMraidViewController.h"

#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/uikit/UIScreen.h"
#include "platform/web/UIWebView.h"
#include "sdk/analytics/VuderuUtil.h"

namespace {
// The square where the page's MRAID close button sits: 50 points, 10 from the top and right.
constexpr CGFloat kCloseInset = 10;
constexpr CGFloat kCloseSide = 50;

// MRAID_TAKEOVER_WINDOW and MRAID_USER_WINDOW (weakly: the application owns its windows).
struct MraidWindows {
    std::shared_ptr<TapDetectingWindow> window;
    std::weak_ptr<UIWindow> userWindow;
};
MraidWindows& mraid() {
    static MraidWindows shared;
    return shared;
}
} // namespace

VuderuAdWindowBasedMraidViewController::VuderuAdWindowBasedMraidViewController() = default;

std::shared_ptr<TapDetectingWindow> VuderuAdWindowBasedMraidViewController::takeoverWindow() { return mraid().window; }
std::shared_ptr<UIWindow> VuderuAdWindowBasedMraidViewController::userWindow() { return mraid().userWindow.lock(); }

std::shared_ptr<VuderuAdWindowBasedMraidViewController> VuderuAdWindowBasedMraidViewController::initWithAd(const IVuderuAdPtr& ad) {
    auto controller = std::make_shared<VuderuAdWindowBasedMraidViewController>();
    controller->ad_ = ad;
    controller->adView_ = ad ? ad->webView() : nullptr;
    controller->createWindow();
    controller->loadAd();
    return controller;
}

VuderuAdWindowBasedMraidViewController::~VuderuAdWindowBasedMraidViewController() {
    NSNotificationCenter::defaultCenter()->removeObserver(this);
    removeWindow();
}

void VuderuAdWindowBasedMraidViewController::loadView() {
    if (adView_) setView(adView_);
    else UIViewController::loadView();
}

void VuderuAdWindowBasedMraidViewController::createWindow() {
    auto& shared = mraid();
    if (shared.window) return;
    if (!shared.userWindow.lock()) shared.userWindow = UIApplication::sharedApplication()->keyWindow();
    auto window = std::make_shared<TapDetectingWindow>(UIScreen::mainScreen()->bounds());
    shared.window = window;
    window->setRootViewController(self<UIViewController>());
    window->setWindowLevel(UIWindowLevelStatusBar + 2);
    window->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    window->setAutoresizesSubviews(true);
    window->addSubview(view());
}

void VuderuAdWindowBasedMraidViewController::loadAd() {
    auto window = mraid().window;
    if (!window) return;
    window->setViewToObserve(adView_);
    window->setControllerThatObserves(self());
    window->makeKeyAndVisible();
}

// The new ad's web view becomes this controller's view, so the new page is what shows.
void VuderuAdWindowBasedMraidViewController::loadAd(const IVuderuAdPtr& ad) {
    ad_.reset();
    adView_.reset();
    if (isViewLoaded() && view()->superview()) view()->removeFromSuperview();
    ad_ = ad;
    adView_ = ad ? ad->webView() : nullptr;
    if (adView_) setView(adView_);
    auto window = mraid().window;
    if (!window) return;
    window->setViewToObserve(adView_);
    window->setControllerThatObserves(self());
    view()->setFrame(window->bounds());
    window->addSubview(view());
    window->makeKeyAndVisible();
}

void VuderuAdWindowBasedMraidViewController::removeWindow() {
    auto& shared = mraid();
    if (auto user = shared.userWindow.lock()) {
        user->makeKeyAndVisible();
        user->setNeedsLayout();
        user->setNeedsDisplay();
        user->layoutIfNeeded();
    }
    shared.userWindow.reset();
    if (auto window = std::move(shared.window)) {
        shared.window.reset();
        if (adView_ && adView_->superview() == window) adView_->removeFromSuperview();
        window->setHidden(true);
    }
}

bool VuderuAdWindowBasedMraidViewController::userDidTapView(CGPoint point) {
    CGFloat width = UIScreen::mainScreen()->bounds().size.width;
    bool closable = point.x >= width - kCloseInset - kCloseSide && point.x <= width - kCloseInset && point.y >= kCloseInset &&
                    point.y <= kCloseInset + kCloseSide;
    if (!closable) return false;
    if (VuderuUtil::logLevel() > 1) NSLog("Tap occurs in closable areas");
    // Closing drops this controller and its window: both stay until the answer is given.
    auto keep = self<VuderuAdWindowBasedMraidViewController>();
    auto ad = ad_;
    if (ad) {
        ad->processMRAIDCloseEvent();
        ad->removeTakeoverWindows();
    }
    return true;
}

bool VuderuAdWindowBasedMraidViewController::shouldAutorotateToInterfaceOrientation(UIInterfaceOrientation orientation) {
    view()->setFrame(UIScreen::mainScreen()->bounds());
    return orientation == UIInterfaceOrientationPortrait;
}

void VuderuAdWindowBasedMraidViewController::didRotateFromInterfaceOrientation(UIInterfaceOrientation) {
    view()->setFrame(UIScreen::mainScreen()->bounds());
}
