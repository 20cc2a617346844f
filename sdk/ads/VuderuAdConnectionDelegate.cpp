#include "sdk/ads/VuderuAdConnectionDelegate.h"

#include "platform/uikit/UIApplication.h"
#include "sdk/ads/VuderuAdAction.h"

NSURLConnectionPtr VuderuAdConnectionDelegate::openReferralURLActionDelegateAdActionEventOnStartLoadEventOnFinishLoad(
    const NSURLPtr& url, const VuderuActionDelegatePtr& actionDelegate, std::int32_t adAction, std::int32_t eventOnStartLoad,
    std::int32_t eventOnFinishLoad) {
    actionDelegate_ = actionDelegate;
    adAction_ = adAction;
    eventOnStartLoad_ = eventOnStartLoad;
    eventOnFinishLoad_ = eventOnFinishLoad;
    lastURL_ = url;
    if (!url) return nullptr;
    if (url->absoluteString().find("http") == std::string::npos && UIApplication::sharedApplication()->canOpenURL(url)) {
        finish();
        return nullptr;
    }
    referralURL_ = url;
    return NSURLConnection::initWithRequestDelegateStartImmediately(NSURLRequest::requestWithURL(url), self<VuderuAdConnectionDelegate>(),
                                                                   true);
}

NSURLRequestPtr VuderuAdConnectionDelegate::connectionWillSendRequestRedirectResponse(const NSURLConnectionPtr& connection,
                                                                                     const NSURLRequestPtr& request,
                                                                                     const NSURLResponsePtr&) {
    if (request && request->URL()) lastURL_ = request->URL();
    if (lastURL_ && lastURL_->absoluteString().find(kVuderuAppStoreWebDomain) != std::string::npos) {
        connection->cancel();
        if (auto delegate = actionDelegate()) delegate->linkProcessedForAdAction(lastURL_->absoluteString(), actionName());
    }
    return request;
}

void VuderuAdConnectionDelegate::connectionDidFinishLoading(const NSURLConnectionPtr&) { finish(); }

void VuderuAdConnectionDelegate::connectionDidFailWithError(const NSURLConnectionPtr&, const NSErrorPtr& error) {
    if (auto delegate = actionDelegate()) delegate->linkNotProcessedForAdAction(error, actionName());
}

void VuderuAdConnectionDelegate::finish() {
    auto delegate = actionDelegate();
    if (!delegate) return;
    if (referralURL_ && lastURL_ && referralURL_->absoluteString() == lastURL_->absoluteString()) {
        delegate->linkNotProcessedForAdAction(nullptr, actionName());
    } else {
        delegate->linkProcessedForAdAction(lastURL_ ? std::optional<std::string>(lastURL_->absoluteString()) : std::nullopt, actionName());
    }
}

std::string VuderuAdConnectionDelegate::actionName() const { return VuderuAdAction::adActionEnumToString(adAction_); }
