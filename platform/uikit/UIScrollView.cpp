#include "platform/uikit/UIScrollView.h"

#include "platform/foundation/NSRunLoop.h"
#include "platform/uikit/UIFingers.h"
#include "platform/uikit/UIPanGestureRecognizer.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"

#include <algorithm>
#include <cmath>

namespace {
// A driver's swipe: the finger crosses this share of the visible width or height, in this many moves
// (fast enough to count as a flick).

// The page a drag settles on along one axis: the page it started on, or its neighbour when the
// drag went past half a page or left with a flick that way.
CGFloat pageOffset(CGFloat start, CGFloat now, CGFloat speed, CGFloat page, CGFloat maximum) {
    if (page <= 0 || maximum <= 0) return now;
    CGFloat first = std::round(start / page);
    CGFloat moved = now - start;
    CGFloat target = first;
    if (moved > page / 2 || (moved > 0 && speed > UIScrollView::kFlickSpeed)) target = first + 1;
    else if (moved < -page / 2 || (moved < 0 && speed < -UIScrollView::kFlickSpeed)) target = first - 1;
    CGFloat last = std::ceil(maximum / page);
    return std::clamp<CGFloat>(target, 0, last) * page;
}
} // namespace

std::optional<UIScrollViewSwipe> UIScrollViewSwipeFromName(const std::string& name) {
    if (name == "left") return UIScrollViewSwipe::Left;
    if (name == "right") return UIScrollViewSwipe::Right;
    if (name == "up") return UIScrollViewSwipe::Up;
    if (name == "down") return UIScrollViewSwipe::Down;
    return std::nullopt;
}

CGPoint UIScrollViewSwipeEnd(UIScrollViewSwipe direction, CGPoint from, const CGRect& bounds) {
    CGPoint to = from;
    switch (direction) {
    case UIScrollViewSwipe::Left: to.x -= kUIScrollViewSwipeDistance; break;
    case UIScrollViewSwipe::Right: to.x += kUIScrollViewSwipeDistance; break;
    case UIScrollViewSwipe::Up: to.y -= kUIScrollViewSwipeDistance; break;
    case UIScrollViewSwipe::Down: to.y += kUIScrollViewSwipeDistance; break;
    }
    to.x = std::clamp<CGFloat>(to.x, CGRectGetMinX(bounds), CGRectGetMaxX(bounds) - 1);
    to.y = std::clamp<CGFloat>(to.y, CGRectGetMinY(bounds), CGRectGetMaxY(bounds) - 1);
    return to;
}

CGPoint UIScrollViewSwipeEndInWindow(UIScrollViewSwipe direction, CGPoint from, const CGRect& bounds, const UIWindow& window) {
    auto screen = UIScreen::mainScreen();
    const CGPoint origin = window.frame().origin;
    const CGAffineTransform toInterface =
        CGAffineTransformConcat(CGAffineTransformMakeTranslation(origin.x, origin.y), screen->interfaceTransform());
    const CGPoint end = UIScrollViewSwipeEnd(direction, CGPointApplyAffineTransform(from, toInterface),
                                             CGRectApplyAffineTransform(bounds, toInterface));
    return CGPointApplyAffineTransform(end, CGAffineTransformInvert(toInterface));
}

UIScrollView::UIScrollView(const CGRect& frame) : UIView(frame), pan_(std::make_shared<UIPanGestureRecognizer>()) {
    // One finger scrolls; a second one makes the gesture something else (a twist or a pinch).
    pan_->setMaximumNumberOfTouches(1);
}

void UIScrollView::didMoveToSuperview() {
    UIView::didMoveToSuperview();
    // The recognizer needs a strong reference to the view, which the constructor cannot give.
    if (panAttached_) return;
    panAttached_ = true;
    pan_->addTargetAction(self<UIScrollView>(), [](UIScrollView& scrollView, UIGestureRecognizer& recognizer) {
        scrollView.panned(static_cast<UIPanGestureRecognizer&>(recognizer));
    });
    pan_->setEnabled(scrollEnabled_);
    addGestureRecognizer(pan_);
}

void UIScrollView::setScrollEnabled(bool enabled) {
    scrollEnabled_ = enabled;
    pan_->setEnabled(enabled);
}

CGPoint UIScrollView::maximumContentOffset() {
    auto size = contentSize();
    auto b = bounds();
    return {std::max<CGFloat>(0, size.width - b.size.width), std::max<CGFloat>(0, size.height - b.size.height)};
}

CGPoint UIScrollView::clamped(CGPoint offset) {
    auto maximum = maximumContentOffset();
    return {std::clamp<CGFloat>(offset.x, 0, maximum.x), std::clamp<CGFloat>(offset.y, 0, maximum.y)};
}

void UIScrollView::setContentOffset(CGPoint offset) {
    ++settleGeneration_;
    decelerating_ = false;
    moveContentTo(offset);
}

void UIScrollView::moveContentTo(CGPoint offset) {
    auto b = bounds();
    if (b.origin == offset) return;
    b.origin = offset;
    setBounds(b);
    setNeedsLayout();
    if (auto d = delegate()) d->scrollViewDidScroll(*this);
}

void UIScrollView::setContentOffsetAnimated(CGPoint offset, bool animated) {
    if (!animated) return setContentOffset(offset);
    settleTo(offset, Settle::Animation);
}

