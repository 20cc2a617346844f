#include "sdk/ads/VuderuAdsImpl.h"

#include "platform/foundation/NSThread.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "sdk/ads/AdLogManager.h"
#include "sdk/ads/VuderuAdError.h"
#include "sdk/ads/VuderuAdManager.h"
#include "sdk/ads/VuderuAdUtil.h"
#include "sdk/ads/VuderuAds.h"
#include "sdk/ads/VuderuContentLoadingManager.h"
#include "sdk/ads/VuderuFreqCapManager.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuUtil.h"

namespace {

std::string shown(const VuderuAdsImpl::Space& space) { return space ? *space : std::string("(null)"); }
bool invalid(const VuderuAdsImpl::Space& space) { return !space || space->empty(); }

std::string described(const std::shared_ptr<NSObject>& object) { return object ? object->description() : std::string("(null)"); }

NSErrorPtr adError(unsigned code, const std::string& text) { return VuderuAdError::adErrorWithCodeDescription(code, text); }

void failReceive(const std::string& space, const NSErrorPtr& error) {
    if (auto delegate = VuderuAds::getAdDelegate()) delegate->spaceDidFailToReceiveAdError(space, error);
}

void failRender(const std::string& space, const NSErrorPtr& error) {
    if (auto delegate = VuderuAds::getAdDelegate()) delegate->spaceDidFailToRenderError(space, error);
}

void failBoth(const std::string& space, const NSErrorPtr& error) {
    failReceive(space, error);
    failRender(space, error);
}

NSErrorPtr keyWindowError(const std::string& space) {
    auto window = UIApplication::sharedApplication()->keyWindow();
    return adError(kVuderuAdErrorCannotDisplay, NSString::stringWithFormat("VuderuAds: space [%@] cannot be displayed on current key window [%@]",
                                                                           space, window ? window->className() : std::string("(null)")));
}

void createSingletons() {
    AdLogManager::instance();
    VuderuFreqCapManager::setup();
    VuderuContentLoadingManager::instance();
}

} // namespace

std::shared_ptr<VuderuAdsImpl> VuderuAdsImpl::instance() {
    static const auto shared = std::make_shared<VuderuAdsImpl>();
    return shared;
}

VuderuAdsImpl::VuderuAdsImpl() {
    VuderuAdUtil::initUserAgent();
    if (VuderuUtil::getSystemVersionAsAnInteger() < 40000) {
        createSingletons();
        std::lock_guard guard(lock_);
        stateInitialized_ = true;
        return;
    }
    queue_ = dispatch_queue_create("com.Vuderu.AdsImpl", DISPATCH_QUEUE_SERIAL);
    dispatch_async(queue_, [] {
        createSingletons();
        dispatch_async(dispatch_get_main_queue(), [] { VuderuAdsImpl::instance()->setUpFinished(); });
    });
}

bool VuderuAdsImpl::isStateInitialized() const {
    std::lock_guard guard(lock_);
    return stateInitialized_;
}

void VuderuAdsImpl::forward(std::function<void()> call) {
    {
        std::lock_guard guard(lock_);
        if (!stateInitialized_) {
            pendingInvocations_.push_back(std::move(call));
            return;
        }
    }
    call();
}

void VuderuAdsImpl::setUpFinished() {
    // Calls that arrive while the replay runs (from other threads, or from the replayed calls
    // themselves) join the list and run after it; only an empty list ends the replay.
    while (true) {
        std::vector<std::function<void()>> batch;
        {
            std::lock_guard guard(lock_);
            if (pendingInvocations_.empty()) {
                stateInitialized_ = true;
                return;
            }
            batch.swap(pendingInvocations_);
        }
        for (auto& call : batch) call();
    }
}

void VuderuAdsImpl::forwarded_initialize(const std::shared_ptr<UIViewController>& rootViewController) {
    VuderuAdManager::instance()->initialize(rootViewController);
}

void VuderuAdsImpl::forwarded_fetchAdForSpaceFrameSize(const Space& space, const CGRect& frame, std::int32_t size) {
    if (invalid(space)) {
        std::string text = NSString::stringWithFormat("VuderuAds: invalid space [%@] passed in", shown(space));
        VuderuLog("%@", text);
        failReceive(shown(space), adError(kVuderuAdErrorInvalidSpace, text));
        return;
    }
    VuderuAdManager::setupDefaultsForAdSpaceSize(*space, size);
    VuderuAdManager::instance()->prepareAdForSpaceViewContainerNotification(*space, std::make_shared<UIView>(frame), 2);
}

