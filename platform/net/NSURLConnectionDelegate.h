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

class NSURLConnection;
using NSURLConnectionPtr = std::shared_ptr<NSURLConnection>;

class NSURLConnectionDelegate {
public:
    virtual ~NSURLConnectionDelegate() = default;

    virtual void connectionDidFailWithError(const NSURLConnectionPtr&, const NSErrorPtr&) {}
    virtual bool connectionShouldUseCredentialStorage(const NSURLConnectionPtr&) { return true; }
    // Must answer through the challenge's sender before returning.
    virtual void connectionWillSendRequestForAuthenticationChallenge(const NSURLConnectionPtr& connection,
                                                                     const NSURLAuthenticationChallengePtr& challenge);
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
