#include "platform/graphics/CGBitmapContext.h"
#include "platform/graphics/CGImageDecoding.h"
#include "platform/testsupport/TestImages.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using CGImageDecoding::framesOfImageData;

struct DecodeCase {
    std::string name;
    TestImages::Bytes bytes;
    int width, height;
    CGImageFormat format;
    CGImage::Pixel centre;
};

TEST(CGImageDecodingTest, DecodedBitmapsKeepTheFormTheirFileHad) {
    const CGBitmapInfo none = kCGImageAlphaNone;
    const DecodeCase cases[] = {
        {"8-bit RGBA PNG", TestImages::png(3, 2), 3, 2, {8, kCGColorSpaceModelRGB, kCGImageAlphaLast}, {10, 200, 30, 255}},
        {"16-bit RGB PNG", TestImages::png(4, 4, 16, TestImages::PNGColour::RGB), 4, 4, {16, kCGColorSpaceModelRGB, none},
         {10, 200, 30, 255}},
        {"gray PNG", TestImages::png(2, 2, 8, TestImages::PNGColour::Gray, 90), 2, 2, {8, kCGColorSpaceModelMonochrome, none},
         {90, 90, 90, 255}},
        {"RGB JPEG", TestImages::jpeg(16, 8, 200, 40, 40), 16, 8, {8, kCGColorSpaceModelRGB, none}, {200, 40, 40, 255}},
        {"CMYK JPEG", TestImages::jpeg(8, 8, 40, 200, 40, true), 8, 8, {8, kCGColorSpaceModelCMYK, none}, {40, 200, 40, 255}},
        {"BMP through the fallback", TestImages::bmp(5, 3, 70, 80, 90), 5, 3, {8, kCGColorSpaceModelRGB, none}, {70, 80, 90, 255}},
    };
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto frames = framesOfImageData(c.bytes.data(), c.bytes.size());
        ASSERT_EQ(frames.size(), 1u);
        const CGImageRef& image = frames[0].image;
        EXPECT_EQ(image->width(), c.width);
        EXPECT_EQ(image->height(), c.height);
        EXPECT_EQ(image->format(), c.format);
        CGImage::Pixel pixel = image->pixelAt(c.width / 2, c.height / 2);
        // JPEG is lossy: near enough.
        EXPECT_NEAR(pixel.red, c.centre.red, 3);
        EXPECT_NEAR(pixel.green, c.centre.green, 3);
        EXPECT_NEAR(pixel.blue, c.centre.blue, 3);
        EXPECT_EQ(pixel.alpha, c.centre.alpha);
    }
}

TEST(CGImageDecodingTest, EveryGIFFrameIsComposedAsItsDisposalSays) {
    // Frame 1 paints the left half red and stays; frame 2 paints the right half green and is
    // cleared after; frame 3 paints a blue corner over what frame 2 left behind.
    auto bytes = TestImages::gif(4, 2, {{.left = 0, .top = 0, .width = 2, .height = 2, .colourIndex = 1, .disposal = 1},
                                        {.left = 2, .top = 0, .width = 2, .height = 2, .colourIndex = 2, .disposal = 2,
                                         .delayHundredths = 25},
                                        {.left = 3, .top = 1, .width = 1, .height = 1, .colourIndex = 3}});
    auto frames = framesOfImageData(bytes.data(), bytes.size());
    ASSERT_EQ(frames.size(), 3u);
    const CGImage::Pixel red{255, 0, 0, 255}, green{0, 255, 0, 255}, blue{0, 0, 255, 255}, clear{};
    EXPECT_EQ(frames[0].image->pixelAt(0, 0), red);
    EXPECT_EQ(frames[0].image->pixelAt(3, 0), clear);
    EXPECT_EQ(frames[1].image->pixelAt(0, 1), red);
    EXPECT_EQ(frames[1].image->pixelAt(3, 0), green);
    EXPECT_DOUBLE_EQ(frames[1].delay, 0.25);
    EXPECT_EQ(frames[2].image->pixelAt(3, 0), clear);
    EXPECT_EQ(frames[2].image->pixelAt(3, 1), blue);
    EXPECT_EQ(frames[2].image->pixelAt(1, 1), red);
}

TEST(CGImageDecodingTest, DamagedOrUnknownBytesGiveNothing) {
    auto png = TestImages::png(8, 8);
    auto jpeg = TestImages::jpeg(8, 8, 1, 2, 3);
    auto gif = TestImages::gif(2, 2, {{}});
    // A header claiming 3 GB, which gdk-pixbuf's BMP loader would allocate for it.
    auto hugeHeader = TestImages::bmp(2, 2, 1, 2, 3);
    for (int i = 14; i < 18; ++i) hugeHeader[static_cast<std::size_t>(i)] = 0xb7;
    const std::pair<std::string, TestImages::Bytes> cases[] = {
        {"bmp header of a size the format has not", hugeHeader},
        {"jpeg of more scans than any camera writes", TestImages::manyScanJPEG(16)},
        {"bmp pixels beyond the file's end", [] {
             auto bytes = TestImages::bmp(2, 2, 1, 2, 3);
             bytes[12] = 0xfc;  // the pixels' offset near 4 GB
             bytes[13] = 0xff;
             return bytes;
         }()},
        {"empty", {}},
        {"text", {'h', 'e', 'l', 'l', 'o'}},
        {"png cut short", TestImages::Bytes(png.begin(), png.begin() + 40)},
        {"jpeg signature only", TestImages::Bytes(jpeg.begin(), jpeg.begin() + 3)},
        {"gif cut short", TestImages::Bytes(gif.begin(), gif.begin() + 12)},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(framesOfImageData(bytes.data(), bytes.size()).empty());
    }
}

