#include "platform/dispatch/NSOperationQueue.h"

#include "platform/dispatch/dispatch.h"

#include <algorithm>

namespace {
thread_local std::weak_ptr<NSOperationQueue> tCurrentQueue;
}

NSOperationQueue::NSOperationQueue() = default;

NSOperationQueue::~NSOperationQueue() {
    for (auto& entry : entries_) {
        entry.operation->removeObserver(entry.readyToken);
        entry.operation->removeObserver(entry.finishedToken);
    }
}

std::shared_ptr<NSOperationQueue> NSOperationQueue::mainQueue() {
    static std::shared_ptr<NSOperationQueue> queue = [] {
        auto q = std::make_shared<NSOperationQueue>();
        q->isMain_ = true;
        q->maxConcurrent_ = 1;
        q->name_ = "NSOperationQueue Main Queue";
        return q;
    }();
    return queue;
}

std::shared_ptr<NSOperationQueue> NSOperationQueue::currentQueue() { return tCurrentQueue.lock(); }

void NSOperationQueue::addOperation(const NSOperationPtr& operation) {
    if (!operation) return;
    std::weak_ptr<NSOperationQueue> weakQueue = self<NSOperationQueue>();
    NSOperation* raw = operation.get();
    Entry entry;
    entry.operation = operation;
    entry.readyToken = operation->addObserverForKeyPath("isReady", [weakQueue](const std::string&, bool) {
        if (auto queue = weakQueue.lock()) queue->schedule();
    });
    entry.finishedToken = operation->addObserverForKeyPath("isFinished", [weakQueue, raw](const std::string&, bool) {
        if (auto queue = weakQueue.lock()) queue->operationFinished(raw);
    });
    {
        std::lock_guard guard(mutex_);
        entries_.push_back(std::move(entry));
    }
    schedule();
}

void NSOperationQueue::addOperations(const std::vector<NSOperationPtr>& operations, bool waitUntilFinished) {
    for (const auto& operation : operations) addOperation(operation);
    if (waitUntilFinished) {
        for (const auto& operation : operations) operation->waitUntilFinished();
    }
}

void NSOperationQueue::addOperationWithBlock(std::function<void()> block) {
    addOperation(NSBlockOperation::blockOperationWithBlock(std::move(block)));
}

std::vector<NSOperationPtr> NSOperationQueue::operations() const {
    std::lock_guard guard(mutex_);
    std::vector<NSOperationPtr> out;
    for (const auto& entry : entries_) out.push_back(entry.operation);
    return out;
}

std::size_t NSOperationQueue::operationCount() const {
    std::lock_guard guard(mutex_);
    return entries_.size();
}

long NSOperationQueue::maxConcurrentOperationCount() const {
    std::lock_guard guard(mutex_);
    return maxConcurrent_;
}

void NSOperationQueue::setMaxConcurrentOperationCount(long count) {
    {
        std::lock_guard guard(mutex_);
        maxConcurrent_ = count;
    }
    schedule();
}

bool NSOperationQueue::isSuspended() const {
    std::lock_guard guard(mutex_);
    return suspended_;
}

void NSOperationQueue::setSuspended(bool suspended) {
    {
        std::lock_guard guard(mutex_);
        suspended_ = suspended;
    }
    schedule();
}

std::string NSOperationQueue::name() const {
    std::lock_guard guard(mutex_);
    return name_;
}

void NSOperationQueue::setName(const std::string& name) {
    std::lock_guard guard(mutex_);
    name_ = name;
}

void NSOperationQueue::cancelAllOperations() {
    for (const auto& operation : operations()) operation->cancel();
}

void NSOperationQueue::waitUntilAllOperationsAreFinished() {
    std::unique_lock lock(mutex_);
    emptied_.wait(lock, [this] { return entries_.empty(); });
}

void NSOperationQueue::schedule() {
    std::vector<NSOperationPtr> toStart;
    {
        std::lock_guard guard(mutex_);
        if (suspended_) return;
        // Higher priorities first, otherwise in the order added.
        std::vector<Entry*> waiting;
        for (auto& entry : entries_) {
            if (!entry.started) waiting.push_back(&entry);
        }
        std::stable_sort(waiting.begin(), waiting.end(), [](const Entry* a, const Entry* b) {
            return a->operation->queuePriority() > b->operation->queuePriority();
        });
        for (Entry* entry : waiting) {
            if (maxConcurrent_ >= 0 && running_ >= maxConcurrent_) break;
            if (!entry->operation->isReady()) continue;
            entry->started = true;
            ++running_;
            toStart.push_back(entry->operation);
        }
    }
    if (toStart.empty()) return;
    auto queue = self<NSOperationQueue>();
    dispatch_queue_t target = isMain_ ? dispatch_get_main_queue() : dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0);
    for (auto& operation : toStart) {
        dispatch_async(target, [queue, operation] {
            auto previous = tCurrentQueue;
            tCurrentQueue = queue;
            operation->start();
            tCurrentQueue = previous;
        });
    }
}

void NSOperationQueue::operationFinished(NSOperation* operation) {
    if (!operation->isFinished()) return;
    NSOperationPtr keep;
    {
        std::lock_guard guard(mutex_);
        auto it = std::find_if(entries_.begin(), entries_.end(), [operation](const Entry& e) { return e.operation.get() == operation; });
        if (it == entries_.end()) return;
        keep = it->operation;
        if (it->started) --running_;
        keep->removeObserver(it->readyToken);
        keep->removeObserver(it->finishedToken);
        entries_.erase(it);
        if (entries_.empty()) emptied_.notify_all();
    }
    schedule();
}
