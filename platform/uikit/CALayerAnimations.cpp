// A layer's attached animations: added under the current transaction, timed on the platform clock.

#include "platform/uikit/CALayer.h"

#include "platform/foundation/NSRunLoop.h"
#include "platform/uikit/CATransaction.h"

#include <algorithm>

void CALayer::addAnimation(const CAAnimationPtr& animation, const std::string& key) {
    if (!animation) return;
    auto copy = animation->copy();
    if (copy->duration() <= 0) copy->setDuration(CATransaction::animationDuration());
    if (!copy->timingFunction()) copy->setTimingFunction(CATransaction::animationTimingFunction());
    if (!key.empty()) removeAnimationForKey(key);
    animations_.push_back({key, copy});
    CATransaction::noteAnimation(copy->beginTime(), copy->duration());
    std::weak_ptr<CALayer> weak = self<CALayer>();
    auto loop = NSRunLoop::mainRunLoop();
    if (copy->delegate())
        loop->performAfterDelay(std::max(0.0, copy->beginTime()), [copy] {
            if (auto d = copy->delegate()) d->animationDidStart(*copy);
        });
    loop->performAfterDelay(std::max(0.0, copy->beginTime()) + copy->duration(), [weak, copy] {
        if (auto layer = weak.lock()) layer->animationTimeRan(copy.get());
    });
}

void CALayer::animationTimeRan(const CAAnimation* animation) {
    auto it = std::find_if(animations_.begin(), animations_.end(), [&](auto& a) { return a.animation.get() == animation; });
    if (it == animations_.end() || it->ran) return;
    auto keep = it->animation;
    it->ran = true;
    if (keep->isRemovedOnCompletion()) animations_.erase(it);
    if (auto d = keep->delegate()) d->animationDidStopFinished(*keep, true);
}

void CALayer::stopAnimation(const CAAnimationPtr& animation, bool finished) {
    if (auto d = animation->delegate()) d->animationDidStopFinished(*animation, finished);
}

CAAnimationPtr CALayer::animationForKey(const std::string& key) const {
    if (key.empty()) return nullptr;
    for (auto& a : animations_)
        if (a.key == key) return a.animation;
    return nullptr;
}

std::vector<std::string> CALayer::animationKeys() const {
    std::vector<std::string> keys;
    for (auto& a : animations_)
        if (!a.key.empty()) keys.push_back(a.key);
    return keys;
}

void CALayer::removeAnimationForKey(const std::string& key) {
    auto it = std::find_if(animations_.begin(), animations_.end(), [&](auto& a) { return !key.empty() && a.key == key; });
    if (it == animations_.end()) return;
    auto gone = *it;
    animations_.erase(it);
    if (!gone.ran) stopAnimation(gone.animation, false);
}

void CALayer::removeAllAnimations() {
    auto gone = std::move(animations_);
    animations_.clear();
    for (auto& a : gone)
        if (!a.ran) stopAnimation(a.animation, false);
}

std::vector<CAAnimationPtr> CALayer::animations() const {
    std::vector<CAAnimationPtr> out;
    for (auto& a : animations_) out.push_back(a.animation);
    return out;
}
