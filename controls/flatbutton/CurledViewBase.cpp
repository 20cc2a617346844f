#include "controls/flatbutton/CurledViewBase.h"

#include "platform/uikit/UIGraphics.h"

namespace {
constexpr CGSize kShadowOffset{0, 4};
constexpr CGFloat kShadowRadius = 3;
constexpr float kShadowOpacity = 0.4f;
// The redrawn image has one pixel per point.
constexpr CGFloat kRedrawScale = 1;
} // namespace

UIBezierPathPtr CurledViewBase::curlShadowPathWithShadowDepthControlPointXOffsetControlPointYOffsetForView(
    double depth, double xOffset, double yOffset, const UIView& view) {
    CGSize size = view.bounds().size;
    auto path = UIBezierPath::bezierPath();
    path->moveToPoint({0, yOffset});
    path->addLineToPoint({size.width, yOffset});
    path->addLineToPoint({size.width, size.height + depth});
    path->addCurveToPoint({0, size.height + depth}, {size.width - xOffset, yOffset}, {xOffset, yOffset});
    path->closePath();
    return path;
}

UIImagePtr CurledViewBase::rescaleImageForView(const UIImagePtr& image, const UIView& view) {
    CGFloat border = view.layer()->borderWidth();
    if (!image || border <= 0) return image;
    CGSize inner{view.bounds().size.width - 2 * border, view.bounds().size.height - 2 * border};
    CGSize size = image->size();
    if (size.width <= inner.width && size.height <= inner.height) return image;
    UIGraphicsBeginImageContextWithOptions(inner, false, kRedrawScale);
    image->drawInRect(CGRectMake(0, 0, inner.width, inner.height));
    auto fitted = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return fitted;
}

void CurledViewBase::configureBorderShadowDepthControlPointXOffsetControlPointYOffset(UIView& view, double borderWidth,
                                                                                    double depth, double xOffset,
                                                                                    double yOffset) {
    auto& layer = view.layer();
    layer->setBorderWidth(borderWidth);
    view.setContentMode(UIViewContentModeCenter);
    layer->setBorderColor(UIColor::whiteColor());
    layer->setShadowColor(UIColor::blackColor());
    layer->setShadowOffset(kShadowOffset);
    layer->setShadowRadius(kShadowRadius);
    layer->setShadowOpacity(kShadowOpacity);
    layer->setShadowPath(
        curlShadowPathWithShadowDepthControlPointXOffsetControlPointYOffsetForView(depth, xOffset, yOffset, view)->CGPath());
}
