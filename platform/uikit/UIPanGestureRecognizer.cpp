#include "platform/uikit/UIPanGestureRecognizer.h"

#include "platform/uikit/UIView.h"

#include <cmath>

namespace {
CGPoint panGestureRecognizerInView(CGPoint windowPoint, const std::shared_ptr<UIView>& view) {
    return view ? view->convertPointFromView(windowPoint, nullptr) : windowPoint;
}
} // namespace

CGPoint UIPanGestureRecognizer::translationInView(const std::shared_ptr<UIView>& view) const {
    auto now = panGestureRecognizerInView(locationInView(nullptr), view);
    auto from = panGestureRecognizerInView(origin_, view);
    return {now.x - from.x, now.y - from.y};
}

void UIPanGestureRecognizer::setTranslationInView(CGPoint translation, const std::shared_ptr<UIView>& view) {
    auto now = panGestureRecognizerInView(locationInView(nullptr), view);
    CGPoint from{now.x - translation.x, now.y - translation.y};
    origin_ = view ? view->convertPointToView(from, nullptr) : from;
}

CGPoint UIPanGestureRecognizer::velocityInView(const std::shared_ptr<UIView>& view) const {
    double dt = lastTime_ - previousTime_;
    if (dt <= 0) return CGPointZero;
    auto now = panGestureRecognizerInView(locationInView(nullptr), view);
    auto before = panGestureRecognizerInView(previous_, view);
    return {static_cast<CGFloat>((now.x - before.x) / dt), static_cast<CGFloat>((now.y - before.y) / dt)};
}

void UIPanGestureRecognizer::touchesBeganWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) {
    UIGestureRecognizer::touchesBeganWithEvent(touches, event);
    if (this->touches().size() > maximumTouches_) {
        setState(state() == UIGestureRecognizerStatePossible ? UIGestureRecognizerStateFailed : UIGestureRecognizerStateEnded);
        return;
    }
    origin_ = previous_ = locationInView(nullptr);
    previousTime_ = lastTime_ = event ? event->timestamp() : 0;
}

void UIPanGestureRecognizer::touchesMovedWithEvent(const UITouchSet&, const std::shared_ptr<UIEvent>& event) {
    if (this->touches().size() < minimumTouches_) return;
    previous_ = CGPointZero;
    previousTime_ = lastTime_;
    lastTime_ = event ? event->timestamp() : 0;
    // The centroid before the move: the touches' previous locations.
    for (auto& t : this->touches()) {
        auto p = t->previousLocationInView(nullptr);
        previous_.x += p.x / static_cast<CGFloat>(this->touches().size());
        previous_.y += p.y / static_cast<CGFloat>(this->touches().size());
    }
    if (state() == UIGestureRecognizerStatePossible) {
        auto t = translationInView(nullptr);
        if (std::hypot(t.x, t.y) >= kHysteresis) setState(UIGestureRecognizerStateBegan);
    } else {
        setState(UIGestureRecognizerStateChanged);
    }
}

void UIPanGestureRecognizer::touchesEndedWithEvent(const UITouchSet&, const std::shared_ptr<UIEvent>&) {
    for (auto& t : this->touches())
        if (t->phase() != UITouchPhaseEnded) return;
    setState(state() == UIGestureRecognizerStatePossible ? UIGestureRecognizerStateFailed : UIGestureRecognizerStateEnded);
}

void UIPanGestureRecognizer::reset() {
    UIGestureRecognizer::reset();
    origin_ = previous_ = CGPointZero;
    previousTime_ = lastTime_ = 0;
}
