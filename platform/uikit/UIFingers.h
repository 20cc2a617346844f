#pragma once
// Fingers on the screen: the system's side of touches, for the driver and tests. Fingers land on
// a window, move and lift; every step is one touch event sent through UIWindow::sendEvent with the
// same UITouch objects, so the views and recognizers see a sequence as on the device. Each step is
// 1/60 s after the one before it, whatever the platform clock says, so velocities are defined.

#include "platform/uikit/UIEvent.h"

#include <functional>
#include <memory>
#include <vector>

class UIWindow;

class UIFingers {
public:
    explicit UIFingers(std::shared_ptr<UIWindow> window);
    // Fingers still down when the object goes are cancelled, so no view or recognizer waits on them.
    ~UIFingers();
    UIFingers(const UIFingers&) = delete;
    UIFingers& operator=(const UIFingers&) = delete;
    UIFingers(UIFingers&&) = default;
    UIFingers& operator=(UIFingers&&) = default;

    // Fingers land at the points (window coordinates); the tap count is the touches' count.
    void down(const std::vector<CGPoint>& points, long tapCount = 1);
    // Every finger down moves, to its point of the list (one per finger, in the order they landed).
    void move(const std::vector<CGPoint>& points);
    void up();
    void cancel();

    // Whole gestures: a tap; a drag in `steps` moves; two fingers `radius` points from the centre
    // turning by `degrees` (clockwise on screen for positive) in `steps` moves.
    void tap(CGPoint point, long tapCount = 1);
    void drag(CGPoint from, CGPoint to, int steps);
    void twist(CGPoint centre, CGFloat radius, CGFloat degrees, int steps);

    // Lets each step's time pass before the step: the driver moves the platform clock by it, so
    // that timers (a long press, an animation) see the gesture take its time. Without it the steps
    // keep their own time and the clock stands still.
    void setPassTime(std::function<void(double seconds)> passTime) { passTime_ = std::move(passTime); }

    const UITouchSet& touches() const { return touches_; }
    // True when a responder handled the lifted touches (or the view they landed on went with them)
    // or a recognizer took them.
    bool taken() const;

private:
    void send(UITouchPhase phase, const std::vector<CGPoint>& points);
    void deliver();

    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<UIEvent> event_;
    UITouchSet touches_;
    double time_;
    std::function<void(double)> passTime_;
    // The time of the next step.
    double nextStepTime();
};
