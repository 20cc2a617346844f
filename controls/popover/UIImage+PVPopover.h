#pragma once
// Flat resizable images of one colour (the popover's clear navigation bar background).

#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIImage.h"

namespace UIImage_PVPopover {
UIImagePtr imageWithColor(const UIColorPtr& color);
UIImagePtr imageWithColorCornerRadius(const UIColorPtr& color, float cornerRadius);
// A rounded rectangle of the colour at the screen's scale, resizable with caps of the radius.
UIImagePtr imageWithColorSizeCornerRadius(const UIColorPtr& color, CGSize size, float cornerRadius);
} // namespace UIImage_PVPopover
