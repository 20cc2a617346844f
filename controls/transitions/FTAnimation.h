#pragma once
// Snapshots of a view region for the transitions' layers, with optional transparent margins (so
// a turned layer's edges stay smooth).

#include "platform/uikit/UIGeometry.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIView.h"

class FTAnimation {
public:
    static UIImagePtr renderImageFromView(const UIViewPtr& view);
    // An opaque image of the rect of the view, at the screen's scale.
    static UIImagePtr renderImageFromView(const UIViewPtr& view, const CGRect& rect);
    // The rect grown by the insets; the insets stay transparent (the image is opaque only
    // without them).
    static UIImagePtr renderImageFromView(const UIViewPtr& view, const CGRect& rect, const UIEdgeInsets& insets);
    static UIImagePtr renderImageForAntialiasing(const UIImagePtr& image);
    static UIImagePtr renderImageForAntialiasing(const UIImagePtr& image, const UIEdgeInsets& insets);
};
