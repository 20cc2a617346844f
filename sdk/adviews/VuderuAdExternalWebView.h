#pragma once
// The in-app browser's view: a web view under a navigation bar with "back" and "close", and an
// 8-second load time-out that starts with the first load and is not extended by later ones. A trip
// to the background suspends the time-out; the return restarts it at 5 seconds, once. Links the
// ad takes over (App Store and application links) are handed back through the delegate and not
// loaded. The view holds its delegate weakly; a running time-out goes with the view.

#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSTimer.h"
#include "platform/foundation/NSURL.h"
#include "platform/uikit/UINavigationBar.h"
#include "platform/uikit/UIView.h"
#include "platform/web/UIWebView.h"
#include "sdk/adviews/TapDetectingWindow.h"

#include <cstdint>
#include <memory>

class VuderuAdExternalWebView;

// What the browser view tells the controller that shows it.
class VuderuAdExternalWebViewDelegate {
public:
    virtual ~VuderuAdExternalWebViewDelegate() = default;
    // The user leaves: 1 for "close", 0 for "back" with no page to go back to.
    virtual void vuderuAdExternalWebViewDidCloseWithResult(VuderuAdExternalWebView& view, std::int32_t result) = 0;
    // Before every page load: YES when the ad took the link over (and nothing is loaded).
    virtual bool vuderuAdExternalWebViewOpenAppUrl(VuderuAdExternalWebView& view, const NSURLPtr& url) = 0;
    virtual void vuderuAdExternalWebViewDidFinishLoad(VuderuAdExternalWebView& view) = 0;
    virtual void vuderuAdExternalWebViewDidFailLoad(VuderuAdExternalWebView& view) = 0;
};

class VuderuAdExternalWebView : public UIView, public UIWebViewDelegate, public UINavigationBarDelegate, public TapDetectingWindowDelegate {
public:
    static constexpr double kLoadTimeout = 8.0;
    static constexpr double kLoadTimeoutAfterReturn = 5.0;
    static constexpr CGFloat kNavigationBarHeight = 44.0;

    static std::shared_ptr<VuderuAdExternalWebView> initWithDelegate(const std::shared_ptr<VuderuAdExternalWebViewDelegate>& delegate);
    ~VuderuAdExternalWebView() override;

    void goBackBrowsing();
    // With a sender (the "close" button) the result is 1, without one 0.
    void closeBrowsing(bool fromCloseButton);
    void removeLoadingView();
    void webViewLoadTimerCompleted();
    void createNavigationBar();
    // The tap-watching window's question: the browser takes no taps of its own.
    bool userDidTapView(CGPoint point) override;

    bool webViewShouldStartLoadWithRequestNavigationType(UIWebView& webView, const NSURLRequestPtr& request,
                                                         UIWebViewNavigationType type) override;
    void webViewDidStartLoad(UIWebView& webView) override;
    void webViewDidFinishLoad(UIWebView& webView) override;
    void webViewDidFailLoadWithError(UIWebView& webView, const NSErrorPtr& error) override;
    void willEnterForeground();
    void willEnterBackground();

    const std::shared_ptr<UIWebView>& webView() const { return webView_; }
    const std::shared_ptr<UIView>& viewContainer() const { return viewContainer_; }
    void setViewContainer(std::shared_ptr<UIView> view) { viewContainer_ = std::move(view); }
    const std::shared_ptr<UINavigationBar>& navigationBar() const { return navigationBar_; }
    const std::shared_ptr<UIView>& loadingView() const { return loadingView_; }
    void setLoadingView(std::shared_ptr<UIView> view) { loadingView_ = std::move(view); }
    const std::shared_ptr<UIView>& spinner() const { return spinner_; }
    void setSpinner(std::shared_ptr<UIView> view) { spinner_ = std::move(view); }
    const std::shared_ptr<UIView>& loadingTextView() const { return loadingTextView_; }
    void setLoadingTextView(std::shared_ptr<UIView> view) { loadingTextView_ = std::move(view); }
    std::shared_ptr<VuderuAdExternalWebViewDelegate> externalDelegate() const { return externalDelegate_.lock(); }
    void setExternalDelegate(const std::shared_ptr<VuderuAdExternalWebViewDelegate>& delegate) { externalDelegate_ = delegate; }
    // Whether a load time-out runs.
    bool timing() const { return timer_ != nullptr; }

    VuderuAdExternalWebView() = default;

private:
    void startTimer(double seconds);
    void stopTimer();

    std::shared_ptr<NSTimer> timer_;
    bool waitingToLoad_ = false;
    std::shared_ptr<UIWebView> webView_;
    std::shared_ptr<UIView> viewContainer_;
    std::shared_ptr<UINavigationBar> navigationBar_;
    std::shared_ptr<UIView> loadingView_, spinner_, loadingTextView_;
    std::weak_ptr<VuderuAdExternalWebViewDelegate> externalDelegate_;
};
