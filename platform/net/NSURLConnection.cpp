#include "platform/net/NSURLConnection.h"

#include "platform/foundation/NSString.h"
#include "platform/net/NSCachedURLResponse.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/URLLoader.h"
#include "platform/net/URLRedirect.h"

#include <new>

namespace {

constexpr long kHTTPStatusUnauthorized = 401;

} // namespace

bool NSURLConnection::canHandleRequest(const NSURLRequestPtr& request) {
    if (!request || !request->URL()) return false;
    const std::string scheme = NSString::lowercaseString(request->URL()->scheme());
    return scheme == "http" || scheme == "https" || scheme == "file";
}

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

bool NSURLConnection::setState(State state) {
    State current = state_.load();
    do {
        if (current == State::Finished || current == State::Cancelled) return false;
        if (state == State::Started && current != State::Created) return false;
    } while (!state_.compare_exchange_weak(current, state));
    // The connection holds its delegate only while it loads.
    if (state == State::Finished) delegate_.reset();
    return true;
}

void NSURLConnection::start() {
    if (!setState(State::Started)) return;
    if (!runLoop_) runLoop_ = NSRunLoop::currentRunLoop();
    auto self = strongSelf();
    try {
        loader_ = URLLoader::forRunLoop(runLoop_);
    } catch (const std::bad_alloc&) {
        // Out of memory is this request's failure, not the process's; the delegate hears of it in
        // a later pass like of any other outcome.
        auto error = errorFor(NSURLErrorUnknown, kURLLoaderOutOfMemoryDescription);
        runLoop_->performBlock([self, error] { self->fail(error); });
        return;
    }
    // Even on its own run loop the connection begins in a later pass: the delegate hears nothing
    // while the code that started it (which may hold its own locks) is still running.
    runLoop_->performBlock([self] { self->beginOnLoop(); });
}

void NSURLConnection::beginOnLoop() {
    if (state_ != State::Started) return;
    auto self = strongSelf();
    auto delegate = delegate_;
    NSURLRequestPtr first = delegate ? delegate->connectionWillSendRequestRedirectResponse(self, request_, nullptr) : request_;
    if (isCancelled()) return;
    if (!first) {
        cancel();
        return;
    }
    if (!setState(State::Loading)) return;
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

void NSURLConnection::startTransfer(const NSURLRequestPtr& request) {
    URLTransferOutcome refusal;
    followUp_.reset();
    bodyBytesSent_ = 0;
    transfer_ = URLTransfer::make(request, std::static_pointer_cast<URLTransferClient>(strongSelf()), &refusal);
    if (!transfer_) {
        fail(errorFor(refusal.code, refusal.description));
        return;
    }
    transfer_->start(loader_);
}

// MARK: - The transfer's reports

URLTransferClient::HeadDisposition NSURLConnection::transferDidReceiveHead(URLTransfer&, const std::shared_ptr<NSHTTPURLResponse>& response) {
    if (isCancelled()) return HeadDisposition::Abort;
    if (response->statusCode() == kHTTPStatusUnauthorized) {
        switch (authenticate(response)) {
        case AuthenticationOutcome::Retry: return HeadDisposition::Skip;
        case AuthenticationOutcome::Abort: return HeadDisposition::Abort;
        case AuthenticationOutcome::Deliver: break;
        }
    }
    if (auto next = redirectFor(response)) {
        followUp_ = next;
        return HeadDisposition::Skip;
    }
    if (isCancelled()) return HeadDisposition::Abort;
    response_ = response;
    if (auto delegate = delegate_) delegate->connectionDidReceiveResponse(strongSelf(), response);
    return isCancelled() ? HeadDisposition::Abort : HeadDisposition::Deliver;
}

NSURLRequestPtr NSURLConnection::redirectFor(const std::shared_ptr<NSHTTPURLResponse>& response) {
    auto next = URLRedirectRequest(request_, response);
    if (!next) return nullptr;
    auto delegate = delegate_;
    NSURLRequestPtr answer = delegate ? delegate->connectionWillSendRequestRedirectResponse(strongSelf(), next, response) : next;
    return isCancelled() ? nullptr : answer;
}

bool NSURLConnection::transferDidReceiveData(URLTransfer&, const NSDataPtr& data) {
    if (isCancelled()) return false;
    if (auto delegate = delegate_) delegate->connectionDidReceiveData(strongSelf(), data);
    return !isCancelled();
}

bool NSURLConnection::transferDidSendBodyData(URLTransfer&, long long totalSent, long long totalExpected) {
    if (isCancelled()) return false;
    if (totalSent > bodyBytesSent_) {
        long long written = totalSent - bodyBytesSent_;
        bodyBytesSent_ = totalSent;
        if (auto delegate = delegate_) delegate->connectionDidSendBodyData(strongSelf(), written, totalSent, totalExpected);
    }
    return !isCancelled();
}

void NSURLConnection::transferDidComplete(URLTransfer&, const URLTransferOutcome& outcome) {
    auto self = strongSelf();
    transfer_.reset();
    if (state_ != State::Loading) return;
    if (outcome.succeeded() && followUp_) {
        if (++redirects_ > kURLMaximumRedirects) {
            fail(errorFor(NSURLErrorHTTPTooManyRedirects, "too many HTTP redirects"));
            return;
        }
        request_ = followUp_;
        startTransfer(request_);
    } else if (outcome.succeeded()) {
        finishCleanly();
    } else {
        fail(outcome.error ? outcome.error : errorFor(outcome.code, outcome.description));
    }
}

// MARK: - The end

void NSURLConnection::finishCleanly() {
    auto self = strongSelf();
    auto delegate = delegate_;
    if (delegate && response_) {
        auto cached = std::make_shared<NSCachedURLResponse>(response_, NSData::data());
        delegate->connectionWillCacheResponse(self, cached);
    }
    if (!setState(State::Finished)) return;
    if (delegate) delegate->connectionDidFinishLoading(self);
}

void NSURLConnection::fail(const NSErrorPtr& error) {
    auto self = strongSelf();
    auto delegate = delegate_;
    if (!setState(State::Finished)) return;
    if (delegate) delegate->connectionDidFailWithError(self, error);
}

void NSURLConnection::cancel() {
    if (!setState(State::Cancelled)) return;
    if (!runLoop_ || !loader_) {
        delegate_.reset();
        return;
    }
    auto self = strongSelf();
    auto stop = [self] {
        if (auto transfer = std::move(self->transfer_)) transfer->abandon();
        self->delegate_.reset();
    };
    if (runLoop_->isCurrent()) {
        stop();
    } else {
        runLoop_->performBlock(stop);
    }
}
