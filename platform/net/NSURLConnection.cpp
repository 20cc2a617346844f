#include "platform/net/NSURLConnection.h"

#include "platform/dispatch/NSOperationQueue.h"
#include "platform/foundation/NSStream.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/NSThread.h"
#include "platform/net/NSCachedURLResponse.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/security/SecPolicy.h"
#include "platform/security/SecTrust.h"

#include <curl/curl.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cassert>
#include <cmath>
#include <condition_variable>
#include <map>
#include <mutex>
#include <vector>

const std::string NSURLAuthenticationMethodDefault = "NSURLAuthenticationMethodDefault";
const std::string NSURLAuthenticationMethodHTTPBasic = "NSURLAuthenticationMethodHTTPBasic";
const std::string NSURLAuthenticationMethodServerTrust = "NSURLAuthenticationMethodServerTrust";
const std::string NSURLProtectionSpaceHTTP = "http";
const std::string NSURLProtectionSpaceHTTPS = "https";

void NSURLConnectionDelegate::connectionWillSendRequestForAuthenticationChallenge(const NSURLConnectionPtr&,
                                                                                  const NSURLAuthenticationChallengePtr& challenge) {
    if (auto sender = challenge->sender()) sender->performDefaultHandlingForAuthenticationChallenge(challenge);
}

namespace {

// Large reads keep the per-chunk cost (one delegate call, one write) small on fast links.
constexpr long kReceiveBufferSize = 512 * 1024;
constexpr int kMaximumRedirects = 16;
constexpr long kHTTPStatusUnauthorized = 401;

struct CurlGlobal {
    CurlGlobal() { curl_global_init(CURL_GLOBAL_DEFAULT); }
};

void ensureCurl() {
    static CurlGlobal global;
    (void)global;
}

struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

std::string statusLineVersion(const std::string& line) {
    std::size_t space = line.find(' ');
    return space == std::string::npos ? line : line.substr(0, space);
}

} // namespace

// MARK: - Transfer: one curl easy handle, the state of one request/response exchange

struct NSURLConnection::Transfer {
    CURL* easy = nullptr;
    std::unique_ptr<curl_slist, SlistDeleter> headers;
    NSDataPtr body;  // kept alive while curl reads it
    std::shared_ptr<NSInputStream> bodyStream;
    // Body bytes read from the stream; curl's own count includes the chunked framing.
    long long streamedBytes = 0;
    // The head being read: status line and fields.
    long status = 0;
    std::string version;
    NSHTTPHeaderFields fields;
    bool headComplete = false;
    // A redirect the delegate agreed to follow; the 3xx body is dropped.
    NSURLRequestPtr redirectTo;
    NSURLResponsePtr redirectResponse;
    // Why a TLS handshake was refused: NSURLErrorServerCertificateUntrusted or
    // NSURLErrorUserCancelledAuthentication.
    long trustFailure = 0;
    // A local abort (cancelled, or a body stream that failed).
    NSErrorPtr localError;
    // Body bytes that curl handed over (in its small pieces) since the last delivery: one
    // delivery per read from the network, not one per piece.
    std::vector<std::uint8_t> pending;

    ~Transfer() {
        if (easy) curl_easy_cleanup(easy);
    }
};

// MARK: - Loader: one curl multi handle per run loop

struct NSURLConnection::Loader : std::enable_shared_from_this<NSURLConnection::Loader> {
    CURLM* multi = nullptr;
    std::shared_ptr<NSRunLoop> runLoop;
    int timerFd = -1;
    NSRunLoop::SourceId timerSource = 0;
    std::map<curl_socket_t, NSRunLoop::SourceId> sockets;
    std::map<CURL*, std::shared_ptr<NSURLConnection>> active;
    // Handles whose removal waits until curl has returned (curl forbids removing a handle from
    // inside its own callbacks).
    std::vector<std::pair<CURL*, std::unique_ptr<Transfer>>> retired;
    // Connections holding body bytes to deliver once curl returns.
    std::vector<std::shared_ptr<NSURLConnection>> unflushed;
    int depth = 0;

    static std::shared_ptr<Loader> forRunLoop(const std::shared_ptr<NSRunLoop>& runLoop) {
        static std::mutex mutex;
        // Loaders live as long as the process: their run loops' sources call into them, and the
        // network thread may still be serving when the process exits.
        static auto* loaders = new std::map<NSRunLoop*, std::shared_ptr<Loader>>();
        std::lock_guard guard(mutex);
        auto& loader = (*loaders)[runLoop.get()];
        if (!loader) {
            loader = std::make_shared<Loader>();
            loader->setUp(runLoop);
        }
        return loader;
    }

