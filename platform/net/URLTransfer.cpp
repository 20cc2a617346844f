#include "platform/net/URLTransfer.h"

#include <algorithm>

#include "platform/foundation/NSString.h"
#include "platform/foundation/NSTimer.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/net/NSURLError.h"
#include "platform/net/URLLoader.h"
#include "platform/net/URLTransferCurl.h"
#include "platform/security/SecPolicy.h"

#include <atomic>
#include <mutex>
#include <new>

namespace {

const char* const kTransferUndecodableDescription = "cannot decode content data";
const char* const kTransferTooLargeDescription = "resource exceeds maximum size";
const char* const kTransferUntrustedDescription = "The certificate for this server is invalid.";

std::string statusLineVersion(const std::string& line) {
    std::size_t space = line.find(' ');
    return space == std::string::npos ? line : line.substr(0, space);
}

} // namespace

std::shared_ptr<URLTransfer> URLTransfer::make(const NSURLRequestPtr& request, const std::shared_ptr<URLTransferClient>& client,
                                               URLTransferOutcome* refusal) {
    // Out of memory while the transfer is made is this request's failure, not its thread's.
    try {
        std::shared_ptr<URLTransfer> transfer(new URLTransfer(request, client));
        if (!transfer->configure(refusal)) return nullptr;
        return transfer;
    } catch (const std::bad_alloc&) {
        if (refusal) *refusal = {NSURLErrorUnknown, kURLLoaderOutOfMemoryDescription, nullptr};
        return nullptr;
    }
}

URLTransfer::URLTransfer(NSURLRequestPtr request, std::shared_ptr<URLTransferClient> client)
    : request_(std::move(request)), client_(std::move(client)), curl_(std::make_unique<Curl>()) {}

URLTransfer::~URLTransfer() = default;

namespace {
std::atomic<int> gInFlight{0};
// The count's changes from 0 and back to 0 are few: a lock keeps the stretch whole.
std::mutex gStretchLock;
URLTransfer::InFlightStretch gStretch;

void countTransfer(int change) {
    std::lock_guard guard(gStretchLock);
    const int before = gInFlight.fetch_add(change);
    if (before == 0 && change > 0) {
        ++gStretch.number;
        gStretch.began = std::chrono::steady_clock::now();
        gStretch.over = false;
    } else if (before + change == 0) {
        gStretch.ended = std::chrono::steady_clock::now();
        gStretch.over = true;
    }
}
} // namespace

int URLTransfer::inFlightCount() { return gInFlight.load(); }

URLTransfer::InFlightStretch URLTransfer::inFlightStretch() {
    std::lock_guard guard(gStretchLock);
    return gStretch;
}

bool URLTransfer::setState(URLTransferState state) {
    if (!live()) return false;
    const bool started = state_ != URLTransferState::Created;
    state_ = state;
    if (!started && live()) countTransfer(1);
    if (!live()) {
        if (started) countTransfer(-1);
        client_.reset();  // the client is held only while the exchange runs
        if (idleTimer_) idleTimer_->invalidate();
        idleTimer_.reset();
    }
    return true;
}

void URLTransfer::start(const std::shared_ptr<URLLoader>& loader) {
    if (state_ != URLTransferState::Created) return;
    loader_ = loader;
    setState(URLTransferState::Sending);
    loader_->add(shared_from_this());
}

bool URLTransfer::launch() {
    try {
        prepareCurl();
    } catch (const std::bad_alloc&) {
        return false;
    }
    // The time-out counts from here: a wait in the loader's queue is no silence of the server's.
    if (!paused_) {
        noteActivity();
        armIdleTimer(timeout_);
    }
    return true;
}

void URLTransfer::noteActivity() { lastActivity_ = PlatformClock::monotonic(); }

void URLTransfer::armIdleTimer(double delay) {
    std::weak_ptr<URLTransfer> weakSelf = shared_from_this();
    idleTimer_ = loader_->runLoop()->performAfterDelay(delay, [weakSelf] {
        if (auto self = weakSelf.lock()) self->idleTimerFired();
    });
}

void URLTransfer::idleTimerFired() {
    if (!live() || paused_) return;
    double idle = PlatformClock::monotonic() - lastActivity_;
    if (idle < timeout_) {
        armIdleTimer(timeout_ - idle);
        return;
    }
    stopWith({NSURLErrorTimedOut, "The request timed out.", nullptr});
}

void URLTransfer::stopWith(URLTransferOutcome reason) {
    if (!live()) return;
    if (!stopReason_) stopReason_ = std::move(reason);
    pending_ = {};
    auto keepAlive = shared_from_this();
    if (loader_) loader_->remove(keepAlive);
    // Inside curl's callbacks the client hears of it once curl has returned: it may start another
    // exchange on this loader.
    if (loader_ && loader_->insideCurl()) {
        loader_->finishAfterCurl(keepAlive);
        return;
    }
    finish(*stopReason_);
}

