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
