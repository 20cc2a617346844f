// Showing prepared ads: the ready report, the swap of a space's ad, the refill after a show, and
// the refresh timer. The manager's lock guards its tables one step at a time: the host's delegate,
// the ads' events and the ad logs all run outside it, as they take locks of their own.

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSRunLoop.h"
#include "platform/foundation/NSThread.h"
#include "platform/foundation/NSTimer.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIWindow.h"
#include "sdk/ads/AdLogManager.h"
#include "sdk/ads/VuderuAdCache.h"
#include "sdk/ads/VuderuAdError.h"
#include "sdk/ads/VuderuAdLog.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuAds.h"
#include "sdk/ads/VuderuFieldLookup.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

#include <algorithm>
#include <charconv>

namespace {

std::int64_t sessionOffset() {
    auto text = VuderuFieldLookup::getStringValueForFieldEncodeForUrl("so", false).value_or("0");
    std::int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

void logDisplay(const IVuderuAdPtr& ad) {
    auto frame = ad->adFrame();
    if (!frame) return;
    auto logs = AdLogManager::instance();
    if (auto log = logs->getAdLog(frame->adLogGUID())) {
        auto event = std::make_shared<VuderuAdEvent>(VuderuAdEvent::kRequested, std::nullopt, nullptr, sessionOffset());
        event->setToBeSent(true);
        log->logAdEvent(event);
    } else {
        logs->storeAdLog(VuderuAdLog::adLogWithAdEventId(VuderuAdEvent::kRequested, frame->adLogGUID()));
    }
}

} // namespace

void VuderuAdManager::adReadyForDisplay(const IVuderuAdPtr& ad) {
    // An ad whose space was removed while it was being prepared is neither reported nor shown.
    if (!ad || isWithdrawn(ad)) return;
    const std::string space = ad->space();
    const bool show = ad->displayWhenReady();
    const Generation askedAt = showAskedAt(ad);
    if (show && endedByRemoval(space, ad->notificationFlag(), askedAt)) {
        // Made for a show asked before a removal of its space but pending only after it: it goes.
        VuderuLog("VuderuAds: space [%@] was removed after its ad was asked for; the ad is not shown", space);
        removePendingAd(ad);
        ad->withdraw();
        return;
    }
    VuderuLog("Ad ready for display for space %@", space);
    if (ad->notificationFlag() != 3) {
        if (auto delegate = VuderuAds::getAdDelegate()) delegate->spaceDidReceiveAd(space);
    }
    if (show) displayAd(ad, askedAt);
}

bool VuderuAdManager::isPending(const IVuderuAdPtr& ad) const {
    MutexLock guard(lock_);
    return std::find(pendingAdArray_.begin(), pendingAdArray_.end(), ad) != pendingAdArray_.end();
}

bool VuderuAdManager::delegateAllowsDisplay(const IVuderuAdPtr& ad) {
    auto delegate = VuderuAds::getAdDelegate();
    if (!delegate) return true;
    const std::string space = ad->space();
    bool allowed = delegate->spaceShouldDisplayForType(space, getAdType(ad->adFrame())).value_or(true);
    if (auto interstitial = delegate->spaceShouldDisplayInterstitial(space, ad->activeFrameTakeover())) allowed = *interstitial;
    return allowed;
}

bool VuderuAdManager::displayAd(const IVuderuAdPtr& ad) {
    if (!ad) return false;
    return displayAd(ad, spaceGeneration(ad->space()));
}

bool VuderuAdManager::displayAd(const IVuderuAdPtr& ad, Generation askedAt) {
    if (!ad) return false;
    // Shows and removals change the view tree, which is the main thread's: there they run one at a
    // time, in the order they were asked for, and a show asked before a removal of its space finds
    // the generation moved on when it runs.
    if (!NSThread::isMainThread()) {
        dispatch_async(dispatch_get_main_queue(), [ad, askedAt] { VuderuAdManager::instance()->displayAd(ad, askedAt); });
        return false;
    }
    const std::string space = ad->space();
    if (isWithdrawn(ad) || askedAt < spaceGeneration(space)) {
        VuderuLog("VuderuAds: space [%@] was removed after its ad was asked for; the ad is not shown", space);
        return false;
    }
    VuderuLog("Display ad for space %@", space);
    auto delegate = VuderuAds::getAdDelegate();
    if (ad->notificationFlag() != 3) {
        if (VuderuUtil::isKeyWindowAlertView()) {
            if (delegate) {
                auto window = UIApplication::sharedApplication()->keyWindow();
                std::string className = window ? window->className() : std::string();
                delegate->spaceDidFailToRenderError(
                    space, VuderuAdError::adErrorWithCodeDescription(
                               kVuderuAdErrorCannotDisplay,
                               NSString::stringWithFormat("VuderuAds: space [%@] cannot be displayed on current key window [%@]", space, className)));
            }
            return false;
        }
        if (activeAssetMissing(ad)) {
            removePendingAd(ad);
            if (delegate) {
                delegate->spaceDidFailToRenderError(
                    space, VuderuAdError::adErrorWithCodeDescription(
                               kVuderuAdErrorCannotDisplay,
                               NSString::stringWithFormat("VuderuAds: space [%@] current ad has expired and cannot be displayed", space)));
            }
            return false;
        }
    }
    auto registered = adForSpace(space);
    if (registered == ad) {
        ad->renderView();
        return true;
    }
    if (!isPending(ad)) {
        VuderuLog("Pending ad not found. Ad removed from eligble list.");
        return false;
    }
    if (registered && !registered->canBeRefreshed()) {
        VuderuLog("Current ad cannot be refreshed. This indicates it is a banner in the expanded state, a rendered takeover or the app is in the background. ");
        return false;
    }
    if (ad->notificationFlag() != 3 && !delegateAllowsDisplay(ad)) return false;
    // The host may have removed the space while it was asked: nothing is logged for the ad then.
    if (isWithdrawn(ad) || askedAt < spaceGeneration(space)) return false;
    logDisplay(ad);
    if (registered) registered->setNotificationFlag(3);
    deRegisterAdForSpace(space);
    // The replaced ad's removal ran the host's delegate: the space may have been removed since,
    // withdrawing this ad, or shown by another ad.
    switch (claimSpace(ad, space, askedAt)) {
    case Claim::kClaimed: break;
    case Claim::kSpaceRemoved: return false;
    case Claim::kNotPending:
        VuderuLog("Pending ad not found. Ad removed from eligble list.");
        return false;
    case Claim::kSpaceTaken:
        VuderuLog("Duplicate registration for the same ad space. This should not happen.");
        return false;
    }
    ad->renderView();
    // A removal of the space while the ad rendered (its own actions, the host, another thread)
    // took it down: it is not put in its container and nothing is reported.
    if (adForSpace(space) != ad) return false;
    if (auto parent = ad->parentView(); parent && ad->adView()) parent->addSubview(ad->adView());
    if (delegate) delegate->spaceDidRenderInterstitial(space, ad->activeFrameTakeover());
    std::shared_ptr<NSObject> container = ad->parentViewContainersView();
    if (!container) {
        auto stub = std::make_shared<UIView>(CGRect{});
        MutexLock guard(lock_);
        StubView_ = stub;
        container = stub;
    }
    refreshIfEmptyAdSpaceViewContainer(space, container);
    return true;
}

void VuderuAdManager::refreshIfEmptyAdSpaceViewContainer(const std::string& space, const std::shared_ptr<NSObject>& container) {
    const VuderuCacheKey key = VuderuCacheKey::withSpace(space);
    if (VuderuAdCache::validatedCacheCountForKey(key) > 0) return;
    VuderuAdCache::adUnitForKeyViewContainerCacheRetrievalPolicyError(key, container, *VuderuCacheRetrievalPolicy::defaultPolicy(), nullptr);
}

void VuderuAdManager::delayNewAdForSpaceGuidViewContainerDelay(const std::string& space, const std::string& guid,
                                                               const std::shared_ptr<NSObject>& container, std::int64_t delay) {
    // The ad answers under its own lock, so it is asked before the manager's is taken.
    auto registered = adForSpace(space);
    if (!registered || !registered->isGuidActive(guid)) {
        VuderuLog("Not setting up refresh for adSpace [%@] as it is not an active ad.", space);
        return;
    }
    MutexLock guard(lock_);
    auto existing = adSpaceToTimerMap_.find(space);
    if (existing != adSpaceToTimerMap_.end() && existing->second) existing->second->invalidate();
    std::weak_ptr<VuderuAdManager> weak = instance();
    auto timer = NSTimer::timerWithTimeInterval(
        static_cast<double>(delay), true,
        [weak](const std::shared_ptr<NSTimer>& fired) {
            if (auto manager = weak.lock()) manager->refreshActiveAdSpace(fired);
        },
        Value::Dictionary{{"adSpace", Value(space)}, {"viewContainer", container ? Value(container) : Value()}});
    NSRunLoop::currentRunLoop()->addTimer(timer, NSDefaultRunLoopMode);
    adSpaceToTimerMap_[space] = timer;
}

void VuderuAdManager::refreshActiveAdSpace(const std::shared_ptr<NSTimer>& timer) {
    // No lock: the show asks the ad, the cache and perhaps the server, and the user info is fixed.
    const std::string space = timer->userInfo()["adSpace"].stringValue();
    const Value& container = timer->userInfo()["viewContainer"];
    VuderuLog("Attempting to refresh ad for adSpace %@", space);
    auto registered = adForSpace(space);
    if (registered && registered->canBeRefreshed()) {
        showNewAdForSpaceViewContainerTimeout(space, container.isObject() ? container.object() : nullptr, 3);
    } else {
        VuderuLog("Current ad cannot be refreshed. This indicates it is a banner in the expanded state or a rendered takeover.");
    }
}