void UIScrollView::settleTo(CGPoint target, Settle kind) {
    std::uint64_t generation = ++settleGeneration_;
    decelerating_ = kind == Settle::Deceleration;
    auto from = contentOffset();
    auto weak = weakSelf<UIScrollView>();
    NSRunLoop::mainRunLoop()->performBlock([weak, generation, from, target, kind] {
        if (auto me = weak.lock()) me->settleStep(generation, from, target, 1, kind);
    });
}

// One main-loop pass of a settle: the next offset between, or the target and the delegate's word.
// A drag or another offset change in between ends the settle where it stands.
void UIScrollView::settleStep(std::uint64_t generation, CGPoint from, CGPoint to, int step, Settle kind) {
    if (generation != settleGeneration_) return;
    CGFloat f = static_cast<CGFloat>(step) / kSettleSteps;
    CGPoint at = step >= kSettleSteps ? to : CGPoint{from.x + (to.x - from.x) * f, from.y + (to.y - from.y) * f};
    moveContentTo(at);
    if (generation != settleGeneration_) return;
    if (step >= kSettleSteps) {
        decelerating_ = false;
        ++settleGeneration_;
        if (auto d = delegate()) {
            if (kind == Settle::Deceleration) d->scrollViewDidEndDecelerating(*this);
            else d->scrollViewDidEndScrollingAnimation(*this);
        }
        return;
    }
    auto weak = weakSelf<UIScrollView>();
    NSRunLoop::mainRunLoop()->performBlock([weak, generation, from, to, step, kind] {
        if (auto me = weak.lock()) me->settleStep(generation, from, to, step + 1, kind);
    });
}

CGPoint UIScrollView::pageTarget(CGPoint velocity) {
    auto b = bounds();
    auto maximum = maximumContentOffset();
    auto now = contentOffset();
    // The content moves against the finger: a finger going left moves the offset right.
    return {pageOffset(dragStartOffset_.x, now.x, -velocity.x, b.size.width, maximum.x),
            pageOffset(dragStartOffset_.y, now.y, -velocity.y, b.size.height, maximum.y)};
}

void UIScrollView::panned(UIPanGestureRecognizer& pan) {
    auto state = pan.state();
    if (state == UIGestureRecognizerStateBegan) {
        ++settleGeneration_;
        decelerating_ = false;
        dragging_ = true;
        dragStartOffset_ = contentOffset();
        if (auto d = delegate()) d->scrollViewWillBeginDragging(*this);
    }
    if (state == UIGestureRecognizerStateBegan || state == UIGestureRecognizerStateChanged ||
        state == UIGestureRecognizerStateEnded) {
        auto t = pan.translationInView(superview());
        auto maximum = maximumContentOffset();
        // An axis along which the content fits stays put.
        CGPoint offset{maximum.x > 0 ? dragStartOffset_.x - t.x : contentOffset().x,
                       maximum.y > 0 ? dragStartOffset_.y - t.y : contentOffset().y};
        moveContentTo(clamped(offset));
    }
    if (state != UIGestureRecognizerStateEnded && state != UIGestureRecognizerStateCancelled) return;
    dragging_ = false;
    CGPoint target = pagingEnabled_ ? pageTarget(state == UIGestureRecognizerStateEnded ? pan.velocityInView(superview()) : CGPointZero)
                                    : contentOffset();
    if (auto d = delegate()) d->scrollViewDidEndDraggingWillDecelerate(*this, pagingEnabled_);
    // A paging view always settles, so its delegate hears where it came to rest.
    if (pagingEnabled_) settleTo(target, Settle::Deceleration);
}

bool UIScrollView::swipe(UIScrollViewSwipe direction, UIScreenReply& reply) {
    auto maximum = maximumContentOffset();
    bool horizontal = direction == UIScrollViewSwipe::Left || direction == UIScrollViewSwipe::Right;
    if (!scrollEnabled_ || (horizontal ? maximum.x : maximum.y) <= 0)
        return reply.refuse(std::string("nothing on screen scrolls ") + (horizontal ? "sideways" : "up or down"));
    auto w = window();
    if (!w) return reply.refuse("the scroll view is not on screen");
    // A flick from the middle of what shows of the view, as a finger makes it: each move a frame
    // of the driver's time, and on whatever stands in front there.
    CGRect shown = CGRectIntersection(convertRectToView(bounds(), w), w->bounds());
    if (CGRectIsEmpty(shown)) return reply.refuse("the scroll view is not on screen");
    CGPoint from{CGRectGetMidX(shown), CGRectGetMidY(shown)};
    UIFingers fingers(w);
    fingers.setPassTime(reply.passTime);
    fingers.drag(from, UIScrollViewSwipeEndInWindow(direction, from, shown, *w), kUIScrollViewSwipeMoves);
    return true;
}

void UIScrollView::describeToScreen(UIScreenDescription& screen) {
    UIView::describeToScreen(screen);
    auto me = self<UIScrollView>();
    screen.addCommand("swipe", [me](const std::string& where, UIScreenReply& reply) {
        auto direction = UIScrollViewSwipeFromName(where);
        if (!direction) return reply.refuse("swipe left, right, up or down");
        return me->swipe(*direction, reply);
    });
}
