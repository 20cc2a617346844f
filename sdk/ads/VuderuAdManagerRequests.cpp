// The ad manager's requests for the next ad of a space: taking a unit, preparing its view,
// reporting what could not be had, and the cache's reports.

#include "platform/dispatch/dispatch.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIViewController.h"
#include "sdk/ads/AdLogManager.h"
#include "sdk/ads/VuderuAdCache.h"
#include "sdk/ads/VuderuAdError.h"
#include "sdk/ads/VuderuAdLog.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuAdUtil.h"
#include "sdk/ads/VuderuAds.h"
#include "sdk/analytics/VuderuLog.h"

namespace {

struct Makers {
    Mutex lock;
    VuderuAdManager::AdViewMaker maker TD_GUARDED_BY(lock);
    VuderuAdManager::AdTypeOf adType TD_GUARDED_BY(lock);
};

Makers& makers() {
    static Makers shared;
    return shared;
}

VuderuAdManager::AdViewMaker adViewMaker() {
    MutexLock guard(makers().lock);
    return makers().maker;
}

const char* const kNoAdsForSpace = "VuderuAds: No ads available for this space.";
const char* const kNoAdsFromServer = "VuderuAds: No ads available from server for this space.";

} // namespace

void VuderuAdManager::registerAdViewMaker(AdViewMaker maker, AdTypeOf adType) {
    MutexLock guard(makers().lock);
    makers().maker = std::move(maker);
    makers().adType = std::move(adType);
}

std::int32_t VuderuAdManager::getAdType(const VuderuAdFramePtr& frame) {
    VuderuAdManager::AdTypeOf adType;
    {
        MutexLock guard(makers().lock);
        adType = makers().adType;
    }
    return adType ? adType(frame) : 0;
}

std::size_t VuderuAdManager::adUnitCountForSpace(const std::string& space) const {
    return VuderuAdCache::validatedCacheCountForKey(VuderuCacheKey(space, VuderuAdUtil::getScreenOrientation()));
}

void VuderuAdManager::initialize(const std::shared_ptr<UIViewController>& rootViewController) {
    setRvc(rootViewController);
    VuderuAdCache::refreshCache(rootViewController ? std::shared_ptr<NSObject>(rootViewController->view()) : nullptr);
}

IVuderuAdPtr VuderuAdManager::prepareAdForSpaceViewContainerNotification(const std::string& space, const std::shared_ptr<NSObject>& container,
                                                                         std::int64_t notification) {
    return takeAndPrepare(space, container, notification, false, spaceGeneration(space));
}

IVuderuAdPtr VuderuAdManager::showNewAdForSpaceViewContainerTimeout(const std::string& space, const std::shared_ptr<NSObject>& container,
                                                                    std::int64_t timeout) {
    return takeAndPrepare(space, container, timeout, true, spaceGeneration(space));
}

IVuderuAdPtr VuderuAdManager::takeAndPrepare(const std::string& space, const std::shared_ptr<NSObject>& container, std::int64_t value,
                                             bool show, Generation askedAt) {
    primeVideoCacheForSpace(space);
    if (auto ready = fetchPendingAdForSpace(space)) {
        if (show) {
            ready->setDisplayWhenReady(true);
            ready->updateViewContainer(container);
            setShowAskedAt(ready, askedAt);
        }
        dispatch_async(dispatch_get_main_queue(), [ready] { VuderuAdManager::instance()->adReadyForDisplay(ready); });
        return ready;
    }
    const VuderuCacheKey key = VuderuCacheKey::withSpace(space);
    bool waiting = false;
    VuderuAdUnitPtr unit = fetchCachedAdUnitForKeyViewContainerTimeoutWaitingOnAdUnit(key, container, value, &waiting, askedAt);
    // A take may have waited for the server meanwhile: when the space was removed since, its unit
    // goes back to the front of the key for the next request, and nothing is reported.
    if (endedByRemoval(space, value, askedAt)) {
        if (unit) VuderuAdCache::addAdUnitForKeyAtIndex(unit, key, 0);
        return nullptr;
    }
    if (!unit) {
        reportNoUnit(key, value, waiting, show);
        return nullptr;
    }
    auto frame = unit->curAdFrame();
    if (frame && frame->binding() == VuderuAdFrame::kNothing) {
        // Resolved by the server when it is about to be shown; it waits at the front meanwhile.
        VuderuAdCache::instance()->fetchRealTimeAdFromserverRelatedToAdWithViewContainerTimeout(unit, container, value, askedAt);
        VuderuAdCache::addAdUnitForKeyAtIndex(unit, key, 0);
        return nullptr;
    }
    return prepareTakenUnit(space, container, unit, value, show, askedAt);
}

