#include "platform/uikit/UIEvent.h"

#include "platform/foundation/PlatformClock.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIWindow.h"

UITouch::UITouch(const std::shared_ptr<UIWindow>& window, const std::shared_ptr<UIView>& view, CGPoint locationInWindow)
    : window_(window), view_(view), location_(locationInWindow) {}

CGPoint UITouch::locationInView(const std::shared_ptr<UIView>& view) const {
    if (!view) return location_;
    return view->convertPointFromView(location_, window_.lock());
}

UIEvent::UIEvent(UIEventType type, UIEventSubtype subtype, std::vector<std::shared_ptr<UITouch>> touches)
    : type_(type), subtype_(subtype), timestamp_(PlatformClock::monotonic()), touches_(std::move(touches)) {}

std::vector<std::shared_ptr<UITouch>> UIEvent::touchesForView(const std::shared_ptr<UIView>& view) const {
    std::vector<std::shared_ptr<UITouch>> out;
    for (auto& t : touches_)
        if (t->view() == view) out.push_back(t);
    return out;
}
