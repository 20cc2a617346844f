#include "platform/graphics/CGImage.h"

#include <cairo.h>

#include <cstring>

namespace {
struct ReadState {
    const std::vector<std::uint8_t>* bytes;
    std::size_t offset = 0;
};

cairo_status_t readBytes(void* closure, unsigned char* data, unsigned int length) {
    auto* state = static_cast<ReadState*>(closure);
    if (state->offset + length > state->bytes->size()) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(data, state->bytes->data() + state->offset, length);
    state->offset += length;
    return CAIRO_STATUS_SUCCESS;
}

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(closure);
    out->insert(out->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

CGImageRef adopt(cairo_surface_t* surface) {
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    return std::make_shared<CGImage>(surface);
}
} // namespace

CGImage::CGImage(cairo_surface_t* surface, CGImageFormat format) : surface_(surface), format_(format) {}

CGImage::~CGImage() { cairo_surface_destroy(surface_); }

CGImageRef CGImage::createWithSize(int width, int height) {
    if (width <= 0 || height <= 0) return nullptr;
    return adopt(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
}

CGImageRef CGImage::createWithPNGFile(const std::string& hostPath) {
    return adopt(cairo_image_surface_create_from_png(hostPath.c_str()));
}

CGImageRef CGImage::createWithPNGData(const std::vector<std::uint8_t>& bytes) {
    ReadState state{&bytes};
    return adopt(cairo_image_surface_create_from_png_stream(readBytes, &state));
}

int CGImage::width() const { return cairo_image_surface_get_width(surface_); }
int CGImage::height() const { return cairo_image_surface_get_height(surface_); }

std::vector<std::uint8_t> CGImage::pngData() const {
    std::vector<std::uint8_t> out;
    cairo_surface_flush(surface_);
    cairo_surface_write_to_png_stream(surface_, appendBytes, &out);
    return out;
}

bool CGImage::isTransparent() const {
    cairo_surface_flush(surface_);
    const unsigned char* data = cairo_image_surface_get_data(surface_);
    int stride = cairo_image_surface_get_stride(surface_);
    for (int y = 0; y < height(); ++y) {
        const unsigned char* row = data + y * stride;
        for (int x = 0; x < width(); ++x) {
            std::uint32_t argb;
            std::memcpy(&argb, row + 4 * x, sizeof argb);
            if (argb >> 24) return false;
        }
    }
    return true;
}

CGImage::Pixel CGImage::pixelAt(int x, int y) const {
    if (x < 0 || y < 0 || x >= width() || y >= height()) return {};
    cairo_surface_flush(surface_);
    const unsigned char* row = cairo_image_surface_get_data(surface_) + y * cairo_image_surface_get_stride(surface_);
    std::uint32_t argb;
    std::memcpy(&argb, row + 4 * x, sizeof argb);
    Pixel p;
    p.alpha = static_cast<std::uint8_t>(argb >> 24);
    auto unpremultiply = [&](std::uint32_t c) {
        return static_cast<std::uint8_t>(p.alpha ? (c * 255 + p.alpha / 2) / p.alpha : 0);
    };
    p.red = unpremultiply((argb >> 16) & 0xff);
    p.green = unpremultiply((argb >> 8) & 0xff);
    p.blue = unpremultiply(argb & 0xff);
    return p;
}

CGImageRef CGImage::copy() const {
    cairo_surface_flush(surface_);
    cairo_surface_t* copy = cairo_image_surface_create(cairo_image_surface_get_format(surface_), width(), height());
    if (cairo_surface_status(copy) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(copy);
        return nullptr;
    }
    const int stride = cairo_image_surface_get_stride(surface_);
    if (stride == cairo_image_surface_get_stride(copy)) {
        std::memcpy(cairo_image_surface_get_data(copy), cairo_image_surface_get_data(surface_),
                    static_cast<std::size_t>(stride) * static_cast<std::size_t>(height()));
    }
    cairo_surface_mark_dirty(copy);
    return std::make_shared<CGImage>(copy, format_);
}
