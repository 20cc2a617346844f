#pragma once
// The curled look (CurledViewBase) for an image view.

#include "platform/uikit/UIImageView.h"

namespace UIImageView_Curled {
void configureBorderShadowDepthControlPointXOffsetControlPointYOffset(UIImageView& view, double borderWidth, double depth,
                                                                      double xOffset, double yOffset);
// A light grey view with the curled border and shadow, showing the image fitted inside the border.
void setImageBorderWidthShadowDepthControlPointXOffsetControlPointYOffset(UIImageView& view, const UIImagePtr& image,
                                                                          double borderWidth, double depth, double xOffset,
                                                                          double yOffset);
} // namespace UIImageView_Curled
