#pragma once
// Renders one HTML ad frame in a web view: fetches or takes the page, injects the template engine,
// the bridge and the MRAID adapter into every page that starts loading, renders the body as a
// template over the frame's content, decides which navigations the page may follow and turns
// each "vuderu://vuderucall?event=..." navigation into an event for the ad view.

#include "platform/foundation/NSTimer.h"
#include "platform/web/UIWebView.h"
#include "sdk/adviews/IVuderuAdWebViewLoaderConnector.h"
#include "sdk/ads/IVuderuAd.h"
#include "sdk/analytics/VuderuHttpAsyncTask.h"

#include <functional>
#include <memory>
#include <string>

class VuderuAdWebViewLoader : public NSObject,
                              public UIWebViewDelegate,
                              public VuderuHttpAsyncTaskDelegate {
public:
    using RenderFailedErrorHandler = std::function<bool(const NSErrorPtr&)>;
    using ExternalRequestHandler = std::function<void(const NSURLRequestPtr&)>;
    using Handler = std::function<void()>;

    // The ad is seen through its IVuderuAd face and, when it has one, its loader connector.
    static std::shared_ptr<VuderuAdWebViewLoader> initWithAd(const IVuderuAdPtr& ad);
    ~VuderuAdWebViewLoader() override;

    void loadURLDisablePreRendering(const NSURLPtr& url, bool disablePreRendering);
    void loadHTMLDisablePreRendering(const std::string& html, bool disablePreRendering);
    void loadURL(const NSURLPtr& url);
    void loadCachedHTML();
    void loadExternalURL(const NSURLPtr& url);
    void invalidate();
    void stopMraidLoading();
    void resetMraidStatus() { mraidStatusChecked_ = false; }
    void finalizeWindowOnLoadCalledAction();
    void setMraidStatus();

    static const char* getHoganBytes();
    static std::size_t getHoganLength();
    static const char* getVuderuBridgeBytes();
    static std::size_t getVuderuBridgeLength();

    // Where the native close control's image comes from: the ad service's content host.
    static std::string contentHost();
    static void setContentHost(const std::string& host);

    bool supportMRAID() const { return supportMRAID_; }
    bool isMraidStatusChecked() const { return mraidStatusChecked_; }
    bool isMraidAdLoaded() const { return mraidAdLoaded_; }
    void setMraidAdLoaded(bool loaded) { mraidAdLoaded_ = loaded; }
    bool disablePreRendering() const { return disablePreRendering_; }
    std::int32_t webViewLoading() const { return webViewLoading_; }
    const std::shared_ptr<UIWebView>& webView() const { return webView_; }
    const NSURLPtr& adURL() const { return adURL_; }
    const std::string& html() const { return html_; }
    const std::shared_ptr<NSTimer>& webLoadTimeoutTimer() const { return webLoadTimeoutTimer_; }
    const std::shared_ptr<NSTimer>& mraidLoadTimeoutTimer() const { return mraidLoadTimeoutTimer_; }
    void setRenderFailedErrorHandler(RenderFailedErrorHandler h) { renderFailedErrorHandler_ = std::move(h); }
    void setExternalRequestHandler(ExternalRequestHandler h) { externalRequestHandler_ = std::move(h); }
    void setAdLoadCompleteHandler(Handler h) { adLoadCompleteHandler_ = std::move(h); }
    void setMRAIDWindowLoadCompleteHandler(Handler h) { MRAIDWindowLoadCompleteHandler_ = std::move(h); }
    void setLoadCachedHTMLCompletionHandler(Handler h) { loadCachedHTMLCompletionHandler_ = std::move(h); }

    // The script lines evaluated at the start of each load (shown for the ad view's diagnostics).
    std::string setupLine() const;
    std::string contentLine() const;
    static std::string fullLoadListener();

    // UIWebViewDelegate.
    bool webViewShouldStartLoadWithRequestNavigationType(UIWebView& view, const NSURLRequestPtr& request,
                                                         UIWebViewNavigationType type) override;
    void webViewDidStartLoad(UIWebView& view) override;
    void webViewDidFinishLoad(UIWebView& view) override;
    void webViewDidFailLoadWithError(UIWebView& view, const NSErrorPtr& error) override;

    // VuderuHttpAsyncTaskDelegate.
    void requestSuccessfulWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) override;
    void requestDidFailWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) override;
    void requestDidCancelWithResponse(const VuderuHttpAsyncTaskPtr& task, const VuderuHTTPResponsePtr& response) override;

    // Turns a body fetched with that Content-Type into text: UTF-8 when it is, else the declared
    // charset, else Latin-1.
    static std::string textOfBody(const std::string& body, const std::string& contentType);

private:
    explicit VuderuAdWebViewLoader(const IVuderuAdPtr& ad);
    void setUp();
    bool processVuderuCallRequest(const std::string& urlText);
    void postHoganCompleteWebViewDidFinishLoad();
    void webViewTimeout();
    void reportError(unsigned code, const std::string& description);
    std::string eval(const std::string& script);
    VuderuAdFramePtr frame() const;
    bool frameHasContent() const;
    bool frameIsTakeover() const;
    IVuderuAdPtr ad() const { return ad_.lock(); }
    IVuderuAdWebViewLoaderConnector& connector() const;

    bool supportMRAID_ = false;
    bool mraidStatusChecked_ = false;
    bool mraidAdLoaded_ = false;
    bool disablePreRendering_ = false;
    std::int32_t webViewLoading_ = 0;
    std::shared_ptr<UIWebView> webView_;
    std::weak_ptr<IVuderuAd> ad_;
    std::weak_ptr<IVuderuAdWebViewLoaderConnector> connector_;
    RenderFailedErrorHandler renderFailedErrorHandler_;
    ExternalRequestHandler externalRequestHandler_;
    Handler adLoadCompleteHandler_;
    Handler MRAIDWindowLoadCompleteHandler_;
    NSURLPtr adURL_;
    Handler loadCachedHTMLCompletionHandler_;
    std::shared_ptr<NSTimer> mraidLoadTimeoutTimer_;
    std::shared_ptr<NSTimer> webLoadTimeoutTimer_;
    std::string html_;
    std::shared_ptr<NSTimer> hoganRetryTimer_;
};
