#pragma once
// A long press: the required fingers stay down, without moving away, for the minimum press
// duration (on the platform clock, timed on the main run loop). It then begins, changes as the
// fingers move and ends when they lift; fingers lifted or moved away earlier make it fail.

#include "platform/uikit/UIGestureRecognizer.h"

class NSTimer;

class UILongPressGestureRecognizer : public UIGestureRecognizer {
public:
    static constexpr double kDefaultMinimumPressDuration = 0.5;
    // A finger that moves this far from where it landed before the press began is not pressing.
    static constexpr CGFloat kDefaultAllowableMovement = 10;

    using UIGestureRecognizer::UIGestureRecognizer;
    ~UILongPressGestureRecognizer() override;

    double minimumPressDuration() const { return minimumPressDuration_; }
    void setMinimumPressDuration(double seconds) { minimumPressDuration_ = seconds; }
    CGFloat allowableMovement() const { return allowableMovement_; }
    void setAllowableMovement(CGFloat points) { allowableMovement_ = points; }
    unsigned long numberOfTouchesRequired() const { return touchesRequired_; }
    void setNumberOfTouchesRequired(unsigned long touches) { touchesRequired_ = touches; }

    void touchesBeganWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    void touchesMovedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    void touchesEndedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    void touchesCancelledWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    void reset() override;

private:
    void pressed();
    void stopTimer();

    double minimumPressDuration_ = kDefaultMinimumPressDuration;
    CGFloat allowableMovement_ = kDefaultAllowableMovement;
    unsigned long touchesRequired_ = 1;
    std::vector<std::pair<const UITouch*, CGPoint>> starts_;
    std::shared_ptr<NSTimer> timer_;
};
