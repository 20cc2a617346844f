#include "netkit/NKURLConnectionOperation.h"

#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSString.h"
#include "platform/net/NSURLError.h"

#include <condition_variable>
#include <mutex>
#include <thread>

const std::string NKNetworkingOperationDidStartNotification = "com.netkit.networking.operation.start";
const std::string NKNetworkingOperationDidFinishNotification = "com.netkit.networking.operation.finish";

namespace {

const char* const kNetworkThreadName = "NetKit";
const char* const kOperationLockName = "com.netkit.networking.operation.lock";
const char* const kCompletionQueueLabel = "com.netkit.networking.operation.queue";

dispatch_queue_t url_request_operation_completion_queue() {
    static dispatch_queue_t queue = dispatch_queue_create(kCompletionQueueLabel, DISPATCH_QUEUE_CONCURRENT);
    return queue;
}

dispatch_group_t url_request_operation_completion_group() {
    static dispatch_group_t group = dispatch_group_create();
    return group;
}

struct NetworkThread {
    std::shared_ptr<NSThread> thread;
    std::shared_ptr<NSRunLoop> runLoop;
};

const NetworkThread& networkThread() {
    static NetworkThread network = [] {
        NetworkThread made;
        made.thread = NSThread::startServiceThread(kNetworkThreadName);
        made.runLoop = made.thread->runLoop();
        return made;
    }();
    return network;
}

bool isLegalStateTransition(NKConnectionOperationState from, NKConnectionOperationState to, bool cancelled) {
    switch (from) {
    case NKOperationReadyState:
        switch (to) {
        case NKOperationPausedState:
        case NKOperationExecutingState: return true;
        case NKOperationFinishedState: return cancelled;
        default: return false;
        }
    case NKOperationExecutingState: return to == NKOperationPausedState || to == NKOperationFinishedState;
    case NKOperationFinishedState: return false;
    case NKOperationPausedState: return to == NKOperationReadyState;
    default:
        return to == NKOperationPausedState || to == NKOperationReadyState || to == NKOperationExecutingState ||
               to == NKOperationFinishedState;
    }
}

const bool registeredNKURLConnectionOperation =
    (NSKeyedUnarchiver::registerClass("NKURLConnectionOperation",
                                      [](const NSCoder& coder) -> std::shared_ptr<NSObject> {
                                          return NKURLConnectionOperation::initWithCoder(coder);
                                      }),
     true);

// An error as archived: its domain, code, and the user-info entries an archive can hold.
Value archivedError(const NSErrorPtr& error) {
    if (!error) return {};
    Value::Dictionary userInfo;
    for (const auto& [key, value] : error->userInfo()) {
        if (value.isString() || value.isNumber()) {
            userInfo[key] = value;
        } else if (auto url = value.objectAs<NSURL>()) {
            userInfo[key] = url->absoluteString();
        }
    }
    return Value(Value::Dictionary{{"domain", error->domain()}, {"code", static_cast<long long>(error->code())}, {"userInfo", userInfo}});
}

NSErrorPtr unarchivedError(const Value& value) {
    if (!value.isDictionary() || !value["domain"].isString()) return nullptr;
    Value::Dictionary userInfo = value["userInfo"].isDictionary() ? value["userInfo"].dictionary() : Value::Dictionary{};
    return NSError::errorWithDomain(value["domain"].string(), static_cast<long>(value["code"].integerValue()), userInfo);
}

// A stream that keeps reporting no space and no error gets this long before the chunk fails.
constexpr int kMaximumSpaceWaits = 1 << 20;

void NKPostOperationNotification(const std::string& name, const std::shared_ptr<NKURLConnectionOperation>& operation) {
    NSNotificationCenter::defaultCenter()->postNotificationName(name, Value(operation));
}

} // namespace

