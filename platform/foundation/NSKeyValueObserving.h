#pragma once
// Key-value observation, as much of it as the system relies on: classes that change observable
// state announce it with willChangeValueForKey/didChangeValueForKey, observers register for a key
// path, and a class may declare that a key depends on other keys
// (keyPathsForValuesAffectingValueForKey), so that a change of one of those is announced for the
// dependent key too. Notices are delivered synchronously, on the thread that made the change.

#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class NSKeyValueObserving {
public:
    using ObserverToken = std::uint64_t;
    // `prior` is true for the notice sent before the change (willChange), false after it.
    using Observer = std::function<void(const std::string& keyPath, bool prior)>;

    NSKeyValueObserving() = default;
    NSKeyValueObserving(const NSKeyValueObserving&) = delete;
    NSKeyValueObserving& operator=(const NSKeyValueObserving&) = delete;
    virtual ~NSKeyValueObserving() = default;

    // Observers that ask for the prior notice get both; others only the one after the change.
    ObserverToken addObserverForKeyPath(const std::string& keyPath, Observer observer, bool wantsPrior = false);
    void removeObserver(ObserverToken token);

    virtual void willChangeValueForKey(const std::string& key);
    virtual void didChangeValueForKey(const std::string& key);

    // The keys whose change also changes `key`; none by default.
    virtual std::set<std::string> keyPathsForValuesAffectingValueForKey(const std::string& key) const;

private:
    void notify(const std::string& changedKey, bool prior);

    struct Registration {
        ObserverToken token;
        std::string keyPath;
        Observer observer;
        bool wantsPrior;
    };
    std::mutex observersMutex_;
    std::vector<Registration> observers_;
    ObserverToken nextToken_ = 1;
};
