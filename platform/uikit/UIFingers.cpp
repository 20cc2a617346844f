#include "platform/uikit/UIFingers.h"

#include "platform/foundation/PlatformClock.h"
#include "platform/uikit/UIWindow.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
constexpr double kStep = 1.0 / 60;
} // namespace

UIFingers::UIFingers(std::shared_ptr<UIWindow> window)
    : window_(std::move(window)), event_(std::make_shared<UIEvent>(UIEventTypeTouches, UIEventSubtypeNone)),
      time_(PlatformClock::monotonic()) {}

UIFingers::~UIFingers() {
    bool down = std::any_of(touches_.begin(), touches_.end(), [](auto& t) {
        return t->phase() != UITouchPhaseEnded && t->phase() != UITouchPhaseCancelled;
    });
    if (down && window_) cancel();
}

// A screen frame passes between two steps: views laid out anew meanwhile are, before the next.
void UIFingers::deliver() {
    event_->setTouches(touches_, time_);
    if (!window_) return;
    window_->layoutIfNeeded();
    window_->sendEvent(event_);
}

double UIFingers::nextStepTime() {
    if (passTime_) passTime_(kStep);
    // The clock may have moved further meanwhile (a finger held down for a while).
    return std::max(time_ + kStep, PlatformClock::monotonic());
}

void UIFingers::send(UITouchPhase phase, const std::vector<CGPoint>& points) {
    time_ = nextStepTime();
    for (std::size_t i = 0; i < touches_.size(); ++i) {
        auto& t = touches_[i];
        if (t->phase() == UITouchPhaseEnded || t->phase() == UITouchPhaseCancelled) continue;
        CGPoint p = i < points.size() ? points[i] : t->locationInView(nullptr);
        t->moveTo(p, phase, time_);
    }
    deliver();
}

void UIFingers::down(const std::vector<CGPoint>& points, long tapCount) {
    time_ = nextStepTime();
    // The fingers already down stay where they are.
    for (auto& t : touches_)
        if (t->phase() != UITouchPhaseEnded && t->phase() != UITouchPhaseCancelled) t->setPhase(UITouchPhaseStationary);
    for (auto p : points) {
        auto t = std::make_shared<UITouch>(window_, nullptr, p);
        t->moveTo(p, UITouchPhaseBegan, time_);
        t->setTapCount(tapCount);
        touches_.push_back(t);
    }
    deliver();
}

void UIFingers::move(const std::vector<CGPoint>& points) { send(UITouchPhaseMoved, points); }
void UIFingers::up() { send(UITouchPhaseEnded, {}); }
void UIFingers::cancel() { send(UITouchPhaseCancelled, {}); }

void UIFingers::tap(CGPoint point, long tapCount) {
    down({point}, tapCount);
    up();
}

void UIFingers::drag(CGPoint from, CGPoint to, int steps) {
    steps = std::max(1, steps);
    down({from});
    for (int i = 1; i <= steps; ++i) {
        CGFloat f = static_cast<CGFloat>(i) / steps;
        move({{from.x + (to.x - from.x) * f, from.y + (to.y - from.y) * f}});
    }
    up();
}

void UIFingers::twist(CGPoint centre, CGFloat radius, CGFloat degrees, int steps) {
    steps = std::max(1, steps);
    auto at = [&](CGFloat angle) {
        CGPoint d{radius * std::cos(angle), radius * std::sin(angle)};
        return std::vector<CGPoint>{{centre.x - d.x, centre.y - d.y}, {centre.x + d.x, centre.y + d.y}};
    };
    down(at(0));
    CGFloat total = degrees * std::numbers::pi_v<CGFloat> / 180;
    for (int i = 1; i <= steps; ++i) move(at(total * i / steps));
    up();
}

bool UIFingers::taken() const {
    return !touches_.empty() && std::all_of(touches_.begin(), touches_.end(), [](auto& t) {
        return t->isCancelledForView() || (t->hasLanded() && !t->wasUnhandledIn(UITouchPhaseEnded));
    });
}
