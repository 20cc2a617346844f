// The ad manager's asset-gated takes: units whose video must be in the asset cache before they
// are shown are passed over or held back, held-back takes are replayed when the asset cache
// reports, and upcoming videos are downloaded ahead of need.

#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSThread.h"
#include "sdk/ads/VuderuAdCache.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuAdUtil.h"
#include "sdk/ads/VuderuAds.h"
#include "sdk/ads/VuderuContentLoadingManager.h"
#include "sdk/analytics/VuderuLog.h"

namespace {

const char* const kLruRemovable = "lruRemovable";

bool isCacheableValue(std::int32_t caching) { return caching == 1 || caching == 2; }

// Runs on the main thread: at once there, else queued on the main run loop.
void onMainThread(std::function<void()> block) {
    NSRunLoop::mainRunLoop()->performBlock(std::move(block));
}

} // namespace

bool VuderuAdManager::isAssetCached(const std::string& url) {
    return VuderuContentLoadingManager::sharedInstance()->isAssetPreCached(url, std::nullopt, true, std::nullopt, kLruRemovable);
}

std::optional<std::string> VuderuAdManager::getCacheableAssetFromAdUnitRestrictCacheOnly(const VuderuAdUnitPtr& unit, bool restrictCacheOnly) {
    if (!unit || VuderuContentLoadingManager::sharedInstance()->diskNotFree()) return std::nullopt;
    VuderuAdFramePtr examined;
    if (unit->adType() == 0) {
        if (!unit->adFrames().empty()) examined = unit->adFrames().front();
    } else {
        for (const auto& frame : unit->adFrames()) {
            if (frame && frame->binding() == VuderuAdFrame::kVideo) {
                examined = frame;
                break;
            }
        }
    }
    if (!examined) return std::nullopt;
    if (examined->cachingEnum() == 1 || (examined->cachingEnum() == 2 && !restrictCacheOnly)) return getMediaAssetUrlFromAdFrame(examined);
    return std::nullopt;
}

VuderuAdUnitPtr VuderuAdManager::fetchCachedAdUnitForKeyViewContainerTimeoutWaitingOnAdUnit(const VuderuCacheKey& key,
                                                                                            const std::shared_ptr<NSObject>& container,
                                                                                            std::int64_t timeout, bool* waiting,
                                                                                            std::optional<Generation> askedAt) {
    const Generation asked = askedAt.value_or(spaceGeneration(key.adSpace()));
    auto policy = VuderuCacheRetrievalPolicy::defaultPolicy();
    policy->setTimeout(timeout);
    policy->setRemoveFromCache(true);
    policy->setSpaceGeneration(asked);
    struct FilterState {
        std::optional<std::string> skipGroup;
        std::string assetUrl;
        bool waiting = false;
    };
    auto state = std::make_shared<FilterState>();
    auto* policyRef = policy.get();
    auto self = std::static_pointer_cast<VuderuAdManager>(shared_from_this());
    policy->setAdUnitFilter([state, policyRef, self](const VuderuAdUnitPtr& unit, std::size_t, bool* stop) {
        if (state->skipGroup && unit->groupId() == *state->skipGroup) return;
        auto asset = getCacheableAssetFromAdUnitRestrictCacheOnly(unit, true);
        if (!asset || isAssetCached(*asset)) {
            *stop = true;
            return;
        }
        const std::int32_t limit = unit->preCacheAdSkippableTimeLimit();
        if (limit == 0) {
            // An empty group id is no group: the units after it are not its fellows.
            if (!unit->groupId().empty()) state->skipGroup = unit->groupId();
            return;
        }
        *stop = true;
        state->waiting = true;
        state->assetUrl = *asset;
        policyRef->setRemoveFromCache(false);
        if (limit > 0) {
            // Whole seconds, the remainder dropped. On the main run loop: a waiting take's own
            // thread may run none.
            const std::string url = *asset;
            NSRunLoop::mainRunLoop()->performAfterDelay(static_cast<double>(limit / 1000), self.get(),
                                                        "assetDownloadTimeoutForAsset:" + url,
                                                        [self, url] { self->assetDownloadTimeoutForAsset(url); });
        }
    });
    auto unit = VuderuAdCache::adUnitForKeyViewContainerCacheRetrievalPolicyError(key, container, *policy, nullptr);
    if (waiting) *waiting = state->waiting;
    if (state->waiting) {
        if (unit) addToPendingAssetToPrepareAdRequestsMap(state->assetUrl, unit, key, container, timeout, asked);
        return nullptr;
    }
    return unit;
}

void VuderuAdManager::addToPendingAssetToPrepareAdRequestsMap(const std::string& assetUrl, const VuderuAdUnitPtr& unit,
                                                              const VuderuCacheKey& key, const std::shared_ptr<NSObject>& container,
                                                              std::int64_t timeout, std::optional<Generation> askedAt) {
    const Generation asked = askedAt.value_or(spaceGeneration(key.adSpace()));
    MutexLock guard(lock_);
    pendingAssetsToAdPrepareRequests_[assetUrl].push_back(PrepareRequest{unit, key, container, timeout, asked});
}

std::vector<VuderuAdManager::PrepareRequest> VuderuAdManager::pendingAssetRequests(const std::string& assetUrl) const {
    MutexLock guard(lock_);
    auto found = pendingAssetsToAdPrepareRequests_.find(assetUrl);
    return found == pendingAssetsToAdPrepareRequests_.end() ? std::vector<PrepareRequest>{} : found->second;
}