TEST(CGImageDecodingTest, InterlacedGIFRowsLandWhereTheyBelong) {
    auto bytes = TestImages::gif(1, 11, {{.width = 1, .height = 11, .interlaced = true, .striped = true}});
    auto frames = framesOfImageData(bytes.data(), bytes.size());
    ASSERT_EQ(frames.size(), 1u);
    const CGImage::Pixel colours[] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}};
    for (int y = 0; y < 11; ++y) EXPECT_EQ(frames[0].image->pixelAt(0, y), colours[y % 3]) << "row " << y;
}

// A file of a few bytes must not make the decoder hold what its header asks for.
TEST(CGImageDecodingTest, HeadersAskingForTooManyPixelsGiveNothingOrFewerFrames) {
    // 12000 × 12000 pixels announced in 154 bytes (gdk-pixbuf fills what is missing).
    TestImages::Bytes bigBMP = TestImages::bmp(1, 1, 1, 2, 3);
    const std::uint32_t side = 12000;
    for (int i = 0; i < 4; ++i) {
        bigBMP[18 + i] = static_cast<std::uint8_t>(side >> (8 * i));
        bigBMP[22 + i] = static_cast<std::uint8_t>(side >> (8 * i));
    }
    EXPECT_TRUE(framesOfImageData(bigBMP.data(), bigBMP.size()).empty());
    // A frame wider than any canvas.
    auto wideFrame = TestImages::gif(2, 2, {{.width = 65535, .height = 1025}});
    EXPECT_TRUE(framesOfImageData(wideFrame.data(), wideFrame.size()).empty());

    // Ten one-pixel frames on a 4096 × 4096 canvas: four canvases reach the budget for all frames.
    std::vector<TestImages::GIFFrame> tiny(10, TestImages::GIFFrame{});
    auto many = TestImages::gif(4096, 4096, tiny);
    EXPECT_EQ(framesOfImageData(many.data(), many.size()).size(), 4u);
    EXPECT_EQ(framesOfImageData(many.data(), many.size(), 1).size(), 1u);
    auto small = TestImages::gif(4, 4, tiny);
    EXPECT_EQ(framesOfImageData(small.data(), small.size()).size(), 10u);
    EXPECT_TRUE(CGImageDecoding::firstFrameOfImageData(many.data(), many.size()));
}

TEST(CGImageDecodingTest, OnlyTheTypesAPhotoLibraryHoldsReachTheFallbackLoaders) {
    const std::string svg = R"(<svg xmlns="http://www.w3.org/2000/svg" width="4" height="4"><rect width="4" height="4"/></svg>)";
    const std::string xpm = "/* XPM */\nstatic char *x[] = {\"1 1 1 1\", \"a c #ff0000\", \"a\"};\n";
    for (const std::string& text : {svg, xpm}) {
        SCOPED_TRACE(text);
        TestImages::Bytes bytes(text.begin(), text.end());
        EXPECT_TRUE(framesOfImageData(bytes.data(), bytes.size()).empty());
    }
}

TEST(CGImageDecodingTest, BitmapContextsRedrawInTheirOwnForm) {
    auto png = std::make_shared<NSData>(TestImages::png(5, 3));
    CGImageRef image = CGImageCreateWithPNGDataProvider(CGDataProviderCreateWithCFData(png), nullptr, true,
                                                        kCGRenderingIntentDefault);
    ASSERT_TRUE(image);
    EXPECT_FALSE(CGImageCreateWithJPEGDataProvider(CGDataProviderCreateWithCFData(png), nullptr, true, kCGRenderingIntentDefault));
    const CGBitmapInfo info = kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little;
    auto rgb = CGColorSpaceCreateDeviceRGB();
    EXPECT_FALSE(CGBitmapContextCreate(nullptr, 5, 3, 16, 0, rgb, info));
    EXPECT_FALSE(CGBitmapContextCreate(nullptr, 5, 3, 8, 0, rgb, kCGImageAlphaLast));
    EXPECT_FALSE(CGBitmapContextCreate(nullptr, 5, 3, 8, 0, std::make_shared<CGColorSpace>(kCGColorSpaceModelCMYK), info));
    CGContextRef context = CGBitmapContextCreate(nullptr, 5, 3, 8, 0, rgb, info);
    ASSERT_TRUE(context);
    CGContextDrawImage(context, CGRectMake(0, 0, 5, 3), image);
    CGImageRef drawn = CGBitmapContextCreateImage(context);
    ASSERT_TRUE(drawn);
    EXPECT_EQ(drawn->bitmapInfo(), info);
    EXPECT_EQ(drawn->pixelAt(4, 2), (CGImage::Pixel{10, 200, 30, 255}));
    CGImageRef copy = CGImageCreateCopy(image);
    EXPECT_NE(copy, image);
    EXPECT_EQ(copy->format(), image->format());
    EXPECT_EQ(copy->pixelAt(0, 0), image->pixelAt(0, 0));
}

} // namespace
