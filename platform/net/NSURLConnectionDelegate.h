#pragma once
// The delegate protocols of NSURLConnection. Every method is optional; the default bodies do what
// the connection does for a delegate that does not implement the method.

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSError.h"
#include "platform/net/NSCachedURLResponse.h"
#include "platform/net/NSURLAuthenticationChallenge.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/NSURLResponse.h"

#include <memory>
#include <optional>

class NSURLConnection;
using NSURLConnectionPtr = std::shared_ptr<NSURLConnection>;

class NSURLConnectionDelegate {
public:
    virtual ~NSURLConnectionDelegate() = default;

    virtual void connectionDidFailWithError(const NSURLConnectionPtr&, const NSErrorPtr&) {}
    virtual bool connectionShouldUseCredentialStorage(const NSURLConnectionPtr&) { return true; }
    // Must answer through the challenge's sender before returning. The default hands the challenge
    // to the older calls below, as the connection does for a delegate without this method.
    virtual void connectionWillSendRequestForAuthenticationChallenge(const NSURLConnectionPtr& connection,
                                                                     const NSURLAuthenticationChallengePtr& challenge);

    // The older challenge calls, used only when the call above is not implemented.
    // Whether connectionDidReceiveAuthenticationChallenge is asked about challenges of this space.
    // Not implemented (nullopt): it is asked about every challenge except server trust, which gets
    // the default evaluation — so such a delegate's answers concern HTTP authentication only.
    virtual std::optional<bool> connectionCanAuthenticateAgainstProtectionSpace(const NSURLConnectionPtr&,
                                                                                 const std::shared_ptr<NSURLProtectionSpace>&) {
        return std::nullopt;
    }
    // Answers through the challenge's sender before returning; returns true. Only this default
    // body returns false: it stands for "not implemented", and the challenge gets the default
    // handling.
    virtual bool connectionDidReceiveAuthenticationChallenge(const NSURLConnectionPtr&, const NSURLAuthenticationChallengePtr&) {
        return false;
    }
    // The connection gave up a challenge that was left unanswered; the load then fails.
    virtual void connectionDidCancelAuthenticationChallenge(const NSURLConnectionPtr&, const NSURLAuthenticationChallengePtr&) {}
};

class NSURLConnectionDataDelegate : public NSURLConnectionDelegate {
public:
    // Before the first request (with no redirect response) and before following each redirect.
    // A nil answer to a redirect stops following it: the 3xx response is delivered as the answer.
    // A nil answer for the first request cancels the load.
    virtual NSURLRequestPtr connectionWillSendRequestRedirectResponse(const NSURLConnectionPtr&, const NSURLRequestPtr& request,
                                                                      const NSURLResponsePtr&) {
        return request;
    }
    virtual void connectionDidReceiveResponse(const NSURLConnectionPtr&, const NSURLResponsePtr&) {}
    virtual void connectionDidReceiveData(const NSURLConnectionPtr&, const NSDataPtr&) {}
    virtual void connectionDidSendBodyData(const NSURLConnectionPtr&, long long /*bytesWritten*/,
                                           long long /*totalBytesWritten*/, long long /*totalBytesExpectedToWrite*/) {}
    virtual NSCachedURLResponsePtr connectionWillCacheResponse(const NSURLConnectionPtr&,
                                                               const NSCachedURLResponsePtr& cachedResponse) {
        return cachedResponse;
    }
    virtual void connectionDidFinishLoading(const NSURLConnectionPtr&) {}
};