    void setUp(const std::shared_ptr<NSRunLoop>& loop) {
        ensureCurl();
        runLoop = loop;
        multi = curl_multi_init();
        curl_multi_setopt(multi, CURLMOPT_SOCKETFUNCTION, &Loader::socketCallback);
        curl_multi_setopt(multi, CURLMOPT_SOCKETDATA, this);
        curl_multi_setopt(multi, CURLMOPT_TIMERFUNCTION, &Loader::timerCallback);
        curl_multi_setopt(multi, CURLMOPT_TIMERDATA, this);
        timerFd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        Loader* self = this;  // loaders live as long as the process
        timerSource = runLoop->addFileDescriptor(timerFd, NSRunLoop::Readable, [self](int, int) {
            std::uint64_t expirations;
            [[maybe_unused]] auto n = ::read(self->timerFd, &expirations, sizeof expirations);
            self->drive(CURL_SOCKET_TIMEOUT, 0);
        });
    }

    static int socketCallback(CURL*, curl_socket_t socket, int what, void* userp, void*) {
        auto* self = static_cast<Loader*>(userp);
        int events = 0;
        if (what == CURL_POLL_IN || what == CURL_POLL_INOUT) events |= NSRunLoop::Readable;
        if (what == CURL_POLL_OUT || what == CURL_POLL_INOUT) events |= NSRunLoop::Writable;
        auto it = self->sockets.find(socket);
        if (what == CURL_POLL_REMOVE) {
            if (it != self->sockets.end()) {
                self->runLoop->removeFileDescriptor(it->second);
                self->sockets.erase(it);
            }
            return 0;
        }
        if (it != self->sockets.end()) {
            self->runLoop->updateFileDescriptor(it->second, events);
        } else {
            self->sockets[socket] = self->runLoop->addFileDescriptor(socket, events, [self](int fd, int ready) {
                int flags = 0;
                if (ready & NSRunLoop::Readable) flags |= CURL_CSELECT_IN;
                if (ready & NSRunLoop::Writable) flags |= CURL_CSELECT_OUT;
                self->drive(fd, flags);
            });
        }
        return 0;
    }

    static int timerCallback(CURLM*, long timeoutMs, void* userp) {
        auto* self = static_cast<Loader*>(userp);
        itimerspec due{};
        if (timeoutMs >= 0) {
            // A zero timer would disarm timerfd; the shortest real wait stands for "at once".
            long ns = timeoutMs == 0 ? 1 : (timeoutMs % 1000) * 1000000L;
            due.it_value.tv_sec = timeoutMs / 1000;
            due.it_value.tv_nsec = ns;
        }
        timerfd_settime(self->timerFd, 0, &due, nullptr);
        return 0;
    }

    void drive(curl_socket_t socket, int flags) {
        auto keepAlive = shared_from_this();
        int running = 0;
        ++depth;
        curl_multi_socket_action(multi, socket, flags, &running);
        --depth;
        flush();
        collect();
    }

    void flush() {
        auto connections = std::move(unflushed);
        unflushed.clear();
        for (auto& connection : connections) connection->deliverPending();
    }

    // Handles finished transfers and deferred removals, outside curl's callbacks.
    void collect() {
        if (depth > 0) return;
        for (;;) {
            int left = 0;
            CURLMsg* message = curl_multi_info_read(multi, &left);
            if (!message) break;
            if (message->msg != CURLMSG_DONE) continue;
            CURL* easy = message->easy_handle;
            int code = message->data.result;
            auto it = active.find(easy);
            if (it == active.end()) continue;
            auto connection = it->second;
            active.erase(it);
            curl_multi_remove_handle(multi, easy);
            connection->deliverPending();
            ++depth;
            connection->transferDone(code);
            --depth;
        }
        auto pending = std::move(retired);
        retired.clear();
        for (auto& [easy, transfer] : pending) curl_multi_remove_handle(multi, easy);
        pending.clear();
        if (!retired.empty()) collect();
    }

    void add(const std::shared_ptr<NSURLConnection>& connection) {
        active[connection->transfer_->easy] = connection;
        curl_multi_add_handle(multi, connection->transfer_->easy);
    }

    // Stops a transfer that has not completed; its handle goes once curl has returned.
    void abandon(std::unique_ptr<Transfer> transfer) {
        if (!transfer) return;
        active.erase(transfer->easy);
        if (depth > 0) {
            retired.emplace_back(transfer->easy, std::move(transfer));
        } else {
            curl_multi_remove_handle(multi, transfer->easy);
        }
    }
};

