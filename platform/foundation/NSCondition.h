#pragma once
// A lock with a condition its holder can wait on. Waits end at a date on the platform clock: on
// the manual clock an advance past the date ends them. As on the device, a wait may also return
// without a signal (a spurious wake-up), so a waiter checks its own predicate again.

#include "platform/foundation/NSDate.h"
#include "platform/foundation/NSObject.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

class NSCondition : public NSObject {
public:
    NSCondition();
    ~NSCondition() override;
    NSCondition(const NSCondition&) = delete;
    NSCondition& operator=(const NSCondition&) = delete;

    void lock();
    void unlock();
    bool tryLock();
    // Called with the lock held; releases it while waiting and holds it again on return.
    void wait();
    // NO when the date passed first; YES on a signal (or a spurious wake-up). A nil date does
    // not wait.
    bool waitUntilDate(const std::shared_ptr<NSDate>& limit);
    // Wakes one waiter, or all of them.
    void signal();
    void broadcast();

private:
    struct State {
        std::mutex mutex;
        std::condition_variable condition;
        std::uint64_t generation = 0;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
    std::uint64_t clockObserver_ = 0;
};
