#include "platform/uikit/UIControl.h"

#include <algorithm>

void UIControl::addTargetActionForControlEvents(const std::shared_ptr<NSObject>& target, Action action, unsigned long events) {
    if (!action || !events) return;
    registrations_.push_back({target, target.get(), std::move(action), events});
}

void UIControl::removeTargetForControlEvents(const NSObject* target, unsigned long events) {
    for (auto& r : registrations_)
        if (!target || r.targetId == target) r.events &= ~events;
    registrations_.erase(std::remove_if(registrations_.begin(), registrations_.end(), [](auto& r) { return r.events == 0; }),
                         registrations_.end());
}

unsigned long UIControl::allControlEvents() const {
    unsigned long all = 0;
    for (auto& r : registrations_) all |= r.events;
    return all;
}

void UIControl::sendActionsForControlEvents(unsigned long events, const std::shared_ptr<UIEvent>& event) {
    auto keep = self<UIControl>();
    // A copy: an action may add or remove actions.
    auto registrations = registrations_;
    for (auto& r : registrations) {
        if (!(r.events & events)) continue;
        if (auto target = r.target.lock()) r.action(*target, *this, event.get());
    }
}

unsigned long UIControl::state() const {
    unsigned long s = UIControlStateNormal;
    if (highlighted_) s |= UIControlStateHighlighted;
    if (!enabled_) s |= UIControlStateDisabled;
    if (selected_) s |= UIControlStateSelected;
    return s;
}

UIView::TapOutcome UIControl::tapWithEvent(const std::shared_ptr<UIEvent>& event, UIScreenReply& reply) {
    if (!enabled_) {
        reply.refuse("that control is disabled");
        return TapOutcome::Refused;
    }
    sendActionsForControlEvents(UIControlEventTouchDown, event);
    sendActionsForControlEvents(UIControlEventTouchUpInside, event);
    return TapOutcome::Taken;
}
