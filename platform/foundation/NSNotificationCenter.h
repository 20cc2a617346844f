#pragma once
// Notifications and the notification center. Posting is synchronous: every matching observer
// runs on the posting thread before postNotificationName returns (a block observer registered
// with a queue runs on that queue while the poster waits, or at once when the poster already runs
// on it).

#include "platform/foundation/NSObject.h"
#include "platform/foundation/Value.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class DispatchQueue;

class NSNotification : public NSObject {
public:
    NSNotification(std::string name, Value object, Value::Dictionary userInfo = {});

    static std::shared_ptr<NSNotification> notificationWithName(const std::string& name, Value object,
                                                                Value::Dictionary userInfo = {});

    const std::string& name() const { return name_; }
    // The sender (any value; observers filter on the identity of an object sender).
    const Value& object() const { return object_; }
    const Value::Dictionary& userInfo() const { return userInfo_; }

    std::string description() const override;

private:
    std::string name_;
    Value object_;
    Value::Dictionary userInfo_;
};

class NSNotificationCenter : public NSObject {
public:
    using Callback = std::function<void(const std::shared_ptr<NSNotification>& notification)>;

    static std::shared_ptr<NSNotificationCenter> defaultCenter();

    // Observes `name` (every name when empty) from `object` (every sender when null). Returns the
    // token that removeObserver takes; the center keeps the block until then.
    std::shared_ptr<NSObject> addObserverForName(const std::string& name, const std::shared_ptr<NSObject>& object,
                                                 const std::shared_ptr<DispatchQueue>& queue, Callback block);
    // -addObserver:selector:name:object:. The center does not keep the observer alive: once it
    // is gone its registrations are skipped and dropped. While the callback runs the observer is
    // kept alive.
    void addObserver(const std::weak_ptr<NSObject>& observer, const std::string& name,
                     const std::shared_ptr<NSObject>& object, Callback callback);
    // Every registration of the observer (or of the token). Safe to call from the observer's
    // destructor.
    void removeObserver(const NSObject* observer);
    void removeObserver(const std::shared_ptr<NSObject>& observer) { removeObserver(observer.get()); }
    // The observer's registrations for `name` (any when empty) and `object` (any when null).
    void removeObserver(const NSObject* observer, const std::string& name, const NSObject* object);

    void postNotification(const std::shared_ptr<NSNotification>& notification);
    void postNotificationName(const std::string& name, Value object = {}, Value::Dictionary userInfo = {});

    // How a block observer's queue runs a delivery; installed by the dispatch layer when its
    // first queue is made (the center itself does not depend on it).
    using QueueDelivery = void (*)(const std::shared_ptr<DispatchQueue>& queue, const std::function<void()>& deliver);
    static void setQueueDelivery(QueueDelivery delivery);

private:
    struct Registration;
    std::mutex mutex_;
    std::vector<std::shared_ptr<Registration>> registrations_;
};
