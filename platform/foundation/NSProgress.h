#pragma once
// Progress of a piece of work: unit counts (a total of -1 or 0 means unknown), observable
// ("totalUnitCount", "completedUnitCount", "fractionCompleted"), and pausing and cancelling that
// call the handlers the worker set. Safe to use from any thread; observers and handlers run on the
// thread that made the change.

#include "platform/foundation/NSKeyValueObserving.h"
#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>

class NSProgress;
using NSProgressPtr = std::shared_ptr<NSProgress>;

class NSProgress : public NSObject, public NSKeyValueObserving {
public:
    // initWithParent:userInfo: — a parent is accepted for the design's sake; children are not
    // gathered into it.
    NSProgress(const NSProgressPtr& parent, Value::Dictionary userInfo);
    NSProgress() : NSProgress(nullptr, {}) {}
    static NSProgressPtr progressWithTotalUnitCount(long long total);

    long long totalUnitCount() const;
    void setTotalUnitCount(long long total);
    long long completedUnitCount() const;
    void setCompletedUnitCount(long long completed);
    // completed / total; 0 while the total is unknown.
    double fractionCompleted() const;
    const Value::Dictionary& userInfo() const { return userInfo_; }

    bool isCancellable() const;
    void setCancellable(bool cancellable);
    bool isPausable() const;
    void setPausable(bool pausable);
    bool isCancelled() const;
    bool isPaused() const;

    // Once only; runs the handler.
    void cancel();
    void pause();
    void resume();
    void setCancellationHandler(std::function<void()> handler);
    void setPausingHandler(std::function<void()> handler);
    void setResumingHandler(std::function<void()> handler);

    std::set<std::string> keyPathsForValuesAffectingValueForKey(const std::string& key) const override;

private:
    void setCount(long long NSProgress::*field, long long value, const char* key);

    mutable std::mutex mutex_;
    Value::Dictionary userInfo_;
    long long total_ = 0;
    long long completed_ = 0;
    bool cancellable_ = true;
    bool pausable_ = false;
    bool cancelled_ = false;
    bool paused_ = false;
    std::function<void()> cancellationHandler_, pausingHandler_, resumingHandler_;
};
