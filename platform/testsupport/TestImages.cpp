#include "platform/testsupport/TestImages.h"

#include <gif_lib.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>

#include <jpeglib.h>

namespace TestImages {
namespace {

void appendBigEndian(Bytes& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void appendChunk(Bytes& out, const char* type, const Bytes& payload) {
    appendBigEndian(out, static_cast<std::uint32_t>(payload.size()));
    Bytes typed(type, type + 4);
    typed.insert(typed.end(), payload.begin(), payload.end());
    out.insert(out.end(), typed.begin(), typed.end());
    appendBigEndian(out, static_cast<std::uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
}

int channelsOf(PNGColour colour) {
    switch (colour) {
    case PNGColour::Gray: return 1;
    case PNGColour::RGB: return 3;
    case PNGColour::RGBAlpha: return 4;
    }
    return 4;
}

} // namespace

Bytes png(int width, int height, int bitDepth, PNGColour colour, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    const int bytesPerSample = bitDepth / 8;
    const std::uint8_t samples[] = {red, green, blue, 255};
    Bytes pixel;
    if (colour == PNGColour::Gray) {
        for (int b = 0; b < bytesPerSample; ++b) pixel.push_back(red);
    } else {
        for (int c = 0; c < channelsOf(colour); ++c) {
            for (int b = 0; b < bytesPerSample; ++b) pixel.push_back(samples[c]);
        }
    }
    Bytes raw;
    raw.reserve(static_cast<std::size_t>(height) * (1 + pixel.size() * static_cast<std::size_t>(width)));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0); // no filter
        for (int x = 0; x < width; ++x) raw.insert(raw.end(), pixel.begin(), pixel.end());
    }
    uLongf compressedLength = compressBound(static_cast<uLong>(raw.size()));
    Bytes compressed(compressedLength);
    if (compress(compressed.data(), &compressedLength, raw.data(), static_cast<uLong>(raw.size())) != Z_OK) {
        throw std::runtime_error("png: compress failed");
    }
    compressed.resize(compressedLength);

    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    Bytes header;
    appendBigEndian(header, static_cast<std::uint32_t>(width));
    appendBigEndian(header, static_cast<std::uint32_t>(height));
    header.push_back(static_cast<std::uint8_t>(bitDepth));
    header.push_back(static_cast<std::uint8_t>(colour));
    header.insert(header.end(), {0, 0, 0}); // deflate, adaptive filtering, no interlace
    appendChunk(out, "IHDR", header);
    appendChunk(out, "IDAT", compressed);
    appendChunk(out, "IEND", {});
    return out;
}

namespace {
// Encodes a JPEG in memory: `prepare` sets the picture's form on the compressor (after the
// defaults, before compression starts), `row` fills row y.
Bytes encodeJPEG(int width, int height, int components, J_COLOR_SPACE space,
                 const std::function<void(jpeg_compress_struct&)>& prepare, const std::function<void(Bytes&, int)>& row) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
    jpeg_mem_dest(&info, &buffer, &length);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = space;
    jpeg_set_defaults(&info);
    prepare(info);
    jpeg_start_compress(&info, TRUE);
    Bytes line(static_cast<std::size_t>(width) * static_cast<std::size_t>(components));
    while (info.next_scanline < info.image_height) {
        row(line, static_cast<int>(info.next_scanline));
        JSAMPROW rows[] = {line.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    Bytes out(buffer, buffer + length);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out;
}
} // namespace

Bytes jpeg(int width, int height, std::uint8_t red, std::uint8_t green, std::uint8_t blue, bool cmyk) {
    // Inverted CMYK with full key: each ink value is the light its channel lets through.
    const Bytes pixel = cmyk ? Bytes{red, green, blue, 255} : Bytes{red, green, blue};
    return encodeJPEG(
        width, height, cmyk ? 4 : 3, cmyk ? JCS_CMYK : JCS_RGB, [](jpeg_compress_struct& info) { jpeg_set_quality(&info, 100, TRUE); },
        [&](Bytes& line, int) {
            for (std::size_t at = 0; at < line.size(); at += pixel.size()) std::copy(pixel.begin(), pixel.end(), line.begin() + static_cast<std::ptrdiff_t>(at));
        });
}

Bytes manyScanJPEG(int side) {
    // The DC scan, then each AC coefficient in a band of its own, its bits sent one scan at a time.
    constexpr int kFirstBit = 9;
    std::vector<jpeg_scan_info> scans;
    scans.push_back({1, {0}, 0, 0, 0, 0});
    for (int coefficient = 1; coefficient < DCTSIZE2; ++coefficient) {
        scans.push_back({1, {0}, coefficient, coefficient, 0, kFirstBit});
        for (int bit = kFirstBit; bit > 0; --bit) scans.push_back({1, {0}, coefficient, coefficient, bit, bit - 1});
    }
    return encodeJPEG(
        side, side, 1, JCS_GRAYSCALE,
        [&](jpeg_compress_struct& info) {
            info.scan_info = scans.data();
            info.num_scans = static_cast<int>(scans.size());
        },
        [](Bytes& line, int y) {
            for (std::size_t x = 0; x < line.size(); ++x) line[x] = static_cast<std::uint8_t>((x * 37 + static_cast<std::size_t>(y) * 11) & 0xff);
        });
}

namespace {
void appendLittleEndian(Bytes& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}
} // namespace

Bytes bmp(int width, int height, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    constexpr std::uint32_t kHeaders = 14 + 40;
    const std::uint32_t rowSize = (static_cast<std::uint32_t>(width) * 3 + 3) / 4 * 4;
    const std::uint32_t imageSize = rowSize * static_cast<std::uint32_t>(height);
    Bytes out = {'B', 'M'};
    appendLittleEndian(out, kHeaders + imageSize, 4);
    appendLittleEndian(out, 0, 4);
    appendLittleEndian(out, kHeaders, 4);
    appendLittleEndian(out, 40, 4);
    appendLittleEndian(out, static_cast<std::uint32_t>(width), 4);
    appendLittleEndian(out, static_cast<std::uint32_t>(height), 4);
    appendLittleEndian(out, 1, 2);  // planes
    appendLittleEndian(out, 24, 2); // bits per pixel
    appendLittleEndian(out, 0, 4);  // no compression
    appendLittleEndian(out, imageSize, 4);
    appendLittleEndian(out, 2835, 4);
    appendLittleEndian(out, 2835, 4);
    appendLittleEndian(out, 0, 4);
    appendLittleEndian(out, 0, 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) out.insert(out.end(), {blue, green, red});
        out.resize(out.size() + (rowSize - static_cast<std::uint32_t>(width) * 3), 0);
    }
    return out;
}

namespace {
struct GifOutput {
    Bytes bytes;
};

int writeToMemory(GifFileType* file, const GifByteType* data, int length) {
    auto* output = static_cast<GifOutput*>(file->UserData);
    output->bytes.insert(output->bytes.end(), data, data + length);
    return length;
}

void check(int result, const char* step) {
    if (result != GIF_OK) throw std::runtime_error(std::string("gif: ") + step + " failed");
}
} // namespace

Bytes gif(int width, int height, const std::vector<GIFFrame>& frames) {
    GifOutput output;
    int error = 0;
    GifFileType* file = EGifOpen(&output, writeToMemory, &error);
    if (!file) throw std::runtime_error("gif: open failed");
    GifColorType palette[4] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    ColorMapObject* colours = GifMakeMapObject(4, palette);
    EGifSetGifVersion(file, true);
    check(EGifPutScreenDesc(file, width, height, 2, 0, colours), "screen");
    for (const GIFFrame& frame : frames) {
        GraphicsControlBlock control{frame.disposal, false, frame.delayHundredths, 0};
        GifByteType extension[4];
        EGifGCBToExtension(&control, extension);
        check(EGifPutExtension(file, GRAPHICS_EXT_FUNC_CODE, 4, extension), "control");
        check(EGifPutImageDesc(file, frame.left, frame.top, frame.width, frame.height, frame.interlaced, nullptr), "image");
        std::vector<int> rows;
        if (frame.interlaced) {
            for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
                for (int y = start; y < frame.height; y += step) rows.push_back(y);
        } else {
            for (int y = 0; y < frame.height; ++y) rows.push_back(y);
        }
        for (int y : rows) {
            auto colour = static_cast<GifPixelType>(frame.striped ? 1 + y % 3 : frame.colourIndex);
            std::vector<GifPixelType> line(static_cast<std::size_t>(frame.width), colour);
            check(EGifPutLine(file, line.data(), frame.width), "line");
        }
    }
    GifFreeMapObject(colours);
    check(EGifCloseFile(file, &error), "close");
    return output.bytes;
}

} // namespace TestImages