std::string NKURLConnectionOperation::keyPathFromOperationState(NKConnectionOperationState state) {
    switch (state) {
    case NKOperationReadyState: return "isReady";
    case NKOperationExecutingState: return "isExecuting";
    case NKOperationFinishedState: return "isFinished";
    case NKOperationPausedState: return "isPaused";
    default: return "state";
    }
}

NKURLConnectionOperation::NKURLConnectionOperation(NSURLRequestPtr request)
    : lock_(std::make_shared<NSRecursiveLock>()), runLoopModes_{NSRunLoopCommonModes}, request_(std::move(request)),
      securityPolicy_(NKSecurityPolicy::defaultPolicy()) {
    lock_->setName(kOperationLockName);
}

NKURLConnectionOperation::~NKURLConnectionOperation() {
    if (outputStream_) outputStream_->close();
    if (backgroundTaskIdentifier_ != UIBackgroundTaskInvalid) {
        UIApplication::sharedApplication()->endBackgroundTask(backgroundTaskIdentifier_);
    }
}

void NKURLConnectionOperation::setShouldExecuteAsBackgroundTaskWithExpirationHandler(std::function<void()> handler) {
    std::lock_guard<NSRecursiveLock> guard(*lock_);
    if (backgroundTaskIdentifier_ != UIBackgroundTaskInvalid) return;
    auto application = UIApplication::sharedApplication();
    std::weak_ptr<NKURLConnectionOperation> weakOperation = self<NKURLConnectionOperation>();
    backgroundTaskIdentifier_ = application->beginBackgroundTaskWithExpirationHandler([application, weakOperation, handler] {
        if (handler) handler();
        if (auto operation = weakOperation.lock()) {
            operation->cancel();
            application->endBackgroundTask(operation->backgroundTaskIdentifier_);
            operation->backgroundTaskIdentifier_ = UIBackgroundTaskInvalid;
        }
    });
}

NKURLConnectionOperationPtr NKURLConnectionOperation::initWithRequest(const NSURLRequestPtr& request) {
    if (!request) return nullptr;
    return std::make_shared<NKURLConnectionOperation>(request);
}

std::shared_ptr<NSThread> NKURLConnectionOperation::networkRequestThread() { return networkThread().thread; }

std::shared_ptr<NSRunLoop> NKURLConnectionOperation::networkRequestRunLoop() { return networkThread().runLoop; }

void NKURLConnectionOperation::performOnNetworkThread(void (NKURLConnectionOperation::*work)()) {
    auto self = this->self<NKURLConnectionOperation>();
    networkRequestRunLoop()->performBlock([self, work] { ((*self).*work)(); });
}

void NKURLConnectionOperation::postNotification(const std::string& name, const std::shared_ptr<NKURLConnectionOperation>& operation) {
    dispatch_async(dispatch_get_main_queue(), [name, operation] { NKPostOperationNotification(name, operation); });
}

// MARK: - State

void NKURLConnectionOperation::setState(NKConnectionOperationState state) {
    // The legality test and the change happen under the lock: two threads moving the state at
    // once must not both pass the test on the same old state.
    std::lock_guard guard(*lock_);
    if (!isLegalStateTransition(state_, state, isCancelled())) return;
    std::string oldKey = keyPathFromOperationState(state_);
    std::string newKey = keyPathFromOperationState(state);
    willChangeValueForKey(newKey);
    willChangeValueForKey(oldKey);
    state_ = state;
    didChangeValueForKey(oldKey);
    didChangeValueForKey(newKey);
}

bool NKURLConnectionOperation::isReady() const { return state_ == NKOperationReadyState && NSOperation::isReady(); }

void NKURLConnectionOperation::start() {
    std::lock_guard guard(*lock_);
    if (isCancelled()) {
        performOnNetworkThread(&NKURLConnectionOperation::cancelConnection);
    } else if (isReady()) {
        setState(NKOperationExecutingState);
        performOnNetworkThread(&NKURLConnectionOperation::operationDidStart);
    }
}

