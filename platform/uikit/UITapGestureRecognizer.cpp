#include "platform/uikit/UITapGestureRecognizer.h"

#include <algorithm>
#include <cmath>

void UITapGestureRecognizer::touchesBeganWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) {
    UIGestureRecognizer::touchesBeganWithEvent(touches, event);
    for (auto& t : touches) starts_.emplace_back(t.get(), t->locationInView(nullptr));
    if (static_cast<long>(this->touches().size()) > touchesRequired_) setState(UIGestureRecognizerStateFailed);
}

void UITapGestureRecognizer::touchesMovedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>&) {
    for (auto& t : touches) {
        auto start = std::find_if(starts_.begin(), starts_.end(), [&](auto& s) { return s.first == t.get(); });
        if (start == starts_.end()) continue;
        auto p = t->locationInView(nullptr);
        if (std::hypot(p.x - start->second.x, p.y - start->second.y) > kAllowableMovement) {
            setState(UIGestureRecognizerStateFailed);
            return;
        }
    }
}

void UITapGestureRecognizer::touchesEndedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>&) {
    // Recognized when the last of the required fingers lifts on the required tap.
    bool allUp = std::all_of(this->touches().begin(), this->touches().end(),
                             [](auto& t) { return t->phase() == UITouchPhaseEnded; });
    if (!allUp) return;
    bool enoughFingers = static_cast<long>(this->touches().size()) == touchesRequired_;
    bool enoughTaps = !touches.empty() && touches.front()->tapCount() == tapsRequired_;
    setState(enoughFingers && enoughTaps ? UIGestureRecognizerStateRecognized : UIGestureRecognizerStateFailed);
}

void UITapGestureRecognizer::reset() {
    UIGestureRecognizer::reset();
    starts_.clear();
}