void VuderuAdsImpl::displayPendingAd(const std::string& space, const std::shared_ptr<NSObject>& container, bool checkKeyWindow) {
    if (!VuderuAds::adReadyForSpace(space)) {
        failRender(space, adError(kVuderuAdErrorNotReady, NSString::stringWithFormat("VuderuAds: Ad is not ready for display for space [%@]", space)));
        return;
    }
    if (checkKeyWindow && VuderuUtil::isKeyWindowAlertView() && VuderuAds::getAdDelegate()) {
        failRender(space, keyWindowError(space));
        return;
    }
    auto manager = VuderuAdManager::instance();
    auto ad = manager->fetchPendingAdForSpace(space);
    if (!ad) return;
    // The show is asked now: a removal of the space before it runs ends it.
    const auto askedAt = manager->spaceGeneration(space);
    // The ad is pointed at the view where it is shown: on the main thread (VuderuAdManager::displayAd).
    auto show = [ad, container, askedAt] {
        auto manager = VuderuAdManager::instance();
        if (askedAt < manager->spaceGeneration(ad->space())) return;
        ad->updateViewContainer(container);
        manager->displayAd(ad, askedAt);
    };
    if (NSThread::isMainThread()) show();
    else dispatch_async(dispatch_get_main_queue(), show);
}

void VuderuAdsImpl::forwarded_displayAdForSpaceOnView(const Space& space, const std::shared_ptr<UIView>& view) {
    displayPendingAd(space.value_or(""), view, true);
}

void VuderuAdsImpl::forwarded_displayAdForSpaceModallyForViewController(const Space& space,
                                                                      const std::shared_ptr<UIViewController>& controller) {
    displayPendingAd(space.value_or(""), controller, false);
}

void VuderuAdsImpl::forwarded_fetchAndDisplayAdForSpaceViewSize(const Space& space, const std::shared_ptr<UIView>& view, std::int32_t size) {
    if (invalid(space) || !view) {
        std::string text = NSString::stringWithFormat("VuderuAds: invalid space [%@] or view [%@] passed in", shown(space), described(view));
        VuderuLog("%@", text);
        failBoth(shown(space), adError(kVuderuAdErrorInvalidSpace, text));
        return;
    }
    if (VuderuUtil::isKeyWindowAlertView()) {
        failBoth(*space, keyWindowError(*space));
        return;
    }
    VuderuAdManager::setupDefaultsForAdSpaceSize(*space, size);
    VuderuAdManager::instance()->showNewAdForSpaceViewContainerTimeout(*space, view, 0);
}

void VuderuAdsImpl::forwarded_removeAdFromSpace(const Space& space) {
    if (invalid(space)) {
        VuderuLog("VuderuAds: invalid space [%@]", shown(space));
        return;
    }
    // The shown ad goes with notification value -1, and what is under way to show in the space
    // ends with it; an ad the host fetched stays for its own display call.
    VuderuAdManager::instance()->removeSpace(*space);
}

bool VuderuAdsImpl::adReadyForSpace(const Space& space) {
    if (invalid(space)) {
        VuderuLog("VuderuAds: invalid space [%@] passed in", shown(space));
        return false;
    }
    auto ad = VuderuAdManager::instance()->fetchPendingAdForSpace(*space);
    return ad && ad->readyForDisplay();
}

bool VuderuAdsImpl::isAdAvailableForSpaceViewSizeTimeout(const Space& space, const std::shared_ptr<UIView>& view, std::int32_t size,
                                                        std::int64_t timeout) {
    if (invalid(space) || !view) {
        std::string text = NSString::stringWithFormat("VuderuAds: invalid space [%@] or view [%@] passed in", shown(space), described(view));
        VuderuLog("%@", text);
        failReceive(shown(space), adError(kVuderuAdErrorInvalidSpace, text));
        return false;
    }
    if (!isStateInitialized()) {
        VuderuLog("VuderuAds: Init in progress");
        failBoth(*space, adError(kVuderuAdErrorInitInProgress, "VuderuAds: Init in progress"));
        return false;
    }
    VuderuAdManager::setupDefaultsForAdSpaceSize(*space, size);
    return VuderuAdManager::instance()->isAdAvailableForSpaceViewTimeout(*space, view, timeout);
}

bool VuderuAdsImpl::showAdForSpaceViewSizeTimeout(const Space& space, const std::shared_ptr<UIView>& view, std::int32_t size,
                                                 std::int64_t timeout) {
    if (invalid(space) || !view) {
        std::string text = NSString::stringWithFormat("VuderuAds: invalid space [%@] or view [%@] passed in", shown(space), described(view));
        VuderuLog("%@", text);
        failBoth(shown(space), adError(kVuderuAdErrorInvalidSpace, text));
        return false;
    }
    if (!isStateInitialized()) {
        VuderuLog("VuderuAds: Init in progress");
        failBoth(*space, adError(kVuderuAdErrorInitInProgress, "VuderuAds: Init in progress"));
        return false;
    }
    if (VuderuUtil::isKeyWindowAlertView()) {
        failBoth(*space, keyWindowError(*space));
        return false;
    }
    VuderuAdManager::setupDefaultsForAdSpaceSize(*space, size);
    // 1, 2 and 3 are notification values, never waits: anything below a second waits a second.
    const std::int64_t wait = timeout < 1 ? 0 : (timeout < 1000 ? 1000 : timeout);
    return VuderuAdManager::instance()->showNewAdForSpaceViewContainerTimeout(*space, view, wait) != nullptr;
}
