#include "controls/sharecircle/CSShareCircleView.h"

#include "controls/sharecircle/CSShareCircleViewController.h"

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIEvent.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"

namespace {
// Single-precision constants of the animations, widened as the platform takes them.
constexpr double kSpringDuration = 0.7f;
constexpr double kSpringDamping = 0.6f;
constexpr double kCircleSpringVelocity = 0.5;
constexpr double kSlideOutDuration = 0.3f;
} // namespace

CSShareCircleView::CSShareCircleView()
    : CSShareCircleView({CSSharer::dropbox(), CSSharer::mail(), CSSharer::cameraRoll(), CSSharer::twitter(),
                         CSSharer::evernote(), CSSharer::airPrint()}) {}

CSShareCircleView::CSShareCircleView(std::vector<std::shared_ptr<CSSharer>> sharers)
    : UIView(CGRectZero), sharers_(std::move(sharers)) {
    setAutoresizingMask(kFlexibleSize);
}

std::size_t CSShareCircleView::numberOfVisibleSharers() const { return std::min(sharers_.size(), kMaxVisibleSharers); }

void CSShareCircleView::showAnimated(bool animated) {
    auto application = UIApplication::sharedApplication();
    oldKeyWindow_ = application->keyWindow();
    auto controller = std::make_shared<CSShareCircleViewController>();
    controller->setShareCircleView(self<CSShareCircleView>());
    if (!shareCircleWindow_) {
        auto window = std::make_shared<CSShareCircleBackgroundWindow>(UIScreen::mainScreen()->bounds());
        window->setRootViewController(controller);
        window->setAutoresizingMask(kFlexibleSize);
        window->setWindowLevel(kWindowLevel);
        window->setBackgroundColor(UIColor::colorWithWhite(0, kWindowDimming));
        shareCircleWindow_ = window;
    }
    // The controller's view is this view: loading it ran setup, which marked the layout dirty.
    shareCircleWindow_->makeKeyAndVisible();
    validateLayout();
    auto disc = shareCircleContainerView_;
    if (!disc) return;
    CGRect b = bounds();
    disc->setCenter(CGPointMake(CGRectGetMidX(b), -kDiscRadius));
    CGPoint shown = CGPointMake(disc->center().x, CGRectGetMidY(b));
    if (!animated) {
        disc->setCenter(shown);
        return;
    }
    animating_ = true;
    std::weak_ptr<CSShareCircleView> weak = self<CSShareCircleView>();
    // The platform has spring animations on every system this runs on.
    UIView::animateWithDuration(kSpringDuration, 0, kSpringDamping, kCircleSpringVelocity, UIViewAnimationOptionCurveEaseIn,
                                [disc, shown] { disc->setCenter(shown); },
                                [weak](bool) {
                                    if (auto view = weak.lock()) view->animating_ = false;
                                });
}

void CSShareCircleView::dismissAnimatedWithSharer(bool animated, const std::shared_ptr<CSSharer>& sharer) {
    auto me = self<CSShareCircleView>();
    auto finish = [me, sharer](bool) {
        if (sharer)
            if (auto delegate = me->delegate_.lock()) delegate->shareCircleViewDidSelectSharer(*me, sharer);
        me->teardown();
    };
    auto disc = shareCircleContainerView_;
    CGPoint gone = CGPointMake(disc ? disc->center().x : 0, CGRectGetMaxY(bounds()) + kDiscRadius);
    auto slide = [disc, gone] {
        if (disc) disc->setCenter(gone);
    };
    if (animated) UIView::animateWithDuration(kSlideOutDuration, 0, UIViewAnimationOptionCurveEaseIn, slide, finish);
    else slide();
    if (oldKeyWindow_) {
        oldKeyWindow_->makeKeyWindow();
        oldKeyWindow_->setHidden(false);
    }
    if (!animated) finish(true);
}

void CSShareCircleView::teardown() {
    if (shareCircleContainerView_) shareCircleContainerView_->removeFromSuperview();
    shareCircleContainerView_.reset();
    if (shareCircleWindow_) {
        shareCircleWindow_->setHidden(true);
        shareCircleWindow_->setRootViewController(nullptr);
    }
    shareCircleWindow_.reset();
    layoutDirty_ = false;
    dragging_ = false;
    sharerLayers_.clear();
}

CGPoint CSShareCircleView::locationInDisc(const UITouchSet& touches) const {
    if (touches.empty() || !shareCircleContainerView_) return currentPosition_;
    return (*touches.begin())->locationInView(shareCircleContainerView_);
}

void CSShareCircleView::touchesBeganWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>&) {
    if (animating_ || touches.empty()) return;
    currentPosition_ = locationInDisc(touches);
    if (circleEnclosesPoint(currentPosition_)) {
        dragging_ = true;
        invalidateLayout();
    } else {
        dismissAnimated(true);
    }
}

void CSShareCircleView::touchesMovedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>&) {
    if (animating_ || touches.empty()) return;
    currentPosition_ = locationInDisc(touches);
    if (dragging_) invalidateLayout();
}

void CSShareCircleView::touchesEndedWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>&) {
    if (animating_ || touches.empty()) return;
    currentPosition_ = locationInDisc(touches);
    auto hit = touchedSharerLayer();
    if (!dragging_) return;
    currentPosition_ = discCentre();
    if (hit) {
        for (std::size_t i = 0; i < sharerLayers_.size() && i < sharers_.size(); ++i)
            if (sharerLayers_[i] == hit) return dismissAnimatedWithSharer(true, sharers_[i]);
    }
    dragging_ = false;
    invalidateLayout();
}

void CSShareCircleView::touchesCancelledWithEvent(const UITouchSet&, const std::shared_ptr<UIEvent>&) {
    currentPosition_ = discCentre();
    dragging_ = false;
}
