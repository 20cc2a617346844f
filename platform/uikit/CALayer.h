#pragma once
// The look of a view that the layer owns: border, corners and shadow. The headless screen draws
// nothing; the values are kept for whoever reads them.

#include "platform/foundation/NSObject.h"
#include "platform/graphics/CGGeometry.h"
#include "platform/uikit/UIColor.h"

class CALayer : public NSObject {
public:
    CGFloat borderWidth() const { return borderWidth_; }
    void setBorderWidth(CGFloat width) { borderWidth_ = width; }
    UIColorPtr borderColor() const { return borderColor_; }
    void setBorderColor(UIColorPtr color) { borderColor_ = std::move(color); }
    CGFloat cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(CGFloat radius) { cornerRadius_ = radius; }
    bool masksToBounds() const { return masksToBounds_; }
    void setMasksToBounds(bool masks) { masksToBounds_ = masks; }
    UIColorPtr shadowColor() const { return shadowColor_; }
    void setShadowColor(UIColorPtr color) { shadowColor_ = std::move(color); }
    float shadowOpacity() const { return shadowOpacity_; }
    void setShadowOpacity(float opacity) { shadowOpacity_ = opacity; }
    CGSize shadowOffset() const { return shadowOffset_; }
    void setShadowOffset(CGSize offset) { shadowOffset_ = offset; }
    CGFloat shadowRadius() const { return shadowRadius_; }
    void setShadowRadius(CGFloat radius) { shadowRadius_ = radius; }

private:
    CGFloat borderWidth_ = 0;
    UIColorPtr borderColor_ = UIColor::blackColor();
    CGFloat cornerRadius_ = 0;
    bool masksToBounds_ = false;
    UIColorPtr shadowColor_ = UIColor::blackColor();
    float shadowOpacity_ = 0;
    CGSize shadowOffset_{0, -3};
    CGFloat shadowRadius_ = 3;
};
