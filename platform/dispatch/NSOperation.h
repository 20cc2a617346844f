#pragma once
// Operations: a unit of work with readiness (dependencies), cancellation, executing and finished
// states announced through key-value observation ("isReady", "isExecuting", "isFinished",
// "isCancelled"), and a completion block run on a background queue once the operation finishes.
// A concurrent operation overrides start(), isExecuting() and isFinished() and announces its own
// state changes; the finish announcement is what runs the completion block, wakes
// waitUntilFinished() and lets dependents and queues go on.

#include "platform/foundation/NSKeyValueObserving.h"
#include "platform/foundation/NSObject.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class NSOperation;
using NSOperationPtr = std::shared_ptr<NSOperation>;

enum NSOperationQueuePriority : long {
    NSOperationQueuePriorityVeryLow = -8,
    NSOperationQueuePriorityLow = -4,
    NSOperationQueuePriorityNormal = 0,
    NSOperationQueuePriorityHigh = 4,
    NSOperationQueuePriorityVeryHigh = 8,
};

class NSOperation : public NSObject, public NSKeyValueObserving {
public:
    NSOperation() = default;
    ~NSOperation() override;

    // Runs main() on the calling thread unless the operation is cancelled (then it only finishes)
    // or not ready (then it does nothing).
    virtual void start();
    virtual void main() {}
    virtual void cancel();

    virtual bool isCancelled() const { return cancelled_; }
    virtual bool isExecuting() const { return executing_; }
    virtual bool isFinished() const { return finished_; }
    // Every dependency finished (a cancelled operation is ready at once, so that it can finish).
    virtual bool isReady() const;
    virtual bool isConcurrent() const { return false; }
    bool isAsynchronous() const { return isConcurrent(); }

    void addDependency(const NSOperationPtr& operation);
    void removeDependency(const NSOperationPtr& operation);
    std::vector<NSOperationPtr> dependencies() const;

    // Runs once, on a global queue, after the operation has announced that it finished.
    virtual void setCompletionBlock(std::function<void()> block);
    std::function<void()> completionBlock() const;

    // Blocks the calling thread until the operation finished.
    void waitUntilFinished();

    NSOperationQueuePriority queuePriority() const { return priority_; }
    void setQueuePriority(NSOperationQueuePriority priority) { priority_ = priority; }
    std::string name() const;
    void setName(const std::string& name);

    void didChangeValueForKey(const std::string& key) override;

private:
    void dependencyChanged();

    mutable std::mutex mutex_;
    std::condition_variable finishedChanged_;
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> executing_{false};
    std::atomic<bool> finished_{false};
    bool completionRan_ = false;
    std::function<void()> completionBlock_;
    struct Dependency {
        NSOperationPtr operation;
        ObserverToken token;
    };
    std::vector<Dependency> dependencies_;
    NSOperationQueuePriority priority_ = NSOperationQueuePriorityNormal;
    std::string name_;
};

// An operation that runs blocks (concurrently with each other when there are several).
class NSBlockOperation : public NSOperation {
public:
    static std::shared_ptr<NSBlockOperation> blockOperationWithBlock(std::function<void()> block);
    void addExecutionBlock(std::function<void()> block);
    std::vector<std::function<void()>> executionBlocks() const;
    void main() override;

private:
    mutable std::mutex blocksMutex_;
    std::vector<std::function<void()>> blocks_;
};
