#pragma once
// Follows a referral URL through its redirects to where it ends and tells the action delegate:
// a link that reaches the app store's web domain is stopped there, before any lookup of that
// host, and reported with that URL; a page reached without a redirect is reported as not
// processed. The connection runs on the calling thread's run loop.

#include "platform/net/NSURLConnection.h"
#include "sdk/ads/VuderuActionDelegate.h"

#include <cstdint>
#include <memory>

// The host that App Store links use on the web.
inline constexpr const char* kVuderuAppStoreWebDomain = "itunes.apple.com";

class VuderuAdConnectionDelegate : public NSObject, public NSURLConnectionDataDelegate {
public:
    VuderuAdConnectionDelegate() = default;

    // Starts following the URL; nil when it needs no following (a URL of another app that the
    // system can open, reported at once) or cannot be loaded.
    NSURLConnectionPtr openReferralURLActionDelegateAdActionEventOnStartLoadEventOnFinishLoad(
        const NSURLPtr& url, const VuderuActionDelegatePtr& actionDelegate, std::int32_t adAction, std::int32_t eventOnStartLoad,
        std::int32_t eventOnFinishLoad);

    const NSURLPtr& referralURL() const { return referralURL_; }
    const NSURLPtr& lastURL() const { return lastURL_; }
    VuderuActionDelegatePtr actionDelegate() const { return actionDelegate_.lock(); }
    std::int32_t adAction() const { return adAction_; }
    std::int32_t eventOnStartLoad() const { return eventOnStartLoad_; }
    std::int32_t eventOnFinishLoad() const { return eventOnFinishLoad_; }

    NSURLRequestPtr connectionWillSendRequestRedirectResponse(const NSURLConnectionPtr& connection, const NSURLRequestPtr& request,
                                                              const NSURLResponsePtr& redirectResponse) override;
    void connectionDidFinishLoading(const NSURLConnectionPtr& connection) override;
    void connectionDidFailWithError(const NSURLConnectionPtr& connection, const NSErrorPtr& error) override;

private:
    void finish();
    std::string actionName() const;

    NSURLPtr referralURL_;
    NSURLPtr lastURL_;
    std::weak_ptr<VuderuActionDelegate> actionDelegate_;
    std::int32_t adAction_ = 0;
    std::int32_t eventOnStartLoad_ = 0;
    std::int32_t eventOnFinishLoad_ = 0;
};
