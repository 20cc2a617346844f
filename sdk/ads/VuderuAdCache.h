#pragma once
// The served ad units per ad space and screen orientation, dropped when they expire. Here: the
// store under the class lock (validation, choosing, storing, insertion, replacement, removals,
// lookups by GUID, counts and copies); takes that wait for the server build on it.

#include "sdk/ads/VuderuAdUnit.h"
#include "sdk/ads/VuderuCacheKey.h"
#include "sdk/ads/VuderuCacheRetrievalPolicy.h"

#include <map>
#include <memory>
#include <vector>

class VuderuAdCache : public NSObject {
public:
    using UnitList = std::vector<VuderuAdUnitPtr>;

    // The key's units after dropping the expired ones; nil when the key has no list.
    static std::shared_ptr<UnitList> validatedCachedAdUnitsForKey(const VuderuCacheKey& key);
    static std::size_t validatedCacheCountForKey(const VuderuCacheKey& key);
    static UnitList allCachedAdUnitsForKey(const VuderuCacheKey& key);
    // Chooses from the cache only; the chosen unit leaves it when the policy says so.
    static VuderuAdUnitPtr cachedAdUnitForKeyCacheRetrievalPolicy(const VuderuCacheKey& key, const VuderuCacheRetrievalPolicy& policy);
    static VuderuAdUnitPtr fetchFromAdUnitsUsingFilter(const UnitList& units, const VuderuCacheRetrievalPolicy::Filter& filter);
    // The first unit in any list with a frame of the GUID.
    static VuderuAdUnitPtr adUnitForGuid(const std::string& guid);

    // Served units, each under its own space and orientation; an empty space is logged and
    // dropped, an unknown orientation dropped.
    static void addAdUnits(const UnitList& units);
    static void addAdUnitForKey(const VuderuAdUnitPtr& unit, const VuderuCacheKey& key);
    // An index past the end is refused.
    static void addAdUnitForKeyAtIndex(const VuderuAdUnitPtr& unit, const VuderuCacheKey& key, std::size_t index);
    // Puts the new unit in the old one's place, with its group id and the old first frame's
    // callbacks merged into its own first frame.
    static bool findAndReplaceWithNewAdUnit(const VuderuAdUnitPtr& oldUnit, const VuderuAdUnitPtr& newUnit);
    static void removeAdUnit(const VuderuAdUnitPtr& unit);
    static void removeAdUnitsForSpace(const std::string& space);
    static void removeAdUnitsForGroupIDWithSpace(const std::string& groupId, const std::string& space);
    static void clearCache();

    static bool isTakeover(const VuderuAdUnitPtr& unit);
    template <class T>
    static T firstElementFromArray(const std::vector<T>& array) {
        return array.empty() ? T() : array.front();
    }
};
