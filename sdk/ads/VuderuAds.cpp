#include "sdk/ads/VuderuAds.h"

#include "sdk/analytics/VuderuLog.h"

#include <atomic>
#include <mutex>

namespace {

struct FacadeState {
    std::mutex lock;
    std::weak_ptr<VuderuAdDelegate> delegate;
    std::atomic<bool> testAds{false};
};

FacadeState& state() {
    static FacadeState shared;
    return shared;
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
