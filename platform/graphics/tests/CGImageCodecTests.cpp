#include "platform/graphics/CGImageDecoding.h"
#include "platform/graphics/CGImageEncoding.h"
#include "platform/graphics/CGImageProperties.h"
#include "platform/testsupport/TestImages.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

using CGImageDecoding::ImageType;

// Left half red, right half blue: a picture whose turn and mirror show.
CGImageRef halves(int width, int height) {
    auto image = CGImage::createWithSize(width, height);
    cairo_t* cr = cairo_create(image->surface());
    cairo_set_source_rgb(cr, 1, 0, 0);
    cairo_rectangle(cr, 0, 0, width / 2.0, height);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0, 0, 1);
    cairo_rectangle(cr, width / 2.0, 0, width / 2.0, height);
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_mark_dirty(image->surface());
    return image;
}

bool near(const CGImage::Pixel& pixel, int r, int g, int b) {
    return std::abs(pixel.red - r) < 40 && std::abs(pixel.green - g) < 40 && std::abs(pixel.blue - b) < 40;
}

TEST(CGImageCodecTest, EncodedPhotosDecodeWithTheirPixelsAndHeaders) {
    auto source = halves(64, 32);
    struct Case {
        std::string name;
        std::vector<std::uint8_t> bytes;
        ImageType type;
        int orientation;
    };
    const Case cases[] = {
        {"JPEG", CGImageEncoding::jpegData(*source, 0.9), ImageType::JPEG, 1},
        {"JPEG turned right", CGImageEncoding::jpegData(*source, 0.9, 6), ImageType::JPEG, 6},
        {"JPEG mirrored", CGImageEncoding::jpegData(*source, 0.9, 2), ImageType::JPEG, 2},
        {"HEIC", CGImageEncoding::heifData(*source, 0.9), ImageType::HEIF, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.bytes.empty());
        auto headers = CGImageProperties::propertiesOfImageData(c.bytes.data(), c.bytes.size());
        EXPECT_EQ(headers.type, c.type);
        EXPECT_EQ(headers.pixelWidth, 64);
        EXPECT_EQ(headers.pixelHeight, 32);
        EXPECT_EQ(headers.orientation, c.orientation);
        auto frames = CGImageDecoding::framesOfImageData(c.bytes.data(), c.bytes.size());
        ASSERT_EQ(frames.size(), 1u);
        // The bitmap is the stored one: the orientation is for whoever shows it.
        EXPECT_EQ(frames[0].image->width(), 64);
        EXPECT_TRUE(near(frames[0].image->pixelAt(8, 16), 255, 0, 0));
        EXPECT_TRUE(near(frames[0].image->pixelAt(56, 16), 0, 0, 255));
    }
}

// A file's headers are read as far as they reach: a frame header behind large application
// segments (a camera's preview) is found however far in it stands; a file that ends before one
// is no image.
TEST(CGImageCodecTest, FileHeadersAreReadAsFarAsTheyReach) {
    const auto jpeg = CGImageEncoding::jpegData(*halves(64, 32), 0.9, 6);
    ASSERT_GT(jpeg.size(), 2u);
    // `segments` APP15 segments of 64 KB each right after the start marker.
    auto padded = [&](int segments) {
        std::vector<std::uint8_t> bytes(jpeg.begin(), jpeg.begin() + 2);
        for (int i = 0; i < segments; ++i) {
            bytes.insert(bytes.end(), {0xFF, 0xEF, 0xFF, 0xFF});
            bytes.insert(bytes.end(), 0xFFFF - 2, static_cast<std::uint8_t>(i));
        }
        bytes.insert(bytes.end(), jpeg.begin() + 2, jpeg.end());
        return bytes;
    };
    const std::string path = ::testing::TempDir() + "headers-" + std::to_string(::getpid()) + ".jpg";
    const auto large = padded(16);
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        bool valid;
    };
    const Case cases[] = {
        {"headers within the first read", jpeg, true},
        {"headers of about 200 KB", padded(3), true},
        {"headers of about 1 MB", large, true},
        {"ends within the large headers", std::vector<std::uint8_t>(large.begin(), large.begin() + 900000), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(c.bytes.data()), static_cast<std::streamsize>(c.bytes.size()));
        }
        auto headers = CGImageProperties::propertiesOfImageFile(path);
        EXPECT_EQ(headers.valid(), c.valid);
        if (!c.valid) continue;
        EXPECT_EQ(headers.pixelWidth, 64);
        EXPECT_EQ(headers.pixelHeight, 32);
        EXPECT_EQ(headers.orientation, 6);
    }
    ::unlink(path.c_str());
}

TEST(CGImageCodecTest, ThumbnailsDecodeAtTheSmallestDCTScaleThatReachesTheSide) {
    auto bytes = CGImageEncoding::jpegData(*halves(400, 300), 0.8);
    struct Case {
        int minimumSide, width, height;
    };
    for (const Case c : {Case{30, 50, 38}, Case{38, 50, 38}, Case{40, 100, 75}, Case{100, 200, 150}, Case{150, 200, 150}, Case{151, 400, 300},
                         Case{1000, 400, 300}, Case{0, 400, 300}}) {
        SCOPED_TRACE(c.minimumSide);
        auto image = CGImageDecoding::createWithJPEGData(bytes.data(), bytes.size(), c.minimumSide);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->width(), c.width);
        EXPECT_EQ(image->height(), c.height);
    }
}

