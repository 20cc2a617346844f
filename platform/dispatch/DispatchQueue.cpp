#include "platform/dispatch/DispatchQueue.h"

#include "platform/dispatch/DispatchClock.h"
#include "platform/dispatch/WorkerPool.h"
#include "platform/foundation/NSNotificationCenter.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSThread.h"

#include <condition_variable>
#include <exception>

namespace {
// A serial queue gives its pool thread back after this many blocks so that one busy queue does
// not hold a worker forever while others wait.
constexpr int kSerialBatch = 32;

thread_local std::vector<DispatchQueue*> runningQueues;

// A notification observer registered with a queue runs there while the poster waits; on the
// queue the poster already runs on, it runs at once.
void deliverNotificationOnQueue(const std::shared_ptr<DispatchQueue>& queue, const std::function<void()>& deliver) {
    if (queue->isHeldByThisThread()) {
        deliver();
    } else {
        queue->sync(deliver);
    }
}
} // namespace

struct DispatchQueue::SyncTurn {
    std::mutex mutex;
    std::condition_variable condition;
    bool granted = false;

    void grant() {
        {
            std::lock_guard<std::mutex> guard(mutex);
            granted = true;
        }
        condition.notify_one();
    }
    void wait() {
        std::unique_lock<std::mutex> lock(mutex);
        condition.wait(lock, [this] { return granted; });
    }
};

DispatchQueue::Running::Running(DispatchQueue* queue) { runningQueues.push_back(queue); }
DispatchQueue::Running::~Running() { runningQueues.pop_back(); }

DispatchQueue::DispatchQueue(std::string label, Kind kind) : label_(std::move(label)), kind_(kind) {
    static const bool installed = (NSNotificationCenter::setQueueDelivery(&deliverNotificationOnQueue), true);
    (void)installed;
}

dispatch_queue_t DispatchQueue::mainQueue() {
    static auto* queue = new dispatch_queue_t(std::make_shared<DispatchQueue>("com.apple.main-thread", Kind::main));
    return *queue;
}

dispatch_queue_t DispatchQueue::globalQueue(long priority) {
    static auto* high = new dispatch_queue_t(std::make_shared<DispatchQueue>("com.apple.root.high-priority", Kind::global));
    static auto* normal =
        new dispatch_queue_t(std::make_shared<DispatchQueue>("com.apple.root.default-priority", Kind::global));
    static auto* low = new dispatch_queue_t(std::make_shared<DispatchQueue>("com.apple.root.low-priority", Kind::global));
    static auto* background =
        new dispatch_queue_t(std::make_shared<DispatchQueue>("com.apple.root.background-priority", Kind::global));
    if (priority == DISPATCH_QUEUE_PRIORITY_HIGH) return *high;
    if (priority == DISPATCH_QUEUE_PRIORITY_LOW) return *low;
    if (priority == DISPATCH_QUEUE_PRIORITY_BACKGROUND) return *background;
    return *normal;
}

DispatchQueue* DispatchQueue::runningOnThisThread() { return runningQueues.empty() ? nullptr : runningQueues.back(); }

bool DispatchQueue::isHeldByThisThread() const {
    if (kind_ == Kind::main) return NSThread::isMainThread();
    for (const DispatchQueue* queue : runningQueues) {
        if (queue == this) return true;
    }
    return false;
}

std::string DispatchQueue::description() const { return "<OS_dispatch_queue: " + label_ + ">"; }

void DispatchQueue::submitToTarget(dispatch_block_t block) {
    auto self = this->self<DispatchQueue>();
    auto run = [self, block = std::move(block)] {
        Running running(self.get());
        block();
    };
    if (kind_ == Kind::main) {
        NSRunLoop::mainRunLoop()->performBlock(std::move(run));
    } else {
        WorkerPool::shared().submit(std::move(run));
    }
}

void DispatchQueue::scheduleDrainLocked(bool& schedule) {
    if (!draining_ && suspendCount_ == 0 && !items_.empty()) {
        draining_ = true;
        schedule = true;
    }
}

