#pragma once
// URL connections over the URL loader of the run loop they are scheduled in, so every delegate
// callback runs on the run loop's thread, and a delegate that takes its time slows the transfer
// down instead of letting data pile up in memory. Redirects are followed here, not by curl, so that
// the delegate can change or stop them; every request over TLS raises a server-trust challenge
// carrying the chain the server presented (also on a kept-alive connection that an earlier request
// opened: its trust was that request's decision), and a 401 that asks for HTTP Basic credentials raises
// a challenge whose credential sends the request again.
//
// Callback order: will-send-request (first request, no redirect response), the server-trust
// challenge (requests over TLS), did-send-body-data, will-send-request for each redirect,
// did-receive-response once, did-receive-data per chunk, will-cache-response, and then exactly one
// of did-finish-loading or did-fail-with-error. After cancel() returns nothing more arrives.

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/net/NSURLAuthenticationChallenge.h"
#include "platform/net/NSURLConnectionDelegate.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSURLError.h"
#include "platform/net/NSURLRequest.h"
#include "platform/net/NSURLResponse.h"
#include "platform/net/URLTransfer.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>

class NSOperationQueue;
class URLLoader;

class NSURLConnection : public NSObject, public NSURLAuthenticationChallengeSender, public URLTransferClient {
public:
    // Not started; schedule it (or it goes on the current run loop when started) and start it.
    NSURLConnection(NSURLRequestPtr request, std::shared_ptr<NSURLConnectionDataDelegate> delegate);
    ~NSURLConnection() override;

    // initWithRequest:delegate:startImmediately: — with start, scheduled on the current run loop
    // in the default mode and started.
    static NSURLConnectionPtr initWithRequestDelegateStartImmediately(const NSURLRequestPtr& request,
                                                                      const std::shared_ptr<NSURLConnectionDataDelegate>& delegate,
                                                                      bool startImmediately);
    static NSURLConnectionPtr connectionWithRequest(const NSURLRequestPtr& request,
                                                    const std::shared_ptr<NSURLConnectionDataDelegate>& delegate);

    // Whether a connection can load the request: http, https and file URLs.
    static bool canHandleRequest(const NSURLRequestPtr& request);

    // Only the first run loop counts; modes are accepted for the design's sake.
    void scheduleInRunLoop(const std::shared_ptr<NSRunLoop>& runLoop, const std::string& mode);
    void unscheduleFromRunLoop(const std::shared_ptr<NSRunLoop>& runLoop, const std::string& mode);
    void start();
    void cancel();

    const NSURLRequestPtr& originalRequest() const { return originalRequest_; }
    NSURLRequestPtr currentRequest() const;
    // Whether the connection waits for its server's name to be looked up, so that nothing of its
    // request can have reached the server yet. On the thread of its run loop.
    bool isLookingUpServerName() const { return transfer_ && transfer_->lookingUpServerName(); }

    // Loads on the URL loader thread and waits. The body (possibly empty) comes back whatever the
    // status; nil with the error when the load failed. Must not be called on the loader thread.
    static NSDataPtr sendSynchronousRequest(const NSURLRequestPtr& request, NSURLResponsePtr* response, NSErrorPtr* error);
    // Loads on the URL loader thread, then runs the handler as an operation of the queue.
    using CompletionHandler = std::function<void(const NSURLResponsePtr& response, const NSDataPtr& data, const NSErrorPtr& error)>;
    static void sendAsynchronousRequest(const NSURLRequestPtr& request, const std::shared_ptr<NSOperationQueue>& queue,
                                        CompletionHandler handler);
    // The most bytes the two calls above gather into one answer (the request's own
    // maximumBodyLength when that is less): an answer announced or grown past it fails with
    // NSURLErrorDataLengthExceedsMaximum and no data, its transfer stopped there, instead of
    // filling the device's memory. 256 MB unless a test sets another (0 puts the default back).
    static constexpr std::size_t kDefaultGatheredBodyLimit = 256u << 20;
    static std::size_t gatheredBodyLimit();
    static void setGatheredBodyLimit(std::size_t bytes);
    // The run loop of the process's URL loader thread (made on first use).
    static std::shared_ptr<NSRunLoop> loaderRunLoop();

