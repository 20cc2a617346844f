#pragma once
// The common base of the SDK's store-and-forward uploaders (the analytics report sender and the
// ad-log sender). It keeps the HTTP tasks in flight, opens a window of at most 9 of them, holds
// one background task while anything is in flight, and asks its subclass to resend stored data
// when the network becomes reachable and after every accepted upload. The subclass owns its store
// and its requests.
//
// The subclass contract: test hasOngoingTasksWindow() before making a task; make it unstarted,
// set its tag to the block identifier, registerNewTask() it, then start it on the main run loop;
// in every task callback hop onto queue() (performOnQueue) and call unregisterTaskCompletedSuccessfuly()
// exactly once for the task, with YES only when the upload was accepted; recognise blocks in
// flight by comparing the running tasks' tags with block identifiers. Make the object with
// create<T>(), which finishes set-up once it lives in a shared_ptr.

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSObject.h"
#include "sdk/analytics/VuderuHttpAsyncTask.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class VuderuDataSenderBase : public NSObject {
public:
    static constexpr std::size_t kMaximumRunningTasks = 9;

    template <class T, class... Args>
    static std::shared_ptr<T> create(Args&&... args) {
        auto sender = std::make_shared<T>(std::forward<Args>(args)...);
        sender->initialize();
        return sender;
    }

    // initWithQueue: keeps the queue (from system 4.0 on) and no background task.
    explicit VuderuDataSenderBase(dispatch_queue_t queue);
    // init: no queue; the callbacks' work runs inline.
    VuderuDataSenderBase();
    ~VuderuDataSenderBase() override;

    const std::vector<VuderuHttpAsyncTaskPtr>& runningTasks() const { return runningTasks_; }
    std::uint64_t backgroundTask() const { return backgroundTask_; }
    const dispatch_queue_t& queue() const { return queue_; }

    bool hasOngoingTasksWindow() const { return runningTasks_.size() < kMaximumRunningTasks; }
    void registerNewTask(const VuderuHttpAsyncTaskPtr& task);
    void unregisterTaskCompletedSuccessfuly(const VuderuHttpAsyncTaskPtr& task, bool completedSuccessfuly);
    // Cancels every running task (no callback follows) and empties the list.
    void cancelTasks();
    void networkStatusChanged(const std::shared_ptr<NSNotification>& notification);
    void performRetransmitNotSentBlocks();
    void startBackgroundTaskTrackingIfNeeded();
    void stopBackgroundTasksTracking();

    // The hooks. The base raises NSInvalidArgumentException: a subclass must provide both.
    virtual void retransmitNotSentBlocks();
    virtual void didCompleteAllTasks();

protected:
    // Registers for network status changes; create<T>() calls it.
    void initialize();
    // On the queue without waiting, or at once when there is none.
    void performOnQueue(std::function<void()> work);

private:
    std::vector<VuderuHttpAsyncTaskPtr> runningTasks_;
    std::uint64_t backgroundTask_ = 0;
    dispatch_queue_t queue_;
};
