#pragma once
// Gesture recognizers: watch the touches of a view and its subviews and, once they make the
// gesture, send their actions. The window delivers touches to the recognizers before the views
// (UIWindow::sendEvent); a recognizer that recognizes cancels the view's touches (when
// cancelsTouchesInView) and makes the others sharing its touches fail.

#include "platform/foundation/NSObject.h"
#include "platform/graphics/CGGeometry.h"
#include "platform/uikit/UIEvent.h"
#include "platform/uikit/UITargetAction.h"

#include <functional>
#include <memory>
#include <vector>

class UIGestureRecognizer;
class UIView;

enum UIGestureRecognizerState : long {
    UIGestureRecognizerStatePossible = 0,
    UIGestureRecognizerStateBegan = 1,
    UIGestureRecognizerStateChanged = 2,
    UIGestureRecognizerStateEnded = 3,
    UIGestureRecognizerStateCancelled = 4,
    UIGestureRecognizerStateFailed = 5,
    UIGestureRecognizerStateRecognized = UIGestureRecognizerStateEnded,
};

class UIGestureRecognizerDelegate {
public:
    virtual ~UIGestureRecognizerDelegate() = default;
    virtual bool gestureRecognizerShouldBegin(UIGestureRecognizer&) { return true; }
    virtual bool gestureRecognizerShouldReceiveTouch(UIGestureRecognizer&, UITouch&) { return true; }
    virtual bool gestureRecognizerShouldRecognizeSimultaneouslyWith(UIGestureRecognizer&, UIGestureRecognizer&) {
        return false;
    }
};

class UIGestureRecognizer : public NSObject {
public:
    // An action gets its target (alive) and the recognizer.
    using Action = std::function<void(NSObject& target, UIGestureRecognizer& sender)>;

    UIGestureRecognizer() = default;
    UIGestureRecognizer(const std::shared_ptr<NSObject>& target, Action action) { addTargetAction(target, std::move(action)); }
    // With the target as what it is (UITargetAction.h): a member function of T, or a callable
    // taking a T& and, if it wants it, the recognizer.
    template <class T, class F>
    UIGestureRecognizer(const std::shared_ptr<T>& target, F action) {
        addTargetAction(target, std::move(action));
    }

    void addTargetAction(const std::shared_ptr<NSObject>& target, Action action);
    template <class T, class F>
    void addTargetAction(const std::shared_ptr<T>& target, F action) {
        addTargetAction(std::shared_ptr<NSObject>(target), UITargetAction::erased<T, UIGestureRecognizer&>(std::move(action)));
    }
    void removeTarget(const NSObject* target);

    UIGestureRecognizerState state() const { return state_; }
    std::shared_ptr<UIView> view() const { return view_.lock(); }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    bool cancelsTouchesInView() const { return cancelsTouchesInView_; }
    void setCancelsTouchesInView(bool cancels) { cancelsTouchesInView_ = cancels; }
    std::shared_ptr<UIGestureRecognizerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<UIGestureRecognizerDelegate>& delegate) { delegate_ = delegate; }

    // The centroid of the recognizer's touches in the view's coordinates (the window's for nil).
    virtual CGPoint locationInView(const std::shared_ptr<UIView>& view) const;
    std::size_t numberOfTouches() const { return touches_.size(); }
    CGPoint locationOfTouchInView(std::size_t index, const std::shared_ptr<UIView>& view) const;

    // Subclasses: what the touches do to the state. The base keeps the touches.
    virtual void touchesBeganWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event);
    virtual void touchesMovedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event);
    virtual void touchesEndedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event);
    virtual void touchesCancelledWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event);
    // Back to Possible once the gesture's touches are gone.
    virtual void reset();

    // A new state; Began, Changed, Ended and Cancelled send the actions. Beginning (or
    // recognizing at once) asks the delegate and the views first and fails when refused.
    void setState(UIGestureRecognizerState state);
    // True while the recognizer still watches its touches.
    bool isActive() const {
        return state_ == UIGestureRecognizerStatePossible || state_ == UIGestureRecognizerStateBegan ||
               state_ == UIGestureRecognizerStateChanged;
    }

    // UIView::addGestureRecognizer.
    void setView(const std::shared_ptr<UIView>& view) { view_ = view; }

protected:
    const UITouchSet& touches() const { return touches_; }
    // Begins between touch events (on a timer): as the window does for one that begins during an
    // event, the others sharing its touches fail, unless they may recognize with it, and the
    // touches leave their views.
    void beginBetweenEvents();

private:
    struct Registration {
        std::weak_ptr<NSObject> target;
        const NSObject* targetId;
        Action action;
    };
    bool mayBegin();
    void sendActions();

    std::vector<Registration> registrations_;
    std::weak_ptr<UIView> view_;
    std::weak_ptr<UIGestureRecognizerDelegate> delegate_;
    UIGestureRecognizerState state_ = UIGestureRecognizerStatePossible;
    bool enabled_ = true;
    bool cancelsTouchesInView_ = true;
    UITouchSet touches_;
};

using UIGestureRecognizerPtr = std::shared_ptr<UIGestureRecognizer>;