void NKURLConnectionOperation::operationDidStart() {
    auto self = this->self<NKURLConnectionOperation>();
    {
        std::lock_guard guard(*lock_);
        if (!isCancelled()) {
            auto connection = std::make_shared<NSURLConnection>(request_, std::static_pointer_cast<NSURLConnectionDataDelegate>(self));
            connection_ = connection;
            connectionAbandoned_ = false;
            finishing_ = false;
            bodyDiscarded_ = false;
            auto runLoop = NSRunLoop::currentRunLoop();
            auto stream = outputStream();
            for (const std::string& mode : runLoopModes_) {
                connection->scheduleInRunLoop(runLoop, mode);
                stream->scheduleInRunLoop(runLoop, mode);
            }
            connection->start();
        }
    }
    postNotification(NKNetworkingOperationDidStartNotification, self);
}

void NKURLConnectionOperation::finish() {
    {
        std::lock_guard guard(*lock_);
        setState(NKOperationFinishedState);
    }
    postNotification(NKNetworkingOperationDidFinishNotification, self<NKURLConnectionOperation>());
}

void NKURLConnectionOperation::cancel() {
    std::lock_guard guard(*lock_);
    if (isFinished() || isCancelled()) return;
    NSOperation::cancel();
    if (isExecuting()) performOnNetworkThread(&NKURLConnectionOperation::cancelConnection);
}

void NKURLConnectionOperation::cancelConnection() {
    Value::Dictionary userInfo;
    NSURLRequestPtr request = this->request();
    if (request && request->URL()) userInfo[NSURLErrorFailingURLErrorKey] = Value(request->URL());
    auto error = NSError::errorWithDomain(NSURLErrorDomain, NSURLErrorCancelled, userInfo);
    if (isFinished()) return;
    if (auto connection = this->connection()) {
        connection->cancel();
        failWithError(error);
    } else {
        {
            std::lock_guard guard(*lock_);
            error_ = error;
        }
        finish();
    }
}

void NKURLConnectionOperation::pause() {
    if (isPaused() || isFinished() || isCancelled()) return;
    std::lock_guard guard(*lock_);
    // The transfer already ended and the operation is finishing: there is nothing left to pause.
    if (finishing_) return;
    if (isExecuting()) {
        // Whatever the paused connection still reports before it is cancelled on the network
        // thread (or after a resume) belongs to no transfer any more.
        connectionAbandoned_ = true;
        performOnNetworkThread(&NKURLConnectionOperation::operationDidPause);
        postNotification(NKNetworkingOperationDidFinishNotification, self<NKURLConnectionOperation>());
    }
    setState(NKOperationPausedState);
}

void NKURLConnectionOperation::operationDidPause() {
    std::lock_guard guard(*lock_);
    if (connection_) connection_->cancel();
    // A chunk written while the pause took its offset: the stream ends where the pause said.
    if (strayBytes_ && outputStream_) outputStream_->setPropertyForKey(Value(streamOffset_.load()), NSStreamFileCurrentOffsetKey);
    strayBytes_ = false;
}

void NKURLConnectionOperation::resume() {
    if (!isPaused()) return;
    std::lock_guard guard(*lock_);
    setState(NKOperationReadyState);
    start();
}

// MARK: - Completion

void NKURLConnectionOperation::setCompletionBlock(std::function<void()> block) {
    std::lock_guard guard(*lock_);
    if (!block) {
        NSOperation::setCompletionBlock(nullptr);
        return;
    }
    std::weak_ptr<NKURLConnectionOperation> weakSelf = self<NKURLConnectionOperation>();
    NSOperation::setCompletionBlock([weakSelf, block] {
        auto strongSelf = weakSelf.lock();
        if (!strongSelf) return;
        dispatch_group_t group = strongSelf->completionGroup();
        if (!group) group = url_request_operation_completion_group();
        dispatch_queue_t queue = strongSelf->completionQueue();
        if (!queue) queue = dispatch_get_main_queue();
        dispatch_group_async(group, queue, block);
        // Clearing the block breaks the cycle operation - wrapper - block once it has run.
        dispatch_group_notify(group, url_request_operation_completion_queue(),
                              [strongSelf] { strongSelf->setCompletionBlock(nullptr); });
    });
}

