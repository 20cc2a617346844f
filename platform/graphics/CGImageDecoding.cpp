#include "platform/graphics/CGImageDecoding.h"

#include <cairo.h>

#include <cstring>

namespace CGImageDecoding {
namespace {
constexpr std::uint8_t kPNGSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
constexpr std::uint8_t kJPEGSignature[] = {0xff, 0xd8, 0xff};

// The header chunk follows the signature: length, "IHDR", width, height, bit depth, colour type.
constexpr std::size_t kPNGBitDepthOffset = 24;
constexpr std::size_t kPNGColourTypeOffset = 25;
enum PNGColourType : std::uint8_t { kGray = 0, kRGB = 2, kPalette = 3, kGrayAlpha = 4, kRGBAlpha = 6 };

bool beginsWith(const std::uint8_t* bytes, std::size_t length, const std::uint8_t* prefix, std::size_t prefixLength) {
    return length >= prefixLength && std::memcmp(bytes, prefix, prefixLength) == 0;
}

struct ImageDecodingReadState {
    const std::uint8_t* bytes;
    std::size_t length;
    std::size_t offset = 0;
};

cairo_status_t imageDecodingReadBytes(void* closure, unsigned char* data, unsigned int length) {
    auto* state = static_cast<ImageDecodingReadState*>(closure);
    if (length > state->length - state->offset) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(data, state->bytes + state->offset, length);
    state->offset += length;
    return CAIRO_STATUS_SUCCESS;
}

CGImageFormat pngFormat(const std::uint8_t* bytes) {
    CGImageFormat format;
    format.bitsPerComponent = bytes[kPNGBitDepthOffset];
    format.bitmapInfo = kCGBitmapByteOrderDefault | kCGImageAlphaNone;
    switch (bytes[kPNGColourTypeOffset]) {
    case kGray: format.colorSpaceModel = kCGColorSpaceModelMonochrome; break;
    case kGrayAlpha:
        format.colorSpaceModel = kCGColorSpaceModelMonochrome;
        format.bitmapInfo = kCGImageAlphaLast;
        break;
    case kPalette: format.colorSpaceModel = kCGColorSpaceModelIndexed; break;
    case kRGBAlpha: format.bitmapInfo = kCGImageAlphaLast; break;
    default: break;
    }
    return format;
}
// An ISO media file whose "ftyp" box names a HEIF still-image brand.
bool isHEIFBrand(const std::uint8_t* bytes, std::size_t length) {
    if (length < 12 || std::memcmp(bytes + 4, "ftyp", 4) != 0) return false;
    static const char* const kBrands[] = {"heic", "heix", "heim", "heis", "hevc", "hevx", "mif1", "msf1"};
    for (const char* brand : kBrands)
        if (std::memcmp(bytes + 8, brand, 4) == 0) return true;
    return false;
}

// Width and height follow the "IHDR" tag as big-endian words.
std::int64_t bigEndianWord(const std::uint8_t* p) {
    return (std::int64_t{p[0]} << 24) | (std::int64_t{p[1]} << 16) | (std::int64_t{p[2]} << 8) | std::int64_t{p[3]};
}
} // namespace

ImageType typeOfImageData(const std::uint8_t* bytes, std::size_t length) {
    if (beginsWith(bytes, length, kPNGSignature, sizeof kPNGSignature)) return ImageType::PNG;
    if (beginsWith(bytes, length, kJPEGSignature, sizeof kJPEGSignature)) return ImageType::JPEG;
    if (length >= 6 && (std::memcmp(bytes, "GIF87a", 6) == 0 || std::memcmp(bytes, "GIF89a", 6) == 0)) return ImageType::GIF;
    if (isHEIFBrand(bytes, length)) return ImageType::HEIF;
    return ImageType::Unknown;
}

bool isWithinPixelBound(std::int64_t width, std::int64_t height) {
    return width > 0 && height > 0 && width <= kMaximumImagePixels / height;
}

CGImageRef createWithPNGData(const std::uint8_t* bytes, std::size_t length) {
    if (typeOfImageData(bytes, length) != ImageType::PNG || length <= kPNGColourTypeOffset) return nullptr;
    if (!isWithinPixelBound(bigEndianWord(bytes + 16), bigEndianWord(bytes + 20))) return nullptr;
    ImageDecodingReadState state{bytes, length};
    cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(imageDecodingReadBytes, &state);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    return std::make_shared<CGImage>(surface, pngFormat(bytes));
}

std::vector<Frame> framesOfImageData(const std::uint8_t* bytes, std::size_t length, std::size_t maxFrames) {
    if (maxFrames == 0) return {};
    CGImageRef single;
    switch (typeOfImageData(bytes, length)) {
    case ImageType::PNG: single = createWithPNGData(bytes, length); break;
    case ImageType::JPEG: single = createWithJPEGData(bytes, length); break;
    case ImageType::GIF: return framesOfGIFData(bytes, length, maxFrames);
    case ImageType::HEIF: single = createWithHEIFData(bytes, length); break;
    case ImageType::Unknown: single = createWithOtherImageData(bytes, length); break;
    }
    if (!single) return {};
    return {Frame{single, 0}};
}

CGImageRef firstFrameOfImageData(const std::uint8_t* bytes, std::size_t length) {
    auto frames = framesOfImageData(bytes, length, 1);
    return frames.empty() ? nullptr : frames.front().image;
}

} // namespace CGImageDecoding
