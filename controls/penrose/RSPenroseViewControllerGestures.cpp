// The triangle under the finger: a pan moves it up and down (and turns it when it can rotate), a
// two-finger turn rotates the dropped triangle; on release it settles and snaps to a side.

#include "controls/penrose/RSPenroseViewController.h"

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIRotationGestureRecognizer.h"

#include <algorithm>

namespace {
// A pan this far towards the parking edge parks the menu; anything less drops it.
constexpr float kParkDistance = 50;
// Above this centre y the overlay fades with the container.
constexpr CGFloat kOverlayFadeHeight = 150;
// Points of horizontal drag per radian of turn (leftward turns clockwise).
constexpr double kPointsPerRadian = -100;
// The summed turn that moves the selection one side.
constexpr float kTurnStep = 5;
constexpr int kSides = 3;

// The platform's CGAffineTransformRotate: the turn first, then the transform.
CGAffineTransform rotated(const CGAffineTransform& t, CGFloat angle) {
    return CGAffineTransformConcat(CGAffineTransformMakeRotation(angle), t);
}

bool finishing(UIGestureRecognizerState state) {
    // A cancelled gesture settles as an ended one would, so the menu never stays halfway.
    return state == UIGestureRecognizerStateEnded || state == UIGestureRecognizerStateCancelled;
}
} // namespace

void RSPenroseViewController::panPenroseGesture(UIGestureRecognizer& gesture) {
    auto state = gesture.state();
    CGPoint p = gesture.locationInView(view());
    if (state == UIGestureRecognizerStateBegan) {
        locationStateBegan_ = p;
        centerPenroseStateBegan_ = penroseViewContainer_->center();
        insertOverlayBelowContainer();
        UIApplication::sharedApplication()->setStatusBarHiddenWithAnimation(true, UIStatusBarAnimationSlide);
    } else {
        penroseViewContainer_->setCenter(
            CGPointMake(centerPenroseStateBegan_.x, centerPenroseStateBegan_.y + p.y - locationStateBegan_.y));
    }
    if (finishing(state))
        settlePan(static_cast<float>(penroseViewContainer_->center().y - centerPenroseStateBegan_.y));
    if (state != UIGestureRecognizerStateBegan) {
        CGFloat y = penroseViewContainer_->center().y;
        // Never below transparent: a container pushed past the top would give a negative alpha.
        overlayBackground_->setAlpha(y < kOverlayFadeHeight ? std::max<CGFloat>(0, kOverlayAlpha * (y / kOverlayFadeHeight))
                                                            : kOverlayAlpha);
    }

    if (!penroseView_->canRotate()) return;
    if (state == UIGestureRecognizerStateBegan) {
        currentTransformPan_ = penroseView_->transform();
        lastRotation_ = 0;
        totalRotation_ = 0;
        return;
    }
    float r = static_cast<float>((p.x - locationStateBegan_.x) / kPointsPerRadian);
    penroseView_->setTransform(rotated(currentTransformPan_, r));
    lastRotation_ = r;
    totalRotation_ += r;
    if (finishing(state)) snapToTurnedSide();
}

void RSPenroseViewController::settlePan(float d) {
    if (d <= -kParkDistance) {
        if (sideAppear_ == 0) hidePenroseView();
        else if (sideAppear_ == 1) showPenroseView();
    } else if (d >= kParkDistance) {
        if (sideAppear_ == 1) hidePenroseView();
        else if (sideAppear_ == 0) showPenroseView();
    } else {
        showPenroseView();
    }
}

void RSPenroseViewController::rotatePenroseGesture(UIGestureRecognizer& gesture) {
    if (!penroseRevealed_ || !penroseView_->canRotate()) return;
    auto state = gesture.state();
    if (state == UIGestureRecognizerStateBegan) {
        lastRotation_ = 0;
        totalRotation_ = 0;
        return;
    }
    CGFloat rotation = static_cast<UIRotationGestureRecognizer&>(gesture).rotation();
    penroseView_->setTransform(rotated(penroseView_->transform(), rotation - lastRotation_));
    lastRotation_ = static_cast<float>(rotation);
    totalRotation_ += static_cast<float>(rotation);
    if (finishing(state)) snapToTurnedSide();
}

int RSPenroseViewController::sideAfterTurn() const {
    int side = penroseView_->currentSide();
    if (totalRotation_ >= kTurnStep) return (side + 1) % kSides;
    if (totalRotation_ <= -kTurnStep) return (side + kSides - 1) % kSides;
    return side;
}

void RSPenroseViewController::snapToTurnedSide() {
    int side = sideAfterTurn();
    penroseView_->selectSide(side);
    didSelectPenroseButtonAtIndex(side);
}
