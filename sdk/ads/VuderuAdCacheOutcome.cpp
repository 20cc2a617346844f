// What the ad-unit cache does with the outcome of each fetch: stores served units and their
// caps, resolves render-time units, wakes the take that waits for the fetch, and tells the ad
// manager on the main thread.

#include "sdk/ads/VuderuAdCache.h"

#include "platform/foundation/NSRunLoop.h"

#include "platform/dispatch/dispatch.h"
#include "sdk/ads/AdLogManager.h"
#include "sdk/ads/VuderuAdAction.h"
#include "sdk/ads/VuderuAdError.h"
#include "sdk/ads/VuderuAdEvent.h"
#include "sdk/ads/VuderuAdLog.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuFreqCapManager.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

namespace {

std::shared_ptr<VuderuCacheKey> outcomeKeyOf(const Value& params) { return params["cacheKey"].objectAs<VuderuCacheKey>(); }

// The generation of the space the fetch's request was asked in, which the ad manager checks.
std::optional<std::uint64_t> spaceGenerationOf(const Value& params) {
    const Value& generation = params["spaceGeneration"];
    if (!generation.isInteger()) return std::nullopt;
    return static_cast<std::uint64_t>(generation.integerValue());
}

VuderuAdCache::Container containerOf(const Value& params) {
    const Value& container = params["viewContainer"];
    return container.isObject() ? container.object() : nullptr;
}

// Whether the frame answers "unfilled" with an action naming "nextAdUnit".
bool unfilledNamesNextAdUnit(const VuderuAdFramePtr& frame) {
    if (!frame || !frame->adCallbacks()) return false;
    auto found = frame->adCallbacks()->find(VuderuAdEvent::adEventEnumToString(VuderuAdEvent::kUnfilled));
    if (found == frame->adCallbacks()->end() || !found->second) return false;
    for (const auto& action : found->second->actions()) {
        std::string name;
        VuderuUtil::createParamKeysDictFromUrlParams(action, &name, nullptr);
        if (VuderuAdAction::adActionStringToEnum(name) == VuderuAdAction::kNextAdUnit) return true;
    }
    return false;
}

} // namespace

void VuderuAdCache::fetchReported(const Value& params, std::function<void()> onMainThread) {
    loadAdCondition_.lock();
    const Value& fetchId = params["fetchId"];
    const bool own = waitingFetchId_ != 0 && fetchId.isInteger() && fetchId.integerValue() == waitingFetchId_;
    if (own) {
        waitingFetchReported_ = true;
        heldReport_ = std::move(onMainThread);
        onMainThread = nullptr;
    }
    loadAdCondition_.signal();
    loadAdCondition_.unlock();
    // A take waiting on the main thread waits in the main run loop, not on the condition.
    if (own) NSRunLoop::mainRunLoop()->wakeUp();
    if (onMainThread) dispatch_async(dispatch_get_main_queue(), std::move(onMainThread));
}

void VuderuAdCache::notifyAdDidLoad(const Value& params) {
    const Value& timeout = params["timeout"];
    auto key = outcomeKeyOf(params);
    if (!timeout.isInteger() || timeout.integerValue() == 1 || !key) return fetchReported(params, nullptr);
    auto container = containerOf(params);
    const std::int64_t value = timeout.integerValue();
    const auto generation = spaceGenerationOf(params);
    fetchReported(params, [key, container, value, generation] {
        auto manager = VuderuAdManager::instance();
        if (validatedCacheCountForKey(*key) > 0) {
            manager->adsAvailableForSpaceViewContainerTimeout(key->adSpace(), container, value, generation);
        } else {
            manager->adsNotAvailableForSpaceViewContainerTimeoutError(
                key->adSpace(), container, value,
                VuderuAdError::adErrorWithCodeDescription(kVuderuAdErrorNoAds, "VuderuAds: No ads available from server for this space."),
                generation);
        }
    });
}

void VuderuAdCache::notifyRequestFailed(const Value& params, const NSErrorPtr& error) {
    const Value& timeout = params["timeout"];
    auto key = outcomeKeyOf(params);
    if (!timeout.isInteger() || timeout.integerValue() == 1 || !key) return fetchReported(params, nullptr);
    auto container = containerOf(params);
    const std::int64_t value = timeout.integerValue();
    NSErrorPtr reported = error ? error
                                : NSErrorPtr(VuderuAdError::adErrorWithCodeDescription(kVuderuAdErrorRequestFailed,
                                                                                       "VuderuAds: Ad request to server failed."));
    const auto generation = spaceGenerationOf(params);
    fetchReported(params, [key, container, value, reported, generation] {
        VuderuAdManager::instance()->adsNotAvailableForSpaceViewContainerTimeoutError(key->adSpace(), container, value, reported, generation);
    });
}

void VuderuAdCache::removeAndReportAdUnit(const VuderuAdUnitPtr& unit) {
    removeAdUnit(unit);
    auto frame = unit ? firstElementFromArray(unit->adFrames()) : nullptr;
    auto logManager = AdLogManager::instance();
    logManager->storeAdLog(VuderuAdLog::adLogWithAdEventId(VuderuAdEvent::kUnfilled,
                                                           frame ? std::optional<std::string>(frame->adLogGUID()) : std::nullopt));
    logManager->sendAdLogsAsync();
}

void VuderuAdCache::requestSuccessfulWithParams(const std::vector<VuderuAdUnitPtr>& units, const Value& params) {
    auto key = outcomeKeyOf(params);
    auto manager = VuderuAdManager::instance();
    const bool refreshed = key && manager->timerStartedForSpace(key->adSpace());
    if (params["requestTime"].stringValue() == "renderTime") {
        auto old = params["adUnit"].objectAs<VuderuAdUnit>();
        if (!units.empty()) {
            findAndReplaceWithNewAdUnit(old, units.front());
            notifyAdDidLoad(params);
        } else {
            removeAndReportAdUnit(old);
            auto first = old ? firstElementFromArray(old->adFrames()) : nullptr;
            const bool next = unfilledNamesNextAdUnit(first);
            const bool banner = first && first->adSpaceLayout() && first->adSpaceLayout()->format() == "banner";
            if (next) {
                notifyAdDidLoad(params);
            } else if (!(banner && refreshed)) {
                notifyRequestFailed(params, VuderuAdError::adErrorWithCodeDescription(
                                                kVuderuAdErrorNoAds, "VuderuAds: No render time ad received for this space."));
            }
        }
    } else if (!units.empty()) {
        addAdUnits(units);
        VuderuFreqCapManager::storeFreqCapInfoForAdUnits(units);
        notifyAdDidLoad(params);
    } else if (!manager->sdkAssetUrlUpdated() && !refreshed) {
        notifyRequestFailed(params, nullptr);
    }
    if (manager->sdkAssetUrlUpdated()) fetchSdkAssetBundle();
}

void VuderuAdCache::requestDidFailError(const Value& params, const NSErrorPtr& error) {
    removeAndReportAdUnit(params["adUnit"].objectAs<VuderuAdUnit>());
    notifyRequestFailed(params, error);
}
