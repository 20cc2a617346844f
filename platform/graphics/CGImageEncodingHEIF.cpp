#include "platform/graphics/CGImageEncoding.h"

#include <cairo.h>
#include <libheif/heif.h>

#include <algorithm>
#include <memory>

namespace CGImageEncoding {
namespace {
struct HEIFEncodingContextFree {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct EncoderRelease {
    void operator()(heif_encoder* encoder) const { heif_encoder_release(encoder); }
};
struct HEIFEncodingImageRelease {
    void operator()(heif_image* image) const { heif_image_release(image); }
};

heif_error heifEncodingAppendBytes(heif_context*, const void* data, size_t size, void* userdata) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(userdata);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
}

// Un-premultiplied RGB of the surface's pixels, row by row into the plane.
void heifEncodingCopyPixels(cairo_surface_t* surface, std::uint8_t* plane, std::size_t planeStride) {
    cairo_surface_flush(surface);
    const int width = cairo_image_surface_get_width(surface), height = cairo_image_surface_get_height(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const auto stride = static_cast<std::size_t>(cairo_image_surface_get_stride(surface));
    for (int y = 0; y < height; ++y) {
        const auto* in = reinterpret_cast<const std::uint32_t*>(data + stride * static_cast<std::size_t>(y));
        std::uint8_t* out = plane + planeStride * static_cast<std::size_t>(y);
        for (int x = 0; x < width; ++x, out += 3) {
            const std::uint32_t p = in[x], a = p >> 24;
            auto component = [a](std::uint32_t c) { return static_cast<std::uint8_t>(a ? std::min(255u, (c * 255 + a / 2) / a) : 0); };
            out[0] = component((p >> 16) & 0xff);
            out[1] = component((p >> 8) & 0xff);
            out[2] = component(p & 0xff);
        }
    }
}
} // namespace

std::vector<std::uint8_t> heifData(const CGImage& image, double quality) {
    std::unique_ptr<heif_context, HEIFEncodingContextFree> context(heif_context_alloc());
    heif_encoder* rawEncoder = nullptr;
    if (!context || heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &rawEncoder).code != heif_error_Ok)
        return {};
    std::unique_ptr<heif_encoder, EncoderRelease> encoder(rawEncoder);
    heif_encoder_set_lossy_quality(encoder.get(), std::clamp(static_cast<int>(quality * 100), 1, 100));
    heif_image* rawImage = nullptr;
    if (heif_image_create(image.width(), image.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &rawImage).code !=
        heif_error_Ok)
        return {};
    std::unique_ptr<heif_image, HEIFEncodingImageRelease> planes(rawImage);
    if (heif_image_add_plane(planes.get(), heif_channel_interleaved, image.width(), image.height(), 8).code != heif_error_Ok)
        return {};
    int stride = 0;
    std::uint8_t* plane = heif_image_get_plane(planes.get(), heif_channel_interleaved, &stride);
    heifEncodingCopyPixels(image.surface(), plane, static_cast<std::size_t>(stride));
    if (heif_context_encode_image(context.get(), planes.get(), encoder.get(), nullptr, nullptr).code != heif_error_Ok) return {};
    std::vector<std::uint8_t> out;
    heif_writer writer{};
    writer.writer_api_version = 1;
    writer.write = heifEncodingAppendBytes;
    if (heif_context_write(context.get(), &writer, &out).code != heif_error_Ok) return {};
    return out;
}

} // namespace CGImageEncoding