void DispatchQueue::async(dispatch_block_t block) {
    if (!block) return;
    if (kind_ == Kind::serial) {
        bool schedule = false;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            items_.push_back({std::move(block), nullptr});
            scheduleDrainLocked(schedule);
        }
        if (schedule) WorkerPool::shared().submit([self = this->self<DispatchQueue>()] { self->drainSerial(); });
        return;
    }
    if (kind_ != Kind::global) {
        std::lock_guard<std::mutex> guard(mutex_);
        if (suspendCount_ > 0) {
            items_.push_back({std::move(block), nullptr});
            return;
        }
    }
    submitToTarget(std::move(block));
}

void DispatchQueue::drainSerial() {
    Running running(this);
    for (int done = 0; done < kSerialBatch; ++done) {
        Item item;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            if (suspendCount_ > 0 || items_.empty()) {
                draining_ = false;
                return;
            }
            item = std::move(items_.front());
            items_.pop_front();
        }
        if (item.turn) {
            // The queue now belongs to the dispatch_sync caller; it releases it when done.
            item.turn->grant();
            return;
        }
        item.block();
    }
    WorkerPool::shared().submit([self = this->self<DispatchQueue>()] { self->drainSerial(); });
}

void DispatchQueue::releaseSerial() {
    bool schedule = false;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        draining_ = false;
        scheduleDrainLocked(schedule);
    }
    if (schedule) WorkerPool::shared().submit([self = this->self<DispatchQueue>()] { self->drainSerial(); });
}

void DispatchQueue::sync(dispatch_block_t block) {
    if (!block) return;
    if (isHeldByThisThread() && kind_ != Kind::global && kind_ != Kind::concurrent) {
        std::string message = "dispatch_sync onto the queue \"" + label_ +
                              "\" from a block running on it: this deadlocks (a programming error)";
        DispatchClock::fatal(message.c_str());
    }
    switch (kind_) {
    case Kind::main: {
        auto turn = std::make_shared<SyncTurn>();
        std::exception_ptr failure;
        async([&block, &failure, turn] {
            try {
                block();
            } catch (...) {
                failure = std::current_exception();
            }
            turn->grant();
        });
        turn->wait();
        if (failure) std::rethrow_exception(failure);
        return;
    }
    case Kind::global:
    case Kind::concurrent: {
        Running running(this);
        block();
        return;
    }
    case Kind::serial: {
        std::shared_ptr<SyncTurn> turn;
        bool schedule = false;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            if (!draining_ && suspendCount_ == 0 && items_.empty()) {
                draining_ = true;
            } else {
                turn = std::make_shared<SyncTurn>();
                items_.push_back({nullptr, turn});
                scheduleDrainLocked(schedule);
            }
        }
        if (schedule) WorkerPool::shared().submit([self = this->self<DispatchQueue>()] { self->drainSerial(); });
        if (turn) turn->wait();
        struct Release {
            DispatchQueue* queue;
            ~Release() { queue->releaseSerial(); }
        } release{this};
        Running running(this);
        block();
        return;
    }
    }
}

void DispatchQueue::suspend() {
    if (kind_ == Kind::global) return;
    std::lock_guard<std::mutex> guard(mutex_);
    ++suspendCount_;
}

void DispatchQueue::resume() {
    if (kind_ == Kind::global) return;
    std::deque<Item> held;
    bool schedule = false;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (suspendCount_ == 0) DispatchClock::fatal("over-resume of a dispatch queue");
        if (--suspendCount_ > 0) return;
        if (kind_ == Kind::serial) {
            scheduleDrainLocked(schedule);
        } else {
            held.swap(items_);
        }
    }
    if (schedule) WorkerPool::shared().submit([self = this->self<DispatchQueue>()] { self->drainSerial(); });
    for (auto& item : held) submitToTarget(std::move(item.block));
}