IVuderuAdPtr VuderuAdManager::prepareTakenUnit(const std::string& space, const std::shared_ptr<NSObject>& container,
                                               const VuderuAdUnitPtr& unit, std::int64_t value, bool show, Generation askedAt) {
    IVuderuAdPtr ad;
    NSErrorPtr error;
    if (auto maker = adViewMaker()) ad = maker(container, space);
    if (ad) {
        ad->setInitialOrientation(static_cast<std::int64_t>(UIApplication::sharedApplication()->statusBarOrientation()));
        ad->addAdUnit(unit);
        ad->setNotificationFlag(value);
        const bool displayWhenReady = show || value == 0 || value == 3;
        if (displayWhenReady) ad->setDisplayWhenReady(true);
        addPendingAd(ad, displayWhenReady ? std::optional<Generation>(askedAt) : std::nullopt);
        if (ad->prepareAdForDisplay(&error)) return ad;
        removePendingAd(ad);
    } else {
        VuderuLogAbove(0, "VuderuAdManager: no ad view can be made for space %@", space);
    }
    if (endedByRemoval(space, value, askedAt)) return nullptr;
    auto registered = adForSpace(space);
    if (value == 3 && registered && registered->adRendered()) return nullptr;
    auto delegate = VuderuAds::getAdDelegate();
    if (!delegate) return nullptr;
    if (!show || !ad || !error) error = VuderuAdError::adErrorWithCodeDescription(kVuderuAdErrorNoAds, kNoAdsForSpace);
    delegate->spaceDidFailToReceiveAdError(space, error);
    return nullptr;
}

void VuderuAdManager::reportNoUnit(const VuderuCacheKey& key, std::int64_t value, bool waiting, bool show) {
    if (value != 0) AdLogManager::instance()->storeAdLog(VuderuAdLog::adLogWithAdEventId(VuderuAdEvent::kUnfilled, std::nullopt));
    auto delegate = VuderuAds::getAdDelegate();
    if (!delegate) return;
    if (!show) {
        // With no valid unit left the cache has started a fetch, whose outcome reports later.
        if (VuderuAdCache::validatedCacheCountForKey(key) > 0 && !waiting && value != 3) delegate->spaceDidFailToReceiveAdError(key.adSpace(), nullptr);
    } else if (value != 0 && value != 3) {
        delegate->spaceDidFailToReceiveAdError(key.adSpace(), nullptr);
        delegate->spaceDidFailToRenderError(key.adSpace(), VuderuAdError::adErrorWithCodeDescription(kVuderuAdErrorNoAds, kNoAdsFromServer));
    }
}

bool VuderuAdManager::timerStartedForSpace(const std::string& space) const {
    MutexLock guard(lock_);
    return adSpaceToTimerMap_.count(space) > 0;
}

void VuderuAdManager::adsAvailableForSpaceViewContainerTimeout(const std::string& space, const std::shared_ptr<NSObject>& container,
                                                               std::int64_t timeout, std::optional<Generation> askedAt) {
    const Generation asked = askedAt.value_or(spaceGeneration(space));
    if (endedByRemoval(space, timeout, asked)) {
        VuderuLog("VuderuAds: space [%@] was removed after its ad was asked for; the ad is not shown", space);
        return;
    }
    takeAndPrepare(space, container, timeout, false, asked);
}

void VuderuAdManager::adsNotAvailableForSpaceViewContainerTimeoutError(const std::string& space, const std::shared_ptr<NSObject>&,
                                                                       std::int64_t timeout, const NSErrorPtr& error,
                                                                       std::optional<Generation> askedAt) {
    if (askedAt && endedByRemoval(space, timeout, *askedAt)) return;
    auto delegate = VuderuAds::getAdDelegate();
    if (!delegate) return;
    delegate->spaceDidFailToReceiveAdError(space, error);
    if (timeout == 0) delegate->spaceDidFailToRenderError(space, error);
}

bool VuderuAdManager::isAdAvailableForSpaceViewTimeout(const std::string& space, const std::shared_ptr<NSObject>& view, std::int64_t timeout) {
    NSErrorPtr error;
    bool available = VuderuAdCache::isAdAvailableForKeyViewTimeoutError(VuderuCacheKey::withSpace(space), view, timeout, &error);
    if (!available && error) {
        if (auto delegate = VuderuAds::getAdDelegate()) delegate->spaceDidFailToReceiveAdError(space, error);
    }
    return available;
}

std::shared_ptr<std::vector<VuderuAdUnitPtr>> VuderuAdManager::fetchAdUnitsForSpaceMinimumMaximum(const std::string& space, std::int32_t minimum,
                                                                                                 std::int32_t maximum) {
    const VuderuCacheKey key = VuderuCacheKey::withSpace(space);
    const auto count = static_cast<std::int64_t>(VuderuAdCache::validatedCacheCountForKey(key));
    if (minimum < 1 || count < minimum - 1) return nullptr;
    auto units = std::make_shared<std::vector<VuderuAdUnitPtr>>();
    auto policy = VuderuCacheRetrievalPolicy::defaultPolicy();
    policy->setRemoveFromCache(true);
    const std::int64_t wanted = std::min<std::int64_t>(maximum, count);
    // From the cache only: without a container no fetch may start, so the takes stop when it runs dry.
    for (std::int64_t i = 0; i < wanted; ++i) {
        auto unit = VuderuAdCache::cachedAdUnitForKeyCacheRetrievalPolicy(key, *policy);
        if (!unit) break;
        units->push_back(unit);
    }
    return units;
}