// MARK: - curl callbacks


// The callbacks are static members of an accessor struct so that they can reach the connection's
// private handlers.
struct NSURLConnectionCallbacks {
    static size_t header(char* data, size_t size, size_t count, void* userp) {
        size_t length = size * count;
        return static_cast<NSURLConnection*>(userp)->headerLine(data, length) ? length : 0;
    }
    static size_t write(char* data, size_t size, size_t count, void* userp) {
        size_t length = size * count;
        return static_cast<NSURLConnection*>(userp)->bodyData(data, length) ? length : CURL_WRITEFUNC_ERROR;
    }
    static int progress(void* userp, curl_off_t, curl_off_t, curl_off_t ultotal, curl_off_t ulnow) {
        return static_cast<NSURLConnection*>(userp)->uploadProgress(ulnow, ultotal) ? 0 : 1;
    }
    static size_t read(char* buffer, size_t size, size_t count, void* userp) {
        auto* connection = static_cast<NSURLConnection*>(userp);
        auto& stream = connection->transfer_->bodyStream;
        long n = stream->read(reinterpret_cast<std::uint8_t*>(buffer), size * count);
        if (n < 0) {
            connection->transfer_->localError = stream->streamError();
            return CURL_READFUNC_ABORT;
        }
        connection->transfer_->streamedBytes += n;
        return static_cast<size_t>(n);
    }
    static int verify(X509_STORE_CTX* context, void* userp) {
        return static_cast<NSURLConnection*>(userp)->verifyServerTrust(context) ? 1 : 0;
    }
    static CURLcode sslContext(CURL*, void* sslContext, void* userp) {
        SSL_CTX_set_cert_verify_callback(static_cast<SSL_CTX*>(sslContext), &NSURLConnectionCallbacks::verify, userp);
        return CURLE_OK;
    }
};

// MARK: - NSURLConnection

NSURLConnection::NSURLConnection(NSURLRequestPtr request, std::shared_ptr<NSURLConnectionDataDelegate> delegate)
    : originalRequest_(std::move(request)), request_(originalRequest_), delegate_(std::move(delegate)) {}

NSURLConnection::~NSURLConnection() = default;

NSURLConnectionPtr NSURLConnection::initWithRequestDelegateStartImmediately(
    const NSURLRequestPtr& request, const std::shared_ptr<NSURLConnectionDataDelegate>& delegate, bool startImmediately) {
    auto connection = std::make_shared<NSURLConnection>(request, delegate);
    if (startImmediately) {
        connection->scheduleInRunLoop(NSRunLoop::currentRunLoop(), NSDefaultRunLoopMode);
        connection->start();
    }
    return connection;
}

NSURLConnectionPtr NSURLConnection::connectionWithRequest(const NSURLRequestPtr& request,
                                                          const std::shared_ptr<NSURLConnectionDataDelegate>& delegate) {
    return initWithRequestDelegateStartImmediately(request, delegate, true);
}

void NSURLConnection::scheduleInRunLoop(const std::shared_ptr<NSRunLoop>& runLoop, const std::string&) {
    if (!runLoop_) runLoop_ = runLoop;
}

void NSURLConnection::unscheduleFromRunLoop(const std::shared_ptr<NSRunLoop>&, const std::string&) {}

NSURLRequestPtr NSURLConnection::currentRequest() const { return request_; }

void NSURLConnection::start() {
    if (started_ || cancelled_) return;
    started_ = true;
    if (!runLoop_) runLoop_ = NSRunLoop::currentRunLoop();
    loader_ = Loader::forRunLoop(runLoop_);
    auto self = this->self<NSURLConnection>();
    // Even on its own run loop the connection begins in a later pass: the delegate hears nothing
    // while the code that started it (which may hold its own locks) is still running.
    runLoop_->performBlock([self] { self->beginOnLoop(); });
}

void NSURLConnection::beginOnLoop() {
    if (cancelled_ || finished_) return;
    auto self = this->self<NSURLConnection>();
    auto delegate = delegate_;
    NSURLRequestPtr first = delegate ? delegate->connectionWillSendRequestRedirectResponse(self, request_, nullptr) : request_;
    if (cancelled_) return;
    if (!first) {
        cancel();
        return;
    }
    request_ = first;
    startTransfer(first);
}

