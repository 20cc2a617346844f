// JPEG decoding with libjpeg-turbo, straight into the rows of a cairo surface. CMYK files (Adobe's
// inverted form included) are converted for display and remembered as CMYK.
#include "platform/graphics/CGImageDecoding.h"

#include <cairo.h>

#include <algorithm>
#include <bit>
#include <csetjmp>
#include <cerrno>
#include <cstdio>
#include <memory>

#include <unistd.h>

#include <jpeglib.h>
#include <jerror.h>

namespace CGImageDecoding {
namespace {
// libjpeg's fatal errors leave through longjmp; nothing with a destructor lives between the
// setjmp and the calls that may jump.
struct JumpingErrorManager {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    bool truncated = false;
};

[[noreturn]] void jumpOut(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JumpingErrorManager*>(info->err)->jump, 1);
}

void ignoreMessage(j_common_ptr) {}

// Each scan of a progressive file is a pass over all of the picture's coefficients, and a file
// may repeat scans without end: a few kilobytes could keep the decoder busy for minutes. Cameras
// write about ten.
constexpr int kMaximumScans = 500;

void limitScans(j_common_ptr info) {
    if (info->is_decompressor && reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaximumScans) jumpOut(info);
}

// A file that ends before its last scan decodes with grey where the data was missing; that is a
// damaged photo, not a picture. Other warnings (stray bytes between markers) are let through.
void noteTruncation(j_common_ptr info, int level) {
    auto* errors = reinterpret_cast<JumpingErrorManager*>(info->err);
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) errors->truncated = true;
}

// Cairo's ARGB32 is one native-endian word: B, G, R, A in memory on a little-endian machine.
constexpr J_COLOR_SPACE kCairoOrder = std::endian::native == std::endian::little ? JCS_EXT_BGRA : JCS_EXT_ARGB;

std::uint32_t rgbOfCMYK(unsigned c, unsigned m, unsigned y, unsigned k, bool inverted) {
    if (!inverted) {
        c = 255 - c;
        m = 255 - m;
        y = 255 - y;
        k = 255 - k;
    }
    // Stored "inverted", each value is the light left: the colour is ink-free light times key.
    std::uint32_t r = (c * k + 127) / 255, g = (m * k + 127) / 255, b = (y * k + 127) / 255;
    return 0xff000000u | (r << 16) | (g << 8) | b;
}

void convertCMYKRow(unsigned char* row, JDIMENSION width, bool inverted) {
    auto* pixels = reinterpret_cast<std::uint32_t*>(row);
    for (JDIMENSION x = 0; x < width; ++x) {
        const unsigned char* p = row + 4 * x;
        pixels[x] = rgbOfCMYK(p[0], p[1], p[2], p[3], inverted);
    }
}

CGColorSpaceModel modelOf(J_COLOR_SPACE space) {
    switch (space) {
    case JCS_GRAYSCALE: return kCGColorSpaceModelMonochrome;
    case JCS_CMYK:
    case JCS_YCCK: return kCGColorSpaceModelCMYK;
    default: return kCGColorSpaceModelRGB;
    }
}

// The smallest of libjpeg's 1/8, 1/4, 1/2 and 1 that keeps the shorter side at minimumSide.
unsigned denominatorFor(const jpeg_decompress_struct& info, int minimumSide) {
    const auto shorter = static_cast<long>(std::min(info.image_width, info.image_height));
    long denominator = 8;
    while (denominator > 1 && minimumSide > 0 && (shorter + denominator - 1) / denominator < minimumSide) denominator /= 2;
    return minimumSide > 0 ? static_cast<unsigned>(denominator) : 1;
}

bool decodeInto(jpeg_decompress_struct& info, JumpingErrorManager& errors, cairo_surface_t* volatile& surface,
                CGColorSpaceModel& model, int minimumSide) {
    if (setjmp(errors.jump)) return false;
    jpeg_read_header(&info, TRUE);
    if (!isWithinPixelBound(info.image_width, info.image_height)) return false;
    info.scale_num = 1;
    info.scale_denom = denominatorFor(info, minimumSide);
    model = modelOf(info.jpeg_color_space);
    const bool cmyk = model == kCGColorSpaceModelCMYK;
    info.out_color_space = cmyk ? JCS_CMYK : kCairoOrder;
    jpeg_start_decompress(&info);
    surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(info.output_width),
                                         static_cast<int>(info.output_height));
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) return false;
    unsigned char* data = cairo_image_surface_get_data(surface);
    const auto stride = static_cast<std::size_t>(cairo_image_surface_get_stride(surface));
    while (info.output_scanline < info.output_height) {
        unsigned char* row = data + stride * info.output_scanline;
        JSAMPROW rows[] = {row};
        if (jpeg_read_scanlines(&info, rows, 1) != 1) return false;
        if (cmyk) convertCMYKRow(row, info.output_width, info.saw_Adobe_marker);
    }
    jpeg_finish_decompress(&info);
    cairo_surface_mark_dirty(surface);
    return !errors.truncated;
}
// A file read in pieces of this size: the decoder holds one piece, never the whole file.
constexpr std::size_t kJPEGFilePieceBytes = 64 * 1024;

