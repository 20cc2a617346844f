#include "sdk/ads/VuderuLoadOperation.h"

#include "platform/foundation/NSString.h"
#include "platform/foundation/NSThread.h"
#include "platform/foundation/PlatformClock.h"
#include "sdk/ads/VuderuAdUtil.h"

namespace {

const std::string kAssetCacheDirectory = "asset_cache";

std::string defaultSavePath(const std::string& urlString) {
    auto slash = urlString.rfind('/');
    std::string fileName = slash == std::string::npos ? urlString : urlString.substr(slash + 1);
    return NSString::stringWithFormat("%@/%@/%@", VuderuAdUtil::cachePathDirectory(), kAssetCacheDirectory, fileName);
}

} // namespace

VuderuLoadOperation::VuderuLoadOperation(std::string assetName, const std::string& urlString, double expiryTime,
                                         Value::Dictionary tags, std::weak_ptr<VuderuContentLoadOperationDelegate> delegate,
                                         std::optional<std::string> savePath)
    : resourceId_(std::move(assetName)),
      assetUrl_(urlString.empty() ? nullptr : NSURL::URLWithString(urlString)),
      inceptionTime_(PlatformClock::now()),
      expiryTime_(expiryTime),
      tags_(std::move(tags)),
      savePath_(savePath ? std::move(*savePath) : defaultSavePath(urlString)),
      delegate_(std::move(delegate)) {
    setQueuePriority(NSOperationQueuePriorityNormal);
}

std::shared_ptr<VuderuContentLoadOperationDelegate> VuderuLoadOperation::delegate() const {
    MutexLock guard(mutex_);
    return delegate_.lock();
}

void VuderuLoadOperation::setDelegate(std::weak_ptr<VuderuContentLoadOperationDelegate> delegate) {
    MutexLock guard(mutex_);
    delegate_ = std::move(delegate);
}

double VuderuLoadOperation::startTime() const {
    MutexLock guard(mutex_);
    return startTime_;
}

double VuderuLoadOperation::endTime() const {
    MutexLock guard(mutex_);
    return endTime_;
}

NSErrorPtr VuderuLoadOperation::operationError() const {
    MutexLock guard(mutex_);
    return operationError_;
}

void VuderuLoadOperation::setOperationError(NSErrorPtr error) {
    MutexLock guard(mutex_);
    operationError_ = std::move(error);
}

bool VuderuLoadOperation::isExecuting() const {
    MutexLock guard(mutex_);
    return state_ == State::Executing;
}

bool VuderuLoadOperation::isFinished() const {
    if (isCancelled()) return true;
    MutexLock guard(mutex_);
    return state_ == State::Finished;
}

void VuderuLoadOperation::setState(State state) {
    State previous;
    {
        MutexLock guard(mutex_);
        previous = claimedState_;
        if (previous == state || previous == State::Finished) return;
        claimedState_ = state;
    }
    const bool executingChanges = previous == State::Executing || state == State::Executing;
    const bool finishedChanges = state == State::Finished;
    // Observers (the queue) read the state back, so they are told outside the lock.
    if (executingChanges) willChangeValueForKey("isExecuting");
    if (finishedChanges) willChangeValueForKey("isFinished");
    {
        MutexLock guard(mutex_);
        state_ = claimedState_;
    }
    if (executingChanges) didChangeValueForKey("isExecuting");
    if (finishedChanges) didChangeValueForKey("isFinished");
}

void VuderuLoadOperation::markStarted() {
    {
        MutexLock guard(mutex_);
        startTime_ = PlatformClock::now();
    }
    setState(State::Executing);
}

void VuderuLoadOperation::start() {
    if (isCancelled()) {
        // Let the queue that started it go on.
        setState(State::Finished);
        return;
    }
    markStarted();
    executeLoading();
}

void VuderuLoadOperation::cancel() {
    setDelegate({});
    NSOperation::cancel();
    bool executing = isExecuting();
    if (executing) {
        setState(State::Finished);
        didCancelWhileExecuting();
    }
}

void VuderuLoadOperation::finishOperation() {
    {
        MutexLock guard(mutex_);
        endTime_ = PlatformClock::now();
    }
    setState(State::Finished);
}

void VuderuLoadOperation::deliver(const std::shared_ptr<VuderuLoadOperation>& operation,
                                  const std::shared_ptr<VuderuContentLoadOperationDelegate>& delegate, Outcome outcome) {
    if (!delegate) return;
    switch (outcome) {
    case Outcome::Finished: delegate->loadOperationDidFinishLoading(operation); break;
    case Outcome::Failed: delegate->loadOperationDidFailLoading(operation); break;
    case Outcome::Cancelled: delegate->loadOperationDidCancel(operation); break;
    }
}

void VuderuLoadOperation::report(Outcome outcome) { deliver(self<VuderuLoadOperation>(), delegate(), outcome); }

void VuderuLoadOperation::reportOnMainThread(Outcome outcome) {
    auto operation = self<VuderuLoadOperation>();
    NSThread::mainThread()->performBlock([operation, outcome] { deliver(operation, operation->delegate(), outcome); });
}
