#include "sdk/ads/VuderuAdCache.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuAds.h"
#include "sdk/ads/VuderuAdUtil.h"
#include "sdk/analytics/VuderuLog.h"

std::size_t VuderuAdManager::adUnitCountForSpace(const std::string& space) const {
    return VuderuAdCache::validatedCacheCountForKey(VuderuCacheKey(space, VuderuAdUtil::getScreenOrientation()));
}

// The ad-space view that a taken unit goes into is not part of this library yet; the requests
// answer as when no unit could be taken, so that their callers keep their own behaviour.
IVuderuAdPtr VuderuAdManager::prepareAdForSpaceViewContainerNotification(const std::string& space, const std::shared_ptr<NSObject>&,
                                                                         std::int64_t notification) {
    VuderuLog("VuderuAdManager: no ad view to prepare for space %@ (notification %lld)", space, static_cast<long long>(notification));
    return nullptr;
}

IVuderuAdPtr VuderuAdManager::showNewAdForSpaceViewContainerTimeout(const std::string& space, const std::shared_ptr<NSObject>&,
                                                                    std::int64_t timeout) {
    VuderuLog("VuderuAdManager: no ad view to show for space %@ (timeout %lld)", space, static_cast<long long>(timeout));
    return nullptr;
}

void VuderuAdManager::delayNewAdForSpaceGuidViewContainerDelay(const std::string& space, const std::string& guid,
                                                               const std::shared_ptr<NSObject>&, std::int64_t delay) {
    VuderuLog("VuderuAdManager: no refresh timer for space %@ (guid %@, delay %lld)", space, guid, static_cast<long long>(delay));
}

bool VuderuAdManager::timerStartedForSpace(const std::string& space) const {
    std::lock_guard guard(lock_);
    return adSpaceToTimerMap_.count(space) > 0;
}

void VuderuAdManager::adsAvailableForSpaceViewContainerTimeout(const std::string& space, const std::shared_ptr<NSObject>& container,
                                                               std::int64_t timeout) {
    prepareAdForSpaceViewContainerNotification(space, container, timeout);
}

void VuderuAdManager::adsNotAvailableForSpaceViewContainerTimeoutError(const std::string& space, const std::shared_ptr<NSObject>&,
                                                                       std::int64_t timeout, const NSErrorPtr& error) {
    auto delegate = VuderuAds::getAdDelegate();
    if (!delegate) return;
    delegate->spaceDidFailToReceiveAdError(space, error);
    if (timeout == 0) delegate->spaceDidFailToRenderError(space, error);
}