struct JPEGFileSource {
    jpeg_source_mgr manager;
    int fd;
    std::uint64_t left; // what the file held when it was opened: a file that grows is not followed
    JOCTET piece[kJPEGFilePieceBytes];
};

void jpegFileSourceInit(j_decompress_ptr) {}

// At the file's end (or a failed read) the decoder is handed an end-of-image marker and warned,
// as libjpeg's own sources do, so a short file is noted as truncated.
boolean jpegFileSourceFill(j_decompress_ptr info) {
    auto* source = reinterpret_cast<JPEGFileSource*>(info->src);
    ssize_t n = 0;
    if (source->left > 0) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(source->left, sizeof source->piece));
        do n = ::read(source->fd, source->piece, want);
        while (n < 0 && errno == EINTR);
    }
    if (n <= 0) {
        WARNMS(info, JWRN_JPEG_EOF);
        static const JOCTET kEndOfImage[] = {0xff, JPEG_EOI};
        source->manager.next_input_byte = kEndOfImage;
        source->manager.bytes_in_buffer = sizeof kEndOfImage;
        source->left = 0;
        return TRUE;
    }
    source->left -= static_cast<std::uint64_t>(n);
    source->manager.next_input_byte = source->piece;
    source->manager.bytes_in_buffer = static_cast<std::size_t>(n);
    return TRUE;
}

void jpegFileSourceSkip(j_decompress_ptr info, long count) {
    auto& manager = *info->src;
    while (count > static_cast<long>(manager.bytes_in_buffer)) {
        count -= static_cast<long>(manager.bytes_in_buffer);
        jpegFileSourceFill(info);
    }
    if (count > 0) {
        manager.next_input_byte += count;
        manager.bytes_in_buffer -= static_cast<std::size_t>(count);
    }
}

void jpegFileSourceTerminate(j_decompress_ptr) {}

// The decoder set up with its error handling, its source given by `attachSource`, and run.
template <typename AttachSource>
CGImageRef decodeJPEG(const AttachSource& attachSource, int minimumSide) {
    jpeg_decompress_struct info{};
    JumpingErrorManager errors{};
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jumpOut;
    errors.manager.output_message = ignoreMessage;
    errors.manager.emit_message = noteTruncation;
    jpeg_create_decompress(&info);
    jpeg_progress_mgr progress{};
    progress.progress_monitor = limitScans;
    info.progress = &progress;
    attachSource(info);
    cairo_surface_t* volatile surface = nullptr;
    CGColorSpaceModel model = kCGColorSpaceModelRGB;
    bool decoded = decodeInto(info, errors, surface, model, minimumSide);
    jpeg_destroy_decompress(&info);
    if (!decoded) {
        if (surface) cairo_surface_destroy(surface);
        return nullptr;
    }
    CGImageFormat format;
    format.colorSpaceModel = model;
    format.bitmapInfo = kCGBitmapByteOrderDefault | kCGImageAlphaNone;
    return std::make_shared<CGImage>(surface, format);
}
} // namespace

CGImageRef createWithJPEGData(const std::uint8_t* bytes, std::size_t length) { return createWithJPEGData(bytes, length, 0); }

CGImageRef createWithJPEGData(const std::uint8_t* bytes, std::size_t length, int minimumSide) {
    if (typeOfImageData(bytes, length) != ImageType::JPEG) return nullptr;
    return decodeJPEG([&](jpeg_decompress_struct& info) { jpeg_mem_src(&info, bytes, static_cast<unsigned long>(length)); },
                      minimumSide);
}

CGImageRef createWithJPEGFile(int fd, std::uint64_t length, int minimumSide) {
    auto source = std::make_unique<JPEGFileSource>();
    source->manager.init_source = jpegFileSourceInit;
    source->manager.fill_input_buffer = jpegFileSourceFill;
    source->manager.skip_input_data = jpegFileSourceSkip;
    source->manager.resync_to_restart = jpeg_resync_to_restart;
    source->manager.term_source = jpegFileSourceTerminate;
    source->fd = fd;
    source->left = length;
    // The signature is checked before the decoder sees anything, as for bytes in memory.
    ssize_t n;
    do n = ::read(fd, source->piece, static_cast<std::size_t>(std::min<std::uint64_t>(length, sizeof source->piece)));
    while (n < 0 && errno == EINTR);
    if (n <= 0 || typeOfImageData(source->piece, static_cast<std::size_t>(n)) != ImageType::JPEG) return nullptr;
    source->left -= static_cast<std::uint64_t>(n);
    source->manager.next_input_byte = source->piece;
    source->manager.bytes_in_buffer = static_cast<std::size_t>(n);
    return decodeJPEG([&](jpeg_decompress_struct& info) { info.src = &source->manager; }, minimumSide);
}

} // namespace CGImageDecoding