    // The challenge sender.
    void useCredentialForAuthenticationChallenge(const NSURLCredentialPtr& credential,
                                                 const NSURLAuthenticationChallengePtr& challenge) override;
    void continueWithoutCredentialForAuthenticationChallenge(const NSURLAuthenticationChallengePtr& challenge) override;
    void cancelAuthenticationChallenge(const NSURLAuthenticationChallengePtr& challenge) override;
    void performDefaultHandlingForAuthenticationChallenge(const NSURLAuthenticationChallengePtr& challenge) override;
    void rejectProtectionSpaceAndContinueWithChallenge(const NSURLAuthenticationChallengePtr& challenge) override;

private:
    // Created -> Started (start() called; it begins in a later pass of its run loop) -> Loading
    // (a transfer runs; redirects and retries stay here) -> Finished or Cancelled, which are final.
    enum class State { Created, Started, Loading, Finished, Cancelled };
    // The one place the state changes; false when the move is not allowed (from a final state).
    bool setState(State state);
    bool isCancelled() const { return state_ == State::Cancelled; }

    void beginOnLoop();
    void startTransfer(const NSURLRequestPtr& request);
    void fail(const NSErrorPtr& error);
    void finishCleanly();
    NSErrorPtr errorFor(long code, const std::string& description) const;
    NSURLConnectionPtr strongSelf() { return self<NSURLConnection>(); }

    // The transfer's client (loop thread).
    bool transferShouldTrustServer(URLTransfer& transfer, const SecTrustRef& trust, long* refusal) override;
    HeadDisposition transferDidReceiveHead(URLTransfer& transfer, const std::shared_ptr<NSHTTPURLResponse>& response) override;
    bool transferDidReceiveData(URLTransfer& transfer, const NSDataPtr& data) override;
    bool transferDidSendBodyData(URLTransfer& transfer, long long totalSent, long long totalExpected) override;
    void transferDidComplete(URLTransfer& transfer, const URLTransferOutcome& outcome) override;
    void transferLookingUpServerName(URLTransfer&, bool lookingUp) override {
        if (lookupObserver_) lookupObserver_(lookingUp);
    }

    // The request a 3xx response leads to, as the delegate changed it; nil when it is not followed.
    NSURLRequestPtr redirectFor(const std::shared_ptr<NSHTTPURLResponse>& response);
    // A 401 with a challenge: asks the delegate; a Basic credential sends the request again.
    enum class AuthenticationOutcome { Deliver, Retry, Abort };
    AuthenticationOutcome authenticate(const std::shared_ptr<NSHTTPURLResponse>& response);
    enum class Answer { None, Use, Continue, Cancel, Default, Reject };
    // Raises a challenge with the delegate and returns its answer.
    Answer ask(const std::shared_ptr<NSURLProtectionSpace>& space, long previousFailures, const NSURLResponsePtr& failureResponse);

    NSURLRequestPtr originalRequest_;
    NSURLRequestPtr request_;  // the request being sent now
    std::shared_ptr<NSURLConnectionDataDelegate> delegate_;
    std::shared_ptr<NSRunLoop> runLoop_;
    std::shared_ptr<URLLoader> loader_;
    std::shared_ptr<URLTransfer> transfer_;
    // Where the running transfer leads once its (dropped) body is read: a redirect or a retry.
    NSURLRequestPtr followUp_;
    NSURLResponsePtr response_;
    std::atomic<State> state_{State::Created};
    bool askedCredentialStorage_ = false;
    int redirects_ = 0;
    long authenticationFailures_ = 0;
    long long bodyBytesSent_ = 0;
    // Told when a transfer starts or stops waiting for a name lookup (a synchronous request's
    // waiter); set before start.
    std::function<void(bool)> lookupObserver_;
    Answer answer_ = Answer::None;
    NSURLCredentialPtr answerCredential_;
};
