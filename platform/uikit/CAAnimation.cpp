#include "platform/uikit/CAAnimation.h"

std::shared_ptr<CABasicAnimation> CABasicAnimation::animationWithKeyPath(const std::string& keyPath) {
    auto a = std::make_shared<CABasicAnimation>();
    a->setKeyPath(keyPath);
    return a;
}

std::shared_ptr<CAKeyframeAnimation> CAKeyframeAnimation::animationWithKeyPath(const std::string& keyPath) {
    auto a = std::make_shared<CAKeyframeAnimation>();
    a->setKeyPath(keyPath);
    return a;
}

void CAAnimation::copyTimingTo(CAAnimation& other) const {
    other.duration_ = duration_;
    other.beginTime_ = beginTime_;
    other.timingFunction_ = timingFunction_;
    other.fillMode_ = fillMode_;
    other.removedOnCompletion_ = removedOnCompletion_;
    other.delegate_ = delegate_;
}

std::shared_ptr<CAAnimation> CABasicAnimation::copy() const {
    auto a = std::make_shared<CABasicAnimation>();
    copyPropertyTo(*a);
    a->from_ = from_;
    a->to_ = to_;
    a->by_ = by_;
    return a;
}

std::shared_ptr<CAAnimation> CAKeyframeAnimation::copy() const {
    auto a = std::make_shared<CAKeyframeAnimation>();
    copyPropertyTo(*a);
    a->values_ = values_;
    a->keyTimes_ = keyTimes_;
    a->timingFunctions_ = timingFunctions_;
    return a;
}
