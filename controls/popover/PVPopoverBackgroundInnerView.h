#pragma once
// A transparent view laid exactly over the popover's content: it continues the bubble's gradient
// into the content's corners and draws an inner shadow and outline, so that square content looks
// set into a rounded frame. It takes no touches: they go to the content below.

#include "platform/uikit/UIView.h"

class PVPopoverBackgroundInnerView : public UIView {
public:
    explicit PVPopoverBackgroundInnerView(const CGRect& frame);

    UIColorPtr innerStrokeColor() const { return innerStrokeColor_; }
    void setInnerStrokeColor(UIColorPtr color) { innerStrokeColor_ = std::move(color); }
    UIColorPtr gradientTopColor() const { return gradientTopColor_; }
    void setGradientTopColor(UIColorPtr color) { gradientTopColor_ = std::move(color); }
    UIColorPtr gradientBottomColor() const { return gradientBottomColor_; }
    void setGradientBottomColor(UIColorPtr color) { gradientBottomColor_ = std::move(color); }
    // The height of the bubble's gradient and where this view's top lies within it.
    float gradientHeight() const { return gradientHeight_; }
    void setGradientHeight(float height) { gradientHeight_ = height; }
    float gradientTopPosition() const { return gradientTopPosition_; }
    void setGradientTopPosition(float position) { gradientTopPosition_ = position; }
    UIColorPtr innerShadowColor() const { return innerShadowColor_; }
    void setInnerShadowColor(UIColorPtr color) { innerShadowColor_ = std::move(color); }
    CGSize innerShadowOffset() const { return innerShadowOffset_; }
    void setInnerShadowOffset(CGSize offset) { innerShadowOffset_ = offset; }
    float innerShadowBlurRadius() const { return innerShadowBlurRadius_; }
    void setInnerShadowBlurRadius(float radius) { innerShadowBlurRadius_ = radius; }
    float innerCornerRadius() const { return innerCornerRadius_; }
    void setInnerCornerRadius(float radius) { innerCornerRadius_ = radius; }
    float navigationBarHeight() const { return navigationBarHeight_; }
    void setNavigationBarHeight(float height) { navigationBarHeight_ = height; }
    bool wantsDefaultContentAppearance() const { return wantsDefaultContentAppearance_; }
    void setWantsDefaultContentAppearance(bool wants) { wantsDefaultContentAppearance_ = wants; }
    float borderWidth() const { return borderWidth_; }
    void setBorderWidth(float width) { borderWidth_ = width; }

    void drawRect(const CGRect& rect) override;

private:
    UIColorPtr innerStrokeColor_;
    UIColorPtr gradientTopColor_;
    UIColorPtr gradientBottomColor_;
    float gradientHeight_ = 0;
    float gradientTopPosition_ = 0;
    UIColorPtr innerShadowColor_;
    CGSize innerShadowOffset_;
    float innerShadowBlurRadius_ = 0;
    float innerCornerRadius_ = 0;
    float navigationBarHeight_ = 0;
    bool wantsDefaultContentAppearance_ = false;
    float borderWidth_ = 0;
};
