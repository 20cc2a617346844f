#include "platform/dispatch/NSOperation.h"

#include "platform/dispatch/dispatch.h"

NSOperation::~NSOperation() {
    for (auto& dependency : dependencies_) dependency.operation->removeObserver(dependency.token);
}

void NSOperation::start() {
    if (isFinished() || isExecuting()) return;
    if (isCancelled()) {
        willChangeValueForKey("isFinished");
        finished_ = true;
        didChangeValueForKey("isFinished");
        return;
    }
    if (!isReady()) return;
    willChangeValueForKey("isExecuting");
    executing_ = true;
    didChangeValueForKey("isExecuting");
    main();
    willChangeValueForKey("isFinished");
    willChangeValueForKey("isExecuting");
    executing_ = false;
    finished_ = true;
    didChangeValueForKey("isExecuting");
    didChangeValueForKey("isFinished");
}

void NSOperation::cancel() {
    if (isFinished() || cancelled_) return;
    willChangeValueForKey("isCancelled");
    cancelled_ = true;
    didChangeValueForKey("isCancelled");
    // A cancelled operation no longer waits for its dependencies.
    willChangeValueForKey("isReady");
    didChangeValueForKey("isReady");
}

bool NSOperation::isReady() const {
    if (cancelled_) return true;
    std::lock_guard guard(mutex_);
    for (const auto& dependency : dependencies_) {
        if (!dependency.operation->isFinished()) return false;
    }
    return true;
}

void NSOperation::addDependency(const NSOperationPtr& operation) {
    if (!operation || operation.get() == this) return;
    {
        std::lock_guard guard(mutex_);
        for (const auto& dependency : dependencies_) {
            if (dependency.operation == operation) return;
        }
    }
    std::weak_ptr<NSOperation> weakSelf = self<NSOperation>();
    ObserverToken token = operation->addObserverForKeyPath("isFinished", [weakSelf](const std::string&, bool) {
        if (auto self = weakSelf.lock()) self->dependencyChanged();
    });
    willChangeValueForKey("isReady");
    {
        std::lock_guard guard(mutex_);
        dependencies_.push_back({operation, token});
    }
    didChangeValueForKey("isReady");
}

void NSOperation::removeDependency(const NSOperationPtr& operation) {
    willChangeValueForKey("isReady");
    {
        std::lock_guard guard(mutex_);
        std::erase_if(dependencies_, [&](const Dependency& dependency) {
            if (dependency.operation != operation) return false;
            operation->removeObserver(dependency.token);
            return true;
        });
    }
    didChangeValueForKey("isReady");
}

std::vector<NSOperationPtr> NSOperation::dependencies() const {
    std::lock_guard guard(mutex_);
    std::vector<NSOperationPtr> out;
    for (const auto& dependency : dependencies_) out.push_back(dependency.operation);
    return out;
}

void NSOperation::dependencyChanged() {
    willChangeValueForKey("isReady");
    didChangeValueForKey("isReady");
}

void NSOperation::setCompletionBlock(std::function<void()> block) {
    std::lock_guard guard(mutex_);
    completionBlock_ = std::move(block);
}

std::function<void()> NSOperation::completionBlock() const {
    std::lock_guard guard(mutex_);
    return completionBlock_;
}

void NSOperation::waitUntilFinished() {
    std::unique_lock lock(mutex_);
    finishedChanged_.wait(lock, [this] { return isFinished(); });
}

std::string NSOperation::name() const {
    std::lock_guard guard(mutex_);
    return name_;
}

void NSOperation::setName(const std::string& name) {
    std::lock_guard guard(mutex_);
    name_ = name;
}

void NSOperation::didChangeValueForKey(const std::string& key) {
    NSKeyValueObserving::didChangeValueForKey(key);
    if (key != "isFinished" || !isFinished()) return;
    std::function<void()> block;
    {
        std::lock_guard guard(mutex_);
        if (!completionRan_) {
            completionRan_ = true;
            block = completionBlock_;
        }
        finishedChanged_.notify_all();
    }
    if (block) {
        // The block keeps the operation alive until it has run, as the platform's does.
        auto self = this->self<NSOperation>();
        dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [self, block] { block(); });
    }
}

// MARK: - NSBlockOperation

std::shared_ptr<NSBlockOperation> NSBlockOperation::blockOperationWithBlock(std::function<void()> block) {
    auto operation = std::make_shared<NSBlockOperation>();
    operation->addExecutionBlock(std::move(block));
    return operation;
}

void NSBlockOperation::addExecutionBlock(std::function<void()> block) {
    std::lock_guard guard(blocksMutex_);
    if (block) blocks_.push_back(std::move(block));
}

std::vector<std::function<void()>> NSBlockOperation::executionBlocks() const {
    std::lock_guard guard(blocksMutex_);
    return blocks_;
}

void NSBlockOperation::main() {
    auto blocks = executionBlocks();
    if (blocks.size() <= 1) {
        for (auto& block : blocks) block();
        return;
    }
    dispatch_apply(blocks.size(), dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
                   [&blocks](std::size_t i) { blocks[i](); });
}
