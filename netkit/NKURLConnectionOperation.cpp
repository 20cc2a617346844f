#include "netkit/NKURLConnectionOperation.h"

#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSString.h"
#include "platform/net/NSURLError.h"

// The operation's life: the network thread, the state machine, start, cancel, pause and resume,
// the completion block, copies and batches. Its properties, its transfer on the network thread
// and its archiving are in NKURLConnectionOperationProperties.cpp, NKURLConnectionOperationTransfer.cpp
// and NKURLConnectionOperationCoding.cpp.

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
    MutexLock guard(*lock_);
    if (backgroundTaskIdentifier_ != UIBackgroundTaskInvalid) return;
    auto application = UIApplication::sharedApplication();
    std::weak_ptr<NKURLConnectionOperation> weakOperation = self<NKURLConnectionOperation>();
    backgroundTaskIdentifier_ = application->beginBackgroundTaskWithExpirationHandler([application, weakOperation, handler] {
        if (handler) handler();
        if (auto operation = weakOperation.lock()) {
            operation->cancel();
            UIBackgroundTaskIdentifier task;
            {
                MutexLock guard(*operation->lock_);
                task = operation->backgroundTaskIdentifier_;
                operation->backgroundTaskIdentifier_ = UIBackgroundTaskInvalid;
            }
            if (task != UIBackgroundTaskInvalid) application->endBackgroundTask(task);
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
    MutexLock guard(*lock_);
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
    MutexLock guard(*lock_);
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
        MutexLock guard(*lock_);
        if (!isCancelled()) {
            auto connection = std::make_shared<NSURLConnection>(request_, std::static_pointer_cast<NSURLConnectionDataDelegate>(self));
            connection_ = connection;
            connectionAbandoned_ = false;
            finishing_ = false;
            bodyDiscarded_ = false;
            partialContent_ = NSHTTPPartialContent();
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
        MutexLock guard(*lock_);
        setState(NKOperationFinishedState);
    }
    postNotification(NKNetworkingOperationDidFinishNotification, self<NKURLConnectionOperation>());
}

void NKURLConnectionOperation::cancel() {
    MutexLock guard(*lock_);
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
            MutexLock guard(*lock_);
            error_ = error;
        }
        finish();
    }
}

void NKURLConnectionOperation::pause() {
    if (isPaused() || isFinished() || isCancelled()) return;
    MutexLock guard(*lock_);
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
    MutexLock guard(*lock_);
    if (connection_) connection_->cancel();
    // A chunk written while the pause took its offset: the stream ends where the pause said.
    if (strayBytes_ && outputStream_) outputStream_->setPropertyForKey(Value(streamOffset_.load()), NSStreamFileCurrentOffsetKey);
    strayBytes_ = false;
}

void NKURLConnectionOperation::resume() {
    if (!isPaused()) return;
    MutexLock guard(*lock_);
    setState(NKOperationReadyState);
    start();
}

// MARK: - Completion

void NKURLConnectionOperation::setCompletionBlock(std::function<void()> block) {
    MutexLock guard(*lock_);
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

// MARK: - Copying, batches, description

NKURLConnectionOperationPtr NKURLConnectionOperation::makeWithRequest(const NSURLRequestPtr& request) const {
    return initWithRequest(request);
}

NKURLConnectionOperationPtr NKURLConnectionOperation::copy() const {
    auto copy = makeWithRequest(request());
    if (!copy) return nullptr;
    MutexLock guard(*lock_);
    // The copy is not shared yet; its lock is taken for the analysis' sake.
    MutexLock copyGuard(*copy->lock_);
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
