#pragma once
// A row of dots, one per page, the current one bright. A touch that lifts in the right half moves
// to the next page and one in the left half to the page before, with a value-changed event when the
// page changes, as on the device.

#include "platform/uikit/UIControl.h"

class UIPageControl : public UIControl {
public:
    // Dot size and the distance between the centres of neighbouring dots.
    static constexpr CGFloat kDotDiameter = 7;
    static constexpr CGFloat kDotSpacing = 16;

    using UIControl::UIControl;

    long numberOfPages() const { return numberOfPages_; }
    void setNumberOfPages(long pages);
    // Kept within 0 ... pages - 1; setting it sends no event.
    long currentPage() const { return currentPage_; }
    void setCurrentPage(long page);
    bool hidesForSinglePage() const { return hidesForSinglePage_; }
    void setHidesForSinglePage(bool hides) { hidesForSinglePage_ = hides; }
    UIColorPtr pageIndicatorTintColor() const { return pageIndicatorTintColor_; }
    void setPageIndicatorTintColor(UIColorPtr color) { pageIndicatorTintColor_ = std::move(color); }
    UIColorPtr currentPageIndicatorTintColor() const { return currentPageIndicatorTintColor_; }
    void setCurrentPageIndicatorTintColor(UIColorPtr color) { currentPageIndicatorTintColor_ = std::move(color); }

    // Where the dots go: the x of dot i's centre in the control's coordinates.
    CGFloat dotCentreX(long page) const;

    void drawRect(const CGRect& rect) override;
    bool keepsDrawing() const override { return false; }
    void endTrackingWithTouch(UITouch* touch, const std::shared_ptr<UIEvent>& event) override;
    // A tap offered without a finger's touch (the driver's) moves on a page; one with a touch goes
    // by its half.
    TapOutcome tapWithEvent(const std::shared_ptr<UIEvent>& event, UIScreenReply& reply) override;
    // A line "page N of M".
    void describeToScreen(UIScreenDescription& screen) override;

private:
    void stepTo(long page, const std::shared_ptr<UIEvent>& event);

    long numberOfPages_ = 0;
    long currentPage_ = 0;
    bool hidesForSinglePage_ = false;
    UIColorPtr pageIndicatorTintColor_;
    UIColorPtr currentPageIndicatorTintColor_;
};