NSErrorPtr NSURLConnection::errorFor(long code, const std::string& description) const {
    Value::Dictionary userInfo;
    if (request_ && request_->URL()) {
        userInfo[NSURLErrorFailingURLErrorKey] = Value(request_->URL());
        userInfo[NSURLErrorFailingURLStringErrorKey] = request_->URL()->absoluteString();
    }
    if (!description.empty()) userInfo[NSLocalizedDescriptionKey] = description;
    return NSError::errorWithDomain(NSURLErrorDomain, code, userInfo);
}

bool NSURLConnection::startTransfer(const NSURLRequestPtr& request) {
    auto transfer = std::make_unique<Transfer>();
    NSURLPtr url = request->URL();
    std::string scheme = url ? NSString::lowercaseString(url->scheme()) : std::string();
    if (!url || (scheme != "http" && scheme != "https")) {
        fail(errorFor(NSURLErrorUnsupportedURL, "unsupported URL"));
        return false;
    }
    CURL* easy = curl_easy_init();
    transfer->easy = easy;
    std::string text = url->absoluteString();
    // curl wants no fragment.
    text = text.substr(0, text.find('#'));
    curl_easy_setopt(easy, CURLOPT_URL, text.c_str());
    curl_easy_setopt(easy, CURLOPT_PRIVATE, this);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBufferSize);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &NSURLConnectionCallbacks::header);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &NSURLConnectionCallbacks::write);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &NSURLConnectionCallbacks::progress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    // Each new TLS connection is evaluated (and challenged) afresh.
    curl_easy_setopt(easy, CURLOPT_SSL_SESSIONID_CACHE, 0L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);  // the trust evaluation compares the host
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &NSURLConnectionCallbacks::sslContext);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, this);
    // The request's time-out is the longest wait without progress.
    double timeout = request->timeoutInterval() > 0 ? request->timeoutInterval() : NSURLRequestDefaultTimeoutInterval;
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeout * 1000));
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(std::ceil(timeout)));

    const std::string& method = request->HTTPMethod();
    if (request->HTTPBody()) {
        transfer->body = request->HTTPBody();
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, transfer->body->bytes());
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(transfer->body->length()));
    } else if (request->HTTPBodyStream()) {
        transfer->bodyStream = request->HTTPBodyStream();
        if (transfer->bodyStream->streamStatus() == NSStreamStatusNotOpen) transfer->bodyStream->open();
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_READFUNCTION, &NSURLConnectionCallbacks::read);
        curl_easy_setopt(easy, CURLOPT_READDATA, this);
        std::string length = request->valueForHTTPHeaderField("Content-Length");
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(length.empty() ? -1 : NSString::longLongValue(length)));
    }
    if (method == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (method == "GET" && !transfer->body && !transfer->bodyStream) {
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    } else if (method != "POST") {
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
    }

    curl_slist* list = nullptr;
    for (const auto& [name, value] : request->allHTTPHeaderFields()) {
        list = curl_slist_append(list, (name + ": " + value).c_str());
    }
    // No "Expect: 100-continue" pause before bodies.
    if (request->valueForHTTPHeaderField("Expect").empty()) list = curl_slist_append(list, "Expect:");
    transfer->headers.reset(list);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, list);

    bodyBytesSent_ = 0;
    transfer_ = std::move(transfer);
    loader_->add(self<NSURLConnection>());
    return true;
}

