#pragma once
// Events: touches with their phases and locations, and motion (the shake).

#include "platform/foundation/NSObject.h"
#include "platform/graphics/CGGeometry.h"

#include <memory>
#include <vector>

class UIGestureRecognizer;
class UIView;
class UIWindow;

enum UIEventType : long { UIEventTypeTouches = 0, UIEventTypeMotion = 1 };
enum UIEventSubtype : long { UIEventSubtypeNone = 0, UIEventSubtypeMotionShake = 1 };

enum UITouchPhase : long {
    UITouchPhaseBegan = 0,
    UITouchPhaseMoved = 1,
    UITouchPhaseStationary = 2,
    UITouchPhaseEnded = 3,
    UITouchPhaseCancelled = 4,
};

class UITouch : public NSObject {
public:
    // A touch at a point of the window, landing on the view (nil until the window hit-tests it).
    UITouch(const std::shared_ptr<UIWindow>& window, const std::shared_ptr<UIView>& view, CGPoint locationInWindow);

    std::shared_ptr<UIView> view() const { return view_.lock(); }
    std::shared_ptr<UIWindow> window() const { return window_.lock(); }
    // The touch's location in the view's coordinates (the window's when view is nil), now and at
    // the phase before.
    CGPoint locationInView(const std::shared_ptr<UIView>& view) const;
    CGPoint previousLocationInView(const std::shared_ptr<UIView>& view) const;
    UITouchPhase phase() const { return phase_; }
    long tapCount() const { return tapCount_; }
    double timestamp() const { return timestamp_; }
    // The recognizers this touch is delivered to (those of its view and the view's superviews).
    std::vector<std::shared_ptr<UIGestureRecognizer>> gestureRecognizers() const;

    // The system's side: the finger moves (the previous location is kept), changes phase, lands.
    void moveTo(CGPoint locationInWindow, UITouchPhase phase, double timestamp);
    void setPhase(UITouchPhase phase) { phase_ = phase; }
    void setTapCount(long count) { tapCount_ = count; }
    void setView(const std::shared_ptr<UIView>& view) {
        view_ = view;
        landed_ = landed_ || view;
    }
    // The window hit-tested the touch onto a view, which may have gone since (a popover closed by it).
    bool hasLanded() const { return landed_; }
    void setGestureRecognizers(const std::vector<std::shared_ptr<UIGestureRecognizer>>& recognizers);
    // A recognizer took the touch: its view got touchesCancelled and hears no more of it.
    bool isCancelledForView() const { return cancelledForView_; }
    void setCancelledForView() { cancelledForView_ = true; }
    // No responder in the chain handled the touch in the phase (it fell off the end of the chain).
    bool wasUnhandledIn(UITouchPhase phase) const { return unhandled_ & (1u << phase); }
    void setUnhandled() { unhandled_ |= 1u << phase_; }

private:
    std::weak_ptr<UIWindow> window_;
    std::weak_ptr<UIView> view_;
    bool landed_ = false;
    CGPoint location_;
    CGPoint previous_;
    UITouchPhase phase_ = UITouchPhaseBegan;
    long tapCount_ = 1;
    double timestamp_;
    // Weak: a recognizer keeps its touches until it resets.
    std::vector<std::weak_ptr<UIGestureRecognizer>> recognizers_;
    bool cancelledForView_ = false;
    unsigned unhandled_ = 0;
};

using UITouchPtr = std::shared_ptr<UITouch>;
// The touches of one delivery, as touchesBegan:withEvent: and its kin receive them.
using UITouchSet = std::vector<UITouchPtr>;

class UIEvent : public NSObject {
public:
    UIEvent(UIEventType type, UIEventSubtype subtype, std::vector<std::shared_ptr<UITouch>> touches = {});

    UIEventType type() const { return type_; }
    UIEventSubtype subtype() const { return subtype_; }
    double timestamp() const { return timestamp_; }
    const std::vector<std::shared_ptr<UITouch>>& allTouches() const { return touches_; }
    std::vector<std::shared_ptr<UITouch>> touchesForView(const std::shared_ptr<UIView>& view) const;
    std::vector<std::shared_ptr<UITouch>> touchesForGestureRecognizer(const UIGestureRecognizer* recognizer) const;

    // The system's side: the same event object carries a sequence of touches through its phases.
    void setTouches(std::vector<std::shared_ptr<UITouch>> touches, double timestamp);

private:
    UIEventType type_;
    UIEventSubtype subtype_;
    double timestamp_;
    std::vector<std::shared_ptr<UITouch>> touches_;
};
