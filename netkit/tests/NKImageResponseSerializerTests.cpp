#include "netkit/NKCompoundResponseSerializer.h"
#include "netkit/NKImageResponseSerializer.h"
#include "netkit/NKJSONResponseSerializer.h"
#include "platform/foundation/NSKeyedArchiver.h"
#include "platform/foundation/NSKeyedUnarchiver.h"
#include "platform/net/NSHTTPURLResponse.h"
#include "platform/net/NSURLError.h"
#include "platform/testsupport/TestImages.h"
#include "platform/uikit/UIScreen.h"

#include <gtest/gtest.h>

namespace {

NSHTTPURLResponsePtr imageResponseSerializerResponse(const std::string& contentType, long status = 200) {
    NSHTTPHeaderFields fields;
    fields["Content-Type"] = contentType;
    return std::make_shared<NSHTTPURLResponse>(NSURL::URLWithString("http://example.com/i"), status, "HTTP/1.1", fields);
}

NSDataPtr body(const TestImages::Bytes& bytes) { return std::make_shared<NSData>(bytes); }

// An inflated image is redrawn into premultiplied (or skipped) alpha; a decoded one keeps the
// alpha its file stored, which for these images is straight alpha or none.
bool inflated(const UIImagePtr& image) {
    CGBitmapInfo alpha = image->CGImage()->bitmapInfo() & kCGBitmapAlphaInfoMask;
    return alpha == kCGImageAlphaPremultipliedFirst || alpha == kCGImageAlphaNoneSkipFirst;
}

struct ImageCase {
    const char* name;
    const char* contentType;
    TestImages::Bytes bytes;
    int width, height;
    std::size_t bitsPerComponent;
    bool inflated;
};

TEST(NKImageResponseSerializerTest, InflatesOnlySmallShallowStillImages) {
    const ImageCase cases[] = {
        {"2000x1000 PNG", "image/png", TestImages::png(2000, 1000), 2000, 1000, 8, false},
        {"1024x1024 PNG", "image/png", TestImages::png(1024, 1024), 1024, 1024, 8, true},
        {"16-bit PNG", "image/png", TestImages::png(64, 64, 16), 64, 64, 16, false},
        {"RGB JPEG", "image/jpeg", TestImages::jpeg(32, 16, 9, 9, 200), 32, 16, 8, true},
        // Not taken the JPEG way: inflated from the general decode instead.
        {"CMYK JPEG", "image/jpeg", TestImages::jpeg(16, 16, 9, 200, 9, true), 16, 16, 8, true},
        {"PNG sent as GIF", "image/gif", TestImages::png(8, 8), 8, 8, 8, true},
        {"BMP", "image/bmp", TestImages::bmp(6, 4, 1, 2, 3), 6, 4, 8, true},
    };
    auto serializer = NKImageResponseSerializer::serializer();
    serializer->setImageScale(3);
    for (const ImageCase& c : cases) {
        SCOPED_TRACE(c.name);
        NSErrorPtr error;
        auto image = serializer->responseObjectForResponse(imageResponseSerializerResponse(c.contentType), body(c.bytes), &error).objectAs<UIImage>();
        ASSERT_TRUE(image);
        EXPECT_FALSE(error);
        EXPECT_EQ(image->scale(), 3);
        EXPECT_EQ(image->CGImage()->width(), c.width);
        EXPECT_EQ(image->CGImage()->height(), c.height);
        EXPECT_EQ(image->CGImage()->bitsPerComponent(), c.bitsPerComponent);
        EXPECT_EQ(inflated(image), c.inflated);
    }
}

TEST(NKImageResponseSerializerTest, AnimatedGIFComesBackWithEveryFrame) {
    auto bytes = TestImages::gif(4, 4, {{.width = 4, .height = 4, .colourIndex = 1}, {.width = 2, .height = 2, .colourIndex = 3}});
    for (bool inflates : {true, false}) {
        SCOPED_TRACE(inflates);
        auto serializer = NKImageResponseSerializer::serializer();
        serializer->setAutomaticallyInflatesResponseImage(inflates);
        NSErrorPtr error;
        auto image = serializer->responseObjectForResponse(imageResponseSerializerResponse("image/gif"), body(bytes), &error).objectAs<UIImage>();
        ASSERT_TRUE(image);
        ASSERT_EQ(image->images().size(), 2u);
        EXPECT_EQ(image->images()[1]->CGImage()->pixelAt(0, 0), (CGImage::Pixel{0, 0, 255, 255}));
        EXPECT_EQ(image->images()[1]->CGImage()->pixelAt(3, 3), (CGImage::Pixel{255, 0, 0, 255}));
        EXPECT_EQ(image->images()[0]->scale(), serializer->imageScale());
    }
}

TEST(NKImageResponseSerializerTest, UndecodableBytesFailInsteadOfPassingForNothing) {
    struct Case {
        const char* name;
        bool inflates;
        long status;
        TestImages::Bytes bytes;
        long code, underlying;
    };
    const Case cases[] = {
        {"garbage, inflating", true, 200, {'n', 'o', 'p', 'e'}, NSURLErrorCannotDecodeContentData, 0},
        {"garbage, plain", false, 200, {'n', 'o', 'p', 'e'}, NSURLErrorCannotDecodeContentData, 0},
        {"garbage under 500", true, 500, {'n', 'o'}, NSURLErrorCannotDecodeContentData, NSURLErrorBadServerResponse},
        {"empty body", true, 200, {}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto serializer = NKImageResponseSerializer::serializer();
        serializer->setAutomaticallyInflatesResponseImage(c.inflates);
        NSErrorPtr error;
        EXPECT_TRUE(serializer->responseObjectForResponse(imageResponseSerializerResponse("image/png", c.status), body(c.bytes), &error).isNull());
        EXPECT_EQ(error ? error->code() : 0, c.code);
        EXPECT_EQ(error && error->underlyingError() ? error->underlyingError()->code() : 0, c.underlying);
        if (error) {
            EXPECT_EQ(error->domain(), NKNetworkingErrorDomain);
        }
    }
}

TEST(NKImageResponseSerializerTest, CompoundOfJSONAndImageTakesAPNG) {
    auto compound = NKCompoundResponseSerializer::compoundSerializerWithResponseSerializers(
        {NKJSONResponseSerializer::serializer(), NKImageResponseSerializer::serializer()});
    auto prior = NSError::errorWithDomain("prior", 7);
    NSErrorPtr error = prior;
    auto image = compound->responseObjectForResponse(imageResponseSerializerResponse("image/png"), body(TestImages::png(2, 2)), &error).objectAs<UIImage>();
    ASSERT_TRUE(image);
    EXPECT_EQ(error, prior);
}

TEST(NKImageResponseSerializerTest, ScaleComesBackThroughSinglePrecision) {
    auto serializer = NKImageResponseSerializer::serializer();
    EXPECT_EQ(serializer->imageScale(), UIScreen::mainScreen()->scale());
    serializer->setImageScale(1.1);
    serializer->setAutomaticallyInflatesResponseImage(false);
    auto decoded = NSKeyedUnarchiver::unarchiveObjectWithData(*NSKeyedArchiver::archivedDataWithRootObject(Value(serializer)))
                       .objectAs<NKImageResponseSerializer>();
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->imageScale(), static_cast<double>(1.1f));
    EXPECT_NE(decoded->imageScale(), 1.1);
    EXPECT_FALSE(decoded->automaticallyInflatesResponseImage());
    auto copy = std::dynamic_pointer_cast<NKImageResponseSerializer>(serializer->copy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->imageScale(), 1.1);
    EXPECT_FALSE(copy->automaticallyInflatesResponseImage());
}

} // namespace
