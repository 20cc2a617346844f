#pragma once
// One request/response exchange of the URL loader: a request sent on a connection of the loader's
// run loop, its response head read line by line, its body passed on as it arrives, and one
// outcome at the end. The transfer knows HTTP framing and the wire; its client (a connection, a
// session task) decides what a head means — deliver it, follow it elsewhere, send again — and
// what the outcome becomes.
//
// Trust belongs to the exchange, not to the TLS connection it happens to run on: before any byte
// of a TLS connection is used for this request, the client is asked about the chain that
// connection's server presented, whether the connection was opened for this request or reused
// from an earlier one (which its own client may have judged by another rule).

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSError.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSURLRequest.h"
#include "platform/security/SecTrust.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class NSTimer;
class URLLoader;
class URLTransfer;

enum class URLTransferState {
    Created,        // configured, not yet on a loader
    Sending,        // on the loader: connecting, sending, waiting for a final head
    ReceivingBody,  // the client took the head; body bytes go to it
    SkippingBody,   // the head is followed elsewhere (a redirect, a retry); its body is read and dropped
    Completed,      // ended; the client has its outcome
    Abandoned,      // stopped by the client before it ended; nothing more reaches the client
};

struct URLTransferOutcome {
    long code = 0;  // 0 on success, else the NSURLErrorDomain code
    std::string description;
    NSErrorPtr error;  // a failure of the client's own (a body stream, a refused challenge), reported as it is
    bool succeeded() const { return code == 0 && !error; }
};

class URLTransferClient {
public:
    enum class HeadDisposition { Deliver, Skip, Abort };
    virtual ~URLTransferClient() = default;

    // The chain presented by the server of the TLS connection this exchange is about to use. False
    // refuses it; `refusal` then holds the NSURLErrorDomain code to fail with.
    virtual bool transferShouldTrustServer(URLTransfer& transfer, const SecTrustRef& trust, long* refusal) = 0;
    // A final (non-1xx) response head. Skip reads its body without passing it on.
    virtual HeadDisposition transferDidReceiveHead(URLTransfer& transfer, const std::shared_ptr<NSHTTPURLResponse>& response) = 0;
    // False stops the exchange.
    virtual bool transferDidReceiveData(URLTransfer& transfer, const NSDataPtr& data) = 0;
    virtual bool transferDidSendBodyData(URLTransfer& transfer, long long totalSent, long long totalExpected) = 0;
    virtual void transferDidComplete(URLTransfer& transfer, const URLTransferOutcome& outcome) = 0;
    // The exchange starts or stops waiting for its server's name to be looked up.
    virtual void transferLookingUpServerName(URLTransfer&, bool) {}
};

class URLTransfer : public std::enable_shared_from_this<URLTransfer> {
public:
    // Nil, with the reason in *refusal, for a request that cannot be sent (no URL, not HTTP).
    static std::shared_ptr<URLTransfer> make(const NSURLRequestPtr& request, const std::shared_ptr<URLTransferClient>& client,
                                             URLTransferOutcome* refusal);
    ~URLTransfer();
    URLTransfer(const URLTransfer&) = delete;
    URLTransfer& operator=(const URLTransfer&) = delete;

    // Hands the exchange to the loader; the transfer holds its client until the outcome.
    void start(const std::shared_ptr<URLLoader>& loader);
    // Stops the exchange without an outcome; safe inside the client's own callbacks.
    void abandon();
    // Holds the exchange where it is (no bytes either way, no time-out) until resumed. On the
    // loader's run loop, outside the client's callbacks.
    void setPaused(bool paused);
    bool paused() const { return paused_; }
    URLTransferState state() const { return state_; }
    // Whether the exchange waits for its server's name to be looked up: until that ends, nothing of
    // the request can have reached the server. On the loader's run loop.
    bool lookingUpServerName() const { return lookingUpName_ && live(); }
    // Transfers started and not yet ended, in the whole process (the driver's settle waits on it).
    static int inFlightCount();
    // A stretch of real time during which some transfer of the process was in flight: from the
    // start that made the count 1 to the end that brought it back to 0. The script clock follows
    // it, counting from its beginning and dating what comes after it at its end.
    struct InFlightStretch {
        std::uint64_t number = 0;  // 0 before the first; one more for each stretch
        std::chrono::steady_clock::time_point began{};
        std::chrono::steady_clock::time_point ended{};  // meaningful once it is over
        bool over = true;
    };
    // The stretch under way, or the last one.
    static InFlightStretch inFlightStretch();
    const NSURLRequestPtr& request() const { return request_; }
    // The failure to report when the client stops the exchange from one of its callbacks (false,
    // Abort); a client that stops it without one has cancelled it. Either way the client hears the
    // outcome: only abandon() ends an exchange without one.
    void setClientError(NSErrorPtr error) { clientError_ = std::move(error); }

private:
    friend class URLLoader;
    struct Curl;
    friend struct URLTransferCallbacks;