// MARK: - Properties

NSURLRequestPtr NKURLConnectionOperation::request() const {
    std::lock_guard guard(*lock_);
    return request_;
}

void NKURLConnectionOperation::setRequest(NSURLRequestPtr request) {
    std::lock_guard guard(*lock_);
    request_ = std::move(request);
}

NSURLResponsePtr NKURLConnectionOperation::response() const {
    std::lock_guard guard(*lock_);
    return response_;
}

NSErrorPtr NKURLConnectionOperation::error() const {
    std::lock_guard guard(*lock_);
    return error_;
}

NSDataPtr NKURLConnectionOperation::responseData() const {
    std::lock_guard guard(*lock_);
    return responseData_;
}

void NKURLConnectionOperation::setResponseData(const NSDataPtr& data) {
    std::lock_guard guard(*lock_);
    responseData_ = data ? NSData::dataWithBytes(data->bytes(), data->length()) : nullptr;
}

NSStringEncoding NKURLConnectionOperation::responseStringEncoding() {
    std::lock_guard guard(*lock_);
    if (responseStringEncoding_ == 0 && response_) {
        NSStringEncoding encoding = NSUTF8StringEncoding;
        if (!response_->textEncodingName().empty()) {
            CFStringEncoding ianaEncoding = CFStringConvertIANACharSetNameToEncoding(response_->textEncodingName());
            if (ianaEncoding != kCFStringEncodingInvalidId) encoding = CFStringConvertEncodingToNSStringEncoding(ianaEncoding);
        }
        responseStringEncoding_ = encoding;
    }
    return responseStringEncoding_;
}

std::optional<std::string> NKURLConnectionOperation::responseString() {
    std::lock_guard guard(*lock_);
    if (!responseString_ && response_ && responseData_) {
        responseString_ = NSString::initWithBytes(responseData_->bytes(), responseData_->length(), responseStringEncoding());
    }
    return responseString_;
}

std::shared_ptr<NSInputStream> NKURLConnectionOperation::inputStream() const {
    auto request = this->request();
    return request ? request->HTTPBodyStream() : nullptr;
}

void NKURLConnectionOperation::setInputStream(const std::shared_ptr<NSInputStream>& stream) {
    std::lock_guard guard(*lock_);
    auto request = request_->mutableCopy();
    request->setHTTPBodyStream(stream);
    request_ = request;
}

std::shared_ptr<NSOutputStream> NKURLConnectionOperation::outputStream() {
    std::lock_guard guard(*lock_);
    if (!outputStream_) setOutputStream(NSOutputStream::outputStreamToMemory());
    return outputStream_;
}

void NKURLConnectionOperation::setOutputStream(const std::shared_ptr<NSOutputStream>& stream) {
    std::lock_guard guard(*lock_);
    if (stream == outputStream_) return;
    if (outputStream_) outputStream_->close();
    outputStream_ = stream;
}

dispatch_queue_t NKURLConnectionOperation::completionQueue() const {
    std::lock_guard guard(*lock_);
    return completionQueue_;
}

void NKURLConnectionOperation::setCompletionQueue(dispatch_queue_t queue) {
    std::lock_guard guard(*lock_);
    completionQueue_ = std::move(queue);
}

dispatch_group_t NKURLConnectionOperation::completionGroup() const {
    std::lock_guard guard(*lock_);
    return completionGroup_;
}

void NKURLConnectionOperation::setCompletionGroup(dispatch_group_t group) {
    std::lock_guard guard(*lock_);
    completionGroup_ = std::move(group);
}

