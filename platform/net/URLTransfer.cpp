#include "platform/net/URLTransfer.h"

#include "platform/foundation/NSString.h"
#include "platform/foundation/NSTimer.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/net/NSURLError.h"
#include "platform/net/URLLoader.h"
#include "platform/net/URLTransferCurl.h"
#include "platform/security/SecPolicy.h"

#include <openssl/ssl.h>
#include <openssl/x509.h>


namespace {

// Large reads keep the per-chunk cost (one client call, one write) small on fast links.
constexpr long kReceiveBufferSize = 512 * 1024;

std::string statusLineVersion(const std::string& line) {
    std::size_t space = line.find(' ');
    return space == std::string::npos ? line : line.substr(0, space);
}

// A presented chain, leaf first, as certificates of their own.
std::vector<SecCertificateRef> chainOf(X509* leaf, STACK_OF(X509) * others) {
    std::vector<SecCertificateRef> chain;
    if (leaf) {
        X509_up_ref(leaf);
        chain.push_back(std::make_shared<SecCertificate>(leaf));
    }
    for (int i = 0; others && i < sk_X509_num(others); ++i) {
        X509* certificate = sk_X509_value(others, i);
        if (leaf && X509_cmp(certificate, leaf) == 0) continue;
        X509_up_ref(certificate);
        chain.push_back(std::make_shared<SecCertificate>(certificate));
    }
    return chain;
}

URLTransferOutcome outcomeOf(CURLcode code) {
    switch (code) {
    case CURLE_OK: return {};
    case CURLE_OPERATION_TIMEDOUT: return {NSURLErrorTimedOut, "The request timed out.", nullptr};
    case CURLE_COULDNT_RESOLVE_HOST: return {NSURLErrorCannotFindHost, "A server with the specified hostname could not be found.", nullptr};
    case CURLE_COULDNT_CONNECT: return {NSURLErrorCannotConnectToHost, "Could not connect to the server.", nullptr};
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING: return {NSURLErrorNetworkConnectionLost, "The network connection was lost.", nullptr};
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_USE_SSL_FAILED:
        return {NSURLErrorSecureConnectionFailed, "An SSL error has occurred and a secure connection to the server cannot be made.",
                nullptr};
    case CURLE_PEER_FAILED_VERIFICATION: return {NSURLErrorServerCertificateUntrusted, "The certificate for this server is invalid.", nullptr};
    case CURLE_URL_MALFORMAT: return {NSURLErrorUnsupportedURL, "unsupported URL", nullptr};
    case CURLE_UNSUPPORTED_PROTOCOL:  // the scheme was checked before: this is an answer without an HTTP status line
    case CURLE_WEIRD_SERVER_REPLY: return {NSURLErrorBadServerResponse, "The server returned a bad response.", nullptr};
    default: return {NSURLErrorUnknown, curl_easy_strerror(code), nullptr};
    }
}

} // namespace

// The callbacks are static members of an accessor struct so that they can reach the transfer's
// private handlers.
struct URLTransferCallbacks {
    static size_t header(char* data, size_t size, size_t count, void* userp) {
        size_t length = size * count;
        return static_cast<URLTransfer*>(userp)->headerLine(data, length) ? length : 0;
    }
    static size_t write(char* data, size_t size, size_t count, void* userp) {
        size_t length = size * count;
        return static_cast<URLTransfer*>(userp)->bodyData(data, length) ? length : CURL_WRITEFUNC_ERROR;
    }
    static int progress(void* userp, curl_off_t, curl_off_t, curl_off_t ultotal, curl_off_t ulnow) {
        return static_cast<URLTransfer*>(userp)->uploadProgress(ulnow, ultotal) ? 0 : 1;
    }
    static size_t read(char* buffer, size_t size, size_t count, void* userp) {
        long n = static_cast<URLTransfer*>(userp)->readBody(reinterpret_cast<std::uint8_t*>(buffer), size * count);
        return n < 0 ? CURL_READFUNC_ABORT : static_cast<size_t>(n);
    }
    static int verify(X509_STORE_CTX* context, void* userp) {
        auto* transfer = static_cast<URLTransfer*>(userp);
        bool accepted = transfer->evaluateTrust(chainOf(X509_STORE_CTX_get0_cert(context), X509_STORE_CTX_get0_untrusted(context)));
        X509_STORE_CTX_set_error(context, accepted ? X509_V_OK : X509_V_ERR_APPLICATION_VERIFICATION);
        return accepted ? 1 : 0;
    }
    // Runs once the connection is there (opened or reused), before the request goes out on it.
    static int prerequest(void* userp, char*, char*, int, int) {
        return static_cast<URLTransfer*>(userp)->checkReusedConnection() ? CURL_PREREQFUNC_OK : CURL_PREREQFUNC_ABORT;
    }
    static CURLcode sslContext(CURL*, void* sslContext, void* userp) {
        SSL_CTX_set_cert_verify_callback(static_cast<SSL_CTX*>(sslContext), &URLTransferCallbacks::verify, userp);
        return CURLE_OK;
    }
};

