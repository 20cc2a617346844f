#include "platform/uikit/UIEvent.h"

#include "platform/foundation/PlatformClock.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIWindow.h"

#include <algorithm>

UITouch::UITouch(const std::shared_ptr<UIWindow>& window, const std::shared_ptr<UIView>& view, CGPoint locationInWindow)
    : window_(window), view_(view), landed_(view != nullptr), location_(locationInWindow), previous_(locationInWindow),
      timestamp_(PlatformClock::monotonic()) {}

namespace {
CGPoint inView(CGPoint p, const std::shared_ptr<UIView>& view, const std::shared_ptr<UIWindow>& window) {
    if (!view) return p;
    return view->convertPointFromView(p, window);
}
} // namespace

CGPoint UITouch::locationInView(const std::shared_ptr<UIView>& view) const { return inView(location_, view, window_.lock()); }

CGPoint UITouch::previousLocationInView(const std::shared_ptr<UIView>& view) const {
    return inView(previous_, view, window_.lock());
}

void UITouch::moveTo(CGPoint locationInWindow, UITouchPhase phase, double timestamp) {
    previous_ = location_;
    location_ = locationInWindow;
    phase_ = phase;
    timestamp_ = timestamp;
}

std::vector<std::shared_ptr<UIGestureRecognizer>> UITouch::gestureRecognizers() const {
    std::vector<std::shared_ptr<UIGestureRecognizer>> out;
    for (auto& r : recognizers_)
        if (auto g = r.lock()) out.push_back(g);
    return out;
}

void UITouch::setGestureRecognizers(const std::vector<std::shared_ptr<UIGestureRecognizer>>& recognizers) {
    recognizers_.assign(recognizers.begin(), recognizers.end());
}

UIEvent::UIEvent(UIEventType type, UIEventSubtype subtype, std::vector<std::shared_ptr<UITouch>> touches)
    : type_(type), subtype_(subtype), timestamp_(PlatformClock::monotonic()), touches_(std::move(touches)) {}

std::vector<std::shared_ptr<UITouch>> UIEvent::touchesForView(const std::shared_ptr<UIView>& view) const {
    std::vector<std::shared_ptr<UITouch>> out;
    for (auto& t : touches_)
        if (t->view() == view) out.push_back(t);
    return out;
}

std::vector<std::shared_ptr<UITouch>> UIEvent::touchesForGestureRecognizer(const UIGestureRecognizer* recognizer) const {
    std::vector<std::shared_ptr<UITouch>> out;
    for (auto& t : touches_) {
        auto rs = t->gestureRecognizers();
        if (std::any_of(rs.begin(), rs.end(), [&](auto& r) { return r.get() == recognizer; })) out.push_back(t);
    }
    return out;
}

void UIEvent::setTouches(std::vector<std::shared_ptr<UITouch>> touches, double timestamp) {
    touches_ = std::move(touches);
    timestamp_ = timestamp;
}