bool NSURLConnection::headerLine(const char* data, std::size_t length) {
    if (cancelled_ || !transfer_) return false;
    auto keepAlive = this->self<NSURLConnection>();
    Transfer& t = *transfer_;
    std::string line(data, length);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (NSString::hasPrefix(line, "HTTP/")) {
        t.status = 0;
        t.fields.clear();
        t.headComplete = false;
        t.version = statusLineVersion(line);
        std::size_t space = line.find(' ');
        if (space != std::string::npos) t.status = std::atol(line.c_str() + space + 1);
        return true;
    }
    if (!line.empty()) {
        std::size_t colon = line.find(':');
        if (colon == std::string::npos) return true;
        std::string name = line.substr(0, colon);
        std::string value = NSString::stringByTrimmingWhitespace(line.substr(colon + 1));
        auto it = t.fields.find(name);
        if (it == t.fields.end()) {
            t.fields.emplace(name, value);
        } else {
            it->second += ", " + value;
        }
        return true;
    }
    // The blank line ends a head; an interim (1xx) head is followed by another.
    if (t.status >= 100 && t.status < 200) return true;
    t.headComplete = true;
    auto self = this->self<NSURLConnection>();
    auto response = std::make_shared<NSHTTPURLResponse>(request_->URL(), t.status, t.version, t.fields);

    if (t.status == kHTTPStatusUnauthorized) {
        switch (authenticate(response)) {
        case AuthenticationOutcome::Retry: return true;
        case AuthenticationOutcome::Abort: return false;
        case AuthenticationOutcome::Deliver: break;
        }
    }

    bool redirectStatus = t.status == 301 || t.status == 302 || t.status == 303 || t.status == 307 || t.status == 308;
    auto location = t.fields.find("Location");
    if (redirectStatus && location != t.fields.end() && !location->second.empty()) {
        NSURLPtr target = NSURL::URLWithString(location->second, request_->URL());
        if (target) {
            target = target->absoluteURL();
            auto next = request_->mutableCopy();
            next->setURL(target);
            bool becomesGet = t.status == 303 || ((t.status == 301 || t.status == 302) && request_->HTTPMethod() == "POST");
            if (becomesGet) {
                next->setHTTPMethod(request_->HTTPMethod() == "HEAD" ? "HEAD" : "GET");
                next->setHTTPBody(nullptr);
                next->setHTTPBodyStream(nullptr);
                next->setValueForHTTPHeaderField("", "Content-Type");
                next->setValueForHTTPHeaderField("", "Content-Length");
            }
            auto delegate = delegate_;
            NSURLRequestPtr answer = delegate ? delegate->connectionWillSendRequestRedirectResponse(self, next, response) : next;
            if (cancelled_) return false;
            if (answer) {
                t.redirectTo = answer;
                t.redirectResponse = response;
                return true;
            }
        }
    }
    receivedResponse_ = true;
    response_ = response;
    if (auto delegate = delegate_) delegate->connectionDidReceiveResponse(self, response);
    return !cancelled_;
}

NSURLConnection::AuthenticationOutcome NSURLConnection::authenticate(const std::shared_ptr<NSHTTPURLResponse>& response) {
    auto header = response->valueForHTTPHeaderField("WWW-Authenticate");
    auto delegate = delegate_;
    if (!header || !delegate) return AuthenticationOutcome::Deliver;
    std::string scheme = NSString::lowercaseString(header->substr(0, header->find(' ')));
    std::string realm;
    if (auto at = NSString::rangeOfString(*header, "realm=")) {
        realm = header->substr(*at + 6);
        if (!realm.empty() && realm.front() == '"') realm = realm.substr(1, realm.find('"', 1) - 1);
        else realm = realm.substr(0, realm.find(','));
    }
    const NSURLPtr& url = request_->URL();
    bool secure = NSString::lowercaseString(url->scheme()) == "https";
    int port = url->port().value_or(secure ? 443 : 80);
    auto space = std::make_shared<NSURLProtectionSpace>(
        url->host(), port, secure ? NSURLProtectionSpaceHTTPS : NSURLProtectionSpaceHTTP, realm,
        scheme == "basic" ? NSURLAuthenticationMethodHTTPBasic : NSURLAuthenticationMethodDefault);
    auto self = this->self<NSURLConnection>();
    auto challenge = std::make_shared<NSURLAuthenticationChallenge>(
        space, nullptr, authenticationFailures_, response, nullptr, std::static_pointer_cast<NSURLAuthenticationChallengeSender>(self));
    answer_ = Answer::None;
    answerCredential_.reset();
    if (!askedCredentialStorage_) {
        askedCredentialStorage_ = true;
        delegate->connectionShouldUseCredentialStorage(self);
    }
    delegate->connectionWillSendRequestForAuthenticationChallenge(self, challenge);
    if (cancelled_) return AuthenticationOutcome::Abort;
    if (answer_ == Answer::Cancel) {
        transfer_->localError = errorFor(NSURLErrorUserCancelledAuthentication, "cancelled");
        return AuthenticationOutcome::Abort;
    }
    // Only Basic is spoken here; any other scheme gets the 401 as the answer.
    if (answer_ != Answer::Use || !answerCredential_ || answerCredential_->user().empty() || scheme != "basic") {
        return AuthenticationOutcome::Deliver;
    }
    ++authenticationFailures_;
    std::string pair = answerCredential_->user() + ":" + answerCredential_->password();
    std::string encoded(4 * ((pair.size() + 2) / 3) + 1, '\0');
    int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()), reinterpret_cast<const unsigned char*>(pair.data()),
                                 static_cast<int>(pair.size()));
    encoded.resize(static_cast<std::size_t>(length));
    auto retry = request_->mutableCopy();
    retry->setValueForHTTPHeaderField("Basic " + encoded, "Authorization");
    // Sent again once this answer's body has been read, like a redirect to the same URL.
    transfer_->redirectTo = retry;
    transfer_->redirectResponse = response;
    return AuthenticationOutcome::Retry;
}

