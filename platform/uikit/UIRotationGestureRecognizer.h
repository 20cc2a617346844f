#pragma once
// A rotation: two fingers turning about each other. The rotation (radians, clockwise on screen
// positive) counts from the fingers' first line; the gesture begins once it passes kThreshold,
// changes with every later move and ends when a finger lifts.

#include "platform/uikit/UIGestureRecognizer.h"

class UIRotationGestureRecognizer : public UIGestureRecognizer {
public:
    static constexpr CGFloat kThreshold = 0.035;

    using UIGestureRecognizer::UIGestureRecognizer;

    CGFloat rotation() const { return rotation_; }
    void setRotation(CGFloat rotation) { rotation_ = rotation; }
    // Radians per second over the last move.
    CGFloat velocity() const { return velocity_; }

    void touchesBeganWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    void touchesMovedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    void touchesEndedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    void reset() override;

private:
    CGFloat angle() const;

    CGFloat rotation_ = 0;
    CGFloat velocity_ = 0;
    CGFloat lastAngle_ = 0;
    double lastTime_ = 0;
    bool tracking_ = false;
};
