#pragma once
// URL connections over libcurl. Each run loop that has connections scheduled in it owns one curl
// multi handle whose sockets and timer are sources of that run loop, so every delegate callback
// runs on the run loop's thread, and a delegate that takes its time slows the transfer down
// instead of letting data pile up in memory. Redirects are followed here, not by curl, so that
// the delegate can change or stop them; every new TLS connection raises a server-trust challenge
// carrying the chain the server presented, and a 401 that asks for HTTP Basic credentials raises
// a challenge whose credential sends the request again.
//
// Callback order: will-send-request (first request, no redirect response), the server-trust
// challenge per new TLS connection, did-send-body-data, will-send-request for each redirect,
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

#include <atomic>
#include <functional>
#include <memory>
#include <string>

class NSOperationQueue;

class NSURLConnection : public NSObject, public NSURLAuthenticationChallengeSender {
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

    // Only the first run loop counts; modes are accepted for the design's sake.
    void scheduleInRunLoop(const std::shared_ptr<NSRunLoop>& runLoop, const std::string& mode);
    void unscheduleFromRunLoop(const std::shared_ptr<NSRunLoop>& runLoop, const std::string& mode);
    void start();
    void cancel();

    const NSURLRequestPtr& originalRequest() const { return originalRequest_; }
    NSURLRequestPtr currentRequest() const;

    // Loads on the URL loader thread and waits. The body (possibly empty) comes back whatever the
    // status; nil with the error when the load failed. Must not be called on the loader thread.
    static NSDataPtr sendSynchronousRequest(const NSURLRequestPtr& request, NSURLResponsePtr* response, NSErrorPtr* error);
    // Loads on the URL loader thread, then runs the handler as an operation of the queue.
    using CompletionHandler = std::function<void(const NSURLResponsePtr& response, const NSDataPtr& data, const NSErrorPtr& error)>;
    static void sendAsynchronousRequest(const NSURLRequestPtr& request, const std::shared_ptr<NSOperationQueue>& queue,
                                        CompletionHandler handler);
    // The run loop of the process's URL loader thread (made on first use).
    static std::shared_ptr<NSRunLoop> loaderRunLoop();

    // The challenge sender.
    void useCredentialForAuthenticationChallenge(const NSURLCredentialPtr& credential,
                                                 const NSURLAuthenticationChallengePtr& challenge) override;
    void continueWithoutCredentialForAuthenticationChallenge(const NSURLAuthenticationChallengePtr& challenge) override;
    void cancelAuthenticationChallenge(const NSURLAuthenticationChallengePtr& challenge) override;
    void performDefaultHandlingForAuthenticationChallenge(const NSURLAuthenticationChallengePtr& challenge) override;
    void rejectProtectionSpaceAndContinueWithChallenge(const NSURLAuthenticationChallengePtr& challenge) override;

    struct Transfer;
    struct Loader;

private:
    friend struct Transfer;
    friend struct Loader;
    friend struct NSURLConnectionCallbacks;

    void beginOnLoop();
    bool startTransfer(const NSURLRequestPtr& request);
    void transferDone(int curlCode);
    void fail(const NSErrorPtr& error);
    void finishCleanly();
    void release();
    NSErrorPtr errorFor(long code, const std::string& description) const;

    // Called from the transfer's curl callbacks (loop thread).
    bool headerLine(const char* data, std::size_t length);
    bool bodyData(const char* data, std::size_t length);
    // A 401 with a challenge: asks the delegate; a Basic credential sends the request again.
    enum class AuthenticationOutcome { Deliver, Retry, Abort };
    AuthenticationOutcome authenticate(const std::shared_ptr<NSHTTPURLResponse>& response);
    void deliverPending();
    bool uploadProgress(long long uploaded, long long total);
    bool verifyServerTrust(void* storeContext);

    NSURLRequestPtr originalRequest_;
    NSURLRequestPtr request_;  // the request being sent now
    std::shared_ptr<NSURLConnectionDataDelegate> delegate_;
    std::shared_ptr<NSRunLoop> runLoop_;
    std::shared_ptr<Loader> loader_;
    std::unique_ptr<Transfer> transfer_;
    NSURLResponsePtr response_;
    std::atomic<bool> cancelled_{false};
    bool started_ = false;
    bool finished_ = false;
    bool receivedResponse_ = false;
    bool askedCredentialStorage_ = false;
    int redirects_ = 0;
    long authenticationFailures_ = 0;
    long long bodyBytesSent_ = 0;
    enum class Answer { None, Use, Continue, Cancel, Default, Reject };
    Answer answer_ = Answer::None;
    NSURLCredentialPtr answerCredential_;
};
