#include "platform/foundation/NSNotificationCenter.h"

#include "platform/foundation/SharedInstance.h"

#include <algorithm>
#include <atomic>

namespace {
std::atomic<NSNotificationCenter::QueueDelivery> queueDelivery{nullptr};

// The token handed out for a block observer.
class NSNotificationObserverToken : public NSObject {};

const NSObject* senderOf(const Value& object) { return object.isObject() ? object.object().get() : nullptr; }
} // namespace

NSNotification::NSNotification(std::string name, Value object, Value::Dictionary userInfo)
    : name_(std::move(name)), object_(std::move(object)), userInfo_(std::move(userInfo)) {}

std::shared_ptr<NSNotification> NSNotification::notificationWithName(const std::string& name, Value object,
                                                                     Value::Dictionary userInfo) {
    return std::make_shared<NSNotification>(name, std::move(object), std::move(userInfo));
}

std::string NSNotification::description() const {
    return "NSConcreteNotification " + name_ + " object = " + object_.description() + " userInfo = " +
           Value(userInfo_).description();
}

struct NSNotificationCenter::Registration {
    std::string name;
    bool filtersSender = false;
    std::weak_ptr<NSObject> sender;
    const NSObject* senderKey = nullptr;
    // A block observer's token, kept by the center; or the weak observer of addObserver.
    std::shared_ptr<NSObject> token;
    std::weak_ptr<NSObject> observer;
    const NSObject* observerKey = nullptr;
    std::shared_ptr<DispatchQueue> queue;
    Callback callback;
    std::atomic<bool> removed{false};

    bool matches(const std::string& posted, const NSObject* postedSender) const {
        if (!name.empty() && name != posted) return false;
        if (!filtersSender) return true;
        // A sender that is gone cannot post; a new object at its old address is another sender.
        auto alive = sender.lock();
        return alive && alive.get() == postedSender;
    }
};

std::shared_ptr<NSNotificationCenter> NSNotificationCenter::defaultCenter() {
    // Never destroyed: observers unregister from destructors that may run at exit.
    static NeverDestroyed<std::shared_ptr<NSNotificationCenter>> center(std::make_shared<NSNotificationCenter>());
    return *center;
}

void NSNotificationCenter::setQueueDelivery(QueueDelivery delivery) { queueDelivery = delivery; }

std::shared_ptr<NSObject> NSNotificationCenter::addObserverForName(const std::string& name,
                                                                   const std::shared_ptr<NSObject>& object,
                                                                   const std::shared_ptr<DispatchQueue>& queue,
                                                                   Callback block) {
    auto registration = std::make_shared<Registration>();
    registration->name = name;
    registration->filtersSender = object != nullptr;
    registration->sender = object;
    registration->senderKey = object.get();
    registration->token = std::make_shared<NSNotificationObserverToken>();
    registration->observerKey = registration->token.get();
    registration->queue = queue;
    registration->callback = std::move(block);
    auto token = registration->token;
    std::lock_guard<std::mutex> guard(mutex_);
    registrations_.push_back(std::move(registration));
    return token;
}

void NSNotificationCenter::addObserver(const std::weak_ptr<NSObject>& observer, const std::string& name,
                                       const std::shared_ptr<NSObject>& object, Callback callback) {
    auto registration = std::make_shared<Registration>();
    registration->name = name;
    registration->filtersSender = object != nullptr;
    registration->sender = object;
    registration->senderKey = object.get();
    registration->observer = observer;
    registration->observerKey = observer.lock().get();
    registration->callback = std::move(callback);
    if (!registration->observerKey) return;
    std::lock_guard<std::mutex> guard(mutex_);
    registrations_.push_back(std::move(registration));
}

void NSNotificationCenter::removeObserver(const NSObject* observer) { removeObserver(observer, {}, nullptr); }

void NSNotificationCenter::removeObserver(const NSObject* observer, const std::string& name, const NSObject* object) {
    if (!observer) return;
    std::lock_guard<std::mutex> guard(mutex_);
    auto gone = [&](const std::shared_ptr<Registration>& r) {
        if (r->observerKey != observer) return false;
        if (!name.empty() && r->name != name) return false;
        if (object && r->senderKey != object) return false;
        r->removed = true;
        return true;
    };
    registrations_.erase(std::remove_if(registrations_.begin(), registrations_.end(), gone), registrations_.end());
}

void NSNotificationCenter::postNotification(const std::shared_ptr<NSNotification>& notification) {
    const NSObject* sender = senderOf(notification->object());
    std::vector<std::shared_ptr<Registration>> matching;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        for (const auto& r : registrations_) {
            if (r->matches(notification->name(), sender)) matching.push_back(r);
        }
    }
    bool foundDead = false;
    for (const auto& r : matching) {
        // Removed by an observer called earlier in this post (or by another thread meanwhile).
        if (r->removed) continue;
        std::shared_ptr<NSObject> keepAlive;
        if (!r->token) {
            keepAlive = r->observer.lock();
            if (!keepAlive) {
                foundDead = true;
                continue;
            }
        }
        if (r->queue) {
            QueueDelivery deliver = queueDelivery;
            if (deliver) {
                deliver(r->queue, [&] { r->callback(notification); });
                continue;
            }
        }
        r->callback(notification);
    }
    if (foundDead) {
        std::lock_guard<std::mutex> guard(mutex_);
        registrations_.erase(std::remove_if(registrations_.begin(), registrations_.end(),
                                            [](const auto& r) { return !r->token && r->observer.expired(); }),
                             registrations_.end());
    }
}

void NSNotificationCenter::postNotificationName(const std::string& name, Value object, Value::Dictionary userInfo) {
    postNotification(NSNotification::notificationWithName(name, std::move(object), std::move(userInfo)));
}
