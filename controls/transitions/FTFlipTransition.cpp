#include "controls/transitions/FTFlipTransition.h"

#include "controls/transitions/FTAnimation.h"
#include "controls/transitions/FTFoldGeometry.h"
#include "controls/transitions/FTTransitionWrappers.h"
#include "controls/transitions/UIView+FTAnimation.h"
#include "platform/uikit/CATransaction.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kEdgeShadowAlpha = 0.5;
constexpr unsigned long kAllMarginsFlexible = UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin |
                                              UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleBottomMargin;

std::shared_ptr<CALayer> page(CGSize size, CGPoint anchor, CGPoint position, const UIImagePtr& image) {
    auto l = CALayer::layer();
    l->setBounds(CGRectMake(0, 0, size.width, size.height));
    l->setAnchorPoint(anchor);
    l->setPosition(position);
    if (image) l->setContents(image->CGImage());
    return l;
}

CGPoint flipped(CGPoint p, bool vertical) { return vertical ? CGPointMake(p.y, p.x) : p; }
} // namespace

FTFlipTransition::FTFlipTransition(UIViewPtr sourceView, UIViewPtr destinationView, double duration, std::uint64_t style,
                                   std::int32_t completionAction)
    : FTTransition(std::move(sourceView), std::move(destinationView), duration, 0, completionAction), style_(style) {}

void FTFlipTransition::perform(Completion completion) {
    buildLayers();
    // Neither view is on screen: there is nothing to turn over, and nothing finished.
    if (!layersBuilt_) {
        if (completion) completion(false);
        return;
    }
    doFlip2(0);
    animateFlip1FromProgressWithCompletion(false, 0, std::move(completion));
}

void FTFlipTransition::buildLayers() {
    if (layersBuilt_ || (!sourceView()->superview() && !destinationView()->superview())) return;
    // A horizontal flip turns about an upright middle line: the fold's sideways geometry.
    const FTFoldAxis axis{!vertical()};
    auto r = calculateRect();
    auto split = splitAcross(axis.across(r.size), UIScreen::mainScreen()->scale());
    CGRect sourceFirst = axis.firstHalf(r, split.first), sourceSecond = axis.secondHalf(r, split.first, split.second);
    CGRect destFirst = sourceFirst, destSecond = sourceSecond;
    destinationSideRects(r, destFirst, destSecond);
    CGRect sourceReveal = backward() ? sourceFirst : sourceSecond, sourceFacing = backward() ? sourceSecond : sourceFirst;
    CGRect destReveal = backward() ? destFirst : destSecond, destFacing = backward() ? destSecond : destFirst;
    auto source = sourceView(), destination = destinationView();
    const UIEdgeInsets insets = axis.edgeInsets();
    auto front = FTAnimation::renderImageFromView(source, sourceReveal, insets);

    auto stepView = source->superview() ? source : destination;
    auto container = stepView->superview();
    bool destinationAbove = true, needsReveal = false;
    UIImagePtr facing;
    auto unhide = [&] {
        if (!destination->isHidden()) return;
        destination->setHidden(false);
        destinationViewShown_ = true;
    };
    switch (completionAction()) {
    case FTCompletionKeepViews:
        if (source->superview() == destination->superview()) {
            destinationAbove = UIView_FTAnimation::isAboveSiblingView(destination, source);
            unhide();
        } else if (source->superview()) {
            unhide();
            needsReveal = true;
        } else {
            facing = FTAnimation::renderImageFromView(source, sourceFacing);
        }
        break;
    case FTCompletionToggleHidden:
        destination->setHidden(false);
        destinationAbove = UIView_FTAnimation::isAboveSiblingView(destination, source);
        break;
    case FTCompletionSwapViews:
        if (!std::dynamic_pointer_cast<UIWindow>(container)) destination->setFrame(source->frame());
        container->addSubview(destination);
        break;
    default: break;
    }
    auto back = FTAnimation::renderImageFromView(destination, destFacing, insets);
    auto reveal = needsReveal ? FTAnimation::renderImageFromView(destination, destReveal) : nullptr;

    CGRect converted;
    animationView_ = std::make_shared<UIView>(hostFrame(stepView, container, &converted));
    animationView_->setBackgroundColor(UIColor::clearColor());
    animationView_->setTransform(stepView->transform());
    animationView_->setAutoresizingMask(kAllMarginsFlexible);
    container->addSubview(animationView_);
    if (std::dynamic_pointer_cast<UIWindow>(container))
        animationView_->layer()->setPosition({CGRectGetMidX(converted), CGRectGetMidY(converted)});

    buildPages(front, back, facing, reveal, sourceReveal, sourceFacing, axis.point(axis.along(r.size) / 2, split.first));

    revealLayerMask_ = CAShapeLayer::layer();
    auto path = CGPath::create();
    path->addRect(destinationAbove ? destReveal : destFacing);
    revealLayerMask_->setPath(path);
    auto masked = destinationAbove ? destination->layer() : source->layer();
    masked->setMask(revealLayerMask_);
    maskedLayer_ = masked;

    buildShading();
    auto sublayer = CATransform3DIdentity;
    CGFloat m34 = perspective(split.half);
    sublayer.m34 = reversePerspective() ? -m34 : m34;
    animationView_->layer()->setSublayerTransform(sublayer);
    layersBuilt_ = true;
}

