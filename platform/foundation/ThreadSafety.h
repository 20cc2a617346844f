#pragma once
// Lock discipline the compiler checks. A class names which mutex guards which field
// (TD_GUARDED_BY) and which functions must be called with it held (TD_REQUIRES); clang's
// thread-safety analysis (-Wthread-safety, on in clang builds) then refuses an access without the
// lock. Other compilers read the annotations as nothing. The analysis sees only locks taken through
// the types below (std::lock_guard carries no annotations), so annotated code locks with MutexLock.
//
//     class Queue {
//         Mutex mutex_;
//         std::deque<Job> jobs_ TD_GUARDED_BY(mutex_);
//         void push(Job job) {
//             MutexLock lock(mutex_);
//             jobs_.push_back(std::move(job));
//         }
//     };

#include <mutex>
#include <utility>

#if defined(__clang__)
#define TD_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define TD_THREAD_ANNOTATION(x)
#endif

#define TD_CAPABILITY(name) TD_THREAD_ANNOTATION(capability(name))
#define TD_SCOPED_CAPABILITY TD_THREAD_ANNOTATION(scoped_lockable)
#define TD_GUARDED_BY(lock) TD_THREAD_ANNOTATION(guarded_by(lock))
#define TD_PT_GUARDED_BY(lock) TD_THREAD_ANNOTATION(pt_guarded_by(lock))
#define TD_REQUIRES(...) TD_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define TD_EXCLUDES(...) TD_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define TD_ACQUIRE(...) TD_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define TD_RELEASE(...) TD_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define TD_TRY_ACQUIRE(...) TD_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
#define TD_NO_THREAD_SAFETY_ANALYSIS TD_THREAD_ANNOTATION(no_thread_safety_analysis)

// A std::mutex the analysis knows as a lock.
class TD_CAPABILITY("mutex") Mutex {
public:
    void lock() TD_ACQUIRE() { mutex_.lock(); }
    void unlock() TD_RELEASE() { mutex_.unlock(); }
    // For a condition variable's wait, which must see the std::mutex itself.
    std::mutex& native() { return mutex_; }

private:
    std::mutex mutex_;
};

// A std::recursive_mutex the analysis knows as a lock. The analysis looks at one function at a
// time: a call that takes the lock again under its caller's hold is allowed, as on the device, but
// taking it twice in one function is refused.
class TD_CAPABILITY("mutex") RecursiveMutex {
public:
    void lock() TD_ACQUIRE() { mutex_.lock(); }
    void unlock() TD_RELEASE() { mutex_.unlock(); }

private:
    std::recursive_mutex mutex_;
};

// Holds the mutex for its scope; any other lock the analysis knows (NSLock, NSRecursiveLock) too.
template <class Lock = Mutex>
class TD_SCOPED_CAPABILITY MutexLock {
public:
    explicit MutexLock(Lock& mutex) TD_ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
    ~MutexLock() TD_RELEASE() { mutex_.unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    Lock& mutex_;
};

// A property's getter and setter, defined out of class: each reads or replaces the field named
// after the getter with a trailing underscore while holding `lock` (a Mutex of the class), so the
// analysis checks them like any other access.
#define TD_LOCKED_ACCESSORS(Class, lock, Type, getter, setter)                                                                    \
    Type Class::getter() const {                                                                                                   \
        MutexLock guard(lock);                                                                                                     \
        return getter##_;                                                                                                          \
    }                                                                                                                              \
    void Class::setter(Type value) {                                                                                               \
        MutexLock guard(lock);                                                                                                     \
        getter##_ = std::move(value);                                                                                              \
    }
