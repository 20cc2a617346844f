#include "platform/uikit/UIDynamicAnimator.h"

#include "platform/foundation/NSRunLoop.h"
#include "platform/uikit/UIView.h"

#include <algorithm>

void UIDynamicAnimator::addBehavior(const std::shared_ptr<UIDynamicBehavior>& behavior) {
    if (!behavior || std::find(behaviors_.begin(), behaviors_.end(), behavior) != behaviors_.end()) return;
    if (auto previous = behavior->dynamicAnimator()) previous->removeBehavior(behavior);
    behavior->animator_ = self<UIDynamicAnimator>();
    behaviors_.push_back(behavior);
    setNeedsSettle();
}

void UIDynamicAnimator::removeBehavior(const std::shared_ptr<UIDynamicBehavior>& behavior) {
    auto at = std::find(behaviors_.begin(), behaviors_.end(), behavior);
    if (at == behaviors_.end()) return;
    behavior->animator_.reset();
    behaviors_.erase(at);
}

void UIDynamicAnimator::removeAllBehaviors() {
    for (auto& behavior : behaviors_) behavior->animator_.reset();
    behaviors_.clear();
}

void UIDynamicAnimator::setNeedsSettle() {
    if (pending_) return;
    pending_ = true;
    std::weak_ptr<UIDynamicAnimator> weak = self<UIDynamicAnimator>();
    NSRunLoop::mainRunLoop()->performBlock([weak] {
        if (auto animator = weak.lock()) animator->settleNow();
    });
}

void UIDynamicAnimator::settleNow() {
    pending_ = false;
    // A behaviour's settle may not change the list under the loop.
    auto behaviors = behaviors_;
    for (auto& behavior : behaviors) behavior->settle();
}

void UIDynamicBehavior::changed() {
    if (auto animator = dynamicAnimator()) animator->setNeedsSettle();
}
