#include "platform/graphics/CGImageEncoding.h"

#include "platform/graphics/CGImageProperties.h"

#include <cairo.h>

#include <algorithm>
#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace CGImageEncoding {
namespace {
struct ImageEncodingJumpingErrorManager {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void imageEncodingJumpOut(j_common_ptr info) { std::longjmp(reinterpret_cast<ImageEncodingJumpingErrorManager*>(info->err)->jump, 1); }

constexpr J_COLOR_SPACE kImageEncodingCairoOrder = std::endian::native == std::endian::little ? JCS_EXT_BGRX : JCS_EXT_XRGB;
constexpr int kAPP1 = JPEG_APP0 + 1;

// Nothing with a destructor lives between the setjmp and the calls that may jump; the rows are
// read straight from the surface (opaque pixels: premultiplied or not, the same bytes).
bool compress(jpeg_compress_struct& info, ImageEncodingJumpingErrorManager& errors, cairo_surface_t* surface, int quality,
              const std::vector<std::uint8_t>* exif) {
    if (setjmp(errors.jump)) return false;
    info.image_width = static_cast<JDIMENSION>(cairo_image_surface_get_width(surface));
    info.image_height = static_cast<JDIMENSION>(cairo_image_surface_get_height(surface));
    info.input_components = 4;
    info.in_color_space = kImageEncodingCairoOrder;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    if (exif) jpeg_write_marker(&info, kAPP1, exif->data(), static_cast<unsigned>(exif->size()));
    unsigned char* data = cairo_image_surface_get_data(surface);
    const auto stride = static_cast<std::size_t>(cairo_image_surface_get_stride(surface));
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[] = {data + stride * info.next_scanline};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    return true;
}
} // namespace

std::vector<std::uint8_t> jpegData(const CGImage& image, double quality, int exifOrientation, const std::string& exifDate) {
    // Transparent pixels go onto white first, as a JPEG has no alpha.
    cairo_surface_t* opaque = cairo_image_surface_create(CAIRO_FORMAT_RGB24, image.width(), image.height());
    cairo_t* cr = cairo_create(opaque);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_set_source_surface(cr, image.surface(), 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(opaque);
    if (cairo_surface_status(opaque) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(opaque);
        return {};
    }
    std::vector<std::uint8_t> exif;
    if ((exifOrientation > 1 && exifOrientation <= 8) || !exifDate.empty())
        exif = CGImageProperties::exifBlock(exifOrientation >= 1 && exifOrientation <= 8 ? exifOrientation : 1, exifDate);

    jpeg_compress_struct info{};
    ImageEncodingJumpingErrorManager errors{};
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = imageEncodingJumpOut;
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    const int q = std::clamp(static_cast<int>(quality * 100 + 0.5), 1, 100);
    bool done = compress(info, errors, opaque, q, exif.empty() ? nullptr : &exif);
    jpeg_destroy_compress(&info);
    cairo_surface_destroy(opaque);
    std::vector<std::uint8_t> out;
    if (done && buffer) out.assign(buffer, buffer + size);
    std::free(buffer);
    return out;
}

} // namespace CGImageEncoding
