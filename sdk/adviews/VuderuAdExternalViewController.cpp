#include "sdk/adviews/VuderuAdExternalViewController.h"

#include "platform/foundation/NSNotificationCenter.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIDevice.h"
#include "platform/uikit/UIScreen.h"
#include "sdk/ads/UIViewController+VuderuExtensions.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

namespace {
constexpr int kLastSystemBefore7 = 69999;
constexpr CGFloat kWindowLevelAboveStatusBar = 2;

// The browser window and the key window it replaced, once for the process.
struct BrowserWindows {
    std::shared_ptr<TapDetectingWindow> window;
    std::weak_ptr<UIWindow> previousKeyWindow;
};
BrowserWindows& browserWindows() {
    static BrowserWindows windows;
    return windows;
}
} // namespace

// Shared handling.

std::shared_ptr<IVuderuAdExternalViewConnector> VuderuAdExternalBrowserController::connector() const {
    return std::dynamic_pointer_cast<IVuderuAdExternalViewConnector>(ad_);
}

void VuderuAdExternalBrowserController::loadView() {
    extAdView_ = VuderuAdExternalWebView::initWithDelegate(std::dynamic_pointer_cast<VuderuAdExternalWebViewDelegate>(self<UIViewController>()));
    extAdView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    extAdView_->setAutoresizesSubviews(true);
    setView(extAdView_);
}

void VuderuAdExternalBrowserController::vuderuAdExternalWebViewDidCloseWithResult(VuderuAdExternalWebView&, std::int32_t result) {
    auto keep = self<UIViewController>();
    if (auto c = connector()) c->externalAdViewDidCloseDismissAd(result == 1);
}

bool VuderuAdExternalBrowserController::vuderuAdExternalWebViewOpenAppUrl(VuderuAdExternalWebView&, const NSURLPtr& url) {
    auto c = connector();
    openingAppUrl_ = c && c->openAppUrlFromExWebView(url, true);
    return openingAppUrl_;
}

void VuderuAdExternalBrowserController::vuderuAdExternalWebViewDidFailLoad(VuderuAdExternalWebView&) {
    auto keep = self<UIViewController>();
    if (!openingAppUrl_) {
        if (auto c = connector()) c->removeLoadingView();
        auto alert = UIAlertView::initWithTitle("", kFailureMessage, std::dynamic_pointer_cast<UIAlertViewDelegate>(keep), kFailureButton);
        alert->show();
        if (auto window = alert->window()) window->setWindowLevel(UIWindowLevelStatusBar + kAlertLevelAboveStatusBar);
    }
    VuderuLog("%s, for request url %@", std::string("-[VuderuAdExternalViewController vuderuAdExternalWebViewDidFailLoad:]"),
              currentRequest_ && currentRequest_->URL() ? currentRequest_->URL()->absoluteString() : std::string("(null)"));
}

void VuderuAdExternalBrowserController::alertViewClickedButtonAtIndex(UIAlertView&, long) {
    auto keep = self<UIViewController>();
    if (auto c = connector()) {
        c->externalAdViewDidCloseDismissAd(false);
        c->setActivelyRespondingToAction(false);
    }
}

void VuderuAdExternalBrowserController::alertViewCancel(UIAlertView& alert) { alertViewClickedButtonAtIndex(alert, 0); }

// The modal browser.

std::shared_ptr<VuderuAdExternalViewController> VuderuAdExternalViewController::initWithAdRequest(const IVuderuAdPtr& ad,
                                                                                                  const NSURLRequestPtr& request) {
    auto controller = std::make_shared<VuderuAdExternalViewController>();
    auto application = UIApplication::sharedApplication();
    controller->statusBarHidden_ = application->isStatusBarHidden();
    application->setStatusBarHidden(true);
    if (VuderuUtil::getSystemVersionAsAnInteger() <= kLastSystemBefore7) controller->setWantsFullScreenLayout(true);
    controller->view();
    controller->loadAdWithRequest(ad, request);
    return controller;
}

VuderuAdExternalViewController::~VuderuAdExternalViewController() {
    UIApplication::sharedApplication()->setStatusBarHidden(statusBarHidden_);
    if (extAdView_) extAdView_->webView()->stopLoading();
}

void VuderuAdExternalViewController::loadAdWithRequest(const IVuderuAdPtr& ad, const NSURLRequestPtr& request) {
    auto keep = self<UIViewController>();
    view();
    extAdView_->webView()->stopLoading();
    ad_ = ad;
    currentRequest_ = request;
    if (auto c = connector()) c->showLoadingView();
    extAdView_->webView()->loadRequest(request);
    if (auto c = connector()) c->setActivelyRespondingToAction(true);
}

