// BMP, TIFF and icons go through gdk-pixbuf's loaders, each chosen by the file's signature: the
// bytes never reach a loader for a type a photo library does not hold (SVG, XPM, …), and a header
// announcing more pixels than the bound stops the loader before it allocates them.
#include "platform/graphics/CGImageDecoding.h"

#include <cairo.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <string_view>

namespace CGImageDecoding {
namespace {
struct ObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <class T>
using GObjectPtr = std::unique_ptr<T, ObjectUnref>;

// gdk-pixbuf rows are R, G, B[, A] bytes, alpha not premultiplied; cairo wants premultiplied
// native-endian ARGB words.
void copyPixels(const GdkPixbuf* pixbuf, cairo_surface_t* surface) {
    const int width = gdk_pixbuf_get_width(pixbuf), height = gdk_pixbuf_get_height(pixbuf);
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    const bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
    const guchar* source = gdk_pixbuf_read_pixels(pixbuf);
    const auto sourceStride = static_cast<std::size_t>(gdk_pixbuf_get_rowstride(pixbuf));
    unsigned char* target = cairo_image_surface_get_data(surface);
    const auto targetStride = static_cast<std::size_t>(cairo_image_surface_get_stride(surface));
    for (int y = 0; y < height; ++y) {
        const guchar* in = source + sourceStride * static_cast<std::size_t>(y);
        auto* out = reinterpret_cast<std::uint32_t*>(target + targetStride * static_cast<std::size_t>(y));
        for (int x = 0; x < width; ++x, in += channels) {
            std::uint32_t a = alpha ? in[3] : 255;
            auto premultiply = [a](std::uint32_t c) { return (c * a + 127) / 255; };
            out[x] = (a << 24) | (premultiply(in[0]) << 16) | (premultiply(in[1]) << 8) | premultiply(in[2]);
        }
    }
    cairo_surface_mark_dirty(surface);
}
struct Signature {
    std::string_view bytes;
    const char* loader;
};
const Signature kSignatures[] = {
    {std::string_view("BM", 2), "bmp"},
    {std::string_view("II*\0", 4), "tiff"},
    {std::string_view("MM\0*", 4), "tiff"},
    {std::string_view("\0\0\1\0", 4), "ico"},
    {std::string_view("\0\0\2\0", 4), "ico"}, // cursors share the icon loader
    {std::string_view("icns", 4), "icns"},
};

const char* loaderForSignature(const std::uint8_t* bytes, std::size_t length) {
    for (const Signature& signature : kSignatures)
        if (length >= signature.bytes.size() && std::memcmp(bytes, signature.bytes.data(), signature.bytes.size()) == 0)
            return signature.loader;
    return nullptr;
}

std::int64_t littleEndian(const std::uint8_t* p, int bytes) {
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
    return static_cast<std::int64_t>(value);
}

// The BMP loader sizes its buffers by the sizes the file gives its header and the offset of its
// pixels: only header sizes the format has are let through, pixels that start after the headers
// and inside the file, and a picture within the bound.
bool isPlausibleBMP(const std::uint8_t* bytes, std::size_t length) {
    constexpr std::size_t kFileHeader = 14;
    if (length < kFileHeader + 12) return false;
    const std::int64_t headerSize = littleEndian(bytes + kFileHeader, 4);
    const std::int64_t pixelsAt = littleEndian(bytes + 10, 4);
    if (pixelsAt < static_cast<std::int64_t>(kFileHeader) + headerSize || pixelsAt > static_cast<std::int64_t>(length)) return false;
    if (headerSize == 12) return isWithinPixelBound(littleEndian(bytes + 18, 2), littleEndian(bytes + 20, 2));
    static constexpr std::int64_t kInfoHeaderSizes[] = {16, 40, 52, 56, 64, 108, 124};
    if (std::find(std::begin(kInfoHeaderSizes), std::end(kInfoHeaderSizes), headerSize) == std::end(kInfoHeaderSizes)) return false;
    // Both sides are signed 32-bit values; a negative height means rows from the top.
    auto side = [&](std::size_t at) {
        const auto value = static_cast<std::int32_t>(static_cast<std::uint32_t>(littleEndian(bytes + at, 4)));
        return value == INT32_MIN ? std::int64_t{0} : std::abs(std::int64_t{value});
    };
    return isWithinPixelBound(side(18), side(22));
}

// A size of 0 × 0 asks the loader to stop with an error before it allocates the picture.
void refuseOversizedPictures(GdkPixbufLoader* loader, gint width, gint height, gpointer) {
    if (!isWithinPixelBound(width, height)) gdk_pixbuf_loader_set_size(loader, 0, 0);
}
} // namespace

CGImageRef createWithOtherImageData(const std::uint8_t* bytes, std::size_t length) {
    const char* type = loaderForSignature(bytes, length);
    if (!type || (std::strcmp(type, "bmp") == 0 && !isPlausibleBMP(bytes, length))) return nullptr;
    GError* error = nullptr;
    GObjectPtr<GdkPixbufLoader> loader(gdk_pixbuf_loader_new_with_type(type, &error));
    if (error) g_clear_error(&error);
    if (!loader) return nullptr;
    g_signal_connect(loader.get(), "size-prepared", G_CALLBACK(refuseOversizedPictures), nullptr);
    bool written = gdk_pixbuf_loader_write(loader.get(), bytes, length, &error);
    if (error) g_clear_error(&error);
    bool closed = gdk_pixbuf_loader_close(loader.get(), &error);
    if (error) g_clear_error(&error);
    GdkPixbuf* pixbuf = written && closed ? gdk_pixbuf_loader_get_pixbuf(loader.get()) : nullptr;
    if (!pixbuf || gdk_pixbuf_get_colorspace(pixbuf) != GDK_COLORSPACE_RGB || gdk_pixbuf_get_bits_per_sample(pixbuf) != 8 ||
        gdk_pixbuf_get_n_channels(pixbuf) < 3 ||
        !isWithinPixelBound(gdk_pixbuf_get_width(pixbuf), gdk_pixbuf_get_height(pixbuf))) {
        return nullptr;
    }
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, gdk_pixbuf_get_width(pixbuf), gdk_pixbuf_get_height(pixbuf));
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    copyPixels(pixbuf, surface);
    CGImageFormat format;
    format.bitmapInfo = gdk_pixbuf_get_has_alpha(pixbuf) ? kCGImageAlphaLast : kCGImageAlphaNone;
    return std::make_shared<CGImage>(surface, format);
}

} // namespace CGImageDecoding
