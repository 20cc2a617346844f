#pragma once
// Measuring and drawing strings with a font, through the platform's text layout.

#include "platform/graphics/CGContext.h"
#include "platform/graphics/CGGeometry.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIFont.h"

#include <string>

enum NSTextAlignment : long { NSTextAlignmentLeft = 0, NSTextAlignmentCenter = 1, NSTextAlignmentRight = 2 };

enum NSStringDrawingOptions : unsigned long {
    NSStringDrawingUsesLineFragmentOrigin = 1 << 0,
    NSStringDrawingUsesFontLeading = 1 << 1,
    NSStringDrawingUsesDeviceMetrics = 1 << 3,
    NSStringDrawingTruncatesLastVisibleLine = 1 << 5,
};

// The attributes a string is drawn with (NSFontAttributeName, NSForegroundColorAttributeName);
// a missing font is the system font at 12 points, a missing colour black.
struct NSStringAttributes {
    UIFontPtr font;
    UIColorPtr foregroundColor;
    NSTextAlignment alignment = NSTextAlignmentLeft;
};

// The rectangle the string takes: lines broken to fit the width when the options use the line
// fragment origin (otherwise one line); origin zero.
CGRect NSStringBoundingRectWithSize(const std::string& text, CGSize size, unsigned long options,
                                    const NSStringAttributes& attributes);
// Draws into the current context, lines broken to fit the rectangle's width.
void NSStringDrawInRect(const std::string& text, const CGRect& rect, const NSStringAttributes& attributes);
// The style the text layout sets a font in.
CGTextStyle UIFontTextStyle(const UIFontPtr& font, NSTextAlignment alignment, long maximumLines);
