#include "controls/popover/UIImage+PVPopover.h"

#include "platform/uikit/UIBezierPath.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIScreen.h"

namespace UIImage_PVPopover {

namespace {
constexpr CGFloat kDefaultSide = 8;
}

UIImagePtr imageWithColor(const UIColorPtr& color) {
    return imageWithColorSizeCornerRadius(color, CGSizeMake(kDefaultSide, kDefaultSide), 0);
}

UIImagePtr imageWithColorCornerRadius(const UIColorPtr& color, float cornerRadius) {
    CGFloat side = 2 * cornerRadius + 1;
    return imageWithColorSizeCornerRadius(color, CGSizeMake(side, side), cornerRadius);
}

UIImagePtr imageWithColorSizeCornerRadius(const UIColorPtr& color, CGSize size, float cornerRadius) {
    UIGraphicsBeginImageContextWithOptions(size, false, UIScreen::mainScreen()->scale());
    auto path = UIBezierPath::bezierPathWithRoundedRect(CGRectMake(0, 0, size.width, size.height), cornerRadius);
    if (color) color->setFill();
    path->fill();
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    if (!image) return nullptr;
    return image->resizableImageWithCapInsets(UIEdgeInsetsMake(cornerRadius, cornerRadius, cornerRadius, cornerRadius));
}

} // namespace UIImage_PVPopover