bool NSURLConnection::bodyData(const char* data, std::size_t length) {
    if (cancelled_ || !transfer_) return false;
    if (transfer_->redirectTo) return true;  // the body of a redirect that is followed
    if (length == 0) return true;
    auto& pending = transfer_->pending;
    if (pending.empty()) {
        pending.reserve(kReceiveBufferSize);
        loader_->unflushed.push_back(self<NSURLConnection>());
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data);
    pending.insert(pending.end(), bytes, bytes + length);
    // A full buffer goes at once, so that what waits here never exceeds one read.
    if (pending.size() >= static_cast<std::size_t>(kReceiveBufferSize)) deliverPending();
    return !cancelled_;
}

void NSURLConnection::deliverPending() {
    if (cancelled_ || !transfer_ || transfer_->pending.empty()) return;
    auto self = this->self<NSURLConnection>();
    auto data = std::make_shared<NSData>(std::move(transfer_->pending));
    transfer_->pending = {};
    if (auto delegate = delegate_) delegate->connectionDidReceiveData(self, data);
}

bool NSURLConnection::uploadProgress(long long uploaded, long long total) {
    if (cancelled_) return false;
    if (transfer_ && transfer_->bodyStream) uploaded = std::min(uploaded, transfer_->streamedBytes);
    if (uploaded > bodyBytesSent_) {
        long long written = uploaded - bodyBytesSent_;
        bodyBytesSent_ = uploaded;
        long long expected = total > 0 ? total : -1;
        auto self = this->self<NSURLConnection>();
        if (auto delegate = delegate_) delegate->connectionDidSendBodyData(self, written, uploaded, expected);
    }
    return !cancelled_;
}

bool NSURLConnection::verifyServerTrust(void* storeContext) {
    auto* context = static_cast<X509_STORE_CTX*>(storeContext);
    if (cancelled_ || !transfer_) return false;
    std::vector<SecCertificateRef> chain;
    if (X509* leaf = X509_STORE_CTX_get0_cert(context)) {
        X509_up_ref(leaf);
        chain.push_back(std::make_shared<SecCertificate>(leaf));
    }
    if (STACK_OF(X509)* presented = X509_STORE_CTX_get0_untrusted(context)) {
        for (int i = 0; i < sk_X509_num(presented); ++i) {
            X509* certificate = sk_X509_value(presented, i);
            if (!chain.empty() && X509_cmp(certificate, chain[0]->x509()) == 0) continue;
            X509_up_ref(certificate);
            chain.push_back(std::make_shared<SecCertificate>(certificate));
        }
    }
    std::string host = request_->URL()->host();
    SecTrustRef trust;
    if (chain.empty() || SecTrustCreateWithCertificates(chain, SecPolicyCreateSSL(true, host), &trust) != errSecSuccess) {
        transfer_->trustFailure = NSURLErrorServerCertificateUntrusted;
        return false;
    }
    int port = request_->URL()->port().value_or(443);
    auto space = std::make_shared<NSURLProtectionSpace>(host, port, NSURLProtectionSpaceHTTPS, "",
                                                        NSURLAuthenticationMethodServerTrust, trust);
    auto self = this->self<NSURLConnection>();
    auto challenge = std::make_shared<NSURLAuthenticationChallenge>(
        space, nullptr, 0, nullptr, nullptr, std::static_pointer_cast<NSURLAuthenticationChallengeSender>(self));
    answer_ = Answer::None;
    answerCredential_.reset();
    if (auto delegate = delegate_) {
        if (!askedCredentialStorage_) {
            askedCredentialStorage_ = true;
            delegate->connectionShouldUseCredentialStorage(self);
        }
        delegate->connectionWillSendRequestForAuthenticationChallenge(self, challenge);
    } else {
        answer_ = Answer::Default;
    }
    if (cancelled_) return false;

    auto systemTrusts = [&] {
        SecTrustResultType result = kSecTrustResultInvalid;
        return SecTrustEvaluate(trust, &result) == errSecSuccess &&
               (result == kSecTrustResultProceed || result == kSecTrustResultUnspecified);
    };
    bool accepted = false;
    switch (answer_) {
    case Answer::Use:
        accepted = answerCredential_ && answerCredential_->serverTrust();
        if (!accepted) transfer_->trustFailure = NSURLErrorServerCertificateUntrusted;
        break;
    case Answer::Continue:
    case Answer::Default:
    case Answer::Reject:
        accepted = systemTrusts();
        if (!accepted) transfer_->trustFailure = NSURLErrorServerCertificateUntrusted;
        break;
    case Answer::Cancel:
    case Answer::None:
        transfer_->trustFailure = NSURLErrorUserCancelledAuthentication;
        break;
    }
    X509_STORE_CTX_set_error(context, accepted ? X509_V_OK : X509_V_ERR_APPLICATION_VERIFICATION);
    return accepted;
}

