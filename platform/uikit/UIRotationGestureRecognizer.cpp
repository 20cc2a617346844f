#include "platform/uikit/UIRotationGestureRecognizer.h"

#include <cmath>
#include <numbers>

CGFloat UIRotationGestureRecognizer::angle() const {
    auto a = locationOfTouchInView(0, nullptr), b = locationOfTouchInView(1, nullptr);
    return std::atan2(b.y - a.y, b.x - a.x);
}

void UIRotationGestureRecognizer::touchesBeganWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) {
    UIGestureRecognizer::touchesBeganWithEvent(touches, event);
    if (this->touches().size() > 2) {
        if (state() == UIGestureRecognizerStatePossible) setState(UIGestureRecognizerStateFailed);
        return;
    }
    if (this->touches().size() == 2) {
        lastAngle_ = angle();
        lastTime_ = event ? event->timestamp() : 0;
        tracking_ = true;
    }
}

void UIRotationGestureRecognizer::touchesMovedWithEvent(const UITouchSet&, const std::shared_ptr<UIEvent>& event) {
    if (!tracking_) return;
    // The turn since the last move, taken the short way round so the sum crosses ±π smoothly.
    CGFloat now = angle();
    CGFloat step = std::remainder(now - lastAngle_, 2 * std::numbers::pi_v<CGFloat>);
    lastAngle_ = now;
    rotation_ += step;
    double time = event ? event->timestamp() : 0;
    velocity_ = time > lastTime_ ? static_cast<CGFloat>(step / (time - lastTime_)) : 0;
    lastTime_ = time;
    if (state() == UIGestureRecognizerStatePossible) {
        if (std::fabs(rotation_) >= kThreshold) setState(UIGestureRecognizerStateBegan);
    } else if (step != 0) {
        setState(UIGestureRecognizerStateChanged);
    }
}

void UIRotationGestureRecognizer::touchesEndedWithEvent(const UITouchSet&, const std::shared_ptr<UIEvent>&) {
    setState(state() == UIGestureRecognizerStatePossible ? UIGestureRecognizerStateFailed : UIGestureRecognizerStateEnded);
}

void UIRotationGestureRecognizer::reset() {
    UIGestureRecognizer::reset();
    rotation_ = velocity_ = lastAngle_ = 0;
    lastTime_ = 0;
    tracking_ = false;
}
