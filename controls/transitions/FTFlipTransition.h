#pragma once
// The page flip: the outgoing view is cut along its middle, the half on the reveal side turns
// about the middle line to 90 degrees (stage 0), then the incoming view's half on the facing side
// turns from 90 degrees down onto it (stage 1), with shading on the turning page and on the pages
// it covers and uncovers. The page layers live in an animation view on top of the container; the
// real views underneath make up the still pages, the upper one masked to its visible half.

#include "controls/transitions/FTTransition.h"
#include "platform/uikit/CAGradientLayer.h"
#include "platform/uikit/CAShapeLayer.h"
#include "platform/uikit/CATransform3D.h"
#include "platform/uikit/UIColor.h"

#include <cstdint>

class UIViewController;

enum FTFlipStyle : std::uint64_t {
    FTFlipStyleDefault = 0,
    FTFlipStyleBackward = 1,
    FTFlipStyleVertical = 2,
    FTFlipStyleReversePerspective = 4,
};

class FTFlipTransition : public FTTransition {
public:
    // Ease-in-ease-out whatever the style.
    FTFlipTransition(UIViewPtr sourceView, UIViewPtr destinationView, double duration, std::uint64_t style,
                     std::int32_t completionAction);

    void perform(Completion completion) override;
    void buildLayers();
    void cleanupLayers();
    // Non-zero: the back turns.
    void switchToStage(int stage);
    void animateFlip1FromProgressWithCompletion(bool flag, double progress, Completion completion);
    void animateFlip2FromProgressWithCompletion(bool flag, double progress, Completion completion);
    void doFlip1(double progress);
    void doFlip2(double progress);
    CATransform3D flipTransform1(double progress) const;
    CATransform3D flipTransform2(double progress) const;
    void transitionDidComplete() override;
    std::string timingCurveFunctionNameFirstHalf() const;
    std::string timingCurveFunctionNameSecondHalf() const;

    bool wasDestinationViewShown() const { return destinationViewShown_; }
    bool wereLayersBuilt() const { return layersBuilt_; }
    UIViewPtr animationView() const { return animationView_; }
    std::shared_ptr<CALayer> layerFront() const { return layerFront_; }
    std::shared_ptr<CALayer> layerFacing() const { return layerFacing_; }
    std::shared_ptr<CALayer> layerBack() const { return layerBack_; }
    std::shared_ptr<CALayer> layerReveal() const { return layerReveal_; }
    std::shared_ptr<CAShapeLayer> revealLayerMask() const { return revealLayerMask_; }
    std::shared_ptr<CAGradientLayer> layerFrontShadow() const { return layerFrontShadow_; }
    std::shared_ptr<CAGradientLayer> layerBackShadow() const { return layerBackShadow_; }
    std::shared_ptr<CALayer> layerFacingShadow() const { return layerFacingShadow_; }
    std::shared_ptr<CALayer> layerRevealShadow() const { return layerRevealShadow_; }
    std::uint64_t flipStage() const { return flipStage_; }
    void setFlipStage(std::uint64_t stage) { flipStage_ = stage; }
    std::uint64_t style() const { return style_; }
    void setStyle(std::uint64_t style) { style_ = style; }
    double coveredPageShadowOpacity() const { return coveredPageShadowOpacity_; }
    void setCoveredPageShadowOpacity(double opacity) { coveredPageShadowOpacity_ = opacity; }
    double flippingPageShadowOpacity() const { return flippingPageShadowOpacity_; }
    void setFlippingPageShadowOpacity(double opacity) { flippingPageShadowOpacity_ = opacity; }
    UIColorPtr flipShadowColor() const { return flipShadowColor_; }
    void setFlipShadowColor(UIColorPtr color) { flipShadowColor_ = std::move(color); }

    // The fold's wrappers, with a flip.
    static void transitionFromViewControllerToViewControllerDurationStyleCompletion(
        const std::shared_ptr<UIViewController>& from, const std::shared_ptr<UIViewController>& to, double duration,
        std::uint64_t style, Completion completion);
    static void transitionFromViewToViewDurationStyleTransitionActionCompletion(const UIViewPtr& from, const UIViewPtr& to,
                                                                                 double duration, std::uint64_t style,
                                                                                 std::int32_t action, Completion completion);
    static void presentViewControllerFromDurationStyleCompletion(const std::shared_ptr<UIViewController>& presented,
                                                                 const std::shared_ptr<UIViewController>& presenting,
                                                                 double duration, std::uint64_t style, Completion completion);
    static void dismissViewControllerFromPresentingControllerDurationStyleCompletion(
        const std::shared_ptr<UIViewController>& presenting, double duration, std::uint64_t style, Completion completion);

private:
    bool backward() const { return style_ & FTFlipStyleBackward; }
    bool vertical() const { return style_ & FTFlipStyleVertical; }
    bool reversePerspective() const { return style_ & FTFlipStyleReversePerspective; }
    // The sign of the first half's end angle for the flag.
    double sigma(bool flag) const;
    void buildPages(const UIImagePtr& front, const UIImagePtr& back, const UIImagePtr& facing, const UIImagePtr& reveal,
                    CGRect revealHalf, CGRect facingHalf, CGPoint foldPoint);
    void buildShading();

    bool destinationViewShown_ = false;
    bool layersBuilt_ = false;
    UIViewPtr animationView_;
    std::shared_ptr<CALayer> layerFront_, layerFacing_, layerBack_, layerReveal_;
    std::shared_ptr<CAShapeLayer> revealLayerMask_;
    std::weak_ptr<CALayer> maskedLayer_;
    std::shared_ptr<CAGradientLayer> layerFrontShadow_, layerBackShadow_;
    std::shared_ptr<CALayer> layerFacingShadow_, layerRevealShadow_;
    std::uint64_t flipStage_ = 0;
    std::uint64_t style_;
    double coveredPageShadowOpacity_ = 1.0 / 3.0;
    double flippingPageShadowOpacity_ = 0.1;
    UIColorPtr flipShadowColor_ = UIColor::blackColor();
};
