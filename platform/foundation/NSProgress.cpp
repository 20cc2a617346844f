#include "platform/foundation/NSProgress.h"

NSProgress::NSProgress(const NSProgressPtr&, Value::Dictionary userInfo) : userInfo_(std::move(userInfo)) {}

NSProgressPtr NSProgress::progressWithTotalUnitCount(long long total) {
    auto progress = std::make_shared<NSProgress>();
    progress->total_ = total;
    return progress;
}

long long NSProgress::totalUnitCount() const {
    std::lock_guard guard(mutex_);
    return total_;
}

long long NSProgress::completedUnitCount() const {
    std::lock_guard guard(mutex_);
    return completed_;
}

void NSProgress::setCount(long long NSProgress::*field, long long value, const char* key) {
    {
        std::lock_guard guard(mutex_);
        if (this->*field == value) return;
    }
    willChangeValueForKey(key);
    {
        std::lock_guard guard(mutex_);
        this->*field = value;
    }
    didChangeValueForKey(key);
}

void NSProgress::setTotalUnitCount(long long total) { setCount(&NSProgress::total_, total, "totalUnitCount"); }

void NSProgress::setCompletedUnitCount(long long completed) { setCount(&NSProgress::completed_, completed, "completedUnitCount"); }

double NSProgress::fractionCompleted() const {
    std::lock_guard guard(mutex_);
    return total_ > 0 ? static_cast<double>(completed_) / static_cast<double>(total_) : 0;
}

std::set<std::string> NSProgress::keyPathsForValuesAffectingValueForKey(const std::string& key) const {
    if (key == "fractionCompleted") return {"totalUnitCount", "completedUnitCount"};
    return {};
}

bool NSProgress::isCancellable() const {
    std::lock_guard guard(mutex_);
    return cancellable_;
}

void NSProgress::setCancellable(bool cancellable) {
    std::lock_guard guard(mutex_);
    cancellable_ = cancellable;
}

bool NSProgress::isPausable() const {
    std::lock_guard guard(mutex_);
    return pausable_;
}

void NSProgress::setPausable(bool pausable) {
    std::lock_guard guard(mutex_);
    pausable_ = pausable;
}

bool NSProgress::isCancelled() const {
    std::lock_guard guard(mutex_);
    return cancelled_;
}

bool NSProgress::isPaused() const {
    std::lock_guard guard(mutex_);
    return paused_;
}

void NSProgress::cancel() {
    std::function<void()> handler;
    {
        std::lock_guard guard(mutex_);
        if (cancelled_) return;
        cancelled_ = true;
        handler = cancellationHandler_;
    }
    if (handler) handler();
}

void NSProgress::pause() {
    std::function<void()> handler;
    {
        std::lock_guard guard(mutex_);
        if (paused_ || cancelled_) return;
        paused_ = true;
        handler = pausingHandler_;
    }
    if (handler) handler();
}

void NSProgress::resume() {
    std::function<void()> handler;
    {
        std::lock_guard guard(mutex_);
        if (!paused_ || cancelled_) return;
        paused_ = false;
        handler = resumingHandler_;
    }
    if (handler) handler();
}

void NSProgress::setCancellationHandler(std::function<void()> handler) {
    std::lock_guard guard(mutex_);
    cancellationHandler_ = std::move(handler);
}

void NSProgress::setPausingHandler(std::function<void()> handler) {
    std::lock_guard guard(mutex_);
    pausingHandler_ = std::move(handler);
}

void NSProgress::setResumingHandler(std::function<void()> handler) {
    std::lock_guard guard(mutex_);
    resumingHandler_ = std::move(handler);
}
