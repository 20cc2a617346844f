#pragma once
// The delegate of an SDK HTTP task's connection: collects the answer and turns the connection's
// events into exactly one outcome for the task's delegate. The outcome also goes to the network
// status holder: a connection error, or a "Failed to load url" error (code 4) for a status
// outside 200..299, becomes the last network error; a 2xx clears it.

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSObject.h"
#include "platform/net/NSHTTPPartialContent.h"
#include "platform/net/NSURLConnectionDelegate.h"
#include "sdk/analytics/VuderuHttpAsyncTask.h"

#include <cstddef>
#include <memory>

class VuderuConnectionDelegate : public NSObject, public NSURLConnectionDataDelegate {
public:
    static constexpr const char* kFailedToLoadDomain = "Failed to load url";
    static constexpr long kFailedToLoadCode = 4;
    // The most an answer held in memory may be (the task's request carries it, or a smaller bound
    // of its own, and the loader stops the answer there): past it (declared or sent) the request
    // fails with NSURLErrorDataLengthExceedsMaximum and no body, so a server that sends without
    // end cannot use up the device's memory.
    static constexpr std::size_t kMaxBodyBytes = std::size_t{32} << 20;

    VuderuConnectionDelegate(std::shared_ptr<VuderuHttpAsyncTaskDelegate> taskDelegate, VuderuHttpAsyncTaskPtr taskParent);

    const NSDataPtr& body() const { return body_; }
    const NSHTTPURLResponsePtr& response() const { return response_; }
    const NSErrorPtr& error() const { return error_; }
    bool isDone() const { return done_; }

    // Reports a cancel to the task's delegate.
    void connectionCanceled();
    VuderuHTTPResponsePtr constructResponse() const;

    NSURLRequestPtr connectionWillSendRequestRedirectResponse(const NSURLConnectionPtr&, const NSURLRequestPtr& request,
                                                              const NSURLResponsePtr&) override {
        return request;
    }
    // Server trust keeps the default evaluation; HTTP authentication gets the challenge's own
    // proposed credential.
    void connectionWillSendRequestForAuthenticationChallenge(const NSURLConnectionPtr& connection,
                                                             const NSURLAuthenticationChallengePtr& challenge) override;
    void connectionDidCancelAuthenticationChallenge(const NSURLConnectionPtr& connection);
    void connectionDidReceiveResponse(const NSURLConnectionPtr&, const NSURLResponsePtr& response) override;
    void connectionDidReceiveData(const NSURLConnectionPtr&, const NSDataPtr& data) override;
    NSCachedURLResponsePtr connectionWillCacheResponse(const NSURLConnectionPtr&, const NSCachedURLResponsePtr&) override {
        return nullptr;
    }
    void connectionDidFinishLoading(const NSURLConnectionPtr&) override;
    void connectionDidFailWithError(const NSURLConnectionPtr&, const NSErrorPtr& error) override;

private:
    void failBadAnswer(const NSURLConnectionPtr& connection, const std::string& refusal);

    NSDataPtr body_;
    NSHTTPURLResponsePtr response_;
    // A partial answer counts only as the range the request asked for.
    NSHTTPPartialContent partialContent_;
    std::shared_ptr<VuderuHttpAsyncTaskDelegate> httpTaskDelegate_;
    VuderuHttpAsyncTaskPtr httpTask_;
    NSErrorPtr error_;
    bool done_ = false;
};
