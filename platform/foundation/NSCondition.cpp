#include "platform/foundation/NSCondition.h"

#include "platform/foundation/PlatformClock.h"

#include <algorithm>
#include <chrono>

NSCondition::NSCondition() {
    // A manual clock's advance wakes every waiter so that it can see whether its date passed.
    std::weak_ptr<State> weak = state_;
    clockObserver_ = PlatformClock::addObserver([weak] {
        auto state = weak.lock();
        if (!state) return;
        // Taking the mutex orders the notify after a waiter that read the old time has started waiting.
        { std::lock_guard<std::mutex> guard(state->mutex); }
        state->condition.notify_all();
    });
}

NSCondition::~NSCondition() { PlatformClock::removeObserver(clockObserver_); }

void NSCondition::lock() { state_->mutex.lock(); }
void NSCondition::unlock() { state_->mutex.unlock(); }
bool NSCondition::tryLock() { return state_->mutex.try_lock(); }

void NSCondition::wait() {
    std::unique_lock<std::mutex> held(state_->mutex, std::adopt_lock);
    const std::uint64_t start = state_->generation;
    state_->condition.wait(held, [&] { return state_->generation != start; });
    held.release();
}

bool NSCondition::waitUntilDate(const std::shared_ptr<NSDate>& limit) {
    if (!limit) return false;
    std::unique_lock<std::mutex> held(state_->mutex, std::adopt_lock);
    const std::uint64_t start = state_->generation;
    bool signalled = false;
    while (true) {
        if (state_->generation != start) {
            signalled = true;
            break;
        }
        const double remaining = limit->timeIntervalSince1970() - PlatformClock::now();
        if (remaining <= 0) break;
        if (PlatformClock::isManual()) {
            state_->condition.wait(held);
        } else {
            // An hour at most per wait keeps far-off dates clear of the host clock's arithmetic.
            const double slice = std::min(remaining, 3600.0);
            state_->condition.wait_for(held, std::chrono::duration<double>(slice));
        }
    }
    held.release();
    return signalled;
}

void NSCondition::signal() {
    ++state_->generation;
    state_->condition.notify_one();
}

void NSCondition::broadcast() {
    ++state_->generation;
    state_->condition.notify_all();
}
