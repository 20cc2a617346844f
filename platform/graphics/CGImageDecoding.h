#pragma once
// Decoding image files' bytes into bitmaps: PNG (through cairo), JPEG (libjpeg-turbo), HEIF/HEIC
// (libheif, its rotation and mirroring applied) and GIF (giflib, every frame); TIFF, BMP and icons
// through gdk-pixbuf's loaders. Each bitmap keeps the form its file stored: bits per component (a 16-bit
// PNG says 16), colour model (a CMYK JPEG says CMYK, its pixels converted for display) and
// whether it had alpha.

#include "platform/graphics/CGImage.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace CGImageDecoding {

enum class ImageType { Unknown, PNG, JPEG, GIF, HEIF };

// No decoder makes a bitmap of more pixels than this: a photo of a hostile or damaged header gives
// nil instead of gigabytes.
constexpr std::int64_t kMaximumImagePixels = 64LL * 1024 * 1024;
bool isWithinPixelBound(std::int64_t width, std::int64_t height);

// The type the bytes begin like.
ImageType typeOfImageData(const std::uint8_t* bytes, std::size_t length);

// nil when the bytes are not a complete image of that type.
CGImageRef createWithPNGData(const std::uint8_t* bytes, std::size_t length);
CGImageRef createWithJPEGData(const std::uint8_t* bytes, std::size_t length);
// A JPEG decoded at the smallest DCT scale (1/8, 1/4, 1/2 or 1) whose sides still reach
// minimumSide pixels on the shorter side: thumbnails without decoding every pixel.
CGImageRef createWithJPEGData(const std::uint8_t* bytes, std::size_t length, int minimumSide);
// The same from an open file, read from where it stands for at most `length` bytes in pieces of
// 64 KiB: a photo's thumbnail without holding (or copying) the whole file. The descriptor stays
// open; nil when the file is no complete JPEG.
CGImageRef createWithJPEGFile(int fd, std::uint64_t length, int minimumSide);
CGImageRef createWithHEIFData(const std::uint8_t* bytes, std::size_t length);
// BMP, TIFF and icons (ICO, CUR, ICNS), told by their signatures, through gdk-pixbuf into 8-bit
// RGB(A); nil for any other bytes (gdk-pixbuf's other loaders, SVG among them, are not offered).
CGImageRef createWithOtherImageData(const std::uint8_t* bytes, std::size_t length);

struct Frame {
    CGImageRef image;
    double delay = 0; // seconds the frame stands
};
constexpr std::size_t kAllFrames = SIZE_MAX;
// The frames of a GIF, at most maxFrames of them, each composed over the ones before as the file's
// disposal says; empty when the bytes are not a whole GIF. All frames together hold at most
// kMaximumImagePixels pixels: a longer animation ends early.
std::vector<Frame> framesOfGIFData(const std::uint8_t* bytes, std::size_t length, std::size_t maxFrames = kAllFrames);

// The frames of any image type above (one for all but GIF); empty for anything else.
std::vector<Frame> framesOfImageData(const std::uint8_t* bytes, std::size_t length, std::size_t maxFrames = kAllFrames);
// The first frame alone, or nil.
CGImageRef firstFrameOfImageData(const std::uint8_t* bytes, std::size_t length);

} // namespace CGImageDecoding
