#include "controls/transitions/FTFoldTransition.h"

#include "controls/transitions/FTAnimation.h"
#include "controls/transitions/FTFoldGeometry.h"
#include "controls/transitions/FTTransitionWrappers.h"
#include "platform/uikit/CAGradientLayer.h"
#include "platform/uikit/CATransaction.h"
#include "platform/uikit/CATransformLayer.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"

#include <cmath>

namespace {
constexpr double kCubeFaceShadowAlpha = 0.25;

std::shared_ptr<CAGradientLayer> shade(const CALayer& half, const FTFoldAxis& axis, std::vector<UIColorPtr> colours) {
    auto g = CAGradientLayer::layer();
    g->setFrame(axis.sideways ? CGRectInset(half.bounds(), 0, 1) : CGRectInset(half.bounds(), 1, 0));
    g->setStartPoint(axis.sideways ? CGPointMake(0, 0.5) : CGPointMake(0.5, 0));
    g->setEndPoint(axis.sideways ? CGPointMake(1, 0.5) : CGPointMake(0.5, 1));
    g->setOpacity(0);
    g->setColors(std::move(colours));
    return g;
}

std::shared_ptr<CALayer> half(CALayer& parent, CGSize size, CGPoint anchor, CGPoint position, const UIImagePtr& image) {
    auto l = CALayer::layer();
    l->setBounds(CGRectMake(0, 0, size.width, size.height));
    l->setAnchorPoint(anchor);
    l->setPosition(position);
    if (image) l->setContents(image->CGImage());
    parent.addSublayer(l);
    return l;
}

std::shared_ptr<CATransformLayer> hinge(CALayer& parent, const CGRect& frame, CGPoint anchor, CGPoint position) {
    auto l = CATransformLayer::layer();
    l->setFrame(frame);
    l->setAnchorPoint(anchor);
    l->setPosition(position);
    parent.addSublayer(l);
    return l;
}

void rotate(CALayer& layer, const std::string& keyPath, double from, double to, bool reverse) {
    auto a = CABasicAnimation::animationWithKeyPath(keyPath);
    a->setFromValue(reverse ? to : from);
    a->setToValue(reverse ? from : to);
    a->setFillMode(kCAFillModeForwards);
    a->setRemovedOnCompletion(false);
    layer.addAnimation(a, "");
}

void keyFrames(CALayer& layer, const std::string& keyPath, const std::vector<float>& values) {
    auto a = CAKeyframeAnimation::animationWithKeyPath(keyPath);
    std::vector<CAAnimationValue> boxed(values.begin(), values.end());
    a->setValues(std::move(boxed));
    a->setFillMode(kCAFillModeForwards);
    a->setRemovedOnCompletion(false);
    layer.addAnimation(a, "");
}
} // namespace

FTFoldTransition::FTFoldTransition(UIViewPtr sourceView, UIViewPtr destinationView, double duration, std::uint64_t style,
                                   std::int32_t completionAction)
    : FTTransition(std::move(sourceView), std::move(destinationView), duration, (style & FTFoldStyleReverse) ? 1 : 2,
                   completionAction),
      style_(style) {}

