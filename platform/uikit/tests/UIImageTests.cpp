#include "platform/system/DeviceProfile.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIImage.h"

#include <gtest/gtest.h>

namespace {
UIImagePtr solidImage(int pixels, CGFloat scale) {
    auto bitmap = CGImage::createWithSize(pixels, pixels);
    CGContext c(bitmap, 1);
    c.setFillColor(0, 0, 1, 1);
    c.fillRect(CGRectMake(0, 0, pixels, pixels));
    return UIImage::imageWithCGImage(bitmap, scale);
}
} // namespace

TEST(UIImage, RedrawnImageHasTheSizeAskedForAtTheScreenScale) {
    DeviceProfile::reset();
    auto source = solidImage(90, 3);
    EXPECT_EQ(source->size(), CGSizeMake(30, 30));
    UIGraphicsBeginImageContextWithOptions({26, 26}, false, 0);
    source->drawInRect(CGRectMake(0, 0, 26, 26));
    auto drawn = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    ASSERT_TRUE(drawn);
    EXPECT_EQ(drawn->size(), CGSizeMake(26, 26));
    EXPECT_EQ(drawn->scale(), 2);
    EXPECT_EQ(drawn->CGImage()->width(), 52);
    EXPECT_EQ(drawn->CGImage()->pixelAt(51, 0), (CGImage::Pixel{0, 0, 255, 255}));
    EXPECT_FALSE(UIGraphicsGetCurrentContext());
    EXPECT_FALSE(UIGraphicsGetImageFromCurrentImageContext());
}

TEST(UIImage, ContextsNestAndKeepTheNamesOfWhatWasDrawn) {
    auto named = std::make_shared<UIImage>(solidImage(4, 1)->CGImage(), 1, "zip");
    UIGraphicsBeginImageContextWithOptions({10, 10}, false, 1);
    UIGraphicsBeginImageContextWithOptions({5, 5}, true, 1);
    auto inner = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    named->drawInRect(CGRectMake(0, 0, 10, 10));
    auto outer = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    EXPECT_EQ(inner->size(), CGSizeMake(5, 5));
    EXPECT_EQ(inner->CGImage()->pixelAt(0, 0).alpha, 255); // opaque
    EXPECT_EQ(outer->name(), "zip");
    EXPECT_EQ(outer->size(), CGSizeMake(10, 10));
}

TEST(UIImage, PNGRepresentationRoundTrips) {
    auto image = solidImage(8, 2);
    auto png = UIImagePNGRepresentation(image);
    ASSERT_TRUE(png);
    auto back = UIImage::imageWithData(*png, 2);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->size(), CGSizeMake(4, 4));
    EXPECT_FALSE(UIImage::imageWithData(NSData(std::vector<std::uint8_t>{1, 2, 3})));
}

TEST(UIImage, BundleImagesLoadByName) {
    auto image = UIImage::imageNamed("files_list");
    ASSERT_TRUE(image);
    EXPECT_EQ(image->name(), "files_list");
    EXPECT_GT(image->size().width, 0);
    EXPECT_FALSE(UIImage::imageNamed("no such image"));
}

namespace {
// 4 by 2 pixels: left half red, right half blue.
UIImagePtr halvesImage(UIImageOrientation orientation) {
    auto bitmap = CGImage::createWithSize(4, 2);
    CGContext c(bitmap, 1);
    c.setFillColor(1, 0, 0, 1);
    c.fillRect(CGRectMake(0, 0, 2, 2));
    c.setFillColor(0, 0, 1, 1);
    c.fillRect(CGRectMake(2, 0, 2, 2));
    return UIImage::imageWithCGImage(bitmap, 1, orientation);
}

bool isRed(const CGImage::Pixel& p) { return p.red > 200 && p.blue < 60; }
} // namespace

// Where the red half lands when each orientation is shown: the top-left pixel and the one
// diagonally opposite tell every turn and mirror apart.
TEST(UIImage, EveryOrientationDrawsTurnedAndMirroredAsItSays) {
    struct Case {
        UIImageOrientation orientation;
        CGSize shown;
        bool topLeftRed, bottomRightRed, topRightRed;
    };
    const Case cases[] = {
        {UIImageOrientationUp, {4, 2}, true, false, false},
        {UIImageOrientationUpMirrored, {4, 2}, false, true, true},
        {UIImageOrientationDown, {4, 2}, false, true, true},
        {UIImageOrientationDownMirrored, {4, 2}, true, false, false},
        // A quarter turn clockwise puts the left half on top.
        {UIImageOrientationRight, {2, 4}, true, false, true},
        {UIImageOrientationLeft, {2, 4}, false, true, false},
        {UIImageOrientationRightMirrored, {2, 4}, false, true, false},
        {UIImageOrientationLeftMirrored, {2, 4}, true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.orientation);
        auto image = halvesImage(c.orientation);
        EXPECT_EQ(image->size(), c.shown);
        UIGraphicsBeginImageContextWithOptions(c.shown, true, 1);
        image->drawAtPoint({0, 0});
        auto drawn = UIGraphicsGetImageFromCurrentImageContext();
        UIGraphicsEndImageContext();
        const int w = static_cast<int>(c.shown.width), h = static_cast<int>(c.shown.height);
        EXPECT_EQ(isRed(drawn->CGImage()->pixelAt(0, 0)), c.topLeftRed);
        EXPECT_EQ(isRed(drawn->CGImage()->pixelAt(w - 1, h - 1)), c.bottomRightRed);
        EXPECT_EQ(isRed(drawn->CGImage()->pixelAt(w - 1, 0)), c.topRightRed);
    }
}

TEST(UIImage, JPEGKeepsItsOrientationThroughEXIF) {
    for (int exif = 1; exif <= 8; ++exif) {
        SCOPED_TRACE(exif);
        auto orientation = UIImageOrientationFromEXIF(exif);
        EXPECT_EQ(UIImageOrientationToEXIF(orientation), exif);
        auto jpeg = UIImageJPEGRepresentation(halvesImage(orientation), 0.9);
        ASSERT_TRUE(jpeg);
        auto back = UIImage::imageWithData(*jpeg);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->imageOrientation(), orientation);
        EXPECT_EQ(back->CGImage()->width(), 4); // the stored bitmap, not a turned copy
        EXPECT_EQ(back->size(), halvesImage(orientation)->size());
    }
    EXPECT_FALSE(UIImageJPEGRepresentation(nullptr, 1));
}

TEST(UIImage, APatternColourFillsWithTheImageRepeated) {
    auto tile = halvesImage(UIImageOrientationUp); // 4 × 2: red, then blue
    UIGraphicsBeginImageContextWithOptions({12, 4}, true, 1);
    UIColor::colorWithPatternImage(tile)->setFill();
    UIGraphicsGetCurrentContext()->fillRect(CGRectMake(0, 0, 12, 4));
    auto filled = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    for (int x : {0, 4, 8}) {
        SCOPED_TRACE(x);
        EXPECT_TRUE(isRed(filled->CGImage()->pixelAt(x, 3)));
        EXPECT_FALSE(isRed(filled->CGImage()->pixelAt(x + 2, 3)));
    }
}
