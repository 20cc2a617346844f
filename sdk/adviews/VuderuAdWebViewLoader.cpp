#include "sdk/adviews/VuderuAdWebViewLoader.h"

#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIScrollView.h"
#include "sdk/adviews/VuderuAd.h"
#include "sdk/adviews/VuderuAdScripts.h"
#include "sdk/ads/VuderuAdError.h"
#include "sdk/ads/VuderuAdSpaceLayout.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuNetworkUtil.h"
#include "sdk/analytics/VuderuUtil.h"

namespace {
// The content hosts are the deployer's, so the stand-in for every endpoint's host stands in for
// them as well: the web view fetches the close controls' images.
std::string& contentHostValue() {
    static std::string host = VuderuNetworkUtil::hostOverride().value_or("content.vuderu.com");
    return host;
}
// A view that handles no loader calls, for an ad without a loader connector.
IVuderuAdWebViewLoaderConnector& inertConnector() {
    static IVuderuAdWebViewLoaderConnector inert;
    return inert;
}
} // namespace

std::string VuderuAdWebViewLoader::contentHost() { return contentHostValue(); }
void VuderuAdWebViewLoader::setContentHost(const std::string& host) { contentHostValue() = host; }

const char* VuderuAdWebViewLoader::getHoganBytes() { return hogan_1_0_5_min_js; }
std::size_t VuderuAdWebViewLoader::getHoganLength() { return hogan_1_0_5_min_js_length; }
const char* VuderuAdWebViewLoader::getVuderuBridgeBytes() { return vuderu_bridge_js; }
std::size_t VuderuAdWebViewLoader::getVuderuBridgeLength() { return vuderu_bridge_js_length; }

VuderuAdWebViewLoader::VuderuAdWebViewLoader(const IVuderuAdPtr& ad)
    : ad_(ad), connector_(std::dynamic_pointer_cast<IVuderuAdWebViewLoaderConnector>(ad)) {}

std::shared_ptr<VuderuAdWebViewLoader> VuderuAdWebViewLoader::initWithAd(const IVuderuAdPtr& ad) {
    std::shared_ptr<VuderuAdWebViewLoader> loader(new VuderuAdWebViewLoader(ad));
    loader->setUp();
    return loader;
}

void VuderuAdWebViewLoader::setUp() {
    webView_ = std::make_shared<UIWebView>();
    auto strong = ad();
    auto unit = strong ? strong->activeAdUnit() : nullptr;
    if (VuderuUtil::getSystemVersionAsAnInteger() > 39999 && unit) {
        supportMRAID_ = unit->supportMRAID();
        webView_->setAllowsInlineMediaPlayback(unit->videoAutoPlay());
        webView_->setMediaPlaybackRequiresUserAction(!unit->videoAutoPlay());
    }
    webView_->setDelegate(self<VuderuAdWebViewLoader>());
    // The page's console (its uncaught errors above all) explains an ad that shows nothing.
    webView_->setConsoleObserver([](const std::string& line) { VuderuLog("web view console: %@", line); });
    webView_->setClipsToBounds(true);
    webView_->setAutoresizesSubviews(true);
    webView_->setOpaque(false);
    webView_->setBackgroundColor(UIColor::colorWithRed(0, 0, 0, frameIsTakeover() ? 0.8 : 0.1));
    const auto type = VuderuAd::getAdType(frame());
    if (type == 1 || type == 4 || type == 6) {
        for (const auto& sub : webView_->subviews())
            if (auto scroll = std::dynamic_pointer_cast<UIScrollView>(sub)) {
                scroll->setScrollEnabled(false);
                scroll->setBounces(false);
            }
    }
}

VuderuAdWebViewLoader::~VuderuAdWebViewLoader() { invalidate(); }

IVuderuAdWebViewLoaderConnector& VuderuAdWebViewLoader::connector() const {
    auto c = connector_.lock();
    return c ? *c : inertConnector();
}

