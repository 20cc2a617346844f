#pragma once
// A dispatch queue. The main queue hands its blocks to the main run loop; global queues hand
// theirs straight to the worker pool; a serial queue runs one block at a time in FIFO order on the
// pool (a dispatch_sync onto it runs on the caller's thread once the queue is its turn); a
// concurrent queue runs its blocks on the pool side by side.

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSObject.h"

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class DispatchQueue : public NSObject {
public:
    enum class Kind { main, global, serial, concurrent };

    DispatchQueue(std::string label, Kind kind);

    static dispatch_queue_t mainQueue();
    static dispatch_queue_t globalQueue(long priority);
    // The innermost queue whose block runs on this thread, or null.
    static DispatchQueue* runningOnThisThread();
    // Whether the calling thread is inside a block of this queue (at any depth), which makes a
    // dispatch_sync onto it a deadlock.
    bool isHeldByThisThread() const;

    const std::string& label() const { return label_; }
    Kind kind() const { return kind_; }

    void async(dispatch_block_t block);
    void sync(dispatch_block_t block);
    void suspend();
    void resume();

    std::string description() const override;

    // Marks the calling thread as running a block of `queue` while alive.
    class Running {
    public:
        explicit Running(DispatchQueue* queue);
        ~Running();
        Running(const Running&) = delete;
        Running& operator=(const Running&) = delete;
    };

private:
    struct SyncTurn;
    struct Item {
        dispatch_block_t block;
        std::shared_ptr<SyncTurn> turn; // set for a dispatch_sync waiting for its turn
    };

    void submitToTarget(dispatch_block_t block);
    void drainSerial();
    void releaseSerial();
    void scheduleDrainLocked(bool& schedule);

    const std::string label_;
    const Kind kind_;
    std::mutex mutex_;
    std::deque<Item> items_; // a serial queue's blocks; held blocks of a suspended queue
    bool draining_ = false;  // a serial queue is owned by a drain or a sync caller
    int suspendCount_ = 0;
};
