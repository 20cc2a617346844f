#pragma once
// The fold: the outgoing view folds in half along its middle like a sheet of paper while the two
// halves of the incoming view swing into place about it. Style bits play it backwards, put the
// fold line upright, or fix the incoming halves on the faces of a cube. The animation lives in a
// host view at the back of the container (index 0) with the hidden view's place; the layer tree:
//
//   main layer (its height, or width sideways, animated; perspective as sublayer transform)
//     upper hinge (CATransformLayer, turns)
//       incoming first half | folding first half (+ shade) | lower hinge (turns)
//                                                              folding second half (+ shade)
//                                                              incoming second half

#include "controls/transitions/FTTransition.h"
#include "platform/uikit/UIColor.h"

#include <cstdint>
#include <vector>

class UIViewController;

enum FTFoldStyle : std::uint64_t {
    FTFoldStyleDefault = 0,
    FTFoldStyleReverse = 1,
    FTFoldStyleCube = 2,
    FTFoldStyleSideways = 4,
};

class FTFoldTransition : public FTTransition {
public:
    // Ease-out, or ease-in when playing backwards.
    FTFoldTransition(UIViewPtr sourceView, UIViewPtr destinationView, double duration, std::uint64_t style,
                     std::int32_t completionAction);

    void perform(Completion completion) override;

    std::uint64_t style() const { return style_; }
    void setStyle(std::uint64_t style) { style_ = style; }
    double foldShadowOpacity() const { return foldShadowOpacity_; }
    void setFoldShadowOpacity(double opacity) { foldShadowOpacity_ = opacity; }
    UIColorPtr foldShadowColor() const { return foldShadowColor_; }
    void setFoldShadowColor(UIColorPtr color) { foldShadowColor_ = std::move(color); }

    // A fold from the first controller's view to the second's that keeps both views, at once.
    static void transitionFromViewControllerToViewControllerDurationStyleCompletion(
        const std::shared_ptr<UIViewController>& from, const std::shared_ptr<UIViewController>& to, double duration,
        std::uint64_t style, Completion completion);
    static void transitionFromViewToViewDurationStyleTransitionActionCompletion(const UIViewPtr& from, const UIViewPtr& to,
                                                                                 double duration, std::uint64_t style,
                                                                                 std::int32_t action, Completion completion);
    // The presented controller opens over the presenting one's topmost ancestor; it is presented
    // (without animation) when the fold ends.
    static void presentViewControllerFromDurationStyleCompletion(const std::shared_ptr<UIViewController>& presented,
                                                                 const std::shared_ptr<UIViewController>& presenting,
                                                                 double duration, std::uint64_t style, Completion completion);
    // The presented controller is dismissed at once and folds away over the presenting one's
    // topmost ancestor. Raises "Invalid Operation" when nothing is presented.
    static void dismissViewControllerFromPresentingControllerDurationStyleCompletion(
        const std::shared_ptr<UIViewController>& presenting, double duration, std::uint64_t style, Completion completion);

private:
    std::uint64_t style_;
    double foldShadowOpacity_ = 0.25;
    UIColorPtr foldShadowColor_ = UIColor::blackColor();
};
