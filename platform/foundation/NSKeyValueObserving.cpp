#include "platform/foundation/NSKeyValueObserving.h"

NSKeyValueObserving::ObserverToken NSKeyValueObserving::addObserverForKeyPath(const std::string& keyPath, Observer observer,
                                                                              bool wantsPrior) {
    std::lock_guard guard(observersMutex_);
    ObserverToken token = nextToken_++;
    observers_.push_back({token, keyPath, std::move(observer), wantsPrior});
    return token;
}

void NSKeyValueObserving::removeObserver(ObserverToken token) {
    std::lock_guard guard(observersMutex_);
    std::erase_if(observers_, [token](const Registration& r) { return r.token == token; });
}

void NSKeyValueObserving::willChangeValueForKey(const std::string& key) { notify(key, true); }

void NSKeyValueObserving::didChangeValueForKey(const std::string& key) { notify(key, false); }

std::set<std::string> NSKeyValueObserving::keyPathsForValuesAffectingValueForKey(const std::string&) const { return {}; }

void NSKeyValueObserving::notify(const std::string& changedKey, bool prior) {
    // Observers are called outside the registry lock: an observer may add or remove observers,
    // or change further observed values.
    std::vector<std::pair<std::string, Observer>> calls;
    {
        std::lock_guard guard(observersMutex_);
        for (const Registration& r : observers_) {
            if (prior && !r.wantsPrior) continue;
            if (r.keyPath == changedKey) {
                calls.emplace_back(r.keyPath, r.observer);
            } else if (keyPathsForValuesAffectingValueForKey(r.keyPath).count(changedKey)) {
                calls.emplace_back(r.keyPath, r.observer);
            }
        }
    }
    for (auto& [keyPath, observer] : calls) observer(keyPath, prior);
}
