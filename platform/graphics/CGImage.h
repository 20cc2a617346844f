#pragma once
// A bitmap: premultiplied ARGB pixels in a cairo image surface, sized in pixels. It also keeps the
// form its source had (bits per component, colour model, bitmap info), as the decoders report it;
// the pixels are always 8-bit premultiplied ARGB.

#include "platform/foundation/NSObject.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

typedef struct _cairo_surface cairo_surface_t;

class CGImage;
using CGImageRef = std::shared_ptr<CGImage>;

enum CGColorSpaceModel : int {
    kCGColorSpaceModelUnknown = -1,
    kCGColorSpaceModelMonochrome = 0,
    kCGColorSpaceModelRGB = 1,
    kCGColorSpaceModelCMYK = 2,
    kCGColorSpaceModelLab = 3,
    kCGColorSpaceModelDeviceN = 4,
    kCGColorSpaceModelIndexed = 5,
    kCGColorSpaceModelPattern = 6,
};

using CGBitmapInfo = std::uint32_t;
enum : CGBitmapInfo {
    kCGImageAlphaNone = 0,
    kCGImageAlphaPremultipliedLast = 1,
    kCGImageAlphaPremultipliedFirst = 2,
    kCGImageAlphaLast = 3,
    kCGImageAlphaFirst = 4,
    kCGImageAlphaNoneSkipLast = 5,
    kCGImageAlphaNoneSkipFirst = 6,
    kCGImageAlphaOnly = 7,
    kCGBitmapAlphaInfoMask = 0x1F,
    kCGBitmapByteOrderDefault = 0,
    kCGBitmapByteOrder16Little = 1 << 12,
    kCGBitmapByteOrder32Little = 2 << 12,
    kCGBitmapByteOrder16Big = 3 << 12,
    kCGBitmapByteOrder32Big = 4 << 12,
};

// How a bitmap was stored where it came from.
struct CGImageFormat {
    std::size_t bitsPerComponent = 8;
    CGColorSpaceModel colorSpaceModel = kCGColorSpaceModelRGB;
    // The cairo layout itself: premultiplied ARGB in a native-endian 32-bit word.
    CGBitmapInfo bitmapInfo = kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little;
    bool operator==(const CGImageFormat&) const = default;
};

class CGImage : public NSObject {
public:
    // Takes ownership of a cairo image surface.
    explicit CGImage(cairo_surface_t* surface, CGImageFormat format = {});
    ~CGImage() override;

    // A transparent bitmap; nil for a size of zero or less.
    static CGImageRef createWithSize(int width, int height);
    // nil when the file or bytes are not a PNG image.
    static CGImageRef createWithPNGFile(const std::string& hostPath);
    static CGImageRef createWithPNGData(const std::vector<std::uint8_t>& bytes);

    int width() const;
    int height() const;
    const CGImageFormat& format() const { return format_; }
    std::size_t bitsPerComponent() const { return format_.bitsPerComponent; }
    CGColorSpaceModel colorSpaceModel() const { return format_.colorSpaceModel; }
    CGBitmapInfo bitmapInfo() const { return format_.bitmapInfo; }
    // A new bitmap with the same pixels and form; nil when memory runs out.
    CGImageRef copy() const;
    // The image as a PNG file's bytes.
    std::vector<std::uint8_t> pngData() const;

    struct Pixel {
        std::uint8_t red = 0, green = 0, blue = 0, alpha = 0;
        bool operator==(const Pixel&) const = default;
    };
    // Un-premultiplied components of the pixel at (x, y); transparent outside the image.
    Pixel pixelAt(int x, int y) const;
    // True when no pixel has any coverage.
    bool isTransparent() const;

    cairo_surface_t* surface() const { return surface_; }

private:
    cairo_surface_t* surface_;
    CGImageFormat format_;
};