void FTFoldTransition::perform(Completion completion) {
    const bool reverse = style_ & FTFoldStyleReverse, cube = style_ & FTFoldStyleCube;
    const FTFoldAxis axis{static_cast<bool>(style_ & FTFoldStyleSideways)};
    auto r = calculateRect();
    auto split = splitAcross(axis.across(r.size), UIScreen::mainScreen()->scale());

    // The halves in the source's coordinates, then in the destination's.
    CGRect sourceFirst = axis.firstHalf(r, split.first), sourceSecond = axis.secondHalf(r, split.first, split.second);
    CGRect destFirst = sourceFirst, destSecond = sourceSecond;
    destinationSideRects(r, destFirst, destSecond);

    auto folding = reverse ? destinationView() : sourceView();
    auto other = reverse ? sourceView() : destinationView();
    CGRect foldFirst = reverse ? destFirst : sourceFirst, foldSecond = reverse ? destSecond : sourceSecond;
    CGRect otherFirst = reverse ? sourceFirst : destFirst, otherSecond = reverse ? sourceSecond : destSecond;
    const UIEdgeInsets insets = axis.edgeInsets();
    auto image1 = FTAnimation::renderImageFromView(folding, foldFirst, insets);
    auto image2 = FTAnimation::renderImageFromView(folding, foldSecond, insets);
    if (split.odd) otherSecond = axis.growTowardsFold(otherSecond);
    auto image3 = FTAnimation::renderImageFromView(other, otherFirst, cube ? insets : UIEdgeInsetsZero);
    auto image4 = FTAnimation::renderImageFromView(other, otherSecond, cube ? insets : UIEdgeInsetsZero);

    auto hidden = sourceView()->superview() ? sourceView() : destinationView();
    auto container = hidden->superview();
    // Neither view is on screen: there is nothing to fold over, and nothing finished.
    if (!container) {
        if (completion) completion(false);
        return;
    }
    hidden->setHidden(true);
    CGRect converted;
    auto host = std::make_shared<UIView>(hostFrame(hidden, container, &converted));
    host->setBackgroundColor(UIColor::clearColor());
    host->setTransform(hidden->transform());
    container->insertSubviewAtIndex(host, 0);
    if (std::dynamic_pointer_cast<UIWindow>(container))
        host->layer()->setPosition({CGRectGetMidX(converted), CGRectGetMidY(converted)});

    const CGFloat L = axis.along(r.size), A = axis.across(r.size), f = split.first, g = split.second;
    const CGFloat c = cube ? 2 : 0;
    auto main = CALayer::layer();
    main->setFrame(axis.rect(0, 0, L, A));
    host->layer()->addSublayer(main);
    auto upper = hinge(*main, host->bounds(), axis.point(0.5, 0), axis.point(L / 2, 0));
    auto incomingFirst = half(*upper, axis.size(L + c, f), axis.point(0.5, 1), axis.point(L / 2, 0), image3);
    auto foldingFirst = half(*upper, axis.size(L + 2, f), axis.point(0.5, 0), axis.point(L / 2, 0), image1);
    auto lower = hinge(*upper, axis.rect(0, 0, L, A), axis.point(0.5, 0), axis.point(L / 2, f));
    auto foldingSecond = half(*lower, axis.size(L + 2, g), axis.point(0.5, 0), axis.point(L / 2, 0), image2);
    auto incomingSecond = half(*lower, axis.size(L + c, f), axis.point(0.5, 0), axis.point(L / 2, g), image4);

    auto shadow = foldShadowColor_, clear = UIColor::clearColor();
    auto firstShade = shade(*foldingFirst, axis, {shadow, clear});
    foldingFirst->addSublayer(firstShade);
    auto secondShade = shade(*foldingSecond, axis, {shadow, cube ? clear : shadow->colorWithAlphaComponent(kCubeFaceShadowAlpha)});
    foldingSecond->addSublayer(secondShade);
    std::shared_ptr<CAGradientLayer> incomingFirstShade, incomingSecondShade;
    if (cube) {
        incomingFirstShade = shade(*incomingFirst, axis, {shadow, clear});
        incomingFirst->addSublayer(incomingFirstShade);
        incomingSecondShade = shade(*incomingSecond, axis, {shadow, clear});
        incomingSecond->addSublayer(incomingSecondShade);
    }

    auto frames = FTFoldKeyFrames::make(duration(), reverse, split.half, foldShadowOpacity_);
    auto identity = CATransform3DIdentity;
    identity.m34 = perspective(split.half);
    main->setSublayerTransform(identity);

    CATransaction::begin();
    CATransaction::setAnimationDuration(static_cast<float>(duration()));
    CATransaction::setAnimationTimingFunction(CAMediaTimingFunction::functionWithName(timingCurveFunctionName()));
    auto me = self<FTFoldTransition>();
    CATransaction::setCompletionBlock([me, host, completion] {
        host->removeFromSuperview();
        me->transitionDidComplete();
        if (completion) completion(true);
    });
    const std::string rotation = axis.sideways ? "transform.rotation.y" : "transform.rotation.x";
    const double d = (axis.sideways ? -1 : 1) * M_PI / 180;
    rotate(*upper, rotation, 0, -90 * d, reverse);
    rotate(*lower, rotation, 0, 180 * d, reverse);
    if (cube) {
        auto [x, y] = axis.sideways ? std::pair{0, 1} : std::pair{1, 0};
        incomingSecond->setTransform(CATransform3DRotate(incomingSecond->transform(), -90 * d, x, y, 0));
        incomingFirst->setTransform(CATransform3DRotate(incomingFirst->transform(), 90 * d, x, y, 0));
    } else {
        rotate(*incomingSecond, rotation, 0, -90 * d, reverse);
        rotate(*incomingFirst, rotation, 0, 90 * d, reverse);
    }
    keyFrames(*main, axis.sideways ? "bounds.size.width" : "bounds.size.height", frames.sizes);
    keyFrames(*firstShade, "opacity", frames.foldingShades);
    keyFrames(*secondShade, "opacity", frames.foldingShades);
    if (cube) {
        keyFrames(*incomingFirstShade, "opacity", frames.cubeShades);
        keyFrames(*incomingSecondShade, "opacity", frames.cubeShades);
    }
    CATransaction::commit();
}

using FoldWrappers = FTTransitionWrappers<FTFoldTransition>;

void FTFoldTransition::transitionFromViewControllerToViewControllerDurationStyleCompletion(
    const std::shared_ptr<UIViewController>& from, const std::shared_ptr<UIViewController>& to, double duration,
    std::uint64_t style, Completion completion) {
    FoldWrappers::betweenControllers(from, to, duration, style, std::move(completion));
}

void FTFoldTransition::transitionFromViewToViewDurationStyleTransitionActionCompletion(const UIViewPtr& from, const UIViewPtr& to,
                                                                                      double duration, std::uint64_t style,
                                                                                      std::int32_t action, Completion completion) {
    FoldWrappers::betweenViews(from, to, duration, style, action, std::move(completion));
}

void FTFoldTransition::presentViewControllerFromDurationStyleCompletion(const std::shared_ptr<UIViewController>& presented,
                                                                        const std::shared_ptr<UIViewController>& presenting,
                                                                        double duration, std::uint64_t style,
                                                                        Completion completion) {
    FoldWrappers::present(presented, presenting, duration, style, std::move(completion));
}

void FTFoldTransition::dismissViewControllerFromPresentingControllerDurationStyleCompletion(
    const std::shared_ptr<UIViewController>& presenting, double duration, std::uint64_t style, Completion completion) {
    FoldWrappers::dismiss(presenting, duration, style, std::move(completion));
}
