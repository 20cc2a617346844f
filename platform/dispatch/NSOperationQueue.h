#pragma once
// Operation queues: start each added operation once it is ready, at most
// maxConcurrentOperationCount at a time, on the global dispatch queue (the main queue's
// operations on the main dispatch queue), and let it go once it announces that it finished.

#include "platform/dispatch/NSOperation.h"
#include "platform/foundation/NSObject.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

inline constexpr long NSOperationQueueDefaultMaxConcurrentOperationCount = -1;

class NSOperationQueue : public NSObject {
public:
    NSOperationQueue();
    ~NSOperationQueue() override;

    static std::shared_ptr<NSOperationQueue> mainQueue();
    // The queue that started the operation running on this thread, or nil.
    static std::shared_ptr<NSOperationQueue> currentQueue();

    void addOperation(const NSOperationPtr& operation);
    void addOperations(const std::vector<NSOperationPtr>& operations, bool waitUntilFinished);
    void addOperationWithBlock(std::function<void()> block);

    std::vector<NSOperationPtr> operations() const;
    std::size_t operationCount() const;
    long maxConcurrentOperationCount() const;
    void setMaxConcurrentOperationCount(long count);
    bool isSuspended() const;
    void setSuspended(bool suspended);
    std::string name() const;
    void setName(const std::string& name);

    void cancelAllOperations();
    void waitUntilAllOperationsAreFinished();

private:
    struct Entry {
        NSOperationPtr operation;
        NSKeyValueObserving::ObserverToken readyToken = 0;
        NSKeyValueObserving::ObserverToken finishedToken = 0;
        bool started = false;
    };
    void schedule();
    void operationFinished(NSOperation* operation);

    bool isMain_ = false;
    mutable std::mutex mutex_;
    std::condition_variable emptied_;
    std::vector<Entry> entries_;
    long maxConcurrent_ = NSOperationQueueDefaultMaxConcurrentOperationCount;
    int running_ = 0;
    bool suspended_ = false;
    std::string name_;
};