NSURLConnectionPtr NKURLConnectionOperation::connection() const {
    std::lock_guard guard(*lock_);
    return connection_;
}

void NKURLConnectionOperation::setUploadProgressBlock(UploadProgressBlock block) {
    std::lock_guard guard(*lock_);
    uploadProgress_ = std::move(block);
}

void NKURLConnectionOperation::setDownloadProgressBlock(DownloadProgressBlock block) {
    std::lock_guard guard(*lock_);
    downloadProgress_ = std::move(block);
}

void NKURLConnectionOperation::setWillSendRequestForAuthenticationChallengeBlock(AuthenticationChallengeBlock block) {
    std::lock_guard guard(*lock_);
    authenticationChallenge_ = std::move(block);
}

void NKURLConnectionOperation::setCacheResponseBlock(CacheResponseBlock block) {
    std::lock_guard guard(*lock_);
    cacheResponse_ = std::move(block);
}

void NKURLConnectionOperation::setRedirectResponseBlock(RedirectResponseBlock block) {
    std::lock_guard guard(*lock_);
    redirectResponse_ = std::move(block);
}

void NKURLConnectionOperation::resetTotalBytesReadOnMainQueue() { queueProgress({true, 0, 0}); }

// MARK: - Connection callbacks (network thread)

void NKURLConnectionOperation::connectionWillSendRequestForAuthenticationChallenge(const NSURLConnectionPtr& connection,
                                                                                   const NSURLAuthenticationChallengePtr& challenge) {
    AuthenticationChallengeBlock block;
    {
        std::lock_guard guard(*lock_);
        block = authenticationChallenge_;
    }
    if (block) {
        block(connection, challenge);
        return;
    }
    auto sender = challenge->sender();
    if (!sender) return;
    const auto& space = challenge->protectionSpace();
    if (space->authenticationMethod() == NSURLAuthenticationMethodServerTrust) {
        if (securityPolicy_ && securityPolicy_->evaluateServerTrustForDomain(space->serverTrust(), space->host())) {
            sender->useCredentialForAuthenticationChallenge(NSURLCredential::credentialForTrust(space->serverTrust()), challenge);
        } else {
            sender->cancelAuthenticationChallenge(challenge);
        }
        return;
    }
    if (challenge->previousFailureCount() != 0) {
        sender->continueWithoutCredentialForAuthenticationChallenge(challenge);
    } else if (credential_) {
        sender->useCredentialForAuthenticationChallenge(credential_, challenge);
    } else {
        sender->continueWithoutCredentialForAuthenticationChallenge(challenge);
    }
}

bool NKURLConnectionOperation::connectionShouldUseCredentialStorage(const NSURLConnectionPtr&) { return shouldUseCredentialStorage_; }

NSURLRequestPtr NKURLConnectionOperation::connectionWillSendRequestRedirectResponse(const NSURLConnectionPtr& connection,
                                                                                    const NSURLRequestPtr& request,
                                                                                    const NSURLResponsePtr& redirectResponse) {
    RedirectResponseBlock block;
    {
        std::lock_guard guard(*lock_);
        block = redirectResponse_;
    }
    return block ? block(connection, request, redirectResponse) : request;
}

void NKURLConnectionOperation::connectionDidSendBodyData(const NSURLConnectionPtr& connection, long long bytesWritten, long long totalBytesWritten,
                                                         long long totalBytesExpectedToWrite) {
    if (isStale(connection)) return;
    bool hasBlock;
    {
        std::lock_guard guard(*lock_);
        hasBlock = static_cast<bool>(uploadProgress_);
    }
    if (!hasBlock) return;
    auto self = this->self<NKURLConnectionOperation>();
    dispatch_async(dispatch_get_main_queue(), [self, bytesWritten, totalBytesWritten, totalBytesExpectedToWrite] {
        UploadProgressBlock block;
        {
            std::lock_guard guard(*self->lock_);
            block = self->uploadProgress_;
        }
        if (block) block(bytesWritten, totalBytesWritten, totalBytesExpectedToWrite);
    });
}

