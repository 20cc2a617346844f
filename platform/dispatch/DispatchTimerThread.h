#pragma once
// The one thread that serves dispatch_after and timer sources. It waits for the earliest entry on
// the platform clock; under a manual clock it waits for advance(), and the entries that advance()
// makes due fire on the advancing thread before advance() returns, so tests see them queued at once.

#include "platform/dispatch/dispatch.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

class DispatchTimerThread {
public:
    // Called when the entry is due; it must not block (it queues work and returns).
    using Fire = std::function<void()>;
    using EntryId = std::uint64_t;

    static DispatchTimerThread& shared();

    EntryId schedule(dispatch_time_t when, Fire fire);
    // After cancel returns the entry does not fire (unless it already began firing).
    void cancel(EntryId entry);

    // The instance if it was made, for the fork handlers.
    static DispatchTimerThread* existing();
    void prepareFork();
    void afterForkInParent();
    void afterForkInChild();

private:
    DispatchTimerThread();
    void startThreadLocked();
    void run();
    void fireDue();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::mutex firing_; // keeps due entries firing in time order whichever thread fires them
    std::multimap<dispatch_time_t, EntryId> byTime_;
    struct Entry {
        dispatch_time_t when;
        Fire fire;
    };
    std::map<EntryId, Entry> entries_;
    EntryId nextId_ = 1;
    std::uint64_t clockChanges_ = 0;
    bool threadRunning_ = false;
    // The thread waits for a change, so it holds nothing another thread could need (a fork waits
    // for this: a thread lost half-way through an allocation would leave its lock held).
    bool parked_ = false;
    std::condition_variable parkedChanged_;
};

// Registers (once) the fork handlers of the worker pool and the timer thread.
void installDispatchForkHandlers();