std::shared_ptr<URLTransfer> URLTransfer::make(const NSURLRequestPtr& request, const std::shared_ptr<URLTransferClient>& client,
                                               URLTransferOutcome* refusal) {
    std::shared_ptr<URLTransfer> transfer(new URLTransfer(request, client));
    if (!transfer->configure(refusal)) return nullptr;
    return transfer;
}

URLTransfer::URLTransfer(NSURLRequestPtr request, std::shared_ptr<URLTransferClient> client)
    : request_(std::move(request)), client_(std::move(client)), curl_(std::make_unique<Curl>()) {}

URLTransfer::~URLTransfer() = default;

bool URLTransfer::setState(URLTransferState state) {
    if (!live()) return false;
    state_ = state;
    if (!live()) {
        client_.reset();  // the client is held only while the exchange runs
        if (idleTimer_) idleTimer_->invalidate();
        idleTimer_.reset();
    }
    return true;
}

bool URLTransfer::configure(URLTransferOutcome* refusal) {
    NSURLPtr url = request_ ? request_->URL() : nullptr;
    std::string scheme = url ? NSString::lowercaseString(url->scheme()) : std::string();
    if (!url || (scheme != "http" && scheme != "https")) {
        if (refusal) *refusal = {NSURLErrorUnsupportedURL, "unsupported URL", nullptr};
        return false;
    }
    CURL* easy = curl_->easy = curl_easy_init();
    std::string text = url->absoluteString();
    // curl wants no fragment.
    text = text.substr(0, text.find('#'));
    curl_easy_setopt(easy, CURLOPT_URL, text.c_str());
    curl_easy_setopt(easy, CURLOPT_PRIVATE, this);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBufferSize);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &URLTransferCallbacks::header);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &URLTransferCallbacks::write);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &URLTransferCallbacks::progress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    // Each new TLS connection is evaluated (and challenged) afresh during its handshake, and a
    // reused one before the request is sent on it: no TLS session outlives the connection that
    // made it, and no exchange inherits another's trust decision.
    curl_easy_setopt(easy, CURLOPT_SSL_SESSIONID_CACHE, 0L);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &URLTransferCallbacks::prerequest);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, this);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);  // the trust evaluation compares the host
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &URLTransferCallbacks::sslContext);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, this);
    // curl's own time-outs follow the host's clock and average over windows; the transfer keeps
    // its own (idleTimerFired).
    timeout_ = request_->timeoutInterval() > 0 ? request_->timeoutInterval() : NSURLRequestDefaultTimeoutInterval;

    const std::string& method = request_->HTTPMethod();
    if (request_->HTTPBody()) {
        curl_->body = request_->HTTPBody();
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, curl_->body->bytes());
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(curl_->body->length()));
    } else if (request_->HTTPBodyStream()) {
        curl_->bodyStream = request_->HTTPBodyStream();
        if (curl_->bodyStream->streamStatus() == NSStreamStatusNotOpen) curl_->bodyStream->open();
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_READFUNCTION, &URLTransferCallbacks::read);
        curl_easy_setopt(easy, CURLOPT_READDATA, this);
        std::string length = request_->valueForHTTPHeaderField("Content-Length");
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(length.empty() ? -1 : NSString::longLongValue(length)));
    }
    if (method == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (method == "GET" && !curl_->body && !curl_->bodyStream) {
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    } else if (method != "POST") {
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
    }

    curl_slist* list = nullptr;
    for (const auto& [name, value] : request_->allHTTPHeaderFields()) {
        list = curl_slist_append(list, (name + ": " + value).c_str());
    }
    // No "Expect: 100-continue" pause before bodies.
    if (request_->valueForHTTPHeaderField("Expect").empty()) list = curl_slist_append(list, "Expect:");
    curl_->headers.reset(list);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, list);
    return true;
}