// Grain on every pixel, so that the file is several of the file decoder's 64 KiB pieces long.
CGImageRef grainy(int width, int height) {
    auto image = CGImage::createWithSize(width, height);
    unsigned char* data = cairo_image_surface_get_data(image->surface());
    const int stride = cairo_image_surface_get_stride(image->surface());
    std::uint32_t state = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            reinterpret_cast<std::uint32_t*>(data + y * stride)[x] = 0xff000000u | (state >> 8);
        }
    cairo_surface_mark_dirty(image->surface());
    return image;
}

// A JPEG read from its file a piece at a time decodes to the same pixels as the whole file in
// memory; a file that ends early, or holds more than it did when it was measured, is no image.
TEST(CGImageCodecTest, AJPEGFileDecodesAsItsBytesDoAndAShortOneGivesNothing) {
    const auto jpeg = CGImageEncoding::jpegData(*grainy(640, 480), 0.95);
    ASSERT_GT(jpeg.size(), 3u * 64 * 1024);
    auto decodeFile = [](const std::vector<std::uint8_t>& bytes, std::uint64_t length, int minimumSide) {
        std::FILE* file = std::tmpfile();
        EXPECT_TRUE(file);
        if (!file) return CGImageRef();
        EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
        std::fflush(file);
        std::rewind(file);
        auto image = CGImageDecoding::createWithJPEGFile(fileno(file), length, minimumSide);
        std::fclose(file);
        return image;
    };
    for (int minimumSide : {0, 60, 150}) {
        SCOPED_TRACE(minimumSide);
        auto fromMemory = CGImageDecoding::createWithJPEGData(jpeg.data(), jpeg.size(), minimumSide);
        auto fromFile = decodeFile(jpeg, jpeg.size(), minimumSide);
        ASSERT_TRUE(fromMemory && fromFile);
        ASSERT_EQ(fromFile->width(), fromMemory->width());
        ASSERT_EQ(fromFile->height(), fromMemory->height());
        for (int y = 0; y < fromFile->height(); y += 7)
            for (int x = 0; x < fromFile->width(); x += 5) ASSERT_EQ(fromFile->pixelAt(x, y), fromMemory->pixelAt(x, y));
    }
    const std::vector<std::uint8_t> cut(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(jpeg.size() * 2 / 3));
    const std::vector<std::uint8_t> png = TestImages::png(8, 8);
    struct Case {
        std::string name;
        std::vector<std::uint8_t> bytes;
        std::uint64_t length;
    };
    const Case cases[] = {
        {"cut short", cut, cut.size()},
        {"grown past the length measured", jpeg, jpeg.size() / 2},
        {"a PNG", png, png.size()},
        {"empty", {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(decodeFile(c.bytes, c.length, 150));
    }
}

// Sets the big-endian size fields at the offsets to a side far past the pixel bound.
std::vector<std::uint8_t> withHugeSides(std::vector<std::uint8_t> bytes, std::size_t widthAt, std::size_t heightAt, int fieldBytes) {
    for (std::size_t at : {widthAt, heightAt})
        for (int i = 0; i < fieldBytes; ++i) bytes[at + static_cast<std::size_t>(i)] = i == fieldBytes - 1 ? 0xf0 : 0x7f;
    return bytes;
}

std::size_t startOfFrame(const std::vector<std::uint8_t>& jpeg) {
    for (std::size_t i = 2; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xff && jpeg[i + 1] == 0xc0) return i;
    return 0;
}

TEST(CGImageCodecTest, DamagedDataAndTooManyPixelsGiveNoImage) {
    auto jpeg = CGImageEncoding::jpegData(*halves(64, 32), 0.9);
    auto heic = CGImageEncoding::heifData(*halves(64, 32), 0.9);
    const std::size_t sof = startOfFrame(jpeg);
    ASSERT_GT(sof, 0u);
    struct Case {
        std::string name;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {"JPEG cut short", std::vector<std::uint8_t>(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(jpeg.size() / 2))},
        {"JPEG of 65520 by 65520", withHugeSides(jpeg, sof + 7, sof + 5, 2)},
        {"PNG header of 2 billion by 2 billion", withHugeSides(TestImages::png(4, 4), 16, 20, 4)},
        {"HEIC cut short", std::vector<std::uint8_t>(heic.begin(), heic.begin() + static_cast<std::ptrdiff_t>(heic.size() / 2))},
        {"HEIC brand and nothing else", std::vector<std::uint8_t>{0, 0, 0, 16, 'f', 't', 'y', 'p', 'h', 'e', 'i', 'c', 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(CGImageDecoding::framesOfImageData(c.bytes.data(), c.bytes.size()).empty());
    }
}

} // namespace
