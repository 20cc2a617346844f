#include "platform/dispatch/dispatch.h"

#include "platform/dispatch/DispatchClock.h"
#include "platform/dispatch/DispatchGroup.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/DispatchSemaphore.h"
#include "platform/dispatch/DispatchSource.h"
#include "platform/dispatch/DispatchTimerThread.h"
#include "platform/dispatch/WorkerPool.h"
#include "platform/foundation/NSThread.h"
#include "platform/foundation/PlatformClock.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

namespace {
dispatch_time_t addClamped(dispatch_time_t base, std::int64_t delta) {
    if (delta >= 0) {
        const auto up = static_cast<std::uint64_t>(delta);
        return base >= DISPATCH_TIME_FOREVER - up ? DISPATCH_TIME_FOREVER - 1 : base + up;
    }
    const auto down = static_cast<std::uint64_t>(-(delta + 1)) + 1;
    // 1, not 0: 0 stands for "now".
    return base > down ? base - down : 1;
}
} // namespace

dispatch_time_t dispatch_time(dispatch_time_t when, std::int64_t deltaNanoseconds) {
    if (when == DISPATCH_TIME_FOREVER) return DISPATCH_TIME_FOREVER;
    return addClamped(DispatchClock::resolve(when), deltaNanoseconds);
}

dispatch_time_t dispatch_walltime_seconds(double secondsSince1970, std::int64_t deltaNanoseconds) {
    const double fromNow = secondsSince1970 <= 0 ? 0 : secondsSince1970 - PlatformClock::now();
    const auto offset = static_cast<std::int64_t>(std::llround(fromNow * static_cast<double>(NSEC_PER_SEC)));
    return addClamped(addClamped(DispatchClock::nowNanoseconds(), offset), deltaNanoseconds);
}

dispatch_queue_t dispatch_get_main_queue() { return DispatchQueue::mainQueue(); }

dispatch_queue_t dispatch_get_global_queue(long priority, unsigned long) { return DispatchQueue::globalQueue(priority); }

dispatch_queue_t dispatch_queue_create(const char* label, dispatch_queue_attr_t attr) {
    return std::make_shared<DispatchQueue>(label ? label : "", attr == DISPATCH_QUEUE_CONCURRENT
                                                                   ? DispatchQueue::Kind::concurrent
                                                                   : DispatchQueue::Kind::serial);
}

dispatch_queue_t dispatch_get_current_queue() {
    if (DispatchQueue* running = DispatchQueue::runningOnThisThread()) return running->self<DispatchQueue>();
    if (NSThread::isMainThread()) return DispatchQueue::mainQueue();
    return DispatchQueue::globalQueue(DISPATCH_QUEUE_PRIORITY_DEFAULT);
}

const char* dispatch_queue_get_label(const dispatch_queue_t& queue) {
    return (queue ? queue : dispatch_get_current_queue())->label().c_str();
}

void dispatch_async(const dispatch_queue_t& queue, dispatch_block_t block) { queue->async(std::move(block)); }

void dispatch_sync(const dispatch_queue_t& queue, dispatch_block_t block) { queue->sync(std::move(block)); }

void dispatch_after(dispatch_time_t when, const dispatch_queue_t& queue, dispatch_block_t block) {
    if (when == DISPATCH_TIME_FOREVER) return;
    when = DispatchClock::resolve(when);
    if (when <= DispatchClock::nowNanoseconds()) {
        queue->async(std::move(block));
        return;
    }
    DispatchTimerThread::shared().schedule(when, [queue, block = std::move(block)]() mutable { queue->async(std::move(block)); });
}