    URLTransfer(NSURLRequestPtr request, std::shared_ptr<URLTransferClient> client);
    // The one place the state changes; a finished state (completed, abandoned) is final.
    bool setState(URLTransferState state);
    bool configure(URLTransferOutcome* refusal);
    // Sets up curl's handle for the request; throws std::bad_alloc when memory runs out.
    void prepareCurl();
    // Called by the loader as the exchange gets its connection; false when its handle could not
    // be made.
    bool launch();
    // Scheme, host and port: the exchanges that share a server's connections.
    const std::string& hostKey() const { return hostKey_; }
    bool live() const { return state_ != URLTransferState::Completed && state_ != URLTransferState::Abandoned; }
    // Live and not stopped: what curl's callbacks answer, so that curl ends a stopped exchange.
    bool running() const { return live() && !stopReason_; }

    // The one way an exchange fails from this side (a refused head or body, a client that stops
    // it, a refused server, a time-out): the first reason holds and is the outcome. Inside curl's
    // callbacks the caller answers curl false and curl's end reports it (complete); elsewhere the
    // exchange leaves the loader and reports it at once.
    void stopWith(URLTransferOutcome reason);
    // Why the client stopped the exchange from one of its callbacks.
    URLTransferOutcome clientStop() const;
    // Reports the reason of an exchange stopped inside curl's callbacks (the loader, after curl).
    void finishStopped() {
        if (stopReason_) finish(*stopReason_);
    }

    // The curl callbacks' work.
    bool headerLine(const char* data, std::size_t length);
    bool endOfHead();
    // Whether the body is in no content coding or only in those the transfer decodes (gzip,
    // deflate): the client then gets the decoded bytes, as a device's loading gives them.
    bool bodyCodingIsReadable(const NSHTTPURLResponse& response) const;
    bool bodyData(const char* data, std::size_t length);
    void deliverPending();
    bool uploadProgress(long long uploaded, long long total);
    long readBody(std::uint8_t* buffer, std::size_t length);
    bool evaluateTrust(std::vector<SecCertificateRef> chain);
    bool checkReusedConnection();
    void nameLookupStarted() { setLookingUpName(true); }
    void connectionSocketOpened() { setLookingUpName(false); }
    void setLookingUpName(bool lookingUp);
    // Called by the loader once curl has ended the exchange.
    void complete(int curlCode);
    void finish(const URLTransferOutcome& outcome);
    // The request's time-out is the longest time without a byte either way, on the platform clock.
    void noteActivity();
    void armIdleTimer(double delay);
    void idleTimerFired();

    NSURLRequestPtr request_;
    std::string hostKey_;
    std::shared_ptr<URLTransferClient> client_;
    std::shared_ptr<URLLoader> loader_;
    std::unique_ptr<Curl> curl_;
    URLTransferState state_ = URLTransferState::Created;
    // The head being read.
    long status_ = 0;
    std::string version_;
    NSHTTPHeaderFields fields_;
    // Whether this exchange's own client has judged the TLS connection it runs on.
    bool trustDecided_ = false;
    // Why this side stopped the exchange (stopWith), once it did.
    std::optional<URLTransferOutcome> stopReason_;
    // The request's bound on the decoded body (0: none).
    std::size_t maximumBodyLength_ = 0;
    NSErrorPtr clientError_;
    double timeout_ = 0;
    double lastActivity_ = 0;
    std::shared_ptr<NSTimer> idleTimer_;
    bool paused_ = false;
    bool lookingUpName_ = false;
    long long streamedBytes_ = 0;
    long long uploaded_ = 0;  // body bytes read from a body stream (curl's count includes chunk framing)
    // Body bytes curl handed over in its small pieces since the last delivery: one delivery per
    // read from the network, not one per piece.
    std::vector<std::uint8_t> pending_;
    // The body's length as the head gives it (-1 when it does not), and what has come of it.
    long long bodyBytesExpected_ = -1;
    long long bodyBytesReceived_ = 0;
};