void NKURLConnectionOperation::connectionDidReceiveResponse(const NSURLConnectionPtr& connection, const NSURLResponsePtr& response) {
    if (isStale(connection)) return;
    {
        std::lock_guard guard(*lock_);
        response_ = response;
    }
    auto stream = outputStream();
    bool wasOpen = stream->streamStatus() != NSStreamStatusNotOpen;
    stream->open();
    if (!streamOffsetKnown_) {
        // What the stream held before this download: an appending file's length, or what the
        // caller wrote into a memory stream it opened itself.
        long long fileOffset = stream->fileCurrentOffset();
        NSDataPtr written = fileOffset < 0 && wasOpen ? stream->dataWrittenToMemory() : nullptr;
        streamOffset_ = fileOffset >= 0 ? fileOffset : written ? static_cast<long long>(written->length()) : 0;
        streamOffsetKnown_ = true;
    }
}

void NKURLConnectionOperation::connectionDidReceiveData(const NSURLConnectionPtr& connection, const NSDataPtr& data) {
    // The stream is written without the operation's lock, so that a pause (or anything else on
    // the main thread) never waits for a slow stream. A pause that lands during the write takes
    // the offset without this chunk; the chunk's bytes are then cut off the stream on the network
    // thread before anything else is written to it (operationDidPause).
    std::shared_ptr<NSOutputStream> stream;
    {
        std::lock_guard guard(*lock_);
        if (isStale(connection) || bodyDiscarded_) return;
        stream = outputStream();
    }
    std::size_t length = data->length();
    for (int waits = 0; !stream->hasSpaceAvailable(); ++waits) {
        NSErrorPtr streamError = stream->streamError();
        if (!streamError && waits >= kMaximumSpaceWaits) {
            streamError = NSError::errorWithDomain(NSURLErrorDomain, NSURLErrorCannotWriteToFile);
        }
        if (streamError) {
            if (isStale(connection)) return;
            connection->cancel();
            failWithError(streamError);
            return;
        }
        std::this_thread::yield();
        if (isStale(connection)) return;
    }
    std::size_t written = 0;
    int emptyWrites = 0;
    while (written < length) {
        long n = stream->write(data->bytes() + written, length - written);
        if (n < 0) break;
        // A stream that keeps accepting nothing does not hold the network thread for ever.
        if (n == 0 && ++emptyWrites > kMaximumSpaceWaits) break;
        written += static_cast<std::size_t>(n);
    }
    {
        std::lock_guard guard(*lock_);
        if (isStale(connection)) {
            strayBytes_ = written > 0;
            return;
        }
        streamOffset_ += static_cast<long long>(written);
    }
    long long expected = response() ? response()->expectedContentLength() : NSURLResponseUnknownLength;
    queueProgress({false, length, expected});
}

void NKURLConnectionOperation::discardBodyOfResponse(const NSURLConnectionPtr& connection) {
    std::lock_guard guard(*lock_);
    if (!isStale(connection)) bodyDiscarded_ = true;
}

void NKURLConnectionOperation::restartStreamAt(long long offset) {
    std::lock_guard guard(*lock_);
    outputStream()->setPropertyForKey(Value(offset), NSStreamFileCurrentOffsetKey);
    streamOffset_ = offset;
}

void NKURLConnectionOperation::queueProgress(const PendingProgress& entry) {
    // Progress reaches the main queue in order, one call per chunk. While a delivery is queued
    // and has not started, later chunks join it instead of queueing (and waking the main thread)
    // once each: a fast transfer would otherwise spend its time waking the main thread.
    bool schedule;
    {
        std::lock_guard guard(progressMutex_);
        pendingProgress_.push_back(entry);
        schedule = !progressScheduled_;
        progressScheduled_ = true;
    }
    if (!schedule) return;
    auto self = this->self<NKURLConnectionOperation>();
    dispatch_async(dispatch_get_main_queue(), [self] { self->deliverProgress(); });
}

