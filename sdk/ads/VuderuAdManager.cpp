#include "sdk/ads/VuderuAdManager.h"

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSThread.h"
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

void VuderuAdManager::runOnMainThread(std::function<void()> step) {
    if (NSThread::isMainThread()) step();
    else dispatch_async(dispatch_get_main_queue(), std::move(step));
}

IVuderuAdPtr VuderuAdManager::takeRegisteredAd(const std::string& space) {
    IVuderuAdPtr ad;
    {
        MutexLock registry(registryLock_);
        auto found = adSpaceToAdMap_.find(space);
        if (found == adSpaceToAdMap_.end()) return nullptr;
        ad = found->second;
        adSpaceToAdMap_.erase(found);
    }
    // The timer's entry stays: the space keeps counting as refreshed.
    auto timer = adSpaceToTimerMap_.find(space);
    if (timer != adSpaceToTimerMap_.end() && timer->second) timer->second->invalidate();
    return ad;
}

void VuderuAdManager::deRegisterAdForSpace(const std::string& space) {
    IVuderuAdPtr ad;  // alive until its removal has run
    {
        MutexLock guard(lock_);
        ad = takeRegisteredAd(space);
    }
    if (!ad) return;
    // The removal runs the ad's events and the host's delegate, outside the manager's lock, and
    // takes the ad's view out of the view tree: on the main thread.
    runOnMainThread([ad] { ad->removeAd(); });
}

VuderuAdManager::Generation VuderuAdManager::spaceGenerationLocked(const std::string& space) const {
    auto found = spaceGenerations_.find(space);
    return found == spaceGenerations_.end() ? 0 : found->second;
}

VuderuAdManager::Generation VuderuAdManager::spaceGeneration(const std::string& space) const {
    MutexLock guard(lock_);
    return spaceGenerationLocked(space);
}

bool VuderuAdManager::endedByRemoval(const std::string& space, std::int64_t value, Generation askedAt) const {
    return showsByItself(value) && askedAt < spaceGeneration(space);
}

void VuderuAdManager::removeSpace(const std::string& space) {
    // The ads answer under their own locks: the space's pending ones meant to show are picked
    // outside the manager's. A fetched ad waits for the host's display call and stays.
    std::vector<IVuderuAdPtr> ofSpace;
    for (const auto& ad : pendingAdArray()) {
        if (ad->adSpaceName() == space && ad->displayWhenReady()) ofSpace.push_back(ad);
    }
    std::vector<IVuderuAdPtr> withdrawn;
    IVuderuAdPtr shown;
    {
        // One step with the shows' registration (claimSpace): an ad is either withdrawn here while
        // still pending, or was registered before and is taken down here. A show asked before this
        // step and delivered after it finds the generation moved on.
        MutexLock guard(lock_);
        ++spaceGenerations_[space];
        for (const auto& ad : ofSpace) {
            auto found = std::find(pendingAdArray_.begin(), pendingAdArray_.end(), ad);
            if (found == pendingAdArray_.end()) continue;
            pendingAdArray_.erase(found);
            withdrawn.push_back(ad);
        }
        if (!withdrawn.empty()) {
            std::erase_if(withdrawnAds_, [](const std::weak_ptr<IVuderuAd>& ad) { return ad.expired(); });
            withdrawnAds_.insert(withdrawn.begin(), withdrawn.end());
        }
        shown = takeRegisteredAd(space);
    }
    removeAllPendingRequestsForSpace(space);
    if (withdrawn.empty() && !shown) return;
    runOnMainThread([withdrawn = std::move(withdrawn), shown] {
        for (const auto& ad : withdrawn) ad->withdraw();
        if (shown) {
            shown->setNotificationFlag(-1);
            shown->removeAd();
        }
    });
}

VuderuAdManager::Claim VuderuAdManager::claimSpace(const IVuderuAdPtr& ad, const std::string& space, Generation askedAt) {
    MutexLock guard(lock_);
    if (askedAt < spaceGenerationLocked(space)) return Claim::kSpaceRemoved;
    auto pending = std::find(pendingAdArray_.begin(), pendingAdArray_.end(), ad);
    if (pending == pendingAdArray_.end()) return Claim::kNotPending;
    {
        MutexLock registry(registryLock_);
        if (!adSpaceToAdMap_.emplace(space, ad).second) return Claim::kSpaceTaken;
    }
    pendingAdArray_.erase(pending);
    showsAskedAt_.erase(ad);
    return Claim::kClaimed;
}

bool VuderuAdManager::isWithdrawn(const IVuderuAdPtr& ad) const {
    MutexLock guard(lock_);
    return withdrawnAds_.count(ad) > 0;
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

void VuderuAdManager::addPendingAd(const IVuderuAdPtr& ad) { addPendingAd(ad, std::nullopt); }

void VuderuAdManager::addPendingAd(const IVuderuAdPtr& ad, std::optional<Generation> showAskedAt) {
    if (!ad) return;
    MutexLock guard(lock_);
    withdrawnAds_.erase(ad);
    std::erase_if(showsAskedAt_, [](const auto& entry) { return entry.first.expired(); });
    if (showAskedAt) showsAskedAt_[ad] = *showAskedAt;
    pendingAdArray_.push_back(ad);
}

void VuderuAdManager::setShowAskedAt(const IVuderuAdPtr& ad, Generation askedAt) {
    MutexLock guard(lock_);
    showsAskedAt_[ad] = askedAt;
}

VuderuAdManager::Generation VuderuAdManager::showAskedAt(const IVuderuAdPtr& ad) const {
    const std::string space = ad->space();
    MutexLock guard(lock_);
    auto found = showsAskedAt_.find(ad);
    // An ad added without a show of its own is shown as asked now.
    return found != showsAskedAt_.end() ? found->second : spaceGenerationLocked(space);
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
