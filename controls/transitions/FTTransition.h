#pragma once
// The base of the 3D view-to-view transitions: the outgoing (source) and incoming (destination)
// views, the region of the source the effect covers, the duration and timing curve, what happens
// to the views at the end, the perspective and two presentation flags. A subclass implements
// perform(completion); a transition is made for one use and performed once, on the main thread.

#include "platform/foundation/NSObject.h"
#include "platform/uikit/UIView.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class UIViewController;

// What transitionDidComplete does with the two views.
enum FTCompletionAction : std::int32_t {
    // The destination joins the source's superview, the source leaves it (and is shown again).
    FTCompletionSwapViews = 0,
    // The destination is shown and the source hidden.
    FTCompletionToggleHidden = 1,
    // Both stay where they are; the source is shown again.
    FTCompletionKeepViews = 2,
};

// Exception names of misuse.
inline constexpr const char* kFTIncompleteImplementation = "Incomplete Implementation";
inline constexpr const char* kFTInvalidOperation = "Invalid Operation";

class FTTransition : public NSObject {
public:
    using Completion = std::function<void(bool finished)>;

    FTTransition(UIViewPtr sourceView, UIViewPtr destinationView, double duration, std::int64_t timingCurve,
                 std::int32_t completionAction);

    // The duration the categories and segues use.
    static double defaultDuration() { return 0.3; }

    void perform() { perform(nullptr); }
    // Runs the transition and calls the completion with true at its end. The base raises
    // "Incomplete Implementation".
    virtual void perform(Completion completion);

    // The source becomes the view of the presenting controller's topmost ancestor, and the rect
    // its bounds (below the status bar, on systems that lay views out under it).
    void setPresentingController(const std::shared_ptr<UIViewController>& controller);
    // A presented navigation controller's frame reaches under the status bar.
    void setPresentedController(const std::shared_ptr<UIViewController>& controller);
    // The rect the effect covers: a dismissal of a controller under the status bar starts below it.
    CGRect calculateRect();
    virtual void transitionDidComplete();
    // The platform timing function of the timing curve.
    std::string timingCurveFunctionName() const;

    UIViewPtr sourceView() const { return sourceView_; }
    void setSourceView(UIViewPtr view) { sourceView_ = std::move(view); }
    UIViewPtr destinationView() const { return destinationView_; }
    void setDestinationView(UIViewPtr view) { destinationView_ = std::move(view); }
    double duration() const { return duration_; }
    void setDuration(double duration) { duration_ = duration; }
    CGRect rect() const { return rect_; }
    void setRect(const CGRect& rect) { rect_ = rect; }
    std::int32_t completionAction() const { return completionAction_; }
    void setCompletionAction(std::int32_t action) { completionAction_ = action; }
    std::int64_t timingCurve() const { return timingCurve_; }
    void setTimingCurve(std::int64_t curve) { timingCurve_ = curve; }
    bool presentedControllerIncludesStatusBarInFrame() const { return statusBarInFrame_; }
    void setPresentedControllerIncludesStatusBarInFrame(bool includes) { statusBarInFrame_ = includes; }
    // Positive infinity: derived from the size of the effect.
    float m34() const { return m34_; }
    void setM34(float m34) { m34_ = m34; }
    bool isDimissing() const { return dismissing_; }
    void setDismissing(bool dismissing) { dismissing_ = dismissing; }

protected:
    // The two halves of the across length at the screen scale: the first rounded to whole pixels
    // (half-way away from zero, in single precision), the second the rest; odd when the first is
    // not the exact half.
    struct Split {
        CGFloat half, first, second;
        bool odd;
    };
    static Split splitAcross(CGFloat across, CGFloat scale);
    // The perspective entry for a half of that length: the m34 property when finite.
    CGFloat perspective(CGFloat half) const;
    // Sizes the destination for a presentation and moves the half rects into the destination's
    // coordinates (the stored rect moves with a dismissal outside the status bar); the rect of the
    // effect is r.
    void destinationSideRects(const CGRect& r, CGRect& first, CGRect& second);
    // Where the animation's host view goes: the stored rect seen from the view in its container.
    CGRect hostFrame(const UIViewPtr& view, const UIViewPtr& container, CGRect* firstConverted) const;

private:
    UIViewPtr sourceView_;
    UIViewPtr destinationView_;
    double duration_;
    CGRect rect_;
    std::int32_t completionAction_;
    std::int64_t timingCurve_;
    bool statusBarInFrame_ = false;
    float m34_;
    bool dismissing_ = false;
};
