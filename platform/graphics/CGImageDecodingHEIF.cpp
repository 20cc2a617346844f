// HEIF/HEIC decoding with libheif: the primary image, decoded to interleaved RGBA with the file's
// rotation and mirroring applied, copied into a premultiplied cairo surface.
#include "platform/graphics/CGImageDecoding.h"

#include <cairo.h>
#include <libheif/heif.h>

#include <memory>

namespace CGImageDecoding {
namespace {
struct ContextFree {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleRelease {
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageRelease {
    void operator()(heif_image* image) const { heif_image_release(image); }
};

void copyRGBA(const std::uint8_t* source, std::size_t sourceStride, cairo_surface_t* surface, int width, int height) {
    unsigned char* target = cairo_image_surface_get_data(surface);
    const auto targetStride = static_cast<std::size_t>(cairo_image_surface_get_stride(surface));
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = source + sourceStride * static_cast<std::size_t>(y);
        auto* out = reinterpret_cast<std::uint32_t*>(target + targetStride * static_cast<std::size_t>(y));
        for (int x = 0; x < width; ++x, in += 4) {
            const std::uint32_t a = in[3];
            auto premultiply = [a](std::uint32_t c) { return (c * a + 127) / 255; };
            out[x] = (a << 24) | (premultiply(in[0]) << 16) | (premultiply(in[1]) << 8) | premultiply(in[2]);
        }
    }
    cairo_surface_mark_dirty(surface);
}
} // namespace

CGImageRef createWithHEIFData(const std::uint8_t* bytes, std::size_t length) {
    if (typeOfImageData(bytes, length) != ImageType::HEIF) return nullptr;
    std::unique_ptr<heif_context, ContextFree> context(heif_context_alloc());
    if (!context || heif_context_read_from_memory_without_copy(context.get(), bytes, length, nullptr).code != heif_error_Ok)
        return nullptr;
    heif_image_handle* rawHandle = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok) return nullptr;
    std::unique_ptr<heif_image_handle, HandleRelease> handle(rawHandle);
    if (!isWithinPixelBound(heif_image_handle_get_width(handle.get()), heif_image_handle_get_height(handle.get())))
        return nullptr;
    const bool alpha = heif_image_handle_has_alpha_channel(handle.get());
    heif_image* rawImage = nullptr;
    if (heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, nullptr).code !=
        heif_error_Ok)
        return nullptr;
    std::unique_ptr<heif_image, ImageRelease> image(rawImage);
    const int width = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(image.get(), heif_channel_interleaved);
    int stride = 0;
    const std::uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    if (!plane || !isWithinPixelBound(width, height)) return nullptr;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    copyRGBA(plane, static_cast<std::size_t>(stride), surface, width, height);
    CGImageFormat format;
    format.bitmapInfo = alpha ? kCGImageAlphaLast : kCGImageAlphaNone;
    return std::make_shared<CGImage>(surface, format);
}

} // namespace CGImageDecoding
