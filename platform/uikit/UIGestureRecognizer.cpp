#include "platform/uikit/UIGestureRecognizer.h"

#include "platform/uikit/UIView.h"

#include <algorithm>

void UIGestureRecognizer::addTargetAction(const std::shared_ptr<NSObject>& target, Action action) {
    if (!action) return;
    registrations_.push_back({target, target.get(), std::move(action)});
}

void UIGestureRecognizer::removeTarget(const NSObject* target) {
    registrations_.erase(std::remove_if(registrations_.begin(), registrations_.end(),
                                        [&](auto& r) { return !target || r.targetId == target; }),
                         registrations_.end());
}

void UIGestureRecognizer::setEnabled(bool enabled) {
    enabled_ = enabled;
    if (enabled) return;
    if (state_ == UIGestureRecognizerStateBegan || state_ == UIGestureRecognizerStateChanged)
        setState(UIGestureRecognizerStateCancelled);
    else if (state_ == UIGestureRecognizerStatePossible && !touches_.empty())
        setState(UIGestureRecognizerStateFailed);
}

CGPoint UIGestureRecognizer::locationInView(const std::shared_ptr<UIView>& view) const {
    if (touches_.empty()) return CGPointZero;
    CGPoint sum = CGPointZero;
    for (auto& t : touches_) {
        auto p = t->locationInView(view);
        sum.x += p.x;
        sum.y += p.y;
    }
    auto n = static_cast<CGFloat>(touches_.size());
    return {sum.x / n, sum.y / n};
}

CGPoint UIGestureRecognizer::locationOfTouchInView(std::size_t index, const std::shared_ptr<UIView>& view) const {
    return index < touches_.size() ? touches_[index]->locationInView(view) : CGPointZero;
}

void UIGestureRecognizer::touchesBeganWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>&) {
    for (auto& t : touches)
        if (std::find(touches_.begin(), touches_.end(), t) == touches_.end()) touches_.push_back(t);
}

void UIGestureRecognizer::touchesMovedWithEvent(const UITouchSet&, const std::shared_ptr<UIEvent>&) {}
void UIGestureRecognizer::touchesEndedWithEvent(const UITouchSet&, const std::shared_ptr<UIEvent>&) {}
void UIGestureRecognizer::touchesCancelledWithEvent(const UITouchSet&, const std::shared_ptr<UIEvent>&) {
    if (state_ == UIGestureRecognizerStateBegan || state_ == UIGestureRecognizerStateChanged)
        setState(UIGestureRecognizerStateCancelled);
    else if (state_ == UIGestureRecognizerStatePossible)
        setState(UIGestureRecognizerStateFailed);
}

void UIGestureRecognizer::reset() {
    state_ = UIGestureRecognizerStatePossible;
    touches_.clear();
}

bool UIGestureRecognizer::mayBegin() {
    auto v = view();
    if (!v || !v->gestureRecognizerShouldBegin(*this)) return false;
    // A control under the finger keeps its own tap (UIControl answers for it).
    for (auto& t : touches_) {
        auto hit = t->view();
        if (hit && hit != v && !hit->gestureRecognizerShouldBegin(*this)) return false;
    }
    auto d = delegate();
    return !d || d->gestureRecognizerShouldBegin(*this);
}

void UIGestureRecognizer::setState(UIGestureRecognizerState state) {
    bool starting = state_ == UIGestureRecognizerStatePossible &&
                    (state == UIGestureRecognizerStateBegan || state == UIGestureRecognizerStateRecognized);
    if (starting && !mayBegin()) state = UIGestureRecognizerStateFailed;
    state_ = state;
    if (state == UIGestureRecognizerStatePossible || state == UIGestureRecognizerStateFailed) return;
    sendActions();
}

void UIGestureRecognizer::sendActions() {
    auto keep = self<UIGestureRecognizer>();
    auto registrations = registrations_;
    for (auto& r : registrations)
        if (auto target = r.target.lock()) r.action(*target, *this);
}

void UIGestureRecognizer::beginBetweenEvents() {
    auto keep = self<UIGestureRecognizer>();
    setState(UIGestureRecognizerStateBegan);
    if (state_ != UIGestureRecognizerStateBegan && state_ != UIGestureRecognizerStateChanged) return;
    auto event = std::make_shared<UIEvent>(UIEventTypeTouches, UIEventSubtypeNone);
    for (auto& t : touches_) {
        for (auto& other : t->gestureRecognizers()) {
            if (!other || other.get() == this || other->state() != UIGestureRecognizerStatePossible) continue;
            auto mine = delegate(), theirs = other->delegate();
            bool together = (mine && mine->gestureRecognizerShouldRecognizeSimultaneouslyWith(*this, *other)) ||
                            (theirs && theirs->gestureRecognizerShouldRecognizeSimultaneouslyWith(*other, *this));
            if (!together) other->setState(UIGestureRecognizerStateFailed);
        }
        if (!cancelsTouchesInView_ || t->isCancelledForView()) continue;
        t->setCancelledForView();
        if (auto v = t->view()) v->touchesCancelledWithEvent({t}, event);
    }
}
