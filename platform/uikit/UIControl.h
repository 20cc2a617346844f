#pragma once
// Controls: state and target–action by control event.

#include "platform/uikit/UITargetAction.h"
#include "platform/uikit/UIView.h"

#include <functional>
#include <memory>
#include <vector>

enum UIControlEvents : unsigned long {
    UIControlEventTouchDown = 1 << 0,
    UIControlEventTouchDownRepeat = 1 << 1,
    UIControlEventTouchDragInside = 1 << 2,
    UIControlEventTouchDragOutside = 1 << 3,
    UIControlEventTouchDragEnter = 1 << 4,
    UIControlEventTouchDragExit = 1 << 5,
    UIControlEventTouchUpInside = 1 << 6,
    UIControlEventTouchUpOutside = 1 << 7,
    UIControlEventTouchCancel = 1 << 8,
    UIControlEventValueChanged = 1 << 12,
    UIControlEventAllTouchEvents = 0x00000FFF,
    UIControlEventAllEvents = 0xFFFFFFFF,
};

enum UIControlState : unsigned long {
    UIControlStateNormal = 0,
    UIControlStateHighlighted = 1 << 0,
    UIControlStateDisabled = 1 << 1,
    UIControlStateSelected = 1 << 2,
};

enum UIControlContentHorizontalAlignment : long {
    UIControlContentHorizontalAlignmentCenter = 0,
    UIControlContentHorizontalAlignmentLeft = 1,
    UIControlContentHorizontalAlignmentRight = 2,
    UIControlContentHorizontalAlignmentFill = 3,
};

class UIControl : public UIView {
public:
    // An action gets its target (alive), the control and the event (nil when sent without one).
    using Action = std::function<void(NSObject& target, UIControl& sender, UIEvent* event)>;

    using UIView::UIView;

    // The action runs for every event of the mask while the target lives.
    void addTargetActionForControlEvents(const std::shared_ptr<NSObject>& target, Action action, unsigned long events);
    // The same with the target as what it is (UITargetAction.h): a member function of T, or a
    // callable taking a T& and none, one or both of the control and the event.
    template <class T, class F>
    void addTargetActionForControlEvents(const std::shared_ptr<T>& target, F action, unsigned long events) {
        addTargetActionForControlEvents(std::shared_ptr<NSObject>(target), UITargetAction::erased<T, UIControl&, UIEvent*>(std::move(action)),
                                        events);
    }
    // Removes every action of the target for the events (all targets for a nil target).
    void removeTargetForControlEvents(const NSObject* target, unsigned long events);
    unsigned long allControlEvents() const;
    void sendActionsForControlEvents(unsigned long events, const std::shared_ptr<UIEvent>& event = nullptr);

    bool isEnabled() const { return enabled_; }
    virtual void setEnabled(bool enabled) { enabled_ = enabled; }
    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected) { selected_ = selected; }
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted) { highlighted_ = highlighted; }
    unsigned long state() const;
    UIControlContentHorizontalAlignment contentHorizontalAlignment() const { return horizontalAlignment_; }
    void setContentHorizontalAlignment(UIControlContentHorizontalAlignment a) { horizontalAlignment_ = a; }

    // A tap sends touch down and touch up inside; a disabled control refuses it.
    TapOutcome tapWithEvent(const std::shared_ptr<UIEvent>& event, UIScreenReply& reply) override;

    // Tracking a touch: down (and down repeat for a second tap), drag inside or outside with
    // enter and exit as the finger crosses the bounds, up inside or outside, cancel; highlighted
    // while the finger is inside. A disabled control lets its touches pass up the chain.
    bool isTracking() const { return tracking_; }
    bool isTouchInside() const { return touchInside_; }
    virtual bool beginTrackingWithTouch(UITouch& touch, const std::shared_ptr<UIEvent>& event);
    virtual bool continueTrackingWithTouch(UITouch& touch, const std::shared_ptr<UIEvent>& event);
    virtual void endTrackingWithTouch(UITouch* touch, const std::shared_ptr<UIEvent>& event);
    virtual void cancelTrackingWithEvent(const std::shared_ptr<UIEvent>& event);
    void touchesBeganWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    void touchesMovedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    void touchesEndedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    void touchesCancelledWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    // A superview's one-finger tap recognizer leaves the control its own tap.
    bool gestureRecognizerShouldBegin(UIGestureRecognizer& recognizer) override;

private:
    struct Registration {
        std::weak_ptr<NSObject> target;
        const NSObject* targetId;
        Action action;
        unsigned long events;
    };
    std::vector<Registration> registrations_;
    bool enabled_ = true;
    bool selected_ = false;
    bool highlighted_ = false;
    bool tracking_ = false;
    bool touchInside_ = false;
    UIControlContentHorizontalAlignment horizontalAlignment_ = UIControlContentHorizontalAlignmentCenter;
};
