#pragma once
// Scroll views: content larger than the view, shown through its bounds. The content offset is the
// bounds' origin, so subviews laid out in content coordinates move as it changes. A pan of the
// view's own moves the offset under the finger, within the content (no bouncing past the edges);
// when the finger lifts, a paging view settles on the page the drag went to, passing the offsets
// between on the main loop's next passes. Tables and collection views build on this base.

#include "platform/uikit/UIView.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class UIPanGestureRecognizer;
class UIScrollView;

class UIScrollViewDelegate {
public:
    virtual ~UIScrollViewDelegate() = default;
    // Every change of the content offset, whoever made it.
    virtual void scrollViewDidScroll(UIScrollView&) {}
    virtual void scrollViewWillBeginDragging(UIScrollView&) {}
    virtual void scrollViewDidEndDraggingWillDecelerate(UIScrollView&, bool) {}
    // A settle after a drag came to rest.
    virtual void scrollViewDidEndDecelerating(UIScrollView&) {}
    // An animated setContentOffset came to rest.
    virtual void scrollViewDidEndScrollingAnimation(UIScrollView&) {}
};

// The ways a finger moves over the screen; the content moves the other way.
enum class UIScrollViewSwipe { Left, Right, Up, Down };
std::optional<UIScrollViewSwipe> UIScrollViewSwipeFromName(const std::string& name);
// A swipe is a flick of a finger: this far, in this many moves of a screen frame each.
inline constexpr CGFloat kUIScrollViewSwipeDistance = 160;
inline constexpr int kUIScrollViewSwipeMoves = 6;
// The point a flick from `from` that way goes to, kept within `bounds`; all three upright in the
// interface, where "up" is up for the person holding the device.
CGPoint UIScrollViewSwipeEnd(UIScrollViewSwipe direction, CGPoint from, const CGRect& bounds);
// The same for points of a window, which keeps the screen's fixed coordinates however the device
// is held: the flick runs along the interface's axes, so a swipe up turned sideways goes up for
// the person. Every swipe the driver makes goes through here.
CGPoint UIScrollViewSwipeEndInWindow(UIScrollViewSwipe direction, CGPoint from, const CGRect& bounds, const UIWindow& window);

class UIScrollView : public UIView {
public:
    // How many main-loop passes a settle or an animated offset change takes.
    static constexpr int kSettleSteps = 6;
    // Release speed (points per second) past which a drag goes on to the next page.
    static constexpr CGFloat kFlickSpeed = 300;

    explicit UIScrollView(const CGRect& frame);

    // A table or a collection view measures its content itself and answers here.
    virtual CGSize contentSize() { return contentSize_; }
    void setContentSize(CGSize size) { contentSize_ = size; }
    CGPoint contentOffset() const { return bounds().origin; }
    // Moves the content at once (stopping any settle or offset animation) and tells the delegate.
    void setContentOffset(CGPoint offset);
    // Animated: the offsets between pass on the next main-loop passes, then the delegate hears
    // scrollViewDidEndScrollingAnimation.
    void setContentOffsetAnimated(CGPoint offset, bool animated);
    // The largest offset the content allows (0 on an axis where it fits).
    CGPoint maximumContentOffset();

    std::shared_ptr<UIScrollViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<UIScrollViewDelegate>& delegate) { delegate_ = delegate; }
    bool isPagingEnabled() const { return pagingEnabled_; }
    void setPagingEnabled(bool enabled) { pagingEnabled_ = enabled; }
    bool isScrollEnabled() const { return scrollEnabled_; }
    void setScrollEnabled(bool enabled);
    bool showsHorizontalScrollIndicator() const { return showsHorizontalIndicator_; }
    void setShowsHorizontalScrollIndicator(bool shows) { showsHorizontalIndicator_ = shows; }
    bool showsVerticalScrollIndicator() const { return showsVerticalIndicator_; }
    void setShowsVerticalScrollIndicator(bool shows) { showsVerticalIndicator_ = shows; }
    bool bounces() const { return bounces_; }
    void setBounces(bool bounces) { bounces_ = bounces; }

    bool isDragging() const { return dragging_; }
    bool isDecelerating() const { return decelerating_; }
    // The pan that scrolls; it watches this view once the view is in a tree.
    const std::shared_ptr<UIPanGestureRecognizer>& panGestureRecognizer() const { return pan_; }

    // A finger swiping across the visible part of the view; refused when the content cannot move
    // along that axis.
    bool swipe(UIScrollViewSwipe direction, UIScreenReply& reply);

    void didMoveToSuperview() override;
    // The driver: `swipe left|right|up|down` reaches the innermost scroll view that can move so.
    void describeToScreen(UIScreenDescription& screen) override;

private:
    void panned(UIPanGestureRecognizer& pan);
    // The offset changes and the delegate hears it; a running settle goes on.
    void moveContentTo(CGPoint offset);
    CGPoint clamped(CGPoint offset);
    CGPoint pageTarget(CGPoint velocity);
    enum class Settle { Deceleration, Animation };
    void settleTo(CGPoint target, Settle kind);
    void settleStep(std::uint64_t generation, CGPoint from, CGPoint to, int step, Settle kind);

    CGSize contentSize_ = CGSizeZero;
    std::weak_ptr<UIScrollViewDelegate> delegate_;
    std::shared_ptr<UIPanGestureRecognizer> pan_;
    bool panAttached_ = false;
    bool pagingEnabled_ = false;
    bool scrollEnabled_ = true;
    bool showsHorizontalIndicator_ = true;
    bool showsVerticalIndicator_ = true;
    bool bounces_ = true;
    bool dragging_ = false;
    bool decelerating_ = false;
    CGPoint dragStartOffset_ = CGPointZero;
    // Bumped by every offset change that ends a running settle.
    std::uint64_t settleGeneration_ = 0;
};
