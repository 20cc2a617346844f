#include "platform/uikit/UIControl.h"
#include "platform/uikit/UITapGestureRecognizer.h"

bool UIControl::beginTrackingWithTouch(UITouch&, const std::shared_ptr<UIEvent>&) { return true; }
bool UIControl::continueTrackingWithTouch(UITouch&, const std::shared_ptr<UIEvent>&) { return true; }
void UIControl::endTrackingWithTouch(UITouch*, const std::shared_ptr<UIEvent>&) {}
void UIControl::cancelTrackingWithEvent(const std::shared_ptr<UIEvent>&) {}

void UIControl::touchesBeganWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) {
    if (!enabled_ || touches.empty()) return UIView::touchesBeganWithEvent(touches, event);
    auto& touch = *touches.front();
    touchInside_ = true;
    tracking_ = beginTrackingWithTouch(touch, event);
    setHighlighted(true);
    sendActionsForControlEvents(touch.tapCount() > 1 ? UIControlEventTouchDown | UIControlEventTouchDownRepeat
                                                     : UIControlEventTouchDown,
                                event);
}

void UIControl::touchesMovedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) {
    if (!enabled_ || touches.empty()) return UIView::touchesMovedWithEvent(touches, event);
    auto& touch = *touches.front();
    bool inside = pointInsideWithEvent(touch.locationInView(self<UIView>()), event);
    bool was = touchInside_;
    touchInside_ = inside;
    setHighlighted(inside);
    if (tracking_) tracking_ = continueTrackingWithTouch(touch, event);
    // Crossing the edge is told before the drag itself.
    if (inside != was) sendActionsForControlEvents(inside ? UIControlEventTouchDragEnter : UIControlEventTouchDragExit, event);
    sendActionsForControlEvents(inside ? UIControlEventTouchDragInside : UIControlEventTouchDragOutside, event);
}

void UIControl::touchesEndedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) {
    if (!enabled_ || touches.empty()) return UIView::touchesEndedWithEvent(touches, event);
    auto& touch = *touches.front();
    bool inside = pointInsideWithEvent(touch.locationInView(self<UIView>()), event);
    touchInside_ = inside;
    setHighlighted(false);
    if (tracking_) endTrackingWithTouch(&touch, event);
    tracking_ = false;
    sendActionsForControlEvents(inside ? UIControlEventTouchUpInside : UIControlEventTouchUpOutside, event);
}

void UIControl::touchesCancelledWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) {
    if (!enabled_) return UIView::touchesCancelledWithEvent(touches, event);
    setHighlighted(false);
    if (tracking_) cancelTrackingWithEvent(event);
    tracking_ = false;
    touchInside_ = false;
    sendActionsForControlEvents(UIControlEventTouchCancel, event);
}

bool UIControl::gestureRecognizerShouldBegin(UIGestureRecognizer& recognizer) {
    auto tap = dynamic_cast<UITapGestureRecognizer*>(&recognizer);
    if (!tap || recognizer.view().get() == this) return true;
    return tap->numberOfTapsRequired() != 1 || tap->numberOfTouchesRequired() != 1;
}
