#include "sdk/adviews/VuderuAdExternalWebView.h"

#include "platform/uikit/UIApplicationLifeCycle.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

namespace {
constexpr int kSystemVersion4 = 39999;
constexpr double kBarGap = 0.1;
} // namespace

std::shared_ptr<VuderuAdExternalWebView> VuderuAdExternalWebView::initWithDelegate(
    const std::shared_ptr<VuderuAdExternalWebViewDelegate>& delegate) {
    auto view = std::make_shared<VuderuAdExternalWebView>();
    view->externalDelegate_ = delegate;
    view->webView_ = std::make_shared<UIWebView>();
    if (VuderuUtil::getSystemVersionAsAnInteger() > kSystemVersion4) view->webView_->setAllowsInlineMediaPlayback(true);
    view->webView_->setDelegate(view);
    view->webView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    view->webView_->setScalesPageToFit(true);
    view->setFrame(VuderuUtil::screenBounds());
    view->setAutoresizesSubviews(true);
    view->setAutoresizingMask(UIViewAutoresizingFlexibleHeight);
    view->setUserInteractionEnabled(true);
    view->createNavigationBar();
    const CGRect bar = view->navigationBar_->frame();
    const CGRect frame = view->frame();
    view->webView_->setFrame(CGRectMake(frame.origin.x, bar.origin.y + bar.size.height + kBarGap, frame.size.width,
                                        frame.size.height - bar.size.height));
    view->addSubview(view->webView_);
    view->waitingToLoad_ = false;
    std::weak_ptr<VuderuAdExternalWebView> weak = view;
    auto center = NSNotificationCenter::defaultCenter();
    center->addObserver(weak, UIApplicationWillEnterForegroundNotification, nullptr, [weak](const std::shared_ptr<NSNotification>&) {
        if (auto me = weak.lock()) me->willEnterForeground();
    });
    center->addObserver(weak, UIApplicationWillResignActiveNotification, nullptr, [weak](const std::shared_ptr<NSNotification>&) {
        if (auto me = weak.lock()) me->willEnterBackground();
    });
    return view;
}

VuderuAdExternalWebView::~VuderuAdExternalWebView() {
    NSNotificationCenter::defaultCenter()->removeObserver(this);
    // The time-out goes with the view rather than keeping it.
    if (timer_) timer_->invalidate();
    if (webView_) {
        webView_->setDelegate(nullptr);
        webView_->stopLoading();
    }
}

void VuderuAdExternalWebView::createNavigationBar() {
    auto target = self<VuderuAdExternalWebView>();
    auto item = std::make_shared<UINavigationItem>("");
    item->setRightBarButtonItem(UIBarButtonItem::initWithTitle("close", UIBarButtonItemStyleBordered, target,
                                                               [](VuderuAdExternalWebView& view) { view.closeBrowsing(true); }));
    item->setLeftBarButtonItem(
        UIBarButtonItem::initWithTitle("back", UIBarButtonItemStyleBordered, target, &VuderuAdExternalWebView::goBackBrowsing));
    navigationBar_ = std::make_shared<UINavigationBar>(CGRectMake(0, 0, VuderuUtil::screenBounds().size.width, kNavigationBarHeight));
    navigationBar_->setBarStyle(UIBarStyleDefault);
    navigationBar_->setDelegate(target);
    navigationBar_->setItemsAnimated({item}, true);
    navigationBar_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    addSubview(navigationBar_);
}

void VuderuAdExternalWebView::goBackBrowsing() {
    if (webView_->canGoBack()) return webView_->goBack();
    closeBrowsing(false);
}

void VuderuAdExternalWebView::closeBrowsing(bool fromCloseButton) {
    auto keep = self<VuderuAdExternalWebView>();
    if (auto d = externalDelegate()) d->vuderuAdExternalWebViewDidCloseWithResult(*this, fromCloseButton ? 1 : 0);
}

bool VuderuAdExternalWebView::userDidTapView(CGPoint) { return false; }

bool VuderuAdExternalWebView::webViewShouldStartLoadWithRequestNavigationType(UIWebView&, const NSURLRequestPtr& request,
                                                                               UIWebViewNavigationType type) {
    const NSURLPtr url = request ? request->URL() : nullptr;
    VuderuLog("VuderuAdExternalWebView: should start loading url [%@] with navigation type [%ld]",
              url ? url->absoluteString() : std::string("(null)"), static_cast<long>(type));
    auto d = externalDelegate();
    return !(d && d->vuderuAdExternalWebViewOpenAppUrl(*this, url));
}

void VuderuAdExternalWebView::startTimer(double seconds) {
    std::weak_ptr<VuderuAdExternalWebView> weak = self<VuderuAdExternalWebView>();
    timer_ = NSTimer::scheduledTimerWithTimeInterval(seconds, false, [weak](const std::shared_ptr<NSTimer>&) {
        if (auto me = weak.lock()) me->webViewLoadTimerCompleted();
    });
}

void VuderuAdExternalWebView::stopTimer() {
    if (timer_) timer_->invalidate();
    timer_ = nullptr;
}

void VuderuAdExternalWebView::webViewDidStartLoad(UIWebView&) {
    if (!timer_) startTimer(kLoadTimeout);
    VuderuLog("%s", std::string("-[VuderuAdExternalWebView webViewDidStartLoad:]"));
}

void VuderuAdExternalWebView::webViewDidFinishLoad(UIWebView&) {
    auto keep = self<VuderuAdExternalWebView>();
    VuderuLog("%s", std::string("-[VuderuAdExternalWebView webViewDidFinishLoad:]"));
    stopTimer();
    removeLoadingView();
    webView_->stringByEvaluatingJavaScriptFromString("document.body.style.webkitTouchCallout='none';");
    if (auto d = externalDelegate()) d->vuderuAdExternalWebViewDidFinishLoad(*this);
}

void VuderuAdExternalWebView::webViewDidFailLoadWithError(UIWebView&, const NSErrorPtr& error) {
    auto keep = self<VuderuAdExternalWebView>();
    VuderuLog("%s: error %@", std::string("-[VuderuAdExternalWebView webView:didFailLoadWithError:]"),
              error ? error->localizedDescription() : std::string("(null)"));
    stopTimer();
    removeLoadingView();
    if (auto d = externalDelegate()) d->vuderuAdExternalWebViewDidFailLoad(*this);
}

void VuderuAdExternalWebView::webViewLoadTimerCompleted() {
    auto keep = self<VuderuAdExternalWebView>();
    VuderuLog("%s: didn't finish loading within time limit", std::string("-[VuderuAdExternalWebView webViewLoadTimerCompleted]"));
    webView_->stopLoading();
    stopTimer();
}

void VuderuAdExternalWebView::willEnterBackground() {
    VuderuLog("here in background!!");
    if (!timer_) return;
    waitingToLoad_ = true;
    stopTimer();
}

void VuderuAdExternalWebView::willEnterForeground() {
    if (timer_ || !waitingToLoad_) return;
    startTimer(kLoadTimeoutAfterReturn);
    waitingToLoad_ = false;
}

void VuderuAdExternalWebView::removeLoadingView() {
    if (!spinner_) return;
    spinner_->removeFromSuperview();
    spinner_ = nullptr;
    if (loadingTextView_) loadingTextView_->removeFromSuperview();
    loadingTextView_ = nullptr;
    if (loadingView_) loadingView_->removeFromSuperview();
    loadingView_ = nullptr;
}
