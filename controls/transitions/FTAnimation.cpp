#include "controls/transitions/FTAnimation.h"

#include "platform/uikit/UIGraphics.h"

namespace {
bool none(const UIEdgeInsets& i) { return i.top == 0 && i.left == 0 && i.bottom == 0 && i.right == 0; }
} // namespace

UIImagePtr FTAnimation::renderImageFromView(const UIViewPtr& view) { return renderImageFromView(view, view->bounds()); }

UIImagePtr FTAnimation::renderImageFromView(const UIViewPtr& view, const CGRect& rect) {
    UIGraphicsBeginImageContextWithOptions(rect.size, true, 0);
    auto context = UIGraphicsGetCurrentContext();
    context->translateCTM(-rect.origin.x, -rect.origin.y);
    view->layer()->renderInContext(*context);
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

UIImagePtr FTAnimation::renderImageFromView(const UIViewPtr& view, const CGRect& rect, const UIEdgeInsets& insets) {
    CGSize size{rect.size.width + insets.left + insets.right, rect.size.height + insets.top + insets.bottom};
    UIGraphicsBeginImageContextWithOptions(size, none(insets), 0);
    auto context = UIGraphicsGetCurrentContext();
    context->clipToRect(CGRectMake(insets.left, insets.top, rect.size.width, rect.size.height));
    context->translateCTM(insets.left - rect.origin.x, insets.top - rect.origin.y);
    view->layer()->renderInContext(*context);
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

UIImagePtr FTAnimation::renderImageForAntialiasing(const UIImagePtr& image) {
    return renderImageForAntialiasing(image, UIEdgeInsets{1, 1, 1, 1});
}

UIImagePtr FTAnimation::renderImageForAntialiasing(const UIImagePtr& image, const UIEdgeInsets& insets) {
    auto size = image->size();
    UIGraphicsBeginImageContextWithOptions({size.width + insets.left + insets.right, size.height + insets.top + insets.bottom},
                                           none(insets), image->scale());
    image->drawInRect(CGRectMake(insets.left, insets.top, size.width, size.height));
    auto out = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return out;
}
