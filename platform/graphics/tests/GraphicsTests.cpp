#include "platform/graphics/CGContext.h"
#include "platform/graphics/CGGeometry.h"
#include "platform/graphics/CGImage.h"

#include <gtest/gtest.h>

#include <numbers>

TEST(CGGeometry, RectanglesContainAndIntersect) {
    CGRect r = CGRectMake(10, 20, 30, 40);
    EXPECT_TRUE(CGRectContainsPoint(r, {10, 20}));
    EXPECT_FALSE(CGRectContainsPoint(r, {40, 20})); // the maximum edge is outside
    EXPECT_EQ(CGRectIntersection(r, CGRectMake(30, 50, 100, 100)), CGRectMake(30, 50, 10, 10));
    EXPECT_TRUE(CGRectIsEmpty(CGRectIntersection(r, CGRectMake(40, 20, 5, 5))));
    EXPECT_EQ(CGRectStandardize(CGRectMake(10, 10, -5, -5)), CGRectMake(5, 5, 5, 5));
    EXPECT_EQ(NSStringFromCGRect(r), "{{10, 20}, {30, 40}}");
}

TEST(CGGeometry, TransformsComposeAndInvert) {
    auto t = CGAffineTransformConcat(CGAffineTransformMakeScale(2, 3), CGAffineTransformMakeTranslation(5, 7));
    EXPECT_EQ(CGPointApplyAffineTransform({1, 1}, t), CGPointMake(7, 10));
    auto back = CGPointApplyAffineTransform({7, 10}, CGAffineTransformInvert(t));
    EXPECT_DOUBLE_EQ(back.x, 1);
    EXPECT_DOUBLE_EQ(back.y, 1);
    auto box = CGRectApplyAffineTransform(CGRectMake(0, 0, 10, 20), CGAffineTransformMakeRotation(std::numbers::pi / 2));
    EXPECT_NEAR(box.size.width, 20, 1e-9);
    EXPECT_NEAR(box.size.height, 10, 1e-9);
}

TEST(CGImage, DrawsScaledAndRoundTripsThroughPNG) {
    auto source = CGImage::createWithSize(4, 4);
    {
        CGContext c(source, 1);
        c.setFillColor(1, 0, 0, 1);
        c.fillRect(CGRectMake(0, 0, 4, 4));
    }
    // 26 points at scale 2 is a 52-pixel bitmap, the source stretched over all of it.
    auto target = CGImage::createWithSize(52, 52);
    {
        CGContext c(target, 2);
        c.drawImage(CGRectMake(0, 0, 26, 26), *source);
    }
    EXPECT_EQ(target->pixelAt(0, 0), (CGImage::Pixel{255, 0, 0, 255}));
    EXPECT_EQ(target->pixelAt(51, 51), (CGImage::Pixel{255, 0, 0, 255}));

    auto png = target->pngData();
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png[1], 'P');
    auto decoded = CGImage::createWithPNGData(png);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->width(), 52);
    EXPECT_EQ(decoded->pixelAt(30, 30), (CGImage::Pixel{255, 0, 0, 255}));
    EXPECT_FALSE(CGImage::createWithPNGData({1, 2, 3}));
    EXPECT_FALSE(CGImage::createWithPNGFile("/nonexistent.png"));
    EXPECT_FALSE(CGImage::createWithSize(0, 5));
}
