#include "platform/graphics/CGBitmapContext.h"

#include "platform/graphics/CGImageDecoding.h"

#include <cairo.h>

#include <climits>

namespace {
constexpr std::size_t kBytesPerPixel = 4;
constexpr std::size_t kSupportedBitsPerComponent = 8;

CGImageRef decodeWith(const CGDataProviderRef& provider, CGImageRef (*decode)(const std::uint8_t*, std::size_t)) {
    if (!provider || !provider->data()) return nullptr;
    return decode(provider->data()->bytes(), provider->data()->length());
}

bool alphaDrawable(CGBitmapInfo info) {
    switch (info & kCGBitmapAlphaInfoMask) {
    case kCGImageAlphaPremultipliedFirst:
    case kCGImageAlphaPremultipliedLast:
    case kCGImageAlphaNoneSkipFirst:
    case kCGImageAlphaNoneSkipLast: return true;
    default: return false;
    }
}
} // namespace

CGDataProviderRef CGDataProviderCreateWithCFData(NSDataPtr data) {
    return data ? std::make_shared<CGDataProvider>(std::move(data)) : nullptr;
}

CGColorSpaceRef CGColorSpaceCreateDeviceRGB() { return std::make_shared<CGColorSpace>(kCGColorSpaceModelRGB); }

CGColorSpaceModel CGColorSpaceGetModel(const CGColorSpaceRef& space) {
    return space ? space->model() : kCGColorSpaceModelUnknown;
}

CGImageRef CGImageCreateWithPNGDataProvider(const CGDataProviderRef& provider, const CGFloat*, bool, CGColorRenderingIntent) {
    return decodeWith(provider, CGImageDecoding::createWithPNGData);
}

CGImageRef CGImageCreateWithJPEGDataProvider(const CGDataProviderRef& provider, const CGFloat*, bool, CGColorRenderingIntent) {
    return decodeWith(provider, CGImageDecoding::createWithJPEGData);
}

CGImageRef CGImageCreateCopy(const CGImageRef& image) { return image ? image->copy() : nullptr; }

std::size_t CGImageGetWidth(const CGImageRef& image) { return image ? static_cast<std::size_t>(image->width()) : 0; }
std::size_t CGImageGetHeight(const CGImageRef& image) { return image ? static_cast<std::size_t>(image->height()) : 0; }
std::size_t CGImageGetBitsPerComponent(const CGImageRef& image) { return image ? image->bitsPerComponent() : 0; }
CGBitmapInfo CGImageGetBitmapInfo(const CGImageRef& image) { return image ? image->bitmapInfo() : 0; }

CGColorSpaceRef CGImageGetColorSpace(const CGImageRef& image) {
    return image ? std::make_shared<CGColorSpace>(image->colorSpaceModel()) : nullptr;
}

CGContextRef CGBitmapContextCreate(void* data, std::size_t width, std::size_t height, std::size_t bitsPerComponent,
                                   std::size_t bytesPerRow, const CGColorSpaceRef& space, CGBitmapInfo bitmapInfo) {
    if (data || width == 0 || height == 0 || width > INT_MAX || height > INT_MAX) return nullptr;
    if (bitsPerComponent != kSupportedBitsPerComponent || CGColorSpaceGetModel(space) != kCGColorSpaceModelRGB) return nullptr;
    if (!alphaDrawable(bitmapInfo) || (bytesPerRow != 0 && bytesPerRow / kBytesPerPixel < width)) return nullptr;
    auto target = CGImage::createWithSize(static_cast<int>(width), static_cast<int>(height));
    if (!target) return nullptr;
    CGImageFormat format{.bitsPerComponent = bitsPerComponent, .colorSpaceModel = kCGColorSpaceModelRGB, .bitmapInfo = bitmapInfo};
    return std::make_shared<CGBitmapContext>(target, format);
}

void CGContextDrawImage(const CGContextRef& context, const CGRect& rect, const CGImageRef& image) {
    if (context && image) context->drawImage(rect, *image);
}

CGImageRef CGBitmapContextCreateImage(const CGContextRef& context) {
    auto bitmap = std::dynamic_pointer_cast<CGBitmapContext>(context);
    if (!bitmap) return nullptr;
    CGImageRef copy = bitmap->target()->copy();
    if (!copy) return nullptr;
    return std::make_shared<CGImage>(cairo_surface_reference(copy->surface()), bitmap->format());
}
