#pragma once
// The curled look (CurledViewBase) for a button's image.

#include "platform/uikit/UIButton.h"

namespace UIButton_Curled {
void configureBorderShadowDepthControlPointXOffsetControlPointYOffset(UIButton& button, double borderWidth, double depth,
                                                                      double xOffset, double yOffset);
// A light grey button with the curled border and shadow, showing the image (fitted inside the
// border) for the state.
void setImageBorderWidthShadowDepthControlPointXOffsetControlPointYOffsetForState(UIButton& button, const UIImagePtr& image,
                                                                                  double borderWidth, double depth,
                                                                                  double xOffset, double yOffset,
                                                                                  unsigned long state);
} // namespace UIButton_Curled
