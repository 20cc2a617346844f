#pragma once
// How one take from the ad-unit cache chooses: a filter (the unit for which it sets the stop
// flag; without one the first unit), how long the take may wait for the server, and whether
// the chosen unit leaves the cache.

#include "sdk/ads/VuderuAdUnit.h"

#include <cstdint>
#include <functional>
#include <optional>

class VuderuCacheRetrievalPolicy : public NSObject {
public:
    using Filter = std::function<void(const VuderuAdUnitPtr& unit, std::size_t index, bool* stop)>;

    // No filter, time-out 1, the unit stays.
    static std::shared_ptr<VuderuCacheRetrievalPolicy> defaultPolicy() {
        auto policy = std::make_shared<VuderuCacheRetrievalPolicy>();
        policy->setTimeout(1);
        return policy;
    }

    const Filter& adUnitFilter() const { return adUnitFilter_; }
    void setAdUnitFilter(Filter filter) { adUnitFilter_ = std::move(filter); }
    // Milliseconds; 0: no wait.
    std::int64_t timeout() const { return timeout_; }
    void setTimeout(std::int64_t value) { timeout_ = value; }
    bool removeFromCache() const { return removeFromCache_; }
    void setRemoveFromCache(bool value) { removeFromCache_ = value; }
    // The ad manager's generation of the space when the take's request was asked (its count of
    // the space's removals); a fetch the take starts carries it back in its report. Nil: none.
    const std::optional<std::uint64_t>& spaceGeneration() const { return spaceGeneration_; }
    void setSpaceGeneration(std::optional<std::uint64_t> value) { spaceGeneration_ = value; }

private:
    Filter adUnitFilter_;
    std::int64_t timeout_ = 0;
    bool removeFromCache_ = false;
    std::optional<std::uint64_t> spaceGeneration_;
};
