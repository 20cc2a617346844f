#include "pickers/resize/UIImage+ResizeGeometry.h"

#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIGraphics.h"

#include <gtest/gtest.h>

using namespace UIImage_ResizeGeometry;

namespace {
// A picture of w by h points at the scale: its left half red, its right half blue.
UIImagePtr halves(CGFloat w, CGFloat h, CGFloat scale = 1, UIImageOrientation orientation = UIImageOrientationUp) {
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(w, h), false, scale);
    auto context = UIGraphicsGetCurrentContext();
    context->setFillColor(1, 0, 0, 1);
    context->fillRect(CGRectMake(0, 0, w / 2, h));
    context->setFillColor(0, 0, 1, 1);
    context->fillRect(CGRectMake(w / 2, 0, w / 2, h));
    auto drawn = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return UIImage::imageWithCGImage(drawn->CGImage(), scale, orientation);
}

std::string colourAt(const UIImagePtr& image, int x, int y) {
    auto p = image->CGImage()->pixelAt(x, y);
    if (p.alpha < 0.5) return "clear";
    if (p.red > 0.5 && p.blue < 0.5) return "red";
    if (p.blue > 0.5 && p.red < 0.5) return "blue";
    return "mixed";
}

CGSize pixels(const UIImagePtr& image) { return CGSizeMake(image->CGImage()->width(), image->CGImage()->height()); }
} // namespace

TEST(UIImageResizeGeometry, GeometryFormsOnAFourHundredByThreeHundredPicture) {
    struct Case {
        const char* geometry;
        CGSize size;
        int redUpTo; // the last red column on the middle row
    };
    const Case cases[] = {
        {"100x100", {100, 75}, 49},    // fit
        {"100x100^", {133, 100}, 66},  // fill: 133.33 rounds to 133
        {"100x100#", {100, 100}, 49},  // fill, then the centre: cropped from x = 16.5
        {"100x100!", {100, 100}, 49},  // squeezed: the whole picture
        {"200", {200, 150}, 99},       // by width
        {"x150", {200, 150}, 99},      // by height
        {"100x200x300", {100, 75}, 49}, // pieces after the second are ignored
        {" +100x 100", {100, 75}, 49},  // a decimal scan: spaces and a sign
    };
    auto source = halves(400, 300);
    for (auto& c : cases) {
        SCOPED_TRACE(c.geometry);
        auto made = resizedImageByGeometry(source, c.geometry);
        ASSERT_TRUE(made);
        EXPECT_EQ(made->size(), c.size);
        EXPECT_EQ(made->scale(), 1);
        EXPECT_EQ(colourAt(made, c.redUpTo - 1, int(c.size.height / 2)), "red");
        EXPECT_EQ(colourAt(made, c.redUpTo + 2, int(c.size.height / 2)), "blue");
    }
}

TEST(UIImageResizeGeometry, GeometryThatGivesNoImage) {
    auto source = halves(400, 300);
    // Sides of 0 or less in the exact and crop forms, an empty side elsewhere, a canvas past the
    // bound, a suffix without a second side, and no geometry at all.
    for (const char* geometry : {"-100x100!", "100x-5#", "0x100#", "100x0!", "100x", "-50", "x-3", "x0", "100000x100000",
                                 "100!", "100#", "", "x"}) {
        SCOPED_TRACE(geometry);
        EXPECT_FALSE(resizedImageByGeometry(source, geometry));
    }
    EXPECT_FALSE(resizedImageByGeometry(nullptr, "100x100"));
    EXPECT_FALSE(drawImageInBounds(source, CGRectMake(0, 0, kMaxCanvasSide + 1, 10)));
    EXPECT_FALSE(croppedImageWithRect(source, CGRectMake(0, 0, 9000, 9000)));
}

TEST(UIImageResizeGeometry, SidesRoundHalvesAwayFromZeroAndEnlarge) {
    EXPECT_EQ(resizedImageByWidth(halves(4, 6), 3)->size(), CGSizeMake(3, 5)); // 4.5 -> 5
    EXPECT_EQ(resizedImageByGeometry(halves(50, 50), "100x100")->size(), CGSizeMake(100, 100));
    EXPECT_EQ(resizedImageWithMaximumSize(halves(480, 360), CGSizeMake(360, 360))->size(), CGSizeMake(360, 270));
}

TEST(UIImageResizeGeometry, ScaleTwoSourcesGiveScaleOneResults) {
    auto made = resizedImageByGeometry(halves(400, 300, 2), "100x100");
    EXPECT_EQ(made->scale(), 1);
    EXPECT_EQ(pixels(made), CGSizeMake(100, 75));
}

TEST(UIImageResizeGeometry, OrientationTurnsTheSidesAndThePicture) {
    // A bitmap of 400 by 300 shown turned right is 300 by 400: its left half (red) on top.
    auto turned = halves(400, 300, 1, UIImageOrientationRight);
    EXPECT_EQ(turned->size(), CGSizeMake(300, 400));
    auto made = resizedImageByGeometry(turned, "150");
    EXPECT_EQ(made->size(), CGSizeMake(150, 200));
    EXPECT_EQ(colourAt(made, 75, 20), "red");
    EXPECT_EQ(colourAt(made, 75, 180), "blue");

    const struct {
        UIImageOrientation orientation;
        const char* topLeft;
        const char* bottomRight;
    } turns[] = {
        {UIImageOrientationUp, "red", "blue"},           {UIImageOrientationDown, "blue", "red"},
        {UIImageOrientationLeft, "blue", "red"},         {UIImageOrientationRight, "red", "blue"},
        {UIImageOrientationUpMirrored, "blue", "red"},   {UIImageOrientationDownMirrored, "red", "blue"},
        {UIImageOrientationLeftMirrored, "red", "blue"}, {UIImageOrientationRightMirrored, "blue", "red"},
    };
    for (auto& t : turns) {
        SCOPED_TRACE(t.orientation);
        auto upright = drawImageInBounds(halves(40, 20, 1, t.orientation), CGRectMake(0, 0, 40, 40));
        EXPECT_EQ(colourAt(upright, 2, 2), t.topLeft);
        EXPECT_EQ(colourAt(upright, 37, 37), t.bottomRight);
    }
    // Upside down, the source sides are the bitmap's own pixels.
    auto down = halves(40, 20, 2, UIImageOrientationDown);
    auto bitmap = CGImageWithCorrectOrientation(down);
    EXPECT_EQ(bitmap, down->CGImage());
    auto right = CGImageWithCorrectOrientation(halves(40, 20, 2, UIImageOrientationRight));
    EXPECT_EQ(right->width(), 20);
    EXPECT_EQ(right->height(), 40);
}

TEST(UIImageResizeGeometry, CropTakesThePartUnderTheRectangle) {
    auto crop = croppedImageWithRect(halves(400, 300), CGRectMake(150, 0, 100, 10));
    EXPECT_EQ(crop->size(), CGSizeMake(100, 10));
    EXPECT_EQ(colourAt(crop, 10, 5), "red");
    EXPECT_EQ(colourAt(crop, 90, 5), "blue");
    auto beyond = croppedImageWithRect(halves(400, 300), CGRectMake(390, 0, 20, 10));
    EXPECT_EQ(colourAt(beyond, 15, 5), "clear");
}
