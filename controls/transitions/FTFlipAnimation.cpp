// The flip's poses, stage switch and the two animated halves.

#include "controls/transitions/FTFlipTransition.h"

#include "platform/uikit/CATransaction.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kQuarterTurn = M_PI / 2;
constexpr double kFramesPerSecond = 60;

// A change of the layers' model values that makes no implicit animations.
template <class F>
void withoutActions(F&& change) {
    CATransaction::begin();
    CATransaction::setDisableActions(true);
    change();
    CATransaction::commit();
}

void animate(CALayer& layer, const std::string& keyPath, double from, double to) {
    auto a = CABasicAnimation::animationWithKeyPath(keyPath);
    a->setFromValue(from);
    a->setToValue(to);
    a->setFillMode(kCAFillModeForwards);
    a->setRemovedOnCompletion(false);
    layer.addAnimation(a, "");
}

// The shade's key frames from progress p to the end: cos falling (first half) or sin rising.
void shadeFrames(CALayer& shade, unsigned n, double p, double opacity, bool rising) {
    std::vector<CAAnimationValue> values;
    float last = 0;
    for (unsigned i = 0; i <= n; ++i) {
        double at = n == 0 ? 1 : p + (1 - p) * i / n;
        auto v = static_cast<float>(opacity * (rising ? std::sin(at * kQuarterTurn) : std::cos(at * kQuarterTurn)));
        if (rising ? i == 0 : i == n) v = 0;
        values.emplace_back(static_cast<double>(v));
        last = v;
    }
    auto a = CAKeyframeAnimation::animationWithKeyPath("opacity");
    a->setValues(std::move(values));
    a->setFillMode(kCAFillModeForwards);
    a->setRemovedOnCompletion(false);
    shade.addAnimation(a, "");
    shade.setOpacity(last);
}
} // namespace

CATransform3D FTFlipTransition::flipTransform1(double progress) const {
    double angle = progress * kQuarterTurn * (backward() ? 1 : -1);
    return vertical() ? CATransform3DMakeRotation(angle, -1, 0, 0) : CATransform3DMakeRotation(angle, 0, 1, 0);
}

CATransform3D FTFlipTransition::flipTransform2(double progress) const {
    double angle = (1 - progress) * kQuarterTurn * (backward() ? -1 : 1);
    return vertical() ? CATransform3DMakeRotation(angle, -1, 0, 0) : CATransform3DMakeRotation(angle, 0, 1, 0);
}

void FTFlipTransition::doFlip1(double progress) {
    double p = std::clamp(progress, 0.0, 1.0);
    withoutActions([&] {
        layerFront_->setTransform(flipTransform1(p));
        layerFrontShadow_->setOpacity(static_cast<float>(p * flippingPageShadowOpacity_));
        if (layerRevealShadow_) layerRevealShadow_->setOpacity(static_cast<float>(std::cos(p * kQuarterTurn) * coveredPageShadowOpacity_));
    });
}

void FTFlipTransition::doFlip2(double progress) {
    double p = std::clamp(progress, 0.0, 1.0);
    withoutActions([&] {
        layerBack_->setTransform(flipTransform2(p));
        layerBackShadow_->setOpacity(static_cast<float>((1 - p) * flippingPageShadowOpacity_));
        if (layerFacingShadow_) layerFacingShadow_->setOpacity(static_cast<float>(std::sin(p * kQuarterTurn) * coveredPageShadowOpacity_));
    });
}

void FTFlipTransition::switchToStage(int stage) {
    auto root = animationView_->layer();
    withoutActions([&] {
        if (stage) {
            doFlip1(1);
            root->insertSublayerAbove(layerReveal_, layerFacing_);
            root->insertSublayerBelow(layerBack_, layerReveal_);
            if (layerFacingShadow_) layerFacing_->addSublayer(layerFacingShadow_);
            layerFront_->removeFromSuperlayer();
            if (layerRevealShadow_) layerRevealShadow_->removeFromSuperlayer();
        } else {
            doFlip2(0);
            root->insertSublayerAbove(layerFacing_, layerReveal_);
            root->insertSublayerBelow(layerFront_, layerFacing_);
            if (layerRevealShadow_) layerReveal_->addSublayer(layerRevealShadow_);
            layerBack_->removeFromSuperlayer();
            if (layerFacingShadow_) layerFacingShadow_->removeFromSuperlayer();
        }
    });
}

