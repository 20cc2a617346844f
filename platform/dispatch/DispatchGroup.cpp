#include "platform/dispatch/DispatchGroup.h"

#include "platform/dispatch/DispatchQueue.h"

namespace {
constexpr long kTimedOut = 49;
} // namespace

void DispatchGroup::enter() {
    std::lock_guard<std::mutex> guard(state_->mutex);
    ++count_;
}

void DispatchGroup::leave() {
    std::vector<std::pair<dispatch_queue_t, dispatch_block_t>> toRun;
    {
        std::lock_guard<std::mutex> guard(state_->mutex);
        if (count_ == 0) DispatchClock::fatal("unbalanced dispatch_group_leave");
        if (--count_ > 0) return;
        toRun.swap(notifications_);
        // Under the lock: a woken waiter may release the group as soon as it runs.
        state_->condition.notify_all();
    }
    for (auto& [queue, block] : toRun) queue->async(std::move(block));
}

void DispatchGroup::notify(const dispatch_queue_t& queue, dispatch_block_t block) {
    {
        std::lock_guard<std::mutex> guard(state_->mutex);
        if (count_ > 0) {
            notifications_.emplace_back(queue, std::move(block));
            return;
        }
    }
    queue->async(std::move(block));
}

long DispatchGroup::wait(dispatch_time_t timeout) {
    std::unique_lock<std::mutex> lock(state_->mutex);
    return DispatchClock::waitUntil(state_, lock, timeout, [this] { return count_ == 0; }) ? 0 : kTimedOut;
}
