#pragma once
// The one singleton mechanism of the tree.
//
// A shared instance is never destroyed with the process: other threads may still ask for it, or
// post to it, while static destructors run at exit. NeverDestroyed<T> holds such an object in
// static storage and never runs its destructor (no heap object is made for it, and everything it
// points to stays reachable). SharedInstance<T> is the slot of a class whose instance is made on
// first use and may be emptied again (the SDK's cleanups, so that every test starts from none):
// every access takes the slot's own lock, and the instance is made under it, so two threads never
// make two.
//
//     std::shared_ptr<Thing> Thing::sharedInstance() {
//         return SharedInstance<Thing>::slot().getOrMake([] { return std::make_shared<Thing>(); });
//     }
//     void Thing::cleanup() { SharedInstance<Thing>::slot().take(); }

#include <memory>
#include <mutex>
#include <new>
#include <utility>

template <class T>
class NeverDestroyed {
public:
    template <class... Args>
    explicit NeverDestroyed(Args&&... args) {
        ::new (static_cast<void*>(storage_)) T(std::forward<Args>(args)...);
    }
    NeverDestroyed(const NeverDestroyed&) = delete;
    NeverDestroyed& operator=(const NeverDestroyed&) = delete;

    T& get() { return *std::launder(reinterpret_cast<T*>(storage_)); }
    T& operator*() { return get(); }
    T* operator->() { return &get(); }

private:
    alignas(T) unsigned char storage_[sizeof(T)];
};

template <class T>
class SharedInstance {
public:
    // The slot of T: one per class, made on first use, never destroyed.
    static SharedInstance& slot() {
        static NeverDestroyed<SharedInstance> theSlot;
        return *theSlot;
    }

    // The instance, or nil.
    std::shared_ptr<T> get() const {
        std::lock_guard<std::mutex> guard(lock_);
        return instance_;
    }
    // The instance; when there is none, `make` makes it (under the slot's lock: what `make` does
    // with the new instance happens before anyone else gets it). A nil from `make` stores nothing.
    template <class Make>
    std::shared_ptr<T> getOrMake(Make&& make) {
        std::lock_guard<std::mutex> guard(lock_);
        if (!instance_) instance_ = make();
        return instance_;
    }
    // Empties the slot and hands back what it held, to be torn down outside the lock.
    std::shared_ptr<T> take() {
        std::lock_guard<std::mutex> guard(lock_);
        return std::exchange(instance_, nullptr);
    }
    // Empties the slot when it still holds `instance` (and not a newer one).
    void takeIf(const std::shared_ptr<T>& instance) {
        std::shared_ptr<T> gone;
        std::lock_guard<std::mutex> guard(lock_);
        if (instance_ == instance) gone = std::exchange(instance_, nullptr);
    }

private:
    SharedInstance() = default;
    friend class NeverDestroyed<SharedInstance>;

    mutable std::mutex lock_;
    std::shared_ptr<T> instance_;
};