void dispatch_apply(std::size_t iterations, const dispatch_queue_t& queue, const std::function<void(std::size_t)>& block) {
    if (iterations == 0) return;
    if (queue->kind() != DispatchQueue::Kind::global && queue->kind() != DispatchQueue::Kind::concurrent) {
        queue->sync([&] {
            for (std::size_t i = 0; i < iterations; ++i) block(i);
        });
        return;
    }
    // The caller works through the indices too, so the apply finishes even when no worker is
    // free; helpers that start after the last index was taken just return.
    struct Shared {
        std::atomic<std::size_t> next{0};
        std::shared_ptr<DispatchClock::WaitState> state = std::make_shared<DispatchClock::WaitState>();
        std::size_t done = 0;
        std::size_t iterations;
        const std::function<void(std::size_t)>* block;
    };
    auto shared = std::make_shared<Shared>();
    shared->iterations = iterations;
    shared->block = &block;
    auto work = [shared, queue = queue.get()] {
        DispatchQueue::Running running(queue);
        std::size_t finished = 0;
        for (std::size_t i; (i = shared->next.fetch_add(1)) < shared->iterations; ++finished) (*shared->block)(i);
        if (finished == 0) return;
        bool all;
        {
            std::lock_guard<std::mutex> guard(shared->state->mutex);
            shared->done += finished;
            all = shared->done == shared->iterations;
        }
        if (all) shared->state->condition.notify_all();
    };
    const std::size_t helpers = std::min(iterations, WorkerPool::shared().maximumThreads()) - 1;
    for (std::size_t h = 0; h < helpers; ++h) WorkerPool::shared().submit(work);
    work();
    std::unique_lock<std::mutex> lock(shared->state->mutex);
    shared->state->condition.wait(lock, [&] { return shared->done == shared->iterations; });
}

void dispatch_once(dispatch_once_t* predicate, const dispatch_block_t& block) { std::call_once(predicate->flag, block); }

dispatch_group_t dispatch_group_create() { return std::make_shared<DispatchGroup>(); }

void dispatch_group_async(const dispatch_group_t& group, const dispatch_queue_t& queue, dispatch_block_t block) {
    group->enter();
    queue->async([group, block = std::move(block)] {
        struct Leave {
            const dispatch_group_t& group;
            ~Leave() { group->leave(); }
        } leave{group};
        block();
    });
}

void dispatch_group_enter(const dispatch_group_t& group) { group->enter(); }
void dispatch_group_leave(const dispatch_group_t& group) { group->leave(); }

void dispatch_group_notify(const dispatch_group_t& group, const dispatch_queue_t& queue, dispatch_block_t block) {
    group->notify(queue, std::move(block));
}

long dispatch_group_wait(const dispatch_group_t& group, dispatch_time_t timeout) { return group->wait(timeout); }

dispatch_semaphore_t dispatch_semaphore_create(long value) {
    if (value < 0) return nullptr;
    return std::make_shared<DispatchSemaphore>(value);
}

long dispatch_semaphore_wait(const dispatch_semaphore_t& semaphore, dispatch_time_t timeout) { return semaphore->wait(timeout); }

long dispatch_semaphore_signal(const dispatch_semaphore_t& semaphore) { return semaphore->signal(); }

dispatch_source_t dispatch_source_create(dispatch_source_type_t, std::uintptr_t, unsigned long, const dispatch_queue_t& queue) {
    return std::make_shared<DispatchSource>(queue ? queue : DispatchQueue::globalQueue(DISPATCH_QUEUE_PRIORITY_DEFAULT));
}

void dispatch_source_set_timer(const dispatch_source_t& source, dispatch_time_t start, std::uint64_t intervalNanoseconds,
                               std::uint64_t leewayNanoseconds) {
    source->setTimer(start, intervalNanoseconds, leewayNanoseconds);
}

void dispatch_source_set_event_handler(const dispatch_source_t& source, dispatch_block_t handler) {
    source->setEventHandler(std::move(handler));
}

void dispatch_source_set_cancel_handler(const dispatch_source_t& source, dispatch_block_t handler) {
    source->setCancelHandler(std::move(handler));
}

void dispatch_source_cancel(const dispatch_source_t& source) { source->cancel(); }

long dispatch_source_testcancel(const dispatch_source_t& source) { return source->isCancelled() ? 1 : 0; }

void dispatch_resume(const dispatch_source_t& source) { source->resume(); }
void dispatch_suspend(const dispatch_source_t& source) { source->suspend(); }
void dispatch_resume(const dispatch_queue_t& queue) { queue->resume(); }
void dispatch_suspend(const dispatch_queue_t& queue) { queue->suspend(); }
