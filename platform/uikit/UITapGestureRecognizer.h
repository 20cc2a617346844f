#pragma once
// A tap: the required number of fingers put down and lifted without moving away, the required
// number of times in a row (the touch's tap count).

#include "platform/uikit/UIGestureRecognizer.h"

class UITapGestureRecognizer : public UIGestureRecognizer {
public:
    // A finger that moves this far from where it landed is not tapping.
    static constexpr CGFloat kAllowableMovement = 10;

    using UIGestureRecognizer::UIGestureRecognizer;

    long numberOfTapsRequired() const { return tapsRequired_; }
    void setNumberOfTapsRequired(long taps) { tapsRequired_ = taps; }
    long numberOfTouchesRequired() const { return touchesRequired_; }
    void setNumberOfTouchesRequired(long touches) { touchesRequired_ = touches; }

    void touchesBeganWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    void touchesMovedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    void touchesEndedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    void reset() override;

private:
    long tapsRequired_ = 1;
    long touchesRequired_ = 1;
    std::vector<std::pair<const UITouch*, CGPoint>> starts_;
};