void URLTransfer::start(const std::shared_ptr<URLLoader>& loader) {
    if (state_ != URLTransferState::Created) return;
    loader_ = loader;
    setState(URLTransferState::Sending);
    noteActivity();
    armIdleTimer(timeout_);
    loader_->add(shared_from_this());
}

void URLTransfer::noteActivity() { lastActivity_ = PlatformClock::monotonic(); }

void URLTransfer::armIdleTimer(double delay) {
    std::weak_ptr<URLTransfer> weakSelf = shared_from_this();
    idleTimer_ = loader_->runLoop()->performAfterDelay(delay, [weakSelf] {
        if (auto self = weakSelf.lock()) self->idleTimerFired();
    });
}

void URLTransfer::idleTimerFired() {
    if (!live()) return;
    double idle = PlatformClock::monotonic() - lastActivity_;
    if (idle < timeout_) {
        armIdleTimer(timeout_ - idle);
        return;
    }
    auto keepAlive = shared_from_this();
    loader_->remove(keepAlive);
    finish({NSURLErrorTimedOut, "The request timed out.", nullptr});
}

void URLTransfer::abandon() {
    auto keepAlive = shared_from_this();
    if (!setState(URLTransferState::Abandoned)) return;
    pending_ = {};
    if (loader_) loader_->remove(keepAlive);
}

// MARK: - The head

bool URLTransfer::headerLine(const char* data, std::size_t length) {
    if (!live()) return false;
    noteActivity();
    std::string line(data, length);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (NSString::hasPrefix(line, "HTTP/")) {
        status_ = 0;
        fields_.clear();
        version_ = statusLineVersion(line);
        std::size_t space = line.find(' ');
        if (space != std::string::npos) status_ = std::atol(line.c_str() + space + 1);
        return true;
    }
    if (line.empty()) return endOfHead();
    std::size_t colon = line.find(':');
    if (colon == std::string::npos) return true;
    std::string name = line.substr(0, colon);
    std::string value = NSString::stringByTrimmingWhitespace(line.substr(colon + 1));
    auto it = fields_.find(name);
    if (it == fields_.end()) {
        fields_.emplace(name, value);
    } else {
        it->second += ", " + value;
    }
    return true;
}

bool URLTransfer::endOfHead() {
    // An interim (1xx) head is followed by another.
    if (status_ >= 100 && status_ < 200) return true;
    auto keepAlive = shared_from_this();
    auto client = client_;
    auto response = std::make_shared<NSHTTPURLResponse>(request_->URL(), status_, version_, fields_);
    switch (client->transferDidReceiveHead(*this, response)) {
    case URLTransferClient::HeadDisposition::Deliver: return setState(URLTransferState::ReceivingBody);
    case URLTransferClient::HeadDisposition::Skip: return setState(URLTransferState::SkippingBody);
    case URLTransferClient::HeadDisposition::Abort: return false;
    }
    return false;
}

// MARK: - The body

bool URLTransfer::bodyData(const char* data, std::size_t length) {
    if (!live()) return false;
    noteActivity();
    if (state_ != URLTransferState::ReceivingBody || length == 0) return true;
    if (pending_.empty()) {
        pending_.reserve(kReceiveBufferSize);
        loader_->needsFlush(shared_from_this());
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data);
    pending_.insert(pending_.end(), bytes, bytes + length);
    // A full buffer goes at once, so that what waits here never exceeds one read.
    if (pending_.size() >= static_cast<std::size_t>(kReceiveBufferSize)) deliverPending();
    return live();
}

