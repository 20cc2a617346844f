#pragma once
// A layer that paints a path: filled (black unless set; nil fills nothing), then stroked when it
// has a stroke colour. As a mask it clips to its path.

#include "platform/uikit/CALayer.h"

inline constexpr const char* kCAFillRuleNonZero = "non-zero";
inline constexpr const char* kCAFillRuleEvenOdd = "even-odd";

class CAShapeLayer : public CALayer {
public:
    static std::shared_ptr<CAShapeLayer> layer() { return std::make_shared<CAShapeLayer>(); }

    CGPathRef path() const { return path_; }
    void setPath(CGPathRef path);
    UIColorPtr fillColor() const { return fillColor_; }
    void setFillColor(UIColorPtr color) { fillColor_ = std::move(color); }
    UIColorPtr strokeColor() const { return strokeColor_; }
    void setStrokeColor(UIColorPtr color) { strokeColor_ = std::move(color); }
    CGFloat lineWidth() const { return lineWidth_; }
    void setLineWidth(CGFloat width) { lineWidth_ = width; }
    const std::string& fillRule() const { return fillRule_; }
    void setFillRule(std::string rule) { fillRule_ = std::move(rule); }

    void drawInContext(CGContext& context) override;

private:
    CGPathRef path_;
    UIColorPtr fillColor_ = UIColor::blackColor();
    UIColorPtr strokeColor_;
    CGFloat lineWidth_ = 1;
    std::string fillRule_ = kCAFillRuleNonZero;
};