void VuderuAdExternalViewController::vuderuAdExternalWebViewDidFinishLoad(VuderuAdExternalWebView&) {
    auto keep = self<UIViewController>();
    auto presented = parentVC_ ? UIViewController_VuderuExtensions::com_vuderu_ads_presentedViewController(parentVC_) : nullptr;
    if (parentVC_ && !presented) {
        UIViewController_VuderuExtensions::com_vuderu_ads_presentViewController(parentVC_, keep, true);
    } else {
        VuderuLog("%s: parentVC is already presenting a VC %@", std::string("-[VuderuAdExternalViewController vuderuAdExternalWebViewDidFinishLoad:]"),
                  presented ? presented->className() : std::string("(null)"));
    }
    if (auto c = connector()) {
        c->setActivelyRespondingToAction(false);
        c->removeLoadingView();
    }
}

void VuderuAdExternalViewController::removeWindow() {
    auto presenting = UIViewController_VuderuExtensions::com_vuderu_ads_presentingViewController(self<UIViewController>());
    if (presenting) UIViewController_VuderuExtensions::com_vuderu_ads_dismissViewControllerAnimated(presenting, false);
}

// The window-based browser.

std::shared_ptr<TapDetectingWindow> VuderuAdExternalWindowBasedViewController::browserWindow() { return browserWindows().window; }

std::shared_ptr<VuderuAdExternalWindowBasedViewController> VuderuAdExternalWindowBasedViewController::initWithAdRequest(
    const IVuderuAdPtr& ad, const NSURLRequestPtr& request) {
    auto controller = std::make_shared<VuderuAdExternalWindowBasedViewController>();
    controller->openingAppUrl_ = false;
    controller->createWindow();
    controller->loadAdWithRequest(ad, request);
    UIDevice::currentDevice()->beginGeneratingDeviceOrientationNotifications();
    std::weak_ptr<VuderuAdExternalWindowBasedViewController> weak = controller;
    NSNotificationCenter::defaultCenter()->addObserver(weak, UIDeviceOrientationDidChangeNotification, nullptr,
                                                       [weak](const std::shared_ptr<NSNotification>&) {
                                                           if (auto me = weak.lock()) me->didRotateToInterfaceOrientation();
                                                       });
    return controller;
}

VuderuAdExternalWindowBasedViewController::~VuderuAdExternalWindowBasedViewController() {
    NSNotificationCenter::defaultCenter()->removeObserver(this);
    removeWindow();
}

void VuderuAdExternalWindowBasedViewController::createWindow() {
    auto& windows = browserWindows();
    if (windows.window) return;
    if (!windows.previousKeyWindow.lock()) windows.previousKeyWindow = UIApplication::sharedApplication()->keyWindow();
    windows.window = std::make_shared<TapDetectingWindow>(UIScreen::mainScreen()->bounds());
    windows.window->setRootViewController(self<UIViewController>());
    windows.window->setWindowLevel(UIWindowLevelStatusBar + kWindowLevelAboveStatusBar);
}

void VuderuAdExternalWindowBasedViewController::loadAdWithRequest(const IVuderuAdPtr& ad, const NSURLRequestPtr& request) {
    auto keep = self<UIViewController>();
    view();
    extAdView_->webView()->stopLoading();
    openingAppUrl_ = false;
    ad_ = ad;
    currentRequest_ = request;
    // The window watches the browser view for taps, and stays hidden while the page loads.
    if (auto window = browserWindows().window) {
        window->setViewToObserve(extAdView_);
        window->setControllerThatObserves(extAdView_);
        window->setHidden(false);
        window->setHidden(true);
    }
    if (auto c = connector()) {
        c->showLoadingView();
        c->setActivelyRespondingToAction(true);
    }
    extAdView_->webView()->loadRequest(request);
}

void VuderuAdExternalWindowBasedViewController::vuderuAdExternalWebViewDidFinishLoad(VuderuAdExternalWebView&) {
    auto keep = self<UIViewController>();
    if (auto window = browserWindows().window) window->makeKeyAndVisible();
    if (auto c = connector()) {
        c->setActivelyRespondingToAction(false);
        c->removeLoadingView();
    }
}

void VuderuAdExternalWindowBasedViewController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    if (extAdView_) extAdView_->setFrame(UIScreen::mainScreen()->bounds());
}

void VuderuAdExternalWindowBasedViewController::didRotateToInterfaceOrientation() {
    if (extAdView_) extAdView_->setFrame(UIScreen::mainScreen()->bounds());
}

void VuderuAdExternalWindowBasedViewController::removeWindow() {
    auto& windows = browserWindows();
    if (windows.window) {
        windows.window->setHidden(true);
        windows.window = nullptr;
    }
    if (auto previous = windows.previousKeyWindow.lock()) {
        previous->setNeedsLayout();
        previous->setNeedsDisplay();
        previous->layoutIfNeeded();
        previous->makeKeyAndVisible();
    }
    windows.previousKeyWindow.reset();
}
