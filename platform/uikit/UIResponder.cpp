#include "platform/uikit/UIResponder.h"

namespace {
std::weak_ptr<UIResponder>& firstResponder() {
    static std::weak_ptr<UIResponder> responder;
    return responder;
}
} // namespace

bool UIResponder::becomeFirstResponder() {
    if (!canBecomeFirstResponder()) return false;
    auto current = firstResponder().lock();
    if (current.get() == this) return true;
    if (current && !current->resignFirstResponder()) return false;
    firstResponder() = self<UIResponder>();
    return true;
}

bool UIResponder::resignFirstResponder() {
    if (!canResignFirstResponder()) return false;
    if (firstResponder().lock().get() == this) firstResponder().reset();
    return true;
}

bool UIResponder::isFirstResponder() const { return firstResponder().lock().get() == this; }

std::shared_ptr<UIResponder> UIResponder::currentFirstResponder() { return firstResponder().lock(); }

void UIResponder::motionBeganWithEvent(UIEventSubtype motion, const std::shared_ptr<UIEvent>& event) {
    if (auto next = nextResponder()) next->motionBeganWithEvent(motion, event);
}
void UIResponder::motionEndedWithEvent(UIEventSubtype motion, const std::shared_ptr<UIEvent>& event) {
    if (auto next = nextResponder()) next->motionEndedWithEvent(motion, event);
}
void UIResponder::motionCancelledWithEvent(UIEventSubtype motion, const std::shared_ptr<UIEvent>& event) {
    if (auto next = nextResponder()) next->motionCancelledWithEvent(motion, event);
}

namespace {
void passUp(const UIResponder& responder, const UITouchSet& touches,
            void (UIResponder::*handler)(const UITouchSet&, const std::shared_ptr<UIEvent>&), const std::shared_ptr<UIEvent>& event) {
    if (auto next = responder.nextResponder()) return ((*next).*handler)(touches, event);
    for (auto& t : touches) t->setUnhandled();
}
} // namespace

void UIResponder::touchesBeganWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) {
    passUp(*this, touches, &UIResponder::touchesBeganWithEvent, event);
}
void UIResponder::touchesMovedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) {
    passUp(*this, touches, &UIResponder::touchesMovedWithEvent, event);
}
void UIResponder::touchesEndedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) {
    passUp(*this, touches, &UIResponder::touchesEndedWithEvent, event);
}
void UIResponder::touchesCancelledWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) {
    passUp(*this, touches, &UIResponder::touchesCancelledWithEvent, event);
}
