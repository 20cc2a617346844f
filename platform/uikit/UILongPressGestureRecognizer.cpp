#include "platform/uikit/UILongPressGestureRecognizer.h"

#include "platform/foundation/NSTimer.h"

#include <algorithm>
#include <cmath>

UILongPressGestureRecognizer::~UILongPressGestureRecognizer() { stopTimer(); }

void UILongPressGestureRecognizer::stopTimer() {
    if (timer_) timer_->invalidate();
    timer_ = nullptr;
}

void UILongPressGestureRecognizer::touchesBeganWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) {
    UIGestureRecognizer::touchesBeganWithEvent(touches, event);
    for (auto& t : touches) starts_.emplace_back(t.get(), t->locationInView(nullptr));
    if (state() != UIGestureRecognizerStatePossible) return;
    if (this->touches().size() > touchesRequired_) {
        stopTimer();
        setState(UIGestureRecognizerStateFailed);
        return;
    }
    if (this->touches().size() < touchesRequired_ || timer_) return;
    // The press counts from the moment all the fingers it needs are down.
    std::weak_ptr<UILongPressGestureRecognizer> weak = self<UILongPressGestureRecognizer>();
    timer_ = NSTimer::scheduledTimerWithTimeInterval(minimumPressDuration_, false, [weak](const std::shared_ptr<NSTimer>&) {
        if (auto me = weak.lock()) me->pressed();
    });
}

void UILongPressGestureRecognizer::pressed() {
    timer_ = nullptr;
    if (state() != UIGestureRecognizerStatePossible || touches().size() != touchesRequired_) return;
    beginBetweenEvents();
}

void UILongPressGestureRecognizer::touchesMovedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>&) {
    if (state() == UIGestureRecognizerStateBegan || state() == UIGestureRecognizerStateChanged) {
        setState(UIGestureRecognizerStateChanged);
        return;
    }
    for (auto& t : touches) {
        auto start = std::find_if(starts_.begin(), starts_.end(), [&](auto& s) { return s.first == t.get(); });
        if (start == starts_.end()) continue;
        auto p = t->locationInView(nullptr);
        if (std::hypot(p.x - start->second.x, p.y - start->second.y) > allowableMovement_) {
            stopTimer();
            setState(UIGestureRecognizerStateFailed);
            return;
        }
    }
}

void UILongPressGestureRecognizer::touchesEndedWithEvent(const UITouchSet&, const std::shared_ptr<UIEvent>&) {
    stopTimer();
    bool began = state() == UIGestureRecognizerStateBegan || state() == UIGestureRecognizerStateChanged;
    setState(began ? UIGestureRecognizerStateEnded : UIGestureRecognizerStateFailed);
}

void UILongPressGestureRecognizer::touchesCancelledWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) {
    stopTimer();
    UIGestureRecognizer::touchesCancelledWithEvent(touches, event);
}

void UILongPressGestureRecognizer::reset() {
    UIGestureRecognizer::reset();
    stopTimer();
    starts_.clear();
}
