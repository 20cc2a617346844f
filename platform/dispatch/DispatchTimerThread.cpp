#include "platform/dispatch/DispatchTimerThread.h"

#include "platform/dispatch/DispatchClock.h"
#include "platform/dispatch/WorkerPool.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/foundation/ScopedAlternateSignalStack.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <new>
#include <thread>
#include <vector>

#include <pthread.h>

namespace {
constexpr const char* kTimerThreadName = "dispatch-timers";
std::atomic<DispatchTimerThread*> timerInstance{nullptr};
} // namespace

DispatchTimerThread& DispatchTimerThread::shared() {
    // Never destroyed: the thread runs until the process ends.
    static auto* timers = [] {
        auto* made = new DispatchTimerThread();
        timerInstance = made;
        return made;
    }();
    return *timers;
}

DispatchTimerThread::DispatchTimerThread() {
    PlatformClock::addObserver([this] {
        fireDue();
        {
            std::lock_guard<std::mutex> guard(mutex_);
            ++clockChanges_;
        }
        changed_.notify_all();
    });
    PlatformClock::addDueTimeSource([this](double after) {
        const auto afterNanoseconds = static_cast<dispatch_time_t>(std::max(0.0, std::floor(after * static_cast<double>(NSEC_PER_SEC))));
        std::lock_guard<std::mutex> guard(mutex_);
        auto next = byTime_.upper_bound(afterNanoseconds);
        // Entries are whole nanoseconds; one that rounds to `after` itself is not ahead of it.
        while (next != byTime_.end() && static_cast<double>(next->first) / static_cast<double>(NSEC_PER_SEC) <= after) ++next;
        return next == byTime_.end() ? std::numeric_limits<double>::infinity()
                                     : static_cast<double>(next->first) / static_cast<double>(NSEC_PER_SEC);
    });
    installDispatchForkHandlers();
}

void DispatchTimerThread::startThreadLocked() {
    if (threadRunning_) return;
    threadRunning_ = true;
    try {
        std::thread([this] {
            ScopedAlternateSignalStack alternateSignalStack;
            ::pthread_setname_np(::pthread_self(), kTimerThreadName);
            run();
        }).detach();
    } catch (const std::exception&) {
        // No thread to be had (no memory for its stack): the entries wait, and fire when the
        // platform clock is stepped or once a later schedule gets the thread started.
        threadRunning_ = false;
    }
}

void DispatchTimerThread::prepareFork() {
    // The timer thread parks first (it may be starting, or firing); then both locks are taken in
    // the order firing takes them, and again if the thread went on meanwhile.
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            parkedChanged_.wait(lock, [this] { return !threadRunning_ || parked_; });
        }
        firing_.lock();
        mutex_.lock();
        if (!threadRunning_ || parked_) return;
        mutex_.unlock();
        firing_.unlock();
    }
}

void DispatchTimerThread::afterForkInParent() {
    mutex_.unlock();
    firing_.unlock();
}

void DispatchTimerThread::afterForkInChild() {
    // The parent's timer thread does not exist here: the child starts its own when it next
    // schedules something. The condition may still count the lost thread as a waiter.
    new (&changed_) std::condition_variable();
    new (&parkedChanged_) std::condition_variable();
    threadRunning_ = false;
    parked_ = false;
    mutex_.unlock();
    firing_.unlock();
}

DispatchTimerThread* DispatchTimerThread::existing() { return timerInstance; }

void installDispatchForkHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Locks are taken in the order the code nests them (a firing timer queues work on the
        // pool), so that no lock is inherited by the child while held by a thread it lost.
        ::pthread_atfork(
            [] {
                if (auto* timers = DispatchTimerThread::existing()) timers->prepareFork();
                if (auto* pool = WorkerPool::existing()) pool->prepareFork();
            },
            [] {
                if (auto* pool = WorkerPool::existing()) pool->afterForkInParent();
                if (auto* timers = DispatchTimerThread::existing()) timers->afterForkInParent();
            },
            [] {
                if (auto* pool = WorkerPool::existing()) pool->afterForkInChild();
                if (auto* timers = DispatchTimerThread::existing()) timers->afterForkInChild();
            });
    });
}

DispatchTimerThread::EntryId DispatchTimerThread::schedule(dispatch_time_t when, Fire fire) {
    EntryId id;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        id = nextId_++;
        entries_[id] = Entry{when, std::move(fire)};
        byTime_.emplace(when, id);
        startThreadLocked();
    }
    changed_.notify_all();
    return id;
}

void DispatchTimerThread::cancel(EntryId entry) {
    std::lock_guard<std::mutex> guard(mutex_);
    auto it = entries_.find(entry);
    if (it == entries_.end()) return;
    auto range = byTime_.equal_range(it->second.when);
    for (auto i = range.first; i != range.second; ++i) {
        if (i->second == entry) {
            byTime_.erase(i);
            break;
        }
    }
    entries_.erase(it);
}

void DispatchTimerThread::fireDue() {
    std::lock_guard<std::mutex> firing(firing_);
    std::vector<Fire> due;
    {
        const dispatch_time_t now = DispatchClock::nowNanoseconds();
        std::lock_guard<std::mutex> guard(mutex_);
        while (!byTime_.empty() && byTime_.begin()->first <= now) {
            auto entry = entries_.find(byTime_.begin()->second);
            due.push_back(std::move(entry->second.fire));
            entries_.erase(entry);
            byTime_.erase(byTime_.begin());
        }
    }
    for (auto& fire : due) fire();
}

void DispatchTimerThread::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        const dispatch_time_t now = DispatchClock::nowNanoseconds();
        if (!byTime_.empty() && byTime_.begin()->first <= now) {
            lock.unlock();
            fireDue();
            lock.lock();
            continue;
        }
        const std::uint64_t seenChanges = clockChanges_;
        const std::size_t seenCount = entries_.size();
        const dispatch_time_t seenFirst = byTime_.empty() ? DISPATCH_TIME_FOREVER : byTime_.begin()->first;
        auto somethingChanged = [&] {
            return clockChanges_ != seenChanges || entries_.size() != seenCount ||
                   (byTime_.empty() ? DISPATCH_TIME_FOREVER : byTime_.begin()->first) != seenFirst;
        };
        const bool manual = PlatformClock::isManual();
        parked_ = true;
        parkedChanged_.notify_all();
        if (byTime_.empty() || manual) {
            changed_.wait(lock, somethingChanged);
        } else {
            changed_.wait_for(lock, std::chrono::nanoseconds(std::min(seenFirst - now, DispatchClock::kLongestWaitNanoseconds)), somethingChanged);
        }
        parked_ = false;
    }
}
