// Images drawn at test time with the platform's own image context.
#pragma once

#include "platform/uikit/UIGraphics.h"

namespace drawn_images {

// An image of the size at scale 1, filled with the context's default colour.
inline UIImagePtr filledImage(CGFloat width, CGFloat height) {
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(width, height), false, 1);
    UIGraphicsGetCurrentContext()->fillRect(CGRectMake(0, 0, width, height));
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

} // namespace drawn_images