double FTFlipTransition::sigma(bool flag) const { return (flag ? -1 : 1) * (backward() ? 1 : -1) * (vertical() ? -1 : 1); }

void FTFlipTransition::animateFlip1FromProgressWithCompletion(bool flag, double progress, Completion completion) {
    auto pageLayer = flag ? layerBack_ : layerFront_;
    std::shared_ptr<CALayer> gradient = flag ? layerBackShadow_ : layerFrontShadow_;
    auto shade = flag ? layerFacingShadow_ : layerRevealShadow_;
    double p = flag ? 1 - progress : progress;
    double t = (1 - p) * duration() * 0.5;
    auto n = static_cast<unsigned>(std::ceil(static_cast<float>(t * kFramesPerSecond)));
    double k = sigma(flag) * kQuarterTurn;

    CATransaction::begin();
    CATransaction::setAnimationDuration(static_cast<float>(t));
    CATransaction::setAnimationTimingFunction(CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseIn));
    auto me = self<FTFlipTransition>();
    CATransaction::setCompletionBlock([me, flag, completion] {
        me->setFlipStage(flag ? 0 : 1);
        me->switchToStage(flag ? 0 : 1);
        me->animateFlip2FromProgressWithCompletion(flag, flag ? 1.0 : 0.0, completion);
    });
    animate(*pageLayer, vertical() ? "transform.rotation.x" : "transform.rotation.y", p * k, k);
    pageLayer->setTransform(vertical() ? CATransform3DMakeRotation(k, 1, 0, 0) : CATransform3DMakeRotation(k, 0, 1, 0));
    animate(*gradient, "opacity", p * flippingPageShadowOpacity_, flippingPageShadowOpacity_);
    gradient->setOpacity(static_cast<float>(flippingPageShadowOpacity_));
    if (!reversePerspective() && shade) shadeFrames(*shade, n, p, coveredPageShadowOpacity_, false);
    CATransaction::commit();
}

void FTFlipTransition::animateFlip2FromProgressWithCompletion(bool flag, double progress, Completion completion) {
    auto pageLayer = flag ? layerFront_ : layerBack_;
    std::shared_ptr<CALayer> gradient = flag ? layerFrontShadow_ : layerBackShadow_;
    auto shade = flag ? layerRevealShadow_ : layerFacingShadow_;
    double p = flag ? 1 - progress : progress;
    auto n = static_cast<unsigned>(std::ceil(static_cast<float>(duration() * 0.5 * kFramesPerSecond)));

    CATransaction::begin();
    CATransaction::setAnimationDuration(static_cast<float>(0.5 * duration()));
    CATransaction::setAnimationTimingFunction(CAMediaTimingFunction::functionWithName(timingCurveFunctionNameSecondHalf()));
    auto me = self<FTFlipTransition>();
    CATransaction::setCompletionBlock([me, completion] {
        me->cleanupLayers();
        me->transitionDidComplete();
        if (completion) completion(true);
    });
    animate(*pageLayer, vertical() ? "transform.rotation.x" : "transform.rotation.y", -sigma(flag) * kQuarterTurn * (1 - p), 0);
    pageLayer->setTransform(CATransform3DIdentity);
    animate(*gradient, "opacity", (1 - p) * flippingPageShadowOpacity_, 0);
    gradient->setOpacity(0);
    if (!reversePerspective() && shade) shadeFrames(*shade, n, p, coveredPageShadowOpacity_, true);
    CATransaction::commit();
}