void NKURLConnectionOperation::deliverProgress() {
    std::vector<PendingProgress> entries;
    {
        std::lock_guard guard(progressMutex_);
        entries.swap(pendingProgress_);
        progressScheduled_ = false;
    }
    for (const PendingProgress& entry : entries) {
        if (entry.reset) {
            totalBytesRead_ = 0;
            continue;
        }
        long long total = totalBytesRead_ += static_cast<long long>(entry.length);
        DownloadProgressBlock block;
        {
            std::lock_guard guard(*lock_);
            block = downloadProgress_;
        }
        if (block) block(entry.length, total, entry.expected);
    }
}

void NKURLConnectionOperation::connectionDidFinishLoading(const NSURLConnectionPtr& connection) {
    {
        // Checked and cleaned up under the lock, so a pause cannot land in between: once the
        // clean-up starts, the operation is finishing and a pause leaves it alone.
        std::lock_guard guard(*lock_);
        if (isStale(connection)) return;
        auto stream = outputStream();
        // A write that failed on the last chunk has no next chunk to report it: the body is not
        // complete, so the operation fails with the stream's error instead of finishing as a success.
        NSErrorPtr streamError = stream->streamError();
        // Closed first: a closed memory stream hands over its buffer itself instead of a copy.
        stream->close();
        if (streamError) {
            error_ = streamError;
        } else {
            responseData_ = stream->dataWrittenToMemory();
        }
        outputStream_.reset();
        connection_.reset();
        finishing_ = true;
    }
    finish();
}

void NKURLConnectionOperation::connectionDidFailWithError(const NSURLConnectionPtr& connection, const NSErrorPtr& error) {
    {
        std::lock_guard guard(*lock_);
        if (isStale(connection)) return;
        finishing_ = true;
    }
    failWithError(error);
}

bool NKURLConnectionOperation::isStale(const NSURLConnectionPtr& connection) const {
    std::lock_guard guard(*lock_);
    return connection != connection_ || connectionAbandoned_;
}

void NKURLConnectionOperation::failWithError(const NSErrorPtr& error) {
    {
        std::lock_guard guard(*lock_);
        error_ = error;
        if (outputStream_) outputStream_->close();
        outputStream_.reset();
        connection_.reset();
    }
    finish();
}

NSCachedURLResponsePtr NKURLConnectionOperation::connectionWillCacheResponse(const NSURLConnectionPtr& connection,
                                                                             const NSCachedURLResponsePtr& cachedResponse) {
    CacheResponseBlock block;
    {
        std::lock_guard guard(*lock_);
        block = cacheResponse_;
    }
    if (block) return block(connection, cachedResponse);
    return isCancelled() ? nullptr : cachedResponse;
}

// MARK: - Copying, batches, description

NKURLConnectionOperationPtr NKURLConnectionOperation::makeWithRequest(const NSURLRequestPtr& request) const {
    return initWithRequest(request);
}

void NKURLConnectionOperation::encodeWithCoder(NSCoder& coder) const {
    // Archiving stops a running transfer: what is archived must not change under the archiver.
    const_cast<NKURLConnectionOperation*>(this)->pause();
    coder.encodeObjectForKey(Value(request()), "request");
    NKConnectionOperationState state = state_;
    if (state == NKOperationPausedState || state == NKOperationExecutingState) state = NKOperationReadyState;
    coder.encodeInt64ForKey(state, "state");
    coder.encodeObjectForKey(response() ? Value(response()) : Value(), "response");
    coder.encodeObjectForKey(archivedError(NKURLConnectionOperation::error()), "error");
    NSDataPtr data = responseData();
    coder.encodeObjectForKey(data ? Value(data->vector()) : Value(), "responseData");
    coder.encodeInt64ForKey(totalBytesRead_, "totalBytesRead");
}

