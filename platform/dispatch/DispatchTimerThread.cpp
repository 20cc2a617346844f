#include "platform/dispatch/DispatchTimerThread.h"

#include "platform/dispatch/DispatchClock.h"
#include "platform/foundation/PlatformClock.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include <pthread.h>

namespace {
constexpr const char* kTimerThreadName = "dispatch-timers";
} // namespace

DispatchTimerThread& DispatchTimerThread::shared() {
    // Never destroyed: the thread runs until the process ends.
    static auto* timers = new DispatchTimerThread();
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
    std::thread([this] {
        ::pthread_setname_np(::pthread_self(), kTimerThreadName);
        run();
    }).detach();
}

DispatchTimerThread::EntryId DispatchTimerThread::schedule(dispatch_time_t when, Fire fire) {
    EntryId id;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        id = nextId_++;
        entries_[id] = {when, std::move(fire)};
        byTime_.emplace(when, id);
    }
    changed_.notify_all();
    return id;
}

void DispatchTimerThread::cancel(EntryId entry) {
    std::lock_guard<std::mutex> guard(mutex_);
    auto it = entries_.find(entry);
    if (it == entries_.end()) return;
    auto range = byTime_.equal_range(it->second.first);
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
            due.push_back(std::move(entry->second.second));
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
        if (byTime_.empty() || PlatformClock::isManual()) {
            changed_.wait(lock, somethingChanged);
        } else {
            changed_.wait_for(lock, std::chrono::nanoseconds(std::min(seenFirst - now, DispatchClock::kLongestWaitNanoseconds)), somethingChanged);
        }
    }
}
