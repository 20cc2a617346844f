#include "platform/dispatch/WorkerPool.h"

#include "platform/dispatch/DispatchTimerThread.h"
#include "platform/foundation/RunLoopActivity.h"
#include "platform/foundation/ScopedAlternateSignalStack.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <thread>

#include <fstream>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {
constexpr std::size_t kThreadsPerCore = 4;
// Enough for a block or two per thread to wait on another without starving the pool on a small
// machine.
constexpr std::size_t kMinimumThreads = 16;
constexpr const char* kWorkerName = "dispatch-worker";

std::atomic<WorkerPool*> poolInstance{nullptr};
// What a bound on the address space must leave free after another worker's stack: the memory the
// work itself, and the threads libraries start for their own (which abort when they cannot), need.
constexpr std::size_t kAddressSpaceKeptFree = 48u << 20;
constexpr std::size_t kDefaultStackSize = 8u << 20;

// Whether the process's address space, when bounded (ulimit -v), has room for one more worker.
// Each worker reserves a whole stack; a pool that grew until the bound was reached would leave
// nothing for the work it runs.
bool roomForAnotherWorker() {
    rlimit bound{};
    if (::getrlimit(RLIMIT_AS, &bound) != 0 || bound.rlim_cur == RLIM_INFINITY) return true;
    rlimit stack{};
    std::size_t stackSize = ::getrlimit(RLIMIT_STACK, &stack) == 0 && stack.rlim_cur != RLIM_INFINITY
                                ? static_cast<std::size_t>(stack.rlim_cur)
                                : kDefaultStackSize;
    std::size_t pages = 0;
    if (!(std::ifstream("/proc/self/statm") >> pages)) return true;
    const std::size_t mapped = pages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return mapped + stackSize + kAddressSpaceKeptFree <= bound.rlim_cur;
}
thread_local bool onWorkerThread = false;
} // namespace

WorkerPool& WorkerPool::shared() {
    // Never destroyed: workers outlive static destruction at exit.
    static auto* pool = [] {
        auto* made = new WorkerPool();
        poolInstance = made;
        installDispatchForkHandlers();
        return made;
    }();
    return *pool;
}

WorkerPool* WorkerPool::existing() { return poolInstance; }

unsigned WorkerPool::availableCores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) return static_cast<unsigned>(std::max(1, CPU_COUNT(&set)));
    return std::max(1u, std::thread::hardware_concurrency());
}

void WorkerPool::prepareFork() { mutex_.lock(); }

void WorkerPool::afterForkInParent() { mutex_.unlock(); }

void WorkerPool::afterForkInChild() {
    threads_ = 0;
    idle_ = 0;
    starting_ = 0;
    outsideWaits_ = 0;
    new (&available_) std::condition_variable();
    new (&becameIdle_) std::condition_variable();
    mutex_.unlock();
}

WorkerPool::WorkerPool()
    : maxThreads_(std::max<std::size_t>(kMinimumThreads, kThreadsPerCore * std::max(1u, std::thread::hardware_concurrency()))) {
    // A task of this pool that sleeps on the manual clock is not waited for while the queues settle.
    RunLoopActivity::setPoolClockWaitHooks([this] { return beginHandedOffWait(); }, [this] { endHandedOffWait(); });
}

bool WorkerPool::isIdle() {
    std::lock_guard<std::mutex> guard(mutex_);
    return idleLocked();
}

bool WorkerPool::idleLocked() const { return tasks_.empty() && idle_ == threads_ && starting_ == 0; }

bool WorkerPool::waitUntilIdle(std::chrono::steady_clock::duration limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return becameIdle_.wait_for(lock, limit, [this] { return idleLocked(); });
}

bool WorkerPool::quietLocked() const { return tasks_.empty() && idle_ + outsideWaits_ == threads_ && starting_ == 0; }

bool WorkerPool::isQuiet() {
    std::lock_guard<std::mutex> guard(mutex_);
    return quietLocked();
}

bool WorkerPool::waitUntilQuiet(std::chrono::steady_clock::duration limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return becameIdle_.wait_for(lock, limit, [this] { return quietLocked(); });
}

void WorkerPool::beginOutsideWait() {
    if (!onWorkerThread) return;
    std::lock_guard<std::mutex> guard(mutex_);
    ++outsideWaits_;
    if (quietLocked()) becameIdle_.notify_all();
}

void WorkerPool::endOutsideWait() {
    if (!onWorkerThread) return;
    std::lock_guard<std::mutex> guard(mutex_);
    --outsideWaits_;
}

bool WorkerPool::beginHandedOffWait() {
    if (!onWorkerThread) return false;
    beginOutsideWait();
    return true;
}

void WorkerPool::endHandedOffWait() {
    std::lock_guard<std::mutex> guard(mutex_);
    // A forked child starts with no marks: a sleep the parent's worker began ends nothing there.
    if (outsideWaits_ > 0) --outsideWaits_;
}

void WorkerPool::submit(std::function<void()> task) {
    bool spawn = false;
    bool first = false;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        tasks_.push_back(std::move(task));
        if (tasks_.size() > idle_ && threads_ < maxThreads_) {
            // Counted as idle from now on, so that a burst of submissions does not start a thread
            // for each task while the first ones are still starting.
            ++threads_;
            ++idle_;
            ++starting_;
            spawn = true;
            first = threads_ == 1;
        }
    }
    if (spawn) {
        try {
            // The first worker is always tried: without one nothing would ever run.
            if (!first && !roomForAnotherWorker()) throw std::bad_alloc();
            std::thread([this] {
                ScopedAlternateSignalStack alternateSignalStack;
                ::pthread_setname_np(::pthread_self(), kWorkerName);
                work();
            }).detach();
        } catch (...) {
            // No memory or no thread to be had: the running threads take the task in turn. With
            // none running it could never run, and the submitter hears why instead.
            {
                std::lock_guard<std::mutex> guard(mutex_);
                --threads_;
                --idle_;
                --starting_;
                if (threads_ == 0) tasks_.pop_back();
                // The thread that was not made counted as starting: a running worker may have
                // taken the task and gone idle meanwhile, and its notification came too early.
                if (quietLocked()) becameIdle_.notify_all();
                if (threads_ == 0) throw;
            }
            available_.notify_one();
        }
    } else {
        available_.notify_one();
    }
}

void WorkerPool::work() {
    onWorkerThread = true;
    std::unique_lock<std::mutex> lock(mutex_);
    --starting_;
    if (quietLocked()) becameIdle_.notify_all();
    while (true) {
        available_.wait(lock, [this] { return !tasks_.empty(); });
        --idle_;
        auto task = std::move(tasks_.front());
        tasks_.pop_front();
        lock.unlock();
        task();
        // The task's captures go before the lock is taken again.
        task = nullptr;
        lock.lock();
        ++idle_;
        // Idle implies quiet: one notification serves the waits for either.
        if (quietLocked()) becameIdle_.notify_all();
    }
}