void NSURLConnection::useCredentialForAuthenticationChallenge(const NSURLCredentialPtr& credential,
                                                              const NSURLAuthenticationChallengePtr&) {
    answer_ = Answer::Use;
    answerCredential_ = credential;
}

void NSURLConnection::continueWithoutCredentialForAuthenticationChallenge(const NSURLAuthenticationChallengePtr&) {
    answer_ = Answer::Continue;
}

void NSURLConnection::cancelAuthenticationChallenge(const NSURLAuthenticationChallengePtr&) { answer_ = Answer::Cancel; }

void NSURLConnection::performDefaultHandlingForAuthenticationChallenge(const NSURLAuthenticationChallengePtr&) {
    answer_ = Answer::Default;
}

void NSURLConnection::rejectProtectionSpaceAndContinueWithChallenge(const NSURLAuthenticationChallengePtr&) {
    answer_ = Answer::Reject;
}

void NSURLConnection::transferDone(int curlCode) {
    auto self = this->self<NSURLConnection>();
    std::unique_ptr<Transfer> transfer = std::move(transfer_);
    if (cancelled_ || finished_ || !transfer) return;
    auto code = static_cast<CURLcode>(curlCode);
    if (transfer->redirectTo && (code == CURLE_OK || code == CURLE_PARTIAL_FILE || code == CURLE_RECV_ERROR)) {
        if (++redirects_ > kMaximumRedirects) {
            fail(errorFor(NSURLErrorHTTPTooManyRedirects, "too many HTTP redirects"));
            return;
        }
        request_ = transfer->redirectTo;
        transfer.reset();
        startTransfer(request_);
        return;
    }
    if (code == CURLE_OK) {
        finishCleanly();
        return;
    }
    long errorCode = NSURLErrorUnknown;
    std::string description;
    if (transfer->trustFailure) {
        errorCode = transfer->trustFailure;
        description = errorCode == NSURLErrorUserCancelledAuthentication ? "cancelled" : "The certificate for this server is invalid.";
    } else if (transfer->localError) {
        fail(transfer->localError);
        return;
    } else {
        switch (code) {
        case CURLE_OPERATION_TIMEDOUT: errorCode = NSURLErrorTimedOut; description = "The request timed out."; break;
        case CURLE_COULDNT_RESOLVE_HOST: errorCode = NSURLErrorCannotFindHost; description = "A server with the specified hostname could not be found."; break;
        case CURLE_COULDNT_CONNECT: errorCode = NSURLErrorCannotConnectToHost; description = "Could not connect to the server."; break;
        case CURLE_PARTIAL_FILE:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_GOT_NOTHING:
            errorCode = NSURLErrorNetworkConnectionLost;
            description = "The network connection was lost.";
            break;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_USE_SSL_FAILED:
            errorCode = NSURLErrorSecureConnectionFailed;
            description = "An SSL error has occurred and a secure connection to the server cannot be made.";
            break;
        case CURLE_PEER_FAILED_VERIFICATION:
            errorCode = NSURLErrorServerCertificateUntrusted;
            description = "The certificate for this server is invalid.";
            break;
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_URL_MALFORMAT:
            errorCode = NSURLErrorUnsupportedURL;
            description = "unsupported URL";
            break;
        case CURLE_WEIRD_SERVER_REPLY:
            errorCode = NSURLErrorBadServerResponse;
            description = "The server returned a bad response.";
            break;
        default:
            errorCode = NSURLErrorUnknown;
            description = curl_easy_strerror(code);
            break;
        }
    }
    fail(errorFor(errorCode, description));
}

void NSURLConnection::finishCleanly() {
    auto self = this->self<NSURLConnection>();
    finished_ = true;
    auto delegate = delegate_;
    if (delegate && response_) {
        auto cached = std::make_shared<NSCachedURLResponse>(response_, NSData::data());
        delegate->connectionWillCacheResponse(self, cached);
    }
    if (cancelled_) return;
    if (delegate) delegate->connectionDidFinishLoading(self);
    release();
}

void NSURLConnection::fail(const NSErrorPtr& error) {
    auto self = this->self<NSURLConnection>();
    finished_ = true;
    auto delegate = delegate_;
    if (delegate && !cancelled_) delegate->connectionDidFailWithError(self, error);
    release();
}

