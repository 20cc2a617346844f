// Writes the image fuzzer's seed corpus: small pictures of every type the decoders take, made by
// this program's own encoders or written byte by byte.
#include "platform/foundation/fuzz/FuzzSeeds.h"
#include "platform/graphics/CGImage.h"
#include "platform/graphics/CGImageEncoding.h"

#include <cairo.h>
#include <gif_lib.h>
#include <sanitizer/lsan_interface.h>

#include <cstdint>
#include <string>
#include <vector>

using fuzz_seeds::save;

namespace {
using Bytes = std::vector<std::uint8_t>;

void little(Bytes& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// Four coloured quadrants, so every decoder has edges to keep.
CGImageRef quadrants(int width, int height) {
    auto image = CGImage::createWithSize(width, height);
    cairo_t* cr = cairo_create(image->surface());
    const double colours[4][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}};
    for (int i = 0; i < 4; ++i) {
        cairo_set_source_rgb(cr, colours[i][0], colours[i][1], colours[i][2]);
        cairo_rectangle(cr, (i % 2) * width / 2.0, (i / 2) * height / 2.0, width / 2.0, height / 2.0);
        cairo_fill(cr);
    }
    cairo_destroy(cr);
    cairo_surface_flush(image->surface());
    return image;
}

Bytes bmp(int width, int height) {
    const std::uint32_t row = (static_cast<std::uint32_t>(width) * 3 + 3) / 4 * 4, size = row * static_cast<std::uint32_t>(height);
    Bytes out = {'B', 'M'};
    little(out, 54 + size, 4);
    little(out, 0, 4);
    little(out, 54, 4);
    for (std::uint32_t v : {40u, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)}) little(out, v, 4);
    little(out, 1, 2);
    little(out, 24, 2);
    for (std::uint32_t v : {0u, size, 2835u, 2835u, 0u, 0u}) little(out, v, 4);
    for (std::uint32_t i = 0; i < size; ++i) out.push_back(static_cast<std::uint8_t>(i * 7));
    return out;
}

int appendToBytes(GifFileType* file, const GifByteType* data, int length) {
    auto* out = static_cast<Bytes*>(file->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

// Two frames on a 4 × 4 screen, the second interlaced, transparent in part and disposed to the
// background.
Bytes gif() {
    Bytes out;
    int error = 0;
    GifFileType* file = EGifOpen(&out, appendToBytes, &error);
    if (!file) return {};
    GifColorType palette[4] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    ColorMapObject* colours = GifMakeMapObject(4, palette);
    EGifSetGifVersion(file, true);
    bool ok = EGifPutScreenDesc(file, 4, 4, 2, 0, colours) == GIF_OK;
    struct Frame {
        int left, top, width, height, disposal, transparent;
        bool interlaced;
    };
    for (const Frame& f : {Frame{0, 0, 4, 4, 1, NO_TRANSPARENT_COLOR, false}, Frame{1, 1, 3, 3, 2, 0, true}}) {
        GraphicsControlBlock control{f.disposal, false, 10, f.transparent};
        GifByteType extension[4];
        EGifGCBToExtension(&control, extension);
        ok = ok && EGifPutExtension(file, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK &&
             EGifPutImageDesc(file, f.left, f.top, f.width, f.height, f.interlaced, nullptr) == GIF_OK;
        for (int y = 0; y < f.height && ok; ++y) {
            std::vector<GifPixelType> line(static_cast<std::size_t>(f.width), static_cast<GifPixelType>(y % 4));
            ok = EGifPutLine(file, line.data(), f.width) == GIF_OK;
        }
    }
    GifFreeMapObject(colours);
    ok = EGifCloseFile(file, &error) == GIF_OK && ok;
    return ok ? out : Bytes{};
}

// A 2 × 2 uncompressed RGB TIFF, little-endian.
Bytes tiff() {
    Bytes out = {'I', 'I', 42, 0};
    little(out, 8, 4);
    const std::uint32_t entries = 9, pixels = 8 + 2 + entries * 12 + 4, bits = pixels + 12;
    little(out, entries, 2);
    auto entry = [&](std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t value) {
        little(out, tag, 2);
        little(out, type, 2);
        little(out, count, 4);
        little(out, value, 4);
    };
    entry(256, 3, 1, 2);       // width
    entry(257, 3, 1, 2);       // height
    entry(258, 3, 3, bits);    // bits per sample, stored after the pixels
    entry(259, 3, 1, 1);       // no compression
    entry(262, 3, 1, 2);       // RGB
    entry(273, 4, 1, pixels);  // strip offset
    entry(277, 3, 1, 3);       // samples per pixel
    entry(278, 3, 1, 2);       // rows per strip
    entry(279, 4, 1, 12);      // strip bytes
    little(out, 0, 4);
    for (std::uint8_t b : {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255}) out.push_back(b);
    for (int i = 0; i < 3; ++i) little(out, 8, 2);
    return out;
}

// A 2 × 2 32-bit icon: the directory, then the BMP header of double height, pixels and mask.
Bytes ico() {
    Bytes out = {0, 0, 1, 0, 1, 0, 2, 2, 0, 0, 1, 0, 32, 0};
    const std::uint32_t image = 40 + 16 + 8;
    little(out, image, 4);
    little(out, 22, 4);
    for (std::uint32_t v : {40u, 2u, 4u}) little(out, v, 4);
    little(out, 1, 2);
    little(out, 32, 2);
    for (std::uint32_t v : {0u, 24u, 0u, 0u, 0u, 0u}) little(out, v, 4);
    for (int i = 0; i < 4; ++i)
        for (std::uint8_t b : {10, 20, 200, 255}) out.push_back(b);
    out.resize(out.size() + 8, 0);
    return out;
}
} // namespace

int main(int argc, char** argv) {
    const auto folders = fuzz_seeds::folders(argc, argv, 1, "IMAGE_FOLDER");
    if (!folders) return 2;
    const std::string folder = (*folders)[0];
    auto picture = quadrants(8, 6);
    const Bytes png = picture->pngData();
    const Bytes jpeg = CGImageEncoding::jpegData(*picture, 0.8, 6);
    bool ok = save(folder, "quadrants.png", png) && save(folder, "quadrants.jpg", jpeg) && save(folder, "small.bmp", bmp(3, 2)) &&
              !gif().empty() && save(folder, "frames.gif", gif()) && save(folder, "rgb.tif", tiff()) && save(folder, "icon.ico", ico());
    // HEIC only where an encoder is installed. The HEVC encoder keeps an allocation for the life of
    // the process, which the leak check of this (always sanitized) tool is not to count.
    __lsan_disable();
    const Bytes heic = CGImageEncoding::heifData(*picture, 0.5);
    __lsan_enable();
    if (!heic.empty()) ok = ok && save(folder, "quadrants.heic", heic);
    return ok ? 0 : 1;
}
