#pragma once
// The in-app browser's controllers. VuderuAdExternalViewController is presented modally on the
// controller the full-screen controller names (parentVC), once its first page has loaded, and hides
// the status bar while it exists. VuderuAdExternalWindowBasedViewController shows the browser in a
// window of its own above the status bar, hidden until the page has loaded; the window (and the
// key window it replaced) are kept once for the process and reused by the next page. Both hand
// the ad's links back to it, cover it while loading, and on a failed page show "Unable to load URL.
// Please try later." with "Continue", which returns to the ad.

#include "platform/net/NSURLRequest.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "sdk/adviews/TapDetectingWindow.h"
#include "sdk/adviews/IVuderuAdExternalViewConnector.h"
#include "sdk/adviews/IVuderuAdExternalViewController.h"
#include "sdk/adviews/VuderuAdExternalWebView.h"
#include "sdk/ads/IVuderuAd.h"

#include <memory>

// What both controllers share: the page, the ad, and the browser view's news.
class VuderuAdExternalBrowserController : public UIViewController,
                                          public VuderuAdExternalWebViewDelegate,
                                          public IVuderuAdExternalViewController,
                                          public UIAlertViewDelegate {
public:
    static inline const std::string kFailureMessage = "Unable to load URL. Please try later.";
    static inline const std::string kFailureButton = "Continue";
    static constexpr CGFloat kAlertLevelAboveStatusBar = 1000;

    std::shared_ptr<UIViewController> parentVC() const override { return parentVC_; }
    void setParentVC(const std::shared_ptr<UIViewController>& controller) override { parentVC_ = controller; }

    void vuderuAdExternalWebViewDidCloseWithResult(VuderuAdExternalWebView& view, std::int32_t result) override;
    bool vuderuAdExternalWebViewOpenAppUrl(VuderuAdExternalWebView& view, const NSURLPtr& url) override;
    void vuderuAdExternalWebViewDidFailLoad(VuderuAdExternalWebView& view) override;
    void alertViewClickedButtonAtIndex(UIAlertView& alert, long index) override;
    void alertViewCancel(UIAlertView& alert) override;

    bool openingAppUrl() const { return openingAppUrl_; }
    const IVuderuAdPtr& ad() const { return ad_; }
    const NSURLRequestPtr& currentRequest() const { return currentRequest_; }
    const std::shared_ptr<VuderuAdExternalWebView>& extAdView() const { return extAdView_; }
    bool shouldAutorotate() const override { return true; }

protected:
    std::shared_ptr<IVuderuAdExternalViewConnector> connector() const;
    // The browser view as this controller's view.
    void loadView() override;

    bool openingAppUrl_ = false;
    IVuderuAdPtr ad_;
    NSURLRequestPtr currentRequest_;
    std::shared_ptr<VuderuAdExternalWebView> extAdView_;
    std::shared_ptr<UIViewController> parentVC_;
};

class VuderuAdExternalViewController : public VuderuAdExternalBrowserController {
public:
    static std::shared_ptr<VuderuAdExternalViewController> initWithAdRequest(const IVuderuAdPtr& ad, const NSURLRequestPtr& request);
    ~VuderuAdExternalViewController() override;

    void loadAdWithRequest(const IVuderuAdPtr& ad, const NSURLRequestPtr& request) override;
    void removeWindow() override;
    void vuderuAdExternalWebViewDidFinishLoad(VuderuAdExternalWebView& view) override;
    bool isStatusBarHidden() const { return statusBarHidden_; }
    bool prefersStatusBarHidden() const override { return true; }

private:
    bool statusBarHidden_ = false;
};

class VuderuAdExternalWindowBasedViewController : public VuderuAdExternalBrowserController {
public:
    static std::shared_ptr<VuderuAdExternalWindowBasedViewController> initWithAdRequest(const IVuderuAdPtr& ad,
                                                                                       const NSURLRequestPtr& request);
    ~VuderuAdExternalWindowBasedViewController() override;

    void loadAdWithRequest(const IVuderuAdPtr& ad, const NSURLRequestPtr& request) override;
    void removeWindow() override;
    void vuderuAdExternalWebViewDidFinishLoad(VuderuAdExternalWebView& view) override;
    void viewDidAppear(bool animated) override;
    void didRotateToInterfaceOrientation();
    void adjustToOrientation(long) {}
    void createWindow();
    // The browser window kept for the process, or nil.
    static std::shared_ptr<TapDetectingWindow> browserWindow();
};
