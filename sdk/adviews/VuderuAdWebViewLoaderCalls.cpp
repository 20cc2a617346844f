// The loader's navigation rules, the page's calls to the native side and the fetched page.

#include "sdk/adviews/VuderuAdWebViewLoader.h"
#include "sdk/adviews/VuderuCallParams.h"
#include "sdk/ads/VuderuAdError.h"
#include "sdk/analytics/VuderuHTTPResponse.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuNetworkUtil.h"
#include "sdk/analytics/VuderuUtil.h"

#include <algorithm>
#include <cctype>
#include <iconv.h>
#include <optional>

bool VuderuAdWebViewLoader::webViewShouldStartLoadWithRequestNavigationType(UIWebView&, const NSURLRequestPtr& request,
                                                                           UIWebViewNavigationType type) {
    const NSURLPtr url = request ? request->URL() : nullptr;
    const std::string text = url ? url->absoluteString() : std::string();
    VuderuLog("webView:shouldStartLoadWithRequest:[%@]navigationType:%ld", text, long(type));
    if (url && url->scheme() != "vuderu" && connector().openAppUrlFromExWebView(url, false)) return false;
    if (text.find("vuderucall") != std::string::npos) return processVuderuCallRequest(text);
    if (adURL_ && (text == adURL_->absoluteString() || text == adURL_->absoluteString() + "/")) return true;
    if (type != UIWebViewNavigationTypeLinkClicked) {
        if (type == UIWebViewNavigationTypeOther && text.find("http") == std::string::npos) return true;
        if (connector().isWebViewNewAdRequest(true)) return true;
        if (webViewLoading_ > 0) return true;
    }
    auto strong = ad();
    if (!strong || !strong->adRendered()) return true;
    if (externalRequestHandler_) externalRequestHandler_(request);
    return false;
}

bool VuderuAdWebViewLoader::processVuderuCallRequest(const std::string& urlText) {
    VuderuLog("vuderucall found [%@]", urlText);
    const std::size_t question = urlText.find('?');
    if (question == std::string::npos) {
        eval("vuderuadapter.callComplete()");
        // A call the page cannot have meant to load is answered and never followed.
        return false;
    }
    std::string paramsString = urlText.substr(question + 1);
    paramsString = paramsString.substr(0, paramsString.find('?'));
    const auto params = VuderuCallParams::parse(paramsString);
    const auto event = params.find("event");
    if (event == params.end()) {
        eval("vuderuadapter.callComplete()");
        return false;
    }
    const auto guid = params.find("guid");
    if (guid != params.end() && !connector().setActiveAdUnit(guid->second)) {
        const bool goOn = renderFailedErrorHandler_ &&
                          renderFailedErrorHandler_(VuderuAdError::adErrorWithCodeDescription(
                              kVuderuAdErrorUnitNotFound, "VuderuAds: Could not find reference to ad unit"));
        if (!goOn) return false;
    }
    if (event->second == "didCompleteFullLoad") connector().setIsLoadingAdComponents(false);
    VuderuUtil::incrementCounterLocationName(event->second, "-[VuderuAdWebViewLoader processVuderuCallRequest:]");
    VuderuLog("event is [%@], params is [%@]", event->second, paramsString);
    std::map<std::string, std::string> processed;
    if (connector().processWebLoaderEventParamsStringParams(event->second, paramsString, processed)) {
        eval("vuderuadapter.callComplete()");
        connector().applyProcessedParamsForEvent(processed, event->second);
    }
    return false;
}

void VuderuAdWebViewLoader::requestSuccessfulWithResponse(const VuderuHttpAsyncTaskPtr&, const VuderuHTTPResponsePtr& response) {
    std::string body;
    std::string contentType;
    if (response && response->body()) body.assign(reinterpret_cast<const char*>(response->body()->bytes()), response->body()->length());
    if (response && response->headers())
        for (const auto& [key, value] : *response->headers()) {
            std::string lower = key;
            std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
            if (lower == "content-type") contentType = value;
        }
    if (webView_) webView_->loadHTMLStringBaseURL(textOfBody(body, contentType), adURL_);
}

void VuderuAdWebViewLoader::requestDidFailWithResponse(const VuderuHttpAsyncTaskPtr&, const VuderuHTTPResponsePtr& response) {
    VuderuLog("webView: requestDidFail: %@", response ? response->description() : std::string());
    VuderuNetworkUtil::setLastNetworkOperationError(response ? response->error() : nullptr);
    reportError(kVuderuAdErrorViewLoadFailed, "VuderuAds: Failed to load view with error.");
}

void VuderuAdWebViewLoader::requestDidCancelWithResponse(const VuderuHttpAsyncTaskPtr&, const VuderuHTTPResponsePtr& response) {
    VuderuLog("webView: requestDidCancel: %@", response ? response->description() : std::string());
    VuderuNetworkUtil::setLastNetworkOperationError(nullptr);
    reportError(kVuderuAdErrorViewLoadFailed, "VuderuAds: Cancelled Ad load.");
}

namespace {
bool validUTF8(const std::string& s) {
    iconv_t cd = iconv_open("UTF-8", "UTF-8");
    if (cd == iconv_t(-1)) return false;
    std::string in = s;
    std::string out(s.size() + 4, '\0');
    char* inp = in.data();
    char* outp = out.data();
    std::size_t inLeft = in.size(), outLeft = out.size();
    const bool ok = iconv(cd, &inp, &inLeft, &outp, &outLeft) != std::size_t(-1);
    iconv_close(cd);
    return ok && inLeft == 0;
}

// The body converted from the charset, or nullopt when the charset is unknown or the body is not in it.
std::optional<std::string> convert(const std::string& body, const std::string& charset) {
    iconv_t cd = iconv_open("UTF-8", charset.c_str());
    if (cd == iconv_t(-1)) return std::nullopt;
    std::string in = body;
    std::string out(body.size() * 4 + 16, '\0');
    char* inp = in.data();
    char* outp = out.data();
    std::size_t inLeft = in.size(), outLeft = out.size();
    const bool ok = iconv(cd, &inp, &inLeft, &outp, &outLeft) != std::size_t(-1) && inLeft == 0;
    iconv_close(cd);
    if (!ok) return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

std::string charsetOf(const std::string& contentType) {
    std::string lower = contentType;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    const std::size_t at = lower.find("charset=");
    if (at == std::string::npos) return {};
    std::string value = contentType.substr(at + 8);
    value = value.substr(0, value.find(';'));
    value.erase(std::remove_if(value.begin(), value.end(), [](char c) { return c == '"' || c == '\'' || c == ' '; }), value.end());
    return value;
}
} // namespace

std::string VuderuAdWebViewLoader::textOfBody(const std::string& body, const std::string& contentType) {
    if (validUTF8(body)) return body;
    const std::string charset = charsetOf(contentType);
    if (!charset.empty())
        if (auto text = convert(body, charset)) return *text;
    return convert(body, "ISO-8859-1").value_or(std::string());
}
