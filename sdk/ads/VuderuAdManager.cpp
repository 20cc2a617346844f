#include "sdk/ads/VuderuAdManager.h"

#include "platform/foundation/NSTimer.h"

#include <algorithm>

namespace {

struct SizeCodes {
    Mutex lock;
    std::map<std::string, std::int32_t> map TD_GUARDED_BY(lock);
};

SizeCodes& adSpaceDefaultConfigMap() {
    static SizeCodes codes;
    return codes;
}

} // namespace

std::shared_ptr<VuderuAdManager> VuderuAdManager::instance() {
    static const auto manager = std::make_shared<VuderuAdManager>();
    return manager;
}

void VuderuAdManager::setupDefaultsForAdSpaceSize(const std::string& space, std::int32_t size) {
    if (space.empty()) return;
    auto& codes = adSpaceDefaultConfigMap();
    MutexLock guard(codes.lock);
    codes.map[space] = size;
}

bool VuderuAdManager::isTestAdSpace(const std::string& space) {
    auto& codes = adSpaceDefaultConfigMap();
    MutexLock guard(codes.lock);
    return codes.map.count(space) > 0;
}

std::int32_t VuderuAdManager::adSizeForTestAdSpace(const std::string& space) {
    auto& codes = adSpaceDefaultConfigMap();
    MutexLock guard(codes.lock);
    auto found = codes.map.find(space);
    return found == codes.map.end() ? 0 : found->second;
}

bool VuderuAdManager::registerAdAdSpaceName(const IVuderuAdPtr& ad, const std::string& space) {
    if (!ad) return false;
    MutexLock guard(lock_);
    MutexLock registry(registryLock_);
    return adSpaceToAdMap_.emplace(space, ad).second;
}

void VuderuAdManager::deRegisterAdForSpace(const std::string& space) {
    IVuderuAdPtr ad;  // alive until the call ends
    {
        MutexLock guard(lock_);
        {
            MutexLock registry(registryLock_);
            auto found = adSpaceToAdMap_.find(space);
            if (found == adSpaceToAdMap_.end()) return;
            ad = found->second;
            adSpaceToAdMap_.erase(found);
        }
        // The timer's entry stays: the space keeps counting as refreshed.
        auto timer = adSpaceToTimerMap_.find(space);
        if (timer != adSpaceToTimerMap_.end() && timer->second) timer->second->invalidate();
    }
    // The removal runs the ad's events and the host's delegate: outside the manager's lock.
    ad->removeAd();
}

IVuderuAdPtr VuderuAdManager::adForSpace(const std::string& space) const {
    MutexLock registry(registryLock_);
    auto found = adSpaceToAdMap_.find(space);
    return found == adSpaceToAdMap_.end() ? nullptr : found->second;
}

bool VuderuAdManager::isGuidActive(const std::string& guid) const {
    if (guid.empty()) return false;
    // The ads are asked outside every lock: the ad logs ask this while holding their own.
    std::vector<IVuderuAdPtr> registered;
    {
        MutexLock registry(registryLock_);
        for (const auto& entry : adSpaceToAdMap_) registered.push_back(entry.second);
    }
    return std::any_of(registered.begin(), registered.end(), [&](const IVuderuAdPtr& ad) { return ad->isGuidActive(guid); });
}

void VuderuAdManager::addPendingAd(const IVuderuAdPtr& ad) {
    if (!ad) return;
    MutexLock guard(lock_);
    pendingAdArray_.push_back(ad);
}

IVuderuAdPtr VuderuAdManager::fetchPendingAdForSpace(const std::string& space) const {
    // The ads answer under their own locks: they are asked outside the manager's.
    for (const auto& ad : pendingAdArray()) {
        if (ad->adSpaceName() == space && ad->readyForDisplay()) return ad;
    }
    return nullptr;
}

void VuderuAdManager::removePendingAd(const IVuderuAdPtr& ad) {
    MutexLock guard(lock_);
    std::erase(pendingAdArray_, ad);
}

std::vector<IVuderuAdPtr> VuderuAdManager::pendingAdArray() const {
    MutexLock guard(lock_);
    return pendingAdArray_;
}

std::shared_ptr<NSObject> VuderuAdManager::vastManagerForAdGuid(const std::string& guid) const {
    MutexLock guard(valuesLock_);
    auto found = adGuidToVuderuVASTManagerMap_.find(guid);
    return found == adGuidToVuderuVASTManagerMap_.end() ? nullptr : found->second;
}

void VuderuAdManager::setVastManagerForAdGuid(const std::string& guid, std::shared_ptr<NSObject> manager) {
    MutexLock guard(valuesLock_);
    if (manager) adGuidToVuderuVASTManagerMap_[guid] = std::move(manager);
    else adGuidToVuderuVASTManagerMap_.erase(guid);
}

// Plain accessors, under the values' lock: the ad response sets the limits on the main thread
// while the cache's workers read them, some from inside the cache's lock.
TD_LOCKED_ACCESSORS(VuderuAdManager, valuesLock_, std::shared_ptr<UIViewController>, rvc, setRvc)
TD_LOCKED_ACCESSORS(VuderuAdManager, valuesLock_, std::string, sdkAssetUrl, setSdkAssetUrl)
TD_LOCKED_ACCESSORS(VuderuAdManager, valuesLock_, bool, sdkAssetUrlUpdated, setSdkAssetUrlUpdated)
TD_LOCKED_ACCESSORS(VuderuAdManager, valuesLock_, std::int32_t, cacheSize, setCacheSize)
TD_LOCKED_ACCESSORS(VuderuAdManager, valuesLock_, std::int32_t, maxAssetSize, setMaxAssetSize)
TD_LOCKED_ACCESSORS(VuderuAdManager, valuesLock_, VuderuAdManager::AssetDictionary, sdkAssetDictionary, setSdkAssetDictionary)
