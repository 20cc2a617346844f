#pragma once
// Locks with the platform's names. Both satisfy BasicLockable, so std::lock_guard and
// std::unique_lock work with them; the thread-safety analysis knows them as locks, so fields they
// guard are marked TD_GUARDED_BY and locked with MutexLock (ThreadSafety.h).

#include "platform/foundation/NSObject.h"
#include "platform/foundation/ThreadSafety.h"

#include <mutex>
#include <string>

class TD_CAPABILITY("mutex") NSLock : public NSObject {
public:
    void lock() TD_ACQUIRE() { mutex_.lock(); }
    void unlock() TD_RELEASE() { mutex_.unlock(); }
    bool tryLock() TD_TRY_ACQUIRE(true) { return mutex_.try_lock(); }
    const std::string& name() const { return name_; }
    void setName(const std::string& name) { name_ = name; }

private:
    std::mutex mutex_;
    std::string name_;
};

// A lock its owning thread may take again while holding it; each lock() needs its unlock().
class TD_CAPABILITY("mutex") NSRecursiveLock : public NSObject {
public:
    void lock() TD_ACQUIRE() { mutex_.lock(); }
    void unlock() TD_RELEASE() { mutex_.unlock(); }
    bool tryLock() TD_TRY_ACQUIRE(true) { return mutex_.try_lock(); }
    const std::string& name() const { return name_; }
    void setName(const std::string& name) { name_ = name; }

private:
    std::recursive_mutex mutex_;
    std::string name_;
};