void NSURLConnection::release() {
    // The connection holds its delegate only while it loads.
    delegate_.reset();
}

void NSURLConnection::cancel() {
    if (cancelled_.exchange(true)) return;
    if (!runLoop_ || !loader_) {
        delegate_.reset();
        return;
    }
    auto self = this->self<NSURLConnection>();
    auto stop = [self] {
        self->loader_->abandon(std::move(self->transfer_));
        self->delegate_.reset();
    };
    if (runLoop_->isCurrent()) {
        stop();
    } else {
        runLoop_->performBlock(stop);
    }
}

// MARK: - Loading on the URL loader thread

namespace {

// Gathers one whole answer for the synchronous and asynchronous requests.
class GatheringDelegate : public NSURLConnectionDataDelegate {
public:
    using Done = std::function<void(const NSURLResponsePtr&, const NSDataPtr&, const NSErrorPtr&)>;
    explicit GatheringDelegate(Done done) : done_(std::move(done)) {}

    void connectionDidReceiveResponse(const NSURLConnectionPtr&, const NSURLResponsePtr& response) override {
        response_ = response;
        data_ = NSData::data();
    }
    void connectionDidReceiveData(const NSURLConnectionPtr&, const NSDataPtr& data) override {
        if (!data_) data_ = NSData::data();
        data_->appendData(*data);
    }
    void connectionDidFinishLoading(const NSURLConnectionPtr&) override {
        done_(response_, data_ ? data_ : NSData::data(), nullptr);
    }
    void connectionDidFailWithError(const NSURLConnectionPtr&, const NSErrorPtr& error) override { done_(response_, nullptr, error); }

private:
    Done done_;
    NSURLResponsePtr response_;
    NSDataPtr data_;
};

} // namespace

std::shared_ptr<NSRunLoop> NSURLConnection::loaderRunLoop() {
    static std::shared_ptr<NSRunLoop> runLoop = [] {
        std::mutex mutex;
        std::condition_variable ready;
        std::shared_ptr<NSRunLoop> loop;
        NSThread::detachNewThread(
            [&] {
                auto current = NSRunLoop::currentRunLoop();
                {
                    // Notified under the lock: the waiter's condition variable lives on its stack.
                    std::lock_guard guard(mutex);
                    loop = current;
                    ready.notify_all();
                }
                for (;;) current->run();
            },
            "com.apple.NSURLConnectionLoader");
        std::unique_lock lock(mutex);
        ready.wait(lock, [&] { return loop != nullptr; });
        return loop;
    }();
    return runLoop;
}

NSDataPtr NSURLConnection::sendSynchronousRequest(const NSURLRequestPtr& request, NSURLResponsePtr* response, NSErrorPtr* error) {
    auto loop = loaderRunLoop();
    assert(!loop->isCurrent() && "a synchronous request on the loader thread would never finish");
    struct Outcome {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        NSURLResponsePtr response;
        NSDataPtr data;
        NSErrorPtr error;
    };
    auto outcome = std::make_shared<Outcome>();
    auto delegate = std::make_shared<GatheringDelegate>([outcome](const NSURLResponsePtr& r, const NSDataPtr& d, const NSErrorPtr& e) {
        std::lock_guard guard(outcome->mutex);
        outcome->response = r;
        outcome->data = d;
        outcome->error = e;
        outcome->finished = true;
        outcome->done.notify_all();
    });
    auto connection = std::make_shared<NSURLConnection>(request, delegate);
    connection->scheduleInRunLoop(loop, NSDefaultRunLoopMode);
    connection->start();
    std::unique_lock lock(outcome->mutex);
    outcome->done.wait(lock, [&] { return outcome->finished; });
    if (response) *response = outcome->response;
    NSErrorSet(error, outcome->error);
    return outcome->data;
}

void NSURLConnection::sendAsynchronousRequest(const NSURLRequestPtr& request, const std::shared_ptr<NSOperationQueue>& queue,
                                              CompletionHandler handler) {
    auto delegate = std::make_shared<GatheringDelegate>(
        [queue, handler](const NSURLResponsePtr& response, const NSDataPtr& data, const NSErrorPtr& error) {
            if (!handler) return;
            auto run = [handler, response, data, error] { handler(response, data, error); };
            if (queue) {
                queue->addOperationWithBlock(run);
            } else {
                run();
            }
        });
    auto connection = std::make_shared<NSURLConnection>(request, delegate);
    connection->scheduleInRunLoop(loaderRunLoop(), NSDefaultRunLoopMode);
    connection->start();
}
