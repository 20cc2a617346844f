#include "sdk/ads/VuderuAdCache.h"

#include "platform/foundation/PlatformClock.h"
#include "sdk/ads/VuderuAdUtil.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

#include <algorithm>
#include <mutex>

namespace {

struct Store {
    std::recursive_mutex lock;
    std::map<VuderuCacheKey, std::shared_ptr<VuderuAdCache::UnitList>> adSpaceToAdUnitsMap;
};

Store& store() {
    static Store shared;
    return shared;
}

std::shared_ptr<VuderuAdCache::UnitList> listFor(const VuderuCacheKey& key) {
    auto found = store().adSpaceToAdUnitsMap.find(key);
    return found == store().adSpaceToAdUnitsMap.end() ? nullptr : found->second;
}

std::shared_ptr<VuderuAdCache::UnitList> makeListFor(const VuderuCacheKey& key) {
    auto& list = store().adSpaceToAdUnitsMap[key];
    if (!list) list = std::make_shared<VuderuAdCache::UnitList>();
    return list;
}

void eraseFromBothKeys(const std::string& space, const std::function<bool(const VuderuAdUnitPtr&)>& matches) {
    VuderuCacheKey key = VuderuCacheKey::withSpace(space);
    for (const auto& k : {key, key.reoriented()}) {
        if (auto list = listFor(k)) std::erase_if(*list, matches);
    }
}

} // namespace

std::shared_ptr<VuderuAdCache::UnitList> VuderuAdCache::validatedCachedAdUnitsForKey(const VuderuCacheKey& key) {
    std::lock_guard guard(store().lock);
    auto list = listFor(key);
    if (list && !list->empty()) {
        std::int64_t now = VuderuUtil::int64FromDouble(PlatformClock::now() * 1000);
        std::erase_if(*list, [&](const VuderuAdUnitPtr& unit) { return unit->isExpiredForGMTEpochMilliseconds(now); });
    }
    return list;
}

std::size_t VuderuAdCache::validatedCacheCountForKey(const VuderuCacheKey& key) {
    std::lock_guard guard(store().lock);
    auto list = validatedCachedAdUnitsForKey(key);
    return list ? list->size() : 0;
}

VuderuAdCache::UnitList VuderuAdCache::allCachedAdUnitsForKey(const VuderuCacheKey& key) {
    std::lock_guard guard(store().lock);
    auto list = validatedCachedAdUnitsForKey(key);
    return list ? *list : UnitList{};
}

VuderuAdUnitPtr VuderuAdCache::fetchFromAdUnitsUsingFilter(const UnitList& units, const VuderuCacheRetrievalPolicy::Filter& filter) {
    if (!filter) return firstElementFromArray(units);
    for (std::size_t i = 0; i < units.size(); ++i) {
        bool stop = false;
        filter(units[i], i, &stop);
        if (stop) return units[i];
    }
    return nullptr;
}

VuderuAdUnitPtr VuderuAdCache::cachedAdUnitForKeyCacheRetrievalPolicy(const VuderuCacheKey& key, const VuderuCacheRetrievalPolicy& policy) {
    std::lock_guard guard(store().lock);
    auto list = validatedCachedAdUnitsForKey(key);
    VuderuAdUnitPtr chosen = list ? fetchFromAdUnitsUsingFilter(*list, policy.adUnitFilter()) : nullptr;
    if (chosen && policy.removeFromCache()) removeAdUnit(chosen);
    return chosen;
}

VuderuAdUnitPtr VuderuAdCache::adUnitForGuid(const std::string& guid) {
    std::lock_guard guard(store().lock);
    for (const auto& [key, list] : store().adSpaceToAdUnitsMap) {
        for (const auto& unit : *list) {
            for (const auto& frame : unit->adFrames()) {
                if (frame->adLogGUID() == guid) return unit;
            }
        }
    }
    return nullptr;
}

void VuderuAdCache::addAdUnits(const UnitList& units) {
    for (const auto& unit : units) {
        if (!unit) continue;
        if (unit->adSpace().empty()) {
            VuderuLog("VuderuAdCache: skipping adunit with empty or nil adspace");
            continue;
        }
        if (unit->screenOrientation() == VuderuAdUtil::kOrientationUnknown) continue;
        addAdUnitForKey(unit, VuderuCacheKey(unit->adSpace(), unit->screenOrientation()));
    }
}

void VuderuAdCache::addAdUnitForKey(const VuderuAdUnitPtr& unit, const VuderuCacheKey& key) {
    if (!unit) return;
    std::lock_guard guard(store().lock);
    makeListFor(key)->push_back(unit);
}

void VuderuAdCache::addAdUnitForKeyAtIndex(const VuderuAdUnitPtr& unit, const VuderuCacheKey& key, std::size_t index) {
    if (!unit) return;
    std::lock_guard guard(store().lock);
    auto list = makeListFor(key);
    if (index > list->size()) return;
    list->insert(list->begin() + static_cast<std::ptrdiff_t>(index), unit);
}

bool VuderuAdCache::findAndReplaceWithNewAdUnit(const VuderuAdUnitPtr& oldUnit, const VuderuAdUnitPtr& newUnit) {
    if (!oldUnit || !newUnit) return false;
    std::lock_guard guard(store().lock);
    auto list = listFor(VuderuCacheKey(oldUnit->adSpace(), oldUnit->screenOrientation()));
    if (!list) return false;
    auto found = std::find(list->begin(), list->end(), oldUnit);
    if (found == list->end()) return false;
    newUnit->setGroupId(oldUnit->groupId());
    auto oldFirst = firstElementFromArray(oldUnit->adFrames());
    auto newFirst = firstElementFromArray(newUnit->adFrames());
    if (oldFirst && newFirst && oldFirst->adCallbacks()) newFirst->mergeAdCallbacks(*oldFirst->adCallbacks());
    *found = newUnit;
    return true;
}

void VuderuAdCache::removeAdUnit(const VuderuAdUnitPtr& unit) {
    if (!unit) return;
    std::lock_guard guard(store().lock);
    eraseFromBothKeys(unit->adSpace(), [&](const VuderuAdUnitPtr& u) { return u == unit; });
}

void VuderuAdCache::removeAdUnitsForSpace(const std::string& space) {
    std::lock_guard guard(store().lock);
    eraseFromBothKeys(space, [](const VuderuAdUnitPtr&) { return true; });
}

void VuderuAdCache::removeAdUnitsForGroupIDWithSpace(const std::string& groupId, const std::string& space) {
    std::lock_guard guard(store().lock);
    eraseFromBothKeys(space, [&](const VuderuAdUnitPtr& u) { return u->groupId() == groupId; });
}

void VuderuAdCache::clearCache() {
    std::lock_guard guard(store().lock);
    store().adSpaceToAdUnitsMap.clear();
}

bool VuderuAdCache::isTakeover(const VuderuAdUnitPtr& unit) {
    auto frame = unit ? firstElementFromArray(unit->adFrames()) : nullptr;
    return frame && frame->adSpaceLayout() && frame->adSpaceLayout()->isTakeover();
}