void FTFlipTransition::buildPages(const UIImagePtr& front, const UIImagePtr& back, const UIImagePtr& facing,
                                  const UIImagePtr& reveal, CGRect revealHalf, CGRect facingHalf, CGPoint foldPoint) {
    const FTFoldAxis axis{!vertical()};
    CGPoint revealAnchor = axis.point(0.5, backward() ? 1 : 0), facingAnchor = axis.point(0.5, backward() ? 0 : 1);
    auto root = animationView_->layer();
    layerReveal_ = page(reveal ? reveal->size() : revealHalf.size, revealAnchor, foldPoint, reveal);
    root->addSublayer(layerReveal_);
    layerFacing_ = page(facing ? facing->size() : facingHalf.size, facingAnchor, foldPoint, facing);
    root->addSublayer(layerFacing_);
    layerFront_ = page(front->size(), revealAnchor, foldPoint, front);
    root->addSublayer(layerFront_);
    layerBack_ = page(back->size(), facingAnchor, foldPoint, back);
}

void FTFlipTransition::buildShading() {
    auto shadow = flipShadowColor_, edge = flipShadowColor_->colorWithAlphaComponent(kEdgeShadowAlpha),
         clear = UIColor::clearColor();
    // Towards the middle line from the outer edge, or from the middle line outwards.
    auto gradient = [&](const std::shared_ptr<CALayer>& onto, bool fromEdge, float opacity) {
        auto g = CAGradientLayer::layer();
        g->setFrame(vertical() ? CGRectInset(onto->bounds(), 1, 0) : CGRectInset(onto->bounds(), 0, 1));
        g->setColors(fromEdge ? std::vector<UIColorPtr>{edge, shadow, clear} : std::vector<UIColorPtr>{clear, shadow, edge});
        g->setLocations(fromEdge ? std::vector<double>{0, 0.1, 1} : std::vector<double>{0, 0.9, 1});
        g->setStartPoint(flipped(fromEdge ? CGPointMake(0, 0.5) : CGPointMake(0.5, 0.5), vertical()));
        g->setEndPoint(flipped(fromEdge ? CGPointMake(0.5, 0.5) : CGPointMake(1, 0.5), vertical()));
        g->setOpacity(opacity);
        onto->addSublayer(g);
        return g;
    };
    layerFrontShadow_ = gradient(layerFront_, !backward(), 0);
    layerBackShadow_ = gradient(layerBack_, backward(), static_cast<float>(flippingPageShadowOpacity_));
    if (reversePerspective()) return;
    auto shade = [&](const std::shared_ptr<CALayer>& over, double opacity) {
        auto s = CALayer::layer();
        s->setFrame(over->bounds());
        s->setBackgroundColor(flipShadowColor_);
        s->setOpacity(static_cast<float>(opacity));
        return s;
    };
    layerRevealShadow_ = shade(layerReveal_, coveredPageShadowOpacity_);
    layerReveal_->addSublayer(layerRevealShadow_);
    layerFacingShadow_ = shade(layerFacing_, 0);
}

void FTFlipTransition::cleanupLayers() {
    if (!layersBuilt_) return;
    animationView_->removeFromSuperview();
    CATransaction::begin();
    CATransaction::setDisableActions(true);
    if (auto masked = maskedLayer_.lock(); masked && masked->mask() == revealLayerMask_) masked->setMask(nullptr);
    CATransaction::commit();
    animationView_.reset();
    layerFront_.reset();
    layerFacing_.reset();
    layerBack_.reset();
    layerReveal_.reset();
    layerFrontShadow_.reset();
    layerBackShadow_.reset();
    layerFacingShadow_.reset();
    layerRevealShadow_.reset();
    revealLayerMask_.reset();
    layersBuilt_ = false;
}

void FTFlipTransition::transitionDidComplete() {
    switch (completionAction()) {
    case FTCompletionSwapViews: sourceView()->removeFromSuperview(); break;
    case FTCompletionToggleHidden: sourceView()->setHidden(true); break;
    case FTCompletionKeepViews:
        if (destinationViewShown_) destinationView()->setHidden(true);
        break;
    default: break;
    }
}

std::string FTFlipTransition::timingCurveFunctionNameFirstHalf() const {
    return timingCurve() == 2 || timingCurve() == 3 ? kCAMediaTimingFunctionLinear : kCAMediaTimingFunctionEaseIn;
}

std::string FTFlipTransition::timingCurveFunctionNameSecondHalf() const {
    return timingCurve() == 1 || timingCurve() == 3 ? kCAMediaTimingFunctionLinear : kCAMediaTimingFunctionEaseOut;
}

using FlipWrappers = FTTransitionWrappers<FTFlipTransition>;

void FTFlipTransition::transitionFromViewControllerToViewControllerDurationStyleCompletion(
    const std::shared_ptr<UIViewController>& from, const std::shared_ptr<UIViewController>& to, double duration,
    std::uint64_t style, Completion completion) {
    FlipWrappers::betweenControllers(from, to, duration, style, std::move(completion));
}

void FTFlipTransition::transitionFromViewToViewDurationStyleTransitionActionCompletion(const UIViewPtr& from, const UIViewPtr& to,
                                                                                      double duration, std::uint64_t style,
                                                                                      std::int32_t action, Completion completion) {
    FlipWrappers::betweenViews(from, to, duration, style, action, std::move(completion));
}

void FTFlipTransition::presentViewControllerFromDurationStyleCompletion(const std::shared_ptr<UIViewController>& presented,
                                                                        const std::shared_ptr<UIViewController>& presenting,
                                                                        double duration, std::uint64_t style,
                                                                        Completion completion) {
    FlipWrappers::present(presented, presenting, duration, style, std::move(completion));
}

void FTFlipTransition::dismissViewControllerFromPresentingControllerDurationStyleCompletion(
    const std::shared_ptr<UIViewController>& presenting, double duration, std::uint64_t style, Completion completion) {
    FlipWrappers::dismiss(presenting, duration, style, std::move(completion));
}
