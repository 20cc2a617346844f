#pragma once
// A pan: the fingers' centroid moves; the gesture begins once it has moved kHysteresis points,
// changes with every later move and ends when the fingers lift. The translation counts from
// where the fingers landed.

#include "platform/uikit/UIGestureRecognizer.h"

class UIPanGestureRecognizer : public UIGestureRecognizer {
public:
    static constexpr CGFloat kHysteresis = 10;

    using UIGestureRecognizer::UIGestureRecognizer;

    unsigned long minimumNumberOfTouches() const { return minimumTouches_; }
    void setMinimumNumberOfTouches(unsigned long n) { minimumTouches_ = n; }
    unsigned long maximumNumberOfTouches() const { return maximumTouches_; }
    void setMaximumNumberOfTouches(unsigned long n) { maximumTouches_ = n; }

    // The centroid's movement in the view's coordinates (the window's for nil).
    CGPoint translationInView(const std::shared_ptr<UIView>& view) const;
    void setTranslationInView(CGPoint translation, const std::shared_ptr<UIView>& view);
    // Points per second in the view's coordinates, over the last move.
    CGPoint velocityInView(const std::shared_ptr<UIView>& view) const;

    void touchesBeganWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    void touchesMovedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    void touchesEndedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>& event) override;
    void reset() override;

private:
    unsigned long minimumTouches_ = 1;
    unsigned long maximumTouches_ = static_cast<unsigned long>(-1);
    // Window coordinates: where the translation counts from, and the centroid before the last move.
    CGPoint origin_ = CGPointZero;
    CGPoint previous_ = CGPointZero;
    double previousTime_ = 0;
    double lastTime_ = 0;
};
