#include "pickers/resize/UIImage+ResizeGeometry.h"

#include "platform/foundation/NSString.h"
#include "platform/uikit/UIGraphics.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <functional>
#include <optional>

namespace UIImage_ResizeGeometry {
namespace {

// A decimal scan: leading white space, an optional sign, digits up to the first other character;
// no digits read as 0, and a number past the range holds at its end.
long long scanLongLong(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        int digit = text[i] - '0';
        if (value > (LLONG_MAX - digit) / 10) return negative ? LLONG_MIN : LLONG_MAX;
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

bool canvasFits(CGSize size) {
    // NaN fails every comparison, so it is refused with the rest.
    if (!(size.width >= 1 && size.height >= 1)) return false;
    if (size.width > kMaxCanvasSide || size.height > kMaxCanvasSide) return false;
    return static_cast<double>(size.width) * size.height <= kMaxCanvasPixels;
}

// Ws and Hs: the sides CGImageWithCorrectOrientation's bitmap would have, read without drawing
// a full-size copy of a large photo only to measure it.
std::optional<CGSize> sourceSides(const UIImagePtr& image) {
    if (!image || !image->CGImage()) return std::nullopt;
    if (image->imageOrientation() == UIImageOrientationDown)
        return CGSizeMake(image->CGImage()->width(), image->CGImage()->height());
    return image->size();
}

UIImagePtr drawScaled(const UIImagePtr& image, CGFloat scale) {
    auto sides = sourceSides(image);
    if (!sides) return nullptr;
    return drawImageInBounds(image, CGRectMake(0, 0, std::round(sides->width * scale), std::round(sides->height * scale)));
}

UIImagePtr imageFromCanvas(CGSize size, const std::function<void(CGContext&)>& draw) {
    if (!canvasFits(size)) return nullptr;
    UIGraphicsBeginImageContextWithOptions(size, false, 1);
    auto context = UIGraphicsGetCurrentContext();
    if (context) draw(*context);
    auto made = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return made;
}

} // namespace

UIImagePtr resizedImageByGeometry(const UIImagePtr& image, const std::string& geometry) {
    if (!image || geometry.empty()) return nullptr;
    char suffix = geometry.back();
    bool suffixed = suffix == '!' || suffix == '#' || suffix == '^';
    std::string sides = suffixed ? geometry.substr(0, geometry.size() - 1) : geometry;
    auto pieces = NSString::componentsSeparatedByString(sides, "x");
    long long w = scanLongLong(pieces[0]);
    long long h = pieces.size() > 1 ? scanLongLong(pieces[1]) : 0;
    CGSize size = CGSizeMake(static_cast<CGFloat>(w), static_cast<CGFloat>(h));

    if (suffix == '!' || suffix == '#') {
        // A side of 0 or less has nothing to draw into (and must not wrap round to a huge one).
        if (w <= 0 || h <= 0) return nullptr;
        auto filled = resizedImageWithMinimumSize(image, size);
        if (!filled) return nullptr;
        if (suffix == '!') return drawImageInBounds(filled, CGRectMake(0, 0, size.width, size.height));
        auto got = filled->size();
        return croppedImageWithRect(filled, CGRectMake((got.width - size.width) * 0.5, (got.height - size.height) * 0.5,
                                                       size.width, size.height));
    }
    if (suffix == '^') return resizedImageWithMinimumSize(image, size);
    if (pieces.size() == 1) return w > 0 ? resizedImageByWidth(image, static_cast<unsigned long>(w)) : nullptr;
    if (pieces[0].empty()) return h > 0 ? resizedImageByHeight(image, static_cast<unsigned long>(h)) : nullptr;
    return resizedImageWithMaximumSize(image, size);
}

UIImagePtr resizedImageByWidth(const UIImagePtr& image, unsigned long width) {
    auto sides = sourceSides(image);
    if (!sides || sides->width <= 0) return nullptr;
    CGFloat r = static_cast<CGFloat>(width) / sides->width;
    return drawImageInBounds(image, CGRectMake(0, 0, static_cast<CGFloat>(width), std::round(sides->height * r)));
}

UIImagePtr resizedImageByHeight(const UIImagePtr& image, unsigned long height) {
    auto sides = sourceSides(image);
    if (!sides || sides->height <= 0) return nullptr;
    CGFloat r = static_cast<CGFloat>(height) / sides->height;
    return drawImageInBounds(image, CGRectMake(0, 0, std::round(sides->width * r), static_cast<CGFloat>(height)));
}

UIImagePtr resizedImageWithMinimumSize(const UIImagePtr& image, CGSize size) {
    auto sides = sourceSides(image);
    if (!sides || sides->width <= 0 || sides->height <= 0) return nullptr;
    return drawScaled(image, std::max(size.width / sides->width, size.height / sides->height));
}

UIImagePtr resizedImageWithMaximumSize(const UIImagePtr& image, CGSize size) {
    auto sides = sourceSides(image);
    if (!sides || sides->width <= 0 || sides->height <= 0) return nullptr;
    return drawScaled(image, std::min(size.width / sides->width, size.height / sides->height));
}

UIImagePtr drawImageInBounds(const UIImagePtr& image, const CGRect& bounds) {
    if (!image) return nullptr;
    return imageFromCanvas(bounds.size, [&](CGContext&) { image->drawInRect(bounds); });
}

UIImagePtr croppedImageWithRect(const UIImagePtr& image, const CGRect& rect) {
    if (!image) return nullptr;
    return imageFromCanvas(rect.size, [&](CGContext& context) {
        context.clipToRect(CGRectMake(0, 0, rect.size.width, rect.size.height));
        image->drawAtPoint(CGPointMake(-rect.origin.x, -rect.origin.y));
    });
}

CGImageRef CGImageWithCorrectOrientation(const UIImagePtr& image) {
    if (!image) return nullptr;
    if (image->imageOrientation() == UIImageOrientationDown) return image->CGImage();
    auto upright = imageFromCanvas(image->size(), [&](CGContext&) {
        auto s = image->size();
        image->drawInRect(CGRectMake(0, 0, s.width, s.height));
    });
    return upright ? upright->CGImage() : nullptr;
}

} // namespace UIImage_ResizeGeometry
