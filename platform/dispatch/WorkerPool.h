#pragma once
// The one pool of worker threads behind the global queues, serial queues and concurrent queues.
// Threads are made on demand up to a few per core and then live as long as the process.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

class WorkerPool {
public:
    static WorkerPool& shared();

    // Runs the task on some worker thread, in submission order as threads become free.
    void submit(std::function<void()> task);
    std::size_t maximumThreads() const { return maxThreads_; }
    // The cores this process may run on (its CPU affinity), at least 1: how many tasks of work
    // that only computes are worth running at once.
    static unsigned availableCores();
    // Whether no task waits and none runs, and no worker is still starting: every queue's work so
    // far is done (timers still due later do not count).
    bool isIdle();
    // Blocks until the pool is idle, or until `limit` has passed; whether it became idle.
    bool waitUntilIdle(std::chrono::steady_clock::duration limit);

    // A task that waits on the outside for as long as the outside takes (a name lookup that may
    // never be answered) marks the wait, so that letting the queues finish their work does not
    // wait for it. Outside a worker thread the marks do nothing.
    void beginOutsideWait();
    void endOutsideWait();
    // Idle but for tasks in an outside wait; and the wait for it.
    bool isQuiet();
    bool waitUntilQuiet(std::chrono::steady_clock::duration limit);
    // The same mark for a wait that another thread ends (a sleep on the manual clock, ended by the
    // advance past it; see RunLoopActivity::beginClockWait): the begin answers whether the calling
    // thread's task was marked, and the end, from any thread, takes one mark back.
    bool beginHandedOffWait();
    void endHandedOffWait();

    // The instance if it was made, for the fork handlers. A forked child has none of the
    // parent's workers: it starts new ones for the tasks it submits.
    static WorkerPool* existing();
    void prepareFork();
    void afterForkInParent();
    void afterForkInChild();

private:
    WorkerPool();
    void work();
    bool idleLocked() const;
    bool quietLocked() const;

    std::mutex mutex_;
    std::condition_variable available_;
    std::condition_variable becameIdle_;
    std::deque<std::function<void()>> tasks_;
    std::size_t threads_ = 0;
    std::size_t idle_ = 0;
    std::size_t starting_ = 0; // made, not yet waiting for work
    std::size_t outsideWaits_ = 0;
    std::size_t maxThreads_;
};
