#include "platform/uikit/UIPageControl.h"

#include "platform/uikit/UIGraphics.h"

#include <algorithm>

namespace {
// The dots' colours when none is set: white, the other pages faint.
constexpr double kOtherPageAlpha = 0.2;
} // namespace

void UIPageControl::setNumberOfPages(long pages) {
    numberOfPages_ = std::max(0L, pages);
    setCurrentPage(currentPage_);
}

void UIPageControl::setCurrentPage(long page) {
    currentPage_ = std::clamp(page, 0L, std::max(0L, numberOfPages_ - 1));
}

CGFloat UIPageControl::dotCentreX(long page) const {
    auto b = bounds();
    CGFloat row = static_cast<CGFloat>(std::max(0L, numberOfPages_ - 1)) * kDotSpacing;
    return b.origin.x + (b.size.width - row) / 2 + static_cast<CGFloat>(page) * kDotSpacing;
}

void UIPageControl::drawRect(const CGRect&) {
    if (numberOfPages_ == 0 || (hidesForSinglePage_ && numberOfPages_ == 1)) return;
    auto context = UIGraphicsGetCurrentContext();
    if (!context) return;
    auto other = pageIndicatorTintColor_ ? pageIndicatorTintColor_ : UIColor::colorWithWhite(1, kOtherPageAlpha);
    auto current = currentPageIndicatorTintColor_ ? currentPageIndicatorTintColor_ : UIColor::whiteColor();
    auto b = bounds();
    CGFloat y = b.origin.y + (b.size.height - kDotDiameter) / 2;
    for (long page = 0; page < numberOfPages_; ++page) {
        (page == currentPage_ ? current : other)->setFill();
        context->fillEllipseInRect(CGRectMake(dotCentreX(page) - kDotDiameter / 2, y, kDotDiameter, kDotDiameter));
    }
}

void UIPageControl::stepTo(long page, const std::shared_ptr<UIEvent>& event) {
    long before = currentPage_;
    setCurrentPage(page);
    if (currentPage_ != before) sendActionsForControlEvents(UIControlEventValueChanged, event);
}

void UIPageControl::endTrackingWithTouch(UITouch* touch, const std::shared_ptr<UIEvent>& event) {
    bool inside = isTouchInside();
    UIControl::endTrackingWithTouch(touch, event);
    if (!touch || !inside) return;
    auto b = bounds();
    CGFloat x = touch->locationInView(self<UIView>()).x;
    stepTo(x < b.origin.x + b.size.width / 2 ? currentPage_ - 1 : currentPage_ + 1, event);
}

UIView::TapOutcome UIPageControl::tapWithEvent(const std::shared_ptr<UIEvent>& event, UIScreenReply& reply) {
    if (!isEnabled()) {
        reply.refuse("that control is disabled");
        return TapOutcome::Refused;
    }
    long page = currentPage_ + 1;
    if (event && !event->allTouches().empty()) {
        auto b = bounds();
        if (event->allTouches()[0]->locationInView(self<UIView>()).x < b.origin.x + b.size.width / 2) page = currentPage_ - 1;
    }
    stepTo(page, event);
    return TapOutcome::Taken;
}

void UIPageControl::describeToScreen(UIScreenDescription& screen) {
    UIControl::describeToScreen(screen);
    if (numberOfPages_ == 0) return screen.addLine("pages: none");
    screen.addLine("page " + std::to_string(currentPage_ + 1) + " of " + std::to_string(numberOfPages_));
}
