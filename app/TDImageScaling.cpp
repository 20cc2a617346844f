#include "app/TDImageScaling.h"

#include "platform/uikit/UIGraphics.h"

UIImagePtr TDImageWithImageScaledToSize(const UIImagePtr& image, CGSize newSize) {
    // Scale 0 is the main screen's; not opaque, so the icons keep their transparent ground.
    UIGraphicsBeginImageContextWithOptions(newSize, false, 0);
    if (image) image->drawInRect(CGRectMake(0, 0, newSize.width, newSize.height));
    auto newImage = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return newImage;
}