VuderuAdFramePtr VuderuAdWebViewLoader::frame() const {
    auto strong = ad();
    return strong ? strong->adFrame() : nullptr;
}
bool VuderuAdWebViewLoader::frameHasContent() const {
    auto f = frame();
    return f && !f->content().empty();
}
bool VuderuAdWebViewLoader::frameIsTakeover() const {
    auto f = frame();
    return f && f->adSpaceLayout() && f->adSpaceLayout()->isTakeover();
}

std::string VuderuAdWebViewLoader::eval(const std::string& script) {
    return webView_ ? webView_->stringByEvaluatingJavaScriptFromString(script) : std::string();
}

void VuderuAdWebViewLoader::loadURLDisablePreRendering(const NSURLPtr& url, bool disablePreRendering) {
    adURL_ = url;
    disablePreRendering_ = disablePreRendering;
    if (!disablePreRendering) loadURL(url);
    else if (adLoadCompleteHandler_) adLoadCompleteHandler_();
}

void VuderuAdWebViewLoader::loadHTMLDisablePreRendering(const std::string& html, bool disablePreRendering) {
    adURL_ = nullptr;
    disablePreRendering_ = disablePreRendering;
    if (disablePreRendering) {
        html_ = html;
        if (adLoadCompleteHandler_) adLoadCompleteHandler_();
    } else {
        webView_->loadHTMLStringBaseURL(html, nullptr);
    }
}

void VuderuAdWebViewLoader::loadURL(const NSURLPtr& url) {
    const auto policy = VuderuNetworkUtil::isNetworkLikelyNotReachable() ? NSURLRequestReturnCacheDataDontLoad
                                                                         : NSURLRequestUseProtocolCachePolicy;
    VuderuHttpAsyncTask::sendMethod("GET", url, nullptr,
                                    VuderuHttpAsyncTask::HeaderFields{{"Content-Type", "application/octet-stream"}}, 20,
                                    policy, self<VuderuAdWebViewLoader>(), true);
}

void VuderuAdWebViewLoader::loadCachedHTML() {
    if (adURL_) loadURL(adURL_);
    else webView_->loadHTMLStringBaseURL(html_, adURL_);
}

void VuderuAdWebViewLoader::loadExternalURL(const NSURLPtr& url) {
    webView_->loadRequest(NSURLRequest::requestWithURL(url));
}

void VuderuAdWebViewLoader::invalidate() {
    stopMraidLoading();
    if (hoganRetryTimer_) hoganRetryTimer_->invalidate();
    hoganRetryTimer_ = nullptr;
    if (webLoadTimeoutTimer_) webLoadTimeoutTimer_->invalidate();
    webLoadTimeoutTimer_ = nullptr;
    if (!webView_) return;
    webView_->setDelegate(nullptr);
    // The page ends with its loader, whoever still holds the web view: its scripts, timers,
    // loads and frames stop now.
    webView_->closePage();
    webView_->removeFromSuperview();
}

void VuderuAdWebViewLoader::stopMraidLoading() {
    if (mraidLoadTimeoutTimer_) mraidLoadTimeoutTimer_->invalidate();
    mraidLoadTimeoutTimer_ = nullptr;
}

void VuderuAdWebViewLoader::reportError(unsigned code, const std::string& description) {
    if (renderFailedErrorHandler_) renderFailedErrorHandler_(VuderuAdError::adErrorWithCodeDescription(code, description));
}

void VuderuAdWebViewLoader::webViewDidFailLoadWithError(UIWebView&, const NSErrorPtr& error) {
    VuderuLog("webViewDidFailLoadWithError: %@", error ? error->localizedDescription() : std::string());
    VuderuNetworkUtil::setLastNetworkOperationError(error);
    // A failure reported for a load that never started does not take the count below zero.
    if (webViewLoading_ > 0) --webViewLoading_;
    if (webLoadTimeoutTimer_) webLoadTimeoutTimer_->invalidate();
    webLoadTimeoutTimer_ = nullptr;
    reportError(kVuderuAdErrorViewLoadFailed, "VuderuAds: Failed to load view with error [" +
                                                  (error ? error->localizedDescription() : std::string()) + "]");
}

void VuderuAdWebViewLoader::webViewTimeout() {
    VuderuLog("Webview loading timed out");
    if (webView_) webView_->stopLoading();
}