URLTransferOutcome URLTransfer::clientStop() const {
    if (clientError_) return {0, "", clientError_};
    return {NSURLErrorCancelled, "cancelled", nullptr};
}

void URLTransfer::abandon() {
    auto keepAlive = shared_from_this();
    if (!setState(URLTransferState::Abandoned)) return;
    pending_ = {};
    if (loader_) loader_->remove(keepAlive);
}

void URLTransfer::setPaused(bool paused) {
    if (!live() || paused == paused_ || state_ == URLTransferState::Created) return;
    auto keepAlive = shared_from_this();
    paused_ = paused;
    // One still waiting for its connection is held as it launches.
    if (!curl_->easy) return;
    {
        // Letting go hands over what curl held back, through the callbacks: a stop they decide is
        // carried out once curl has returned.
        URLLoader::CurlCall inside(*loader_);
        curl_easy_pause(curl_->easy, paused ? CURLPAUSE_ALL : CURLPAUSE_CONT);
    }
    if (stopReason_ && live()) {
        finish(*stopReason_);
        return;
    }
    if (paused) {
        if (idleTimer_) idleTimer_->invalidate();
        idleTimer_.reset();
    } else if (live()) {
        noteActivity();
        armIdleTimer(timeout_);
    }
}

// MARK: - The head

bool URLTransfer::headerLine(const char* data, std::size_t length) {
    if (!running()) return false;
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

bool URLTransfer::bodyCodingIsReadable(const NSHTTPURLResponse& response) const {
    // A head without a body to read (HEAD, 204, 304) or whose body is followed elsewhere carries
    // no content to decode.
    if (request_->HTTPMethod() == "HEAD" || status_ == 204 || status_ == 304 || (status_ >= 300 && status_ < 400)) return true;
    auto coding = response.valueForHTTPHeaderField("Content-Encoding");
    if (!coding) return true;
    // The codings in the order they were applied; curl undoes each of these, any other would be
    // handed on as if it were the content itself.
    for (const std::string& item : NSString::componentsSeparatedByString(*coding, ",")) {
        std::string name = NSString::lowercaseString(NSString::stringByTrimmingWhitespace(item));
        if (!name.empty() && name != "identity" && name != "gzip" && name != "x-gzip" && name != "deflate") return false;
    }
    return true;
}

bool URLTransfer::endOfHead() {
    // An interim (1xx) head is followed by another.
    if (status_ >= 100 && status_ < 200) return true;
    auto keepAlive = shared_from_this();
    auto client = client_;
    auto response = std::make_shared<NSHTTPURLResponse>(request_->URL(), status_, version_, fields_);
    if (!bodyCodingIsReadable(*response)) {
        // A body in a coding nobody here reads would be taken for the content itself: the
        // exchange fails before its client hears of the head.
        stopWith({NSURLErrorCannotDecodeContentData, kTransferUndecodableDescription, nullptr});
        return false;
    }
    bodyBytesExpected_ = response->expectedContentLength();
    switch (client->transferDidReceiveHead(*this, response)) {
    case URLTransferClient::HeadDisposition::Deliver:
        if (!setState(URLTransferState::ReceivingBody)) return false;
        // A body announced past the request's bound is not read at all.
        if (maximumBodyLength_ > 0 && bodyBytesExpected_ > static_cast<long long>(maximumBodyLength_)) {
            stopWith({NSURLErrorDataLengthExceedsMaximum, kTransferTooLargeDescription, nullptr});
            return false;
        }
        return running();
    case URLTransferClient::HeadDisposition::Skip: return setState(URLTransferState::SkippingBody) && running();
    case URLTransferClient::HeadDisposition::Abort: stopWith(clientStop()); return false;
    }
    return false;
}

// MARK: - The body

bool URLTransfer::bodyData(const char* data, std::size_t length) {
    if (!running()) return false;
    noteActivity();
    if (state_ != URLTransferState::ReceivingBody || length == 0) return true;
    // The bound counts the bytes as they come out of the content coding (curl hands over the
    // decoded body), so a small coded body that unpacks without end stops here too.
    if (maximumBodyLength_ > 0 && bodyBytesReceived_ + static_cast<long long>(length) > static_cast<long long>(maximumBodyLength_)) {
        stopWith({NSURLErrorDataLengthExceedsMaximum, kTransferTooLargeDescription, nullptr});
        return false;
    }
    if (pending_.empty()) {
        // A read's worth, or what the head says is left when that is less: a small body takes no
        // more than itself (a buffer of a read's size per exchange, freed when it is handed on,
        // is what the allocator keeps the most of when many small bodies arrive at once).
        long long room = kURLTransferReceiveBufferSize;
        if (bodyBytesExpected_ >= 0)
            room = std::min(room, std::max(bodyBytesExpected_ - bodyBytesReceived_, static_cast<long long>(length)));
        pending_.reserve(static_cast<std::size_t>(room));
        loader_->needsFlush(shared_from_this());
    }
    bodyBytesReceived_ += static_cast<long long>(length);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data);
    pending_.insert(pending_.end(), bytes, bytes + length);
    // A full buffer goes at once, so that what waits here never exceeds one read.
    if (pending_.size() >= static_cast<std::size_t>(kURLTransferReceiveBufferSize)) deliverPending();
    return running();
}

