#pragma once
// The curled look: an image inside a white border, and a shadow whose lower edge curves up in
// the middle, like a sheet of paper lifting at its corners. The button and image view categories
// (UIButton+Curled, UIImageView+Curled) apply it through these class methods.

#include "platform/foundation/NSObject.h"
#include "platform/uikit/UIBezierPath.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIView.h"

class CurledViewBase : public NSObject {
public:
    // Across the view at yOffset, down its sides to depth below its bottom corners, and back along
    // a curve pulled up towards yOffset (control points xOffset in from each side).
    static UIBezierPathPtr curlShadowPathWithShadowDepthControlPointXOffsetControlPointYOffsetForView(
        double depth, double xOffset, double yOffset, const UIView& view);
    // The image redrawn (stretched, at scale 1) to the inside of the view's layer border when it is
    // larger than that; otherwise, or without a border, the image itself.
    static UIImagePtr rescaleImageForView(const UIImagePtr& image, const UIView& view);
    // The border and shadow both categories give a view: a white border of the width, the image
    // centred, and a soft black shadow 4 points down along the curl path of the view's bounds now.
    static void configureBorderShadowDepthControlPointXOffsetControlPointYOffset(UIView& view, double borderWidth,
                                                                                double depth, double xOffset,
                                                                                double yOffset);
};