void URLTransfer::deliverPending() {
    if (state_ != URLTransferState::ReceivingBody || pending_.empty()) return;
    auto keepAlive = shared_from_this();
    auto client = client_;
    auto data = std::make_shared<NSData>(std::move(pending_));
    pending_ = {};
    if (!client->transferDidReceiveData(*this, data)) abandon();
}

bool URLTransfer::uploadProgress(long long uploaded, long long total) {
    if (!live()) return false;
    if (curl_->bodyStream) uploaded = std::min(uploaded, streamedBytes_);
    if (uploaded > uploaded_) {
        uploaded_ = uploaded;
        noteActivity();
    }
    auto keepAlive = shared_from_this();
    auto client = client_;
    return client->transferDidSendBodyData(*this, uploaded, total > 0 ? total : -1) && live();
}

long URLTransfer::readBody(std::uint8_t* buffer, std::size_t length) {
    auto& stream = curl_->bodyStream;
    long n = stream->read(buffer, length);
    if (n < 0) {
        clientError_ = stream->streamError();
        return -1;
    }
    streamedBytes_ += n;
    return n;
}

// MARK: - Trust

bool URLTransfer::evaluateTrust(std::vector<SecCertificateRef> chain) {
    if (!live()) return false;
    std::string host = request_->URL()->host();
    SecTrustRef trust;
    if (chain.empty() || SecTrustCreateWithCertificates(chain, SecPolicyCreateSSL(true, host), &trust) != errSecSuccess) {
        trustRefusal_ = NSURLErrorServerCertificateUntrusted;
        return false;
    }
    auto keepAlive = shared_from_this();
    auto client = client_;
    long refusal = NSURLErrorServerCertificateUntrusted;
    bool accepted = client->transferShouldTrustServer(*this, trust, &refusal) && live();
    if (!accepted) trustRefusal_ = refusal;
    trustDecided_ = accepted;
    return accepted;
}

bool URLTransfer::checkReusedConnection() {
    if (!live()) return false;
    if (trustDecided_ || NSString::lowercaseString(request_->URL()->scheme()) != "https") return true;
    // The handshake of this connection was judged for an earlier exchange: this exchange's
    // client judges the same chain before any byte of its own goes over it.
    curl_tlssessioninfo* session = nullptr;
    if (curl_easy_getinfo(curl_->easy, CURLINFO_TLS_SSL_PTR, &session) != CURLE_OK || !session ||
        session->backend != CURLSSLBACKEND_OPENSSL || !session->internals) {
        trustRefusal_ = NSURLErrorServerCertificateUntrusted;
        return false;
    }
    auto* ssl = static_cast<SSL*>(session->internals);
    return evaluateTrust(chainOf(SSL_get0_peer_certificate(ssl), SSL_get_peer_cert_chain(ssl)));
}

// MARK: - The outcome

void URLTransfer::complete(int curlCode) {
    auto keepAlive = shared_from_this();
    if (!live()) return;
    auto code = static_cast<CURLcode>(curlCode);
    URLTransferOutcome outcome;
    // The body of a head that is followed elsewhere matters to nobody: its end need not be clean.
    bool skipped = state_ == URLTransferState::SkippingBody && (code == CURLE_PARTIAL_FILE || code == CURLE_RECV_ERROR);
    if (code == CURLE_OK || skipped) {
        outcome = {};
    } else if (trustRefusal_) {
        outcome.code = trustRefusal_;
        outcome.description = trustRefusal_ == NSURLErrorUserCancelledAuthentication ? "cancelled" : "The certificate for this server is invalid.";
    } else if (clientError_) {
        outcome.error = clientError_;
    } else {
        outcome = outcomeOf(code);
    }
    finish(outcome);
}

void URLTransfer::finish(const URLTransferOutcome& outcome) {
    auto keepAlive = shared_from_this();
    auto client = client_;
    if (!setState(URLTransferState::Completed)) return;
    client->transferDidComplete(*this, outcome);
}
