#pragma once
// The Core Graphics calls that decode images from data providers and redraw them into bitmap
// contexts of a chosen form. Bitmap contexts draw 8-bit RGB, with or without alpha, into a
// buffer of their own.

#include "platform/foundation/NSData.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/CGImage.h"

#include <cstddef>
#include <memory>

class CGDataProvider : public NSObject {
public:
    explicit CGDataProvider(NSDataPtr data) : data_(std::move(data)) {}
    const NSDataPtr& data() const { return data_; }

private:
    NSDataPtr data_;
};
using CGDataProviderRef = std::shared_ptr<CGDataProvider>;

class CGColorSpace : public NSObject {
public:
    explicit CGColorSpace(CGColorSpaceModel model) : model_(model) {}
    CGColorSpaceModel model() const { return model_; }

private:
    CGColorSpaceModel model_;
};
using CGColorSpaceRef = std::shared_ptr<CGColorSpace>;

enum CGColorRenderingIntent : int {
    kCGRenderingIntentDefault = 0,
    kCGRenderingIntentAbsoluteColorimetric = 1,
    kCGRenderingIntentRelativeColorimetric = 2,
    kCGRenderingIntentPerceptual = 3,
    kCGRenderingIntentSaturation = 4,
};

// A context that remembers the form it was made with, for the images made from it.
class CGBitmapContext : public CGContext {
public:
    CGBitmapContext(CGImageRef target, CGImageFormat format) : CGContext(std::move(target), 1), format_(format) {}
    const CGImageFormat& format() const { return format_; }

private:
    CGImageFormat format_;
};

CGDataProviderRef CGDataProviderCreateWithCFData(NSDataPtr data);
CGColorSpaceRef CGColorSpaceCreateDeviceRGB();
CGColorSpaceModel CGColorSpaceGetModel(const CGColorSpaceRef& space);

// nil when the provider's bytes are not an image of the type. Decode arrays, interpolation and
// rendering intents have no effect on these bitmaps.
CGImageRef CGImageCreateWithPNGDataProvider(const CGDataProviderRef& provider, const CGFloat* decode, bool shouldInterpolate,
                                            CGColorRenderingIntent intent);
CGImageRef CGImageCreateWithJPEGDataProvider(const CGDataProviderRef& provider, const CGFloat* decode, bool shouldInterpolate,
                                             CGColorRenderingIntent intent);
CGImageRef CGImageCreateCopy(const CGImageRef& image);

std::size_t CGImageGetWidth(const CGImageRef& image);
std::size_t CGImageGetHeight(const CGImageRef& image);
std::size_t CGImageGetBitsPerComponent(const CGImageRef& image);
CGBitmapInfo CGImageGetBitmapInfo(const CGImageRef& image);
CGColorSpaceRef CGImageGetColorSpace(const CGImageRef& image);

// nil unless the buffer is the context's own (data null), components are 8 bits, the colour
// space is RGB, the alpha is premultiplied or skipped, and bytesPerRow is 0 or holds a row.
CGContextRef CGBitmapContextCreate(void* data, std::size_t width, std::size_t height, std::size_t bitsPerComponent,
                                   std::size_t bytesPerRow, const CGColorSpaceRef& space, CGBitmapInfo bitmapInfo);
void CGContextDrawImage(const CGContextRef& context, const CGRect& rect, const CGImageRef& image);
// A copy of what the context holds, in the context's form.
CGImageRef CGBitmapContextCreateImage(const CGContextRef& context);