void URLTransfer::deliverPending() {
    if (state_ != URLTransferState::ReceivingBody || pending_.empty()) return;
    auto keepAlive = shared_from_this();
    auto client = client_;
    auto data = std::make_shared<NSData>(std::move(pending_));
    pending_ = {};
    if (!client->transferDidReceiveData(*this, data)) stopWith(clientStop());
}

bool URLTransfer::uploadProgress(long long uploaded, long long total) {
    if (!running()) return false;
    if (curl_->bodyStream) uploaded = std::min(uploaded, streamedBytes_);
    if (uploaded > uploaded_) {
        uploaded_ = uploaded;
        noteActivity();
    }
    auto keepAlive = shared_from_this();
    auto client = client_;
    if (!client->transferDidSendBodyData(*this, uploaded, total > 0 ? total : -1)) stopWith(clientStop());
    return running();
}

long URLTransfer::readBody(std::uint8_t* buffer, std::size_t length) {
    if (!running()) return -1;
    auto& stream = curl_->bodyStream;
    long n = stream->read(buffer, length);
    if (n < 0) {
        stopWith({0, "", stream->streamError()});
        return -1;
    }
    streamedBytes_ += n;
    return n;
}

// MARK: - Trust

bool URLTransfer::evaluateTrust(std::vector<SecCertificateRef> chain) {
    if (!running()) return false;
    std::string host = request_->URL()->host();
    SecTrustRef trust;
    if (chain.empty() || SecTrustCreateWithCertificates(chain, SecPolicyCreateSSL(true, host), &trust) != errSecSuccess) {
        stopWith({NSURLErrorServerCertificateUntrusted, kTransferUntrustedDescription, nullptr});
        return false;
    }
    auto keepAlive = shared_from_this();
    auto client = client_;
    long refusal = NSURLErrorServerCertificateUntrusted;
    if (!client->transferShouldTrustServer(*this, trust, &refusal)) {
        stopWith({refusal, refusal == NSURLErrorUserCancelledAuthentication ? "cancelled" : kTransferUntrustedDescription, nullptr});
    }
    trustDecided_ = running();
    return trustDecided_;
}

// MARK: - The outcome

void URLTransfer::complete(int curlCode) {
    auto keepAlive = shared_from_this();
    if (!live()) return;
    auto code = static_cast<CURLcode>(curlCode);
    URLTransferOutcome outcome;
    // The body of a head that is followed elsewhere matters to nobody: its end need not be clean.
    bool skipped = state_ == URLTransferState::SkippingBody && (code == CURLE_PARTIAL_FILE || code == CURLE_RECV_ERROR ||
                                                                code == CURLE_BAD_CONTENT_ENCODING || code == CURLE_WRITE_ERROR);
    if (stopReason_) {
        outcome = *stopReason_;
    } else if (code == CURLE_OK || skipped) {
        outcome = {};
    } else if (code == CURLE_WRITE_ERROR) {
        // Nothing here refused the body, so curl's decoder did: bytes after the end of a gzip
        // stream, say. The body is not what its coding says.
        outcome = {NSURLErrorCannotDecodeContentData, kTransferUndecodableDescription, nullptr};
    } else {
        outcome = URLTransferOutcomeForCurlCode(curlCode);
    }
    finish(outcome);
}

void URLTransfer::setLookingUpName(bool lookingUp) {
    if (lookingUpName_ == lookingUp || !live()) return;
    lookingUpName_ = lookingUp;
    auto keepAlive = shared_from_this();
    auto client = client_;
    client->transferLookingUpServerName(*this, lookingUp);
}

void URLTransfer::finish(const URLTransferOutcome& outcome) {
    auto keepAlive = shared_from_this();
    auto client = client_;
    if (!setState(URLTransferState::Completed)) return;
    client->transferDidComplete(*this, outcome);
}

