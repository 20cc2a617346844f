#pragma once
// Locks with the platform's names. Both satisfy BasicLockable, so std::lock_guard and
// std::unique_lock work with them.

#include "platform/foundation/NSObject.h"

#include <mutex>
#include <string>

class NSLock : public NSObject {
public:
    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }
    bool tryLock() { return mutex_.try_lock(); }
    const std::string& name() const { return name_; }
    void setName(const std::string& name) { name_ = name; }

private:
    std::mutex mutex_;
    std::string name_;
};

// A lock its owning thread may take again while holding it; each lock() needs its unlock().
class NSRecursiveLock : public NSObject {
public:
    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }
    bool tryLock() { return mutex_.try_lock(); }
    const std::string& name() const { return name_; }
    void setName(const std::string& name) { name_ = name; }

private:
    std::recursive_mutex mutex_;
    std::string name_;
};
