#pragma once
// Arrow directions and animation options of the popover, and the 22 values of its look that the
// theme, the bubble's appearance store and the controller pass between them.

#include "platform/graphics/CGGeometry.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIGeometry.h"

#include <climits>

// A bit set; a chosen direction is exactly one value.
enum PVPopoverArrowDirection : unsigned long {
    PVPopoverArrowDirectionUp = 1ul << 0,
    PVPopoverArrowDirectionDown = 1ul << 1,
    PVPopoverArrowDirectionLeft = 1ul << 2,
    PVPopoverArrowDirectionRight = 1ul << 3,
    PVPopoverNoArrow = 1ul << 4,
    PVPopoverArrowDirectionAny = PVPopoverArrowDirectionUp | PVPopoverArrowDirectionDown |
                                 PVPopoverArrowDirectionLeft | PVPopoverArrowDirectionRight,
    PVPopoverArrowDirectionUnknown = ULONG_MAX,
};

enum PVPopoverAnimationOptions : unsigned long {
    PVPopoverAnimationOptionFade = 1ul << 0,
    PVPopoverAnimationOptionScale = 1ul << 1,
    PVPopoverAnimationOptionFadeWithScale = PVPopoverAnimationOptionFade | PVPopoverAnimationOptionScale,
};

// The look as the bubble uses it: a theme's values read through its derivations.
struct PVPopoverThemeValues {
    UIColorPtr tintColor;
    UIColorPtr outerStrokeColor;
    UIColorPtr innerStrokeColor;
    UIColorPtr fillTopColor;
    UIColorPtr fillBottomColor;
    UIColorPtr glossShadowColor;
    CGSize glossShadowOffset;
    unsigned long glossShadowBlurRadius = 0;
    unsigned long borderWidth = 0;
    unsigned long arrowBase = 0;
    unsigned long arrowHeight = 0;
    UIColorPtr outerShadowColor;
    unsigned long outerShadowBlurRadius = 0;
    CGSize outerShadowOffset;
    unsigned long outerCornerRadius = 0;
    unsigned long minOuterCornerRadius = 0;
    UIColorPtr innerShadowColor;
    unsigned long innerShadowBlurRadius = 0;
    CGSize innerShadowOffset;
    unsigned long innerCornerRadius = 0;
    UIEdgeInsets viewContentInsets;
    UIColorPtr overlayColor;
};