NKURLConnectionOperationPtr NKURLConnectionOperation::initWithCoder(const NSCoder& coder) {
    auto operation = initWithRequest(coder.decodeObjectForKey("request").objectAs<NSURLRequest>());
    if (operation) operation->decodeRestFrom(coder);
    return operation;
}

void NKURLConnectionOperation::decodeRestFrom(const NSCoder& coder) {
    setState(coder.decodeInt64ForKey("state"));
    std::lock_guard guard(*lock_);
    response_ = coder.decodeObjectForKey("response").objectAs<NSURLResponse>();
    error_ = unarchivedError(coder.decodeObjectForKey("error"));
    Value data = coder.decodeObjectForKey("responseData");
    responseData_ = data.isData() ? std::make_shared<NSData>(data.data()) : nullptr;
    totalBytesRead_ = coder.decodeInt64ForKey("totalBytesRead");
}

NKURLConnectionOperationPtr NKURLConnectionOperation::copy() const {
    auto copy = makeWithRequest(request());
    if (!copy) return nullptr;
    std::lock_guard guard(*lock_);
    copy->uploadProgress_ = uploadProgress_;
    copy->downloadProgress_ = downloadProgress_;
    copy->authenticationChallenge_ = authenticationChallenge_;
    copy->cacheResponse_ = cacheResponse_;
    copy->redirectResponse_ = redirectResponse_;
    copy->completionQueue_ = completionQueue_;
    copy->completionGroup_ = completionGroup_;
    return copy;
}

std::vector<NSOperationPtr> NKURLConnectionOperation::batchOfRequestOperations(
    const std::vector<NKURLConnectionOperationPtr>& operations, std::function<void(std::size_t, std::size_t)> progressBlock,
    std::function<void(const std::vector<NKURLConnectionOperationPtr>&)> completionBlock) {
    if (operations.empty()) {
        return {NSBlockOperation::blockOperationWithBlock([completionBlock] {
            dispatch_async(dispatch_get_main_queue(), [completionBlock] {
                if (completionBlock) completionBlock({});
            });
        })};
    }
    dispatch_group_t batchGroup = dispatch_group_create();
    auto batchOperation = NSBlockOperation::blockOperationWithBlock([batchGroup, operations, completionBlock] {
        dispatch_group_notify(batchGroup, dispatch_get_main_queue(), [operations, completionBlock] {
            if (completionBlock) completionBlock(operations);
        });
    });
    for (const auto& operation : operations) {
        operation->setCompletionGroup(batchGroup);
        auto earlier = operation->completionBlock();
        std::weak_ptr<NKURLConnectionOperation> weakOperation = operation;
        operation->setCompletionBlock([weakOperation, earlier, operations, progressBlock, batchGroup] {
            auto strongOperation = weakOperation.lock();
            dispatch_queue_t queue = strongOperation ? strongOperation->completionQueue() : nullptr;
            if (!queue) queue = dispatch_get_main_queue();
            dispatch_group_async(batchGroup, queue, [earlier, operations, progressBlock, batchGroup] {
                if (earlier) earlier();
                std::size_t finished = 0;
                for (const auto& op : operations) finished += op->isFinished() ? 1 : 0;
                if (progressBlock) progressBlock(finished, operations.size());
                dispatch_group_leave(batchGroup);
            });
        });
        dispatch_group_enter(batchGroup);
        batchOperation->addDependency(operation);
    }
    std::vector<NSOperationPtr> all(operations.begin(), operations.end());
    all.push_back(batchOperation);
    return all;
}

std::string NKURLConnectionOperation::description() const {
    return NSString::stringWithFormat("<%@: %p, state: %@, cancelled: %@ request: %@, response: %@>", className(),
                                      static_cast<const void*>(this), keyPathFromOperationState(state_),
                                      std::string(isCancelled() ? "YES" : "NO"), request(), response());
}
