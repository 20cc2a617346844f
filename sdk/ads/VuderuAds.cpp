#include "sdk/ads/VuderuAds.h"

#include "platform/foundation/NSObjCRuntime.h"
#include "sdk/ads/VuderuAdProperties.h"
#include "sdk/ads/VuderuAdsImpl.h"
#include "sdk/analytics/VuderuLog.h"
#include "sdk/analytics/VuderuNetworkUtil.h"
#include "sdk/analytics/VuderuUtil.h"

#include <atomic>
#include <mutex>

namespace {

struct FacadeState {
    std::mutex lock;
    std::weak_ptr<VuderuAdDelegate> delegate;
    std::atomic<bool> testAds{false};
    std::atomic<VuderuAds::CustomAdNetworkHandler> customAdNetworkHandler{nullptr};
};

FacadeState& state() {
    static FacadeState shared;
    return shared;
}

// Nothing thrown inside the ad system or by the host's delegate reaches the host: the call ends
// without effect, and a query answers NO.
template <class Query>
bool answered(Query&& query) {
    bool answer = false;
    VuderuUtil::guarded([&] { answer = query(); });
    return answer;
}

// A state-changing call: it runs once set-up has ended, guarded where it finally runs.
template <class Call>
void queued(Call&& call) {
    VuderuUtil::guarded([&] {
        auto impl = VuderuAdsImpl::instance();
        impl->forward([impl, call = std::forward<Call>(call)] { VuderuUtil::guarded([&] { call(*impl); }); });
    });
}

} // namespace

void VuderuAds::setAdDelegate(const std::shared_ptr<VuderuAdDelegate>& delegate) {
    std::lock_guard guard(state().lock);
    state().delegate = delegate;
}

std::shared_ptr<VuderuAdDelegate> VuderuAds::getAdDelegate() {
    std::lock_guard guard(state().lock);
    return state().delegate.lock();
}

void VuderuAds::enableTestAds(bool enabled) {
    state().testAds = enabled;
    if (enabled) VuderuLogAbove(0, "Test ads are set. This call MUST be removed prior submitting to App Store.");
}

bool VuderuAds::isTestDevice() { return state().testAds; }

void VuderuAds::initialize(const std::shared_ptr<UIViewController>& rootViewController) {
    if (!rootViewController) {
        VuderuLog("rvc can not be nil");
        return;
    }
    queued([rootViewController](VuderuAdsImpl& impl) { impl.forwarded_initialize(rootViewController); });
}

void VuderuAds::fetchAdForSpaceFrameSize(const Space& space, const CGRect& frame, std::int32_t size) {
    queued([space, frame, size](VuderuAdsImpl& impl) { impl.forwarded_fetchAdForSpaceFrameSize(space, frame, size); });
}

bool VuderuAds::adReadyForSpace(const Space& space) {
    return answered([&] { return VuderuAdsImpl::instance()->adReadyForSpace(space); });
}

void VuderuAds::displayAdForSpaceOnView(const Space& space, const std::shared_ptr<UIView>& view) {
    queued([space, view](VuderuAdsImpl& impl) { impl.forwarded_displayAdForSpaceOnView(space, view); });
}

void VuderuAds::displayAdForSpaceModallyForViewController(const Space& space, const std::shared_ptr<UIViewController>& controller) {
    queued([space, controller](VuderuAdsImpl& impl) { impl.forwarded_displayAdForSpaceModallyForViewController(space, controller); });
}

bool VuderuAds::isAdAvailableForSpaceViewSizeTimeout(const Space& space, const std::shared_ptr<UIView>& view, std::int32_t size,
                                                     std::int64_t timeout) {
    return answered([&] { return VuderuAdsImpl::instance()->isAdAvailableForSpaceViewSizeTimeout(space, view, size, timeout); });
}

bool VuderuAds::showAdForSpaceViewSizeTimeout(const Space& space, const std::shared_ptr<UIView>& view, std::int32_t size, std::int64_t timeout) {
    return answered([&] { return VuderuAdsImpl::instance()->showAdForSpaceViewSizeTimeout(space, view, size, timeout); });
}

void VuderuAds::fetchAndDisplayAdForSpaceViewSize(const Space& space, const std::shared_ptr<UIView>& view, std::int32_t size) {
    queued([space, view, size](VuderuAdsImpl& impl) { impl.forwarded_fetchAndDisplayAdForSpaceViewSize(space, view, size); });
}

void VuderuAds::removeAdFromSpace(const Space& space) {
    queued([space](VuderuAdsImpl& impl) { impl.forwarded_removeAdFromSpace(space); });
}

void VuderuAds::setUserCookies(const std::optional<Dictionary>& cookies) {
    VuderuUtil::guarded([&] {
        if (!cookies) {
            VuderuLog("User cookies can not be nil. If you would like to clear cookies, please call clearUserCookies.");
            return;
        }
        VuderuAdProperties::setUserCookies(cookies);
    });
}

void VuderuAds::clearUserCookies() {
    VuderuUtil::guarded([] { VuderuAdProperties::clearUserCookies(); });
}

void VuderuAds::setKeywordsForTargeting(const std::optional<Dictionary>& keywords) {
    VuderuUtil::guarded([&] {
        if (!keywords) {
            VuderuLog("Keywords can not be nil. If you would like to clear keywords, please call clearKeywords.");
            return;
        }
        VuderuAdProperties::setKeywords(keywords);
    });
}

void VuderuAds::clearKeywords() {
    VuderuUtil::guarded([] { VuderuAdProperties::clearKeywords(); });
}

void VuderuAds::setCustomAdNetworkHandler(CustomAdNetworkHandler handler) { state().customAdNetworkHandler = handler; }

void VuderuAds::addCustomAdNetworkWithProperties(const std::optional<std::string>& networkClass, const std::shared_ptr<NSObject>& properties) {
    VuderuUtil::guarded([&] {
        // A name no class is registered under is no class at all.
        Class classObject = networkClass ? NSClassFromString(*networkClass) : nullptr;
        if (!classObject) {
            VuderuLog("Custom ad network is nil. Network will not be added.");
            return;
        }
        if (!properties) {
            VuderuLog("Custom ad network properties is nil. Ad Network can not be instantiated without properties. Network will not be added.");
            return;
        }
        if (auto handler = state().customAdNetworkHandler.load()) {
            handler(classObject, properties);
            return;
        }
        VuderuLog("VuderuAdNetworkPluginManager: custom ad network %@ is not available", *networkClass);
    });
}

void VuderuAds::setAdLogServerUrl(const std::string& url) { VuderuNetworkUtil::setAdLogServerUrl(url); }
void VuderuAds::setAdServerUrl(const std::string& url) { VuderuNetworkUtil::setAdServerUrl(url); }
