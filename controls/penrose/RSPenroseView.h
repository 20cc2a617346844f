#pragma once
// The triangle menu: an impossible triangle of three bars (0 top, 1 left, 2 right), each carrying
// a title button. Selecting a bar can turn the triangle so that bar comes to the top and can fill
// it in a highlight colour. While the menu is parked off the top edge only the lower tip takes
// touches, so the bar buttons stay out of reach until the menu is down.

#include "platform/uikit/UIView.h"

#include <memory>

class RSPenroseView : public UIView {
public:
    // The fixed frame the bars are drawn in.
    static constexpr CGFloat kWidth = 320;
    static constexpr CGFloat kHeight = 280;
    // The turning point, as a fraction of the height: the triangle's centre of turning.
    static constexpr CGFloat kAnchorY = 0.38;
    static constexpr double kSelectDuration = 0.5;

    explicit RSPenroseView(const CGRect& frame);
    static std::shared_ptr<RSPenroseView> initWithFrame(const CGRect& frame);

    // Defaults: clear background, white bars, half-black outline, grey selection, side 0.
    void customize();

    // Turns the triangle (when it can rotate) and redraws with the side selected.
    void selectSide(int side);
    // The absolute turn that brings the side to the top: -120 degrees for 2, +120 for 1, else 0.
    float rotateFromSideToSide(int from, int to) const;

    bool pointInsideWithEvent(CGPoint point, const std::shared_ptr<UIEvent>& event) const override;
    void drawRect(const CGRect& rect) override;
    void describeToScreen(UIScreenDescription& screen) override;

    UIColorPtr borderColor() const { return borderColor_; }
    void setBorderColor(UIColorPtr color) { borderColor_ = std::move(color); }
    UIColorPtr topColor() const { return topColor_; }
    void setTopColor(UIColorPtr color) { topColor_ = std::move(color); }
    UIColorPtr rightColor() const { return rightColor_; }
    void setRightColor(UIColorPtr color) { rightColor_ = std::move(color); }
    UIColorPtr leftColor() const { return leftColor_; }
    void setLeftColor(UIColorPtr color) { leftColor_ = std::move(color); }
    int currentSide() const { return currentSide_; }
    void setCurrentSide(int side) { currentSide_ = side; }
    bool canRotate() const { return canRotate_; }
    void setCanRotate(bool canRotate) { canRotate_ = canRotate; }
    bool colorSelectedSide() const { return colorSelectedSide_; }
    void setColorSelectedSide(bool color) { colorSelectedSide_ = color; }
    UIColorPtr selectColor() const { return selectColor_; }
    void setSelectColor(UIColorPtr color) { selectColor_ = std::move(color); }

private:
    UIColorPtr borderColor_;
    UIColorPtr topColor_;
    UIColorPtr rightColor_;
    UIColorPtr leftColor_;
    int currentSide_ = 0;
    bool canRotate_ = false;
    bool colorSelectedSide_ = false;
    UIColorPtr selectColor_;
};
