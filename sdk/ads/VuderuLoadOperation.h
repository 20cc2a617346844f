#pragma once
// One asset load run by an operation queue: the asset's identity, times and destination, and the
// executing/finished state the queue observes. Subclasses load in executeLoading() and end with
// finishOperation(). Cancelling clears the delegate first, so a cancelled load reports nothing;
// it reads as finished at once, and a cancelled operation that a queue starts announces that it
// finished (or the queue would keep its slot for ever).

#include "platform/dispatch/NSOperation.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/NSURL.h"
#include "platform/foundation/Value.h"
#include "sdk/ads/VuderuContentLoadOperationDelegate.h"
#include "platform/foundation/ThreadSafety.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>

class VuderuLoadOperation : public NSOperation {
public:
    // initWithAssetName:withUrlString:withExpiryTime:withTags:delegate:withSavePath: — expiry in
    // seconds since 1970; without a save path the asset goes to "asset_cache" under the cache
    // root, named after the URL's last component.
    VuderuLoadOperation(std::string assetName, const std::string& urlString, double expiryTime, Value::Dictionary tags,
                        std::weak_ptr<VuderuContentLoadOperationDelegate> delegate, std::optional<std::string> savePath);

    void start() override;
    void cancel() override;
    bool isExecuting() const override;
    bool isFinished() const override;
    bool isConcurrent() const override { return true; }
    void finishOperation();

    std::shared_ptr<VuderuContentLoadOperationDelegate> delegate() const;
    void setDelegate(std::weak_ptr<VuderuContentLoadOperationDelegate> delegate);
    const std::string& resourceId() const { return resourceId_; }
    const NSURLPtr& assetUrl() const { return assetUrl_; }
    double inceptionTime() const { return inceptionTime_; }
    double startTime() const;
    double endTime() const;
    NSErrorPtr operationError() const;
    void setOperationError(NSErrorPtr error);
    const Value::Dictionary& tags() const { return tags_; }
    bool isFromCache() const { return false; }
    const std::string& savePath() const { return savePath_; }
    double expiryTime() const { return expiryTime_; }

protected:
    virtual void executeLoading() = 0;
    // Called (on the cancelling thread) when a running load is cancelled.
    virtual void didCancelWhileExecuting() {}
    // The three reports. On the main thread they go without waiting, to the delegate the
    // operation has when they arrive; directly, to the delegate it has now.
    enum class Outcome { Finished, Failed, Cancelled };
    void report(Outcome outcome);
    void reportOnMainThread(Outcome outcome);
    // Sets startTime; the executing state is entered once.
    void markStarted();

private:
    enum class State { Ready, Executing, Finished };
    // The one place the state changes; announces the keys whose value changes.
    void setState(State state);
    static void deliver(const std::shared_ptr<VuderuLoadOperation>& operation,
                        const std::shared_ptr<VuderuContentLoadOperationDelegate>& delegate, Outcome outcome);

    std::string resourceId_;
    NSURLPtr assetUrl_;
    double inceptionTime_;
    double expiryTime_;
    Value::Dictionary tags_;
    std::string savePath_;

    mutable Mutex mutex_;
    std::weak_ptr<VuderuContentLoadOperationDelegate> delegate_ TD_GUARDED_BY(mutex_);
    State state_ TD_GUARDED_BY(mutex_) = State::Ready;
    // The state the latest change is headed for, taken before its observers are told: two threads
    // finishing one operation at once tell them once, and no change follows the finish.
    State claimedState_ TD_GUARDED_BY(mutex_) = State::Ready;
    double startTime_ TD_GUARDED_BY(mutex_) = 0;
    double endTime_ TD_GUARDED_BY(mutex_) = 0;
    NSErrorPtr operationError_ TD_GUARDED_BY(mutex_);
};