std::vector<VuderuAdManager::PrepareRequest> VuderuAdManager::takePendingAssetRequests(const std::string& assetUrl) {
    MutexLock guard(lock_);
    auto found = pendingAssetsToAdPrepareRequests_.find(assetUrl);
    if (found == pendingAssetsToAdPrepareRequests_.end()) return {};
    auto requests = std::move(found->second);
    pendingAssetsToAdPrepareRequests_.erase(found);
    return requests;
}

void VuderuAdManager::removeAllPendingRequestsForSpace(const std::string& space) {
    MutexLock guard(lock_);
    for (auto list = pendingAssetsToAdPrepareRequests_.begin(); list != pendingAssetsToAdPrepareRequests_.end();) {
        std::erase_if(list->second, [&](const PrepareRequest& request) {
            return request.cacheKey.adSpace() == space && showsByItself(request.timeout);
        });
        list = list->second.empty() ? pendingAssetsToAdPrepareRequests_.erase(list) : std::next(list);
    }
}

void VuderuAdManager::assetPreCachingDone(const VuderuCachedAssetPtr& asset) {
    auto self = std::static_pointer_cast<VuderuAdManager>(shared_from_this());
    onMainThread([self, asset] { self->assetPreCachingDoneMainThread(asset); });
}

void VuderuAdManager::assetPreCachingFailed(const VuderuCachedAssetPtr& asset) {
    auto self = std::static_pointer_cast<VuderuAdManager>(shared_from_this());
    onMainThread([self, asset] { self->assetPreCachingFailedMainThread(asset); });
}

void VuderuAdManager::assetPreCachingCancelled(const VuderuCachedAssetPtr& asset) {
    auto self = std::static_pointer_cast<VuderuAdManager>(shared_from_this());
    onMainThread([self, asset] { self->assetPreCachingCancelledMainThread(asset); });
}

void VuderuAdManager::assetPreCachingDoneMainThread(const VuderuCachedAssetPtr& asset) {
    if (!asset) return;
    for (const auto& request : takePendingAssetRequests(asset->assetUrlPath())) {
        adsAvailableForSpaceViewContainerTimeout(request.cacheKey.adSpace(), request.viewContainer, request.timeout, request.askedAt);
    }
}

void VuderuAdManager::dropHeldBackUnits(const std::string& assetUrl) {
    for (const auto& request : takePendingAssetRequests(assetUrl)) {
        VuderuAdCache::removeAdUnit(request.adUnit);
        if (endedByRemoval(request.cacheKey.adSpace(), request.timeout, request.askedAt)) continue;
        if (VuderuAdCache::validatedCacheCountForKey(request.cacheKey) > 0) {
            adsAvailableForSpaceViewContainerTimeout(request.cacheKey.adSpace(), request.viewContainer, request.timeout, request.askedAt);
        } else if (auto delegate = VuderuAds::getAdDelegate()) {
            delegate->spaceDidFailToReceiveAdError(request.cacheKey.adSpace(), nullptr);
        }
    }
}

void VuderuAdManager::assetPreCachingFailedMainThread(const VuderuCachedAssetPtr& asset) {
    if (asset) dropHeldBackUnits(asset->assetUrlPath());
}

void VuderuAdManager::assetDownloadTimeoutForAsset(const std::string& assetUrl) {
    VuderuLogAbove(1, "%s: asset to pre-cache %@", "assetDownloadTimeoutForAsset", assetUrl);
    dropHeldBackUnits(assetUrl);
}

void VuderuAdManager::assetPreCachingCancelledMainThread(const VuderuCachedAssetPtr& asset) {
    if (!asset) return;
    for (const auto& request : takePendingAssetRequests(asset->assetUrlPath())) {
        VuderuAdCache::removeAdUnit(request.adUnit);
        if (endedByRemoval(request.cacheKey.adSpace(), request.timeout, request.askedAt)) continue;
        if (auto delegate = VuderuAds::getAdDelegate()) delegate->spaceDidFailToReceiveAdError(request.cacheKey.adSpace(), nullptr);
    }
}

void VuderuAdManager::primeVideoCacheForSpace(const std::string& space) {
    auto cache = VuderuContentLoadingManager::sharedInstance();
    const auto units = VuderuAdCache::allCachedAdUnitsForKey(VuderuCacheKey::withSpace(space));
    struct Selected {
        std::string url;
        std::int64_t expiry;
    };
    std::vector<Selected> selected;
    int qualifying = 0;
    for (const auto& unit : units) {
        for (const auto& frame : unit ? unit->adFrames() : std::vector<VuderuAdFramePtr>{}) {
            if (qualifying >= 2) break;
            if (!frame || !isCacheableValue(frame->cachingEnum())) continue;
            const bool hasVast = vastManagerForAdGuid(frame->adLogGUID()) != nullptr;
            if (!hasVast && frame->binding() != VuderuAdFrame::kVideo) continue;
            ++qualifying;
            auto url = getMediaAssetUrlFromAdFrame(frame);
            if (!url || url->empty()) continue;
            if (isAssetCached(*url) || cache->isLoadPending(cache->getResourceId(*url))) continue;
            selected.push_back({*url, frame->assetExpiration()});
        }
    }
    const Value::Dictionary tags{{"removalType", Value(std::string(kLruRemovable))}};
    auto self = std::static_pointer_cast<VuderuAdManager>(shared_from_this());
    for (const auto& s : selected) {
        cache->cachedAssetForPath(s.url, std::nullopt, true, true, std::nullopt, static_cast<double>(s.expiry), tags,
                                  std::weak_ptr<VuderuPreCachingDelegate>(self));
    }
}

bool VuderuAdManager::activeAssetMissing(const IVuderuAdPtr& ad) const {
    auto asset = getCacheableAssetFromAdUnitRestrictCacheOnly(ad ? ad->activeAdUnit() : nullptr, true);
    return asset && !isAssetCached(*asset);
}
