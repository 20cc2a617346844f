#include "platform/graphics/CGContext.h"
#include "platform/graphics/CGPath.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

namespace {
using Pixel = CGImage::Pixel;
constexpr Pixel clear{0, 0, 0, 0};
constexpr Pixel red{255, 0, 0, 255};
constexpr Pixel blue{0, 0, 255, 255};

struct Probe {
    int x, y;
    Pixel expected;
    int tolerance = 2;
};

struct DrawingCase {
    std::string name;
    std::function<void(CGContext&)> draw;
    std::vector<Probe> probes;
};

void frame(CGContext& c, const CGRect& outer, const CGRect& inner) {
    c.addRect(outer);
    c.addRect(inner);
}

const std::vector<DrawingCase>& drawingCases() {
    static const std::vector<DrawingCase> cases = {
        {"even-odd fill leaves the inner rectangle open",
         [](CGContext& c) {
             c.setFillColor(1, 0, 0, 1);
             frame(c, CGRectMake(10, 10, 80, 80), CGRectMake(30, 30, 40, 40));
             c.eoFillPath();
         },
         {{20, 20, red}, {50, 50, clear}, {95, 95, clear}}},
        {"non-zero fill covers the inner rectangle",
         [](CGContext& c) {
             c.setFillColor(1, 0, 0, 1);
             frame(c, CGRectMake(10, 10, 80, 80), CGRectMake(30, 30, 40, 40));
             c.fillPath();
         },
         {{20, 20, red}, {50, 50, red}}},
        {"even-odd clip keeps drawing out of the hole",
         [](CGContext& c) {
             frame(c, CGRectMake(10, 10, 80, 80), CGRectMake(30, 30, 40, 40));
             c.eoClip();
             c.setFillColor(0, 0, 1, 1);
             c.fillRect(CGRectMake(0, 0, 100, 100));
         },
         {{20, 20, blue}, {50, 50, clear}, {5, 5, clear}}},
        {"a shadow offset down falls below the shape and not above it",
         [](CGContext& c) {
             c.setShadow(CGSizeMake(0, 8), 2, {0, 0, 0, 1});
             c.setFillColor(1, 0, 0, 1);
             c.fillRect(CGRectMake(20, 20, 60, 30));
         },
         {{50, 30, red}, {50, 55, {0, 0, 0, 255}, 40}, {50, 14, clear}, {10, 35, clear}}},
        {"a gradient without extension stops at its ends",
         [](CGContext& c) {
             auto g = CGGradient::createWithColorComponents({1, 0, 0, 1, 0, 0, 1, 1}, {0, 1}, 2);
             c.drawLinearGradient(*g, {20, 0}, {80, 0}, 0);
         },
         {{10, 50, clear}, {21, 50, {250, 0, 4, 255}, 6}, {50, 50, {128, 0, 128, 255}, 6}, {90, 50, clear}}},
        {"a gradient extended after its end only",
         [](CGContext& c) {
             auto g = CGGradient::createWithColorComponents({1, 0, 0, 1, 0, 0, 1, 1}, {}, 2);
             c.drawLinearGradient(*g, {20, 0}, {80, 0}, kCGGradientDrawsAfterEndLocation);
         },
         {{10, 50, clear}, {95, 50, blue}}},
        {"a tangent arc rounds the corner it turns",
         [](CGContext& c) {
             c.setFillColor(1, 0, 0, 1);
             c.moveToPoint({10, 10});
             c.addArcToPoint({90, 10}, {90, 90}, 30);
             c.addLineToPoint({90, 90});
             c.addLineToPoint({10, 90});
             c.closePath();
             c.fillPath();
         },
         {{86, 14, clear}, {55, 12, red}, {80, 30, red}, {88, 60, red}}},
        {"a path's tangent arc and chosen rounded corners",
         [](CGContext& c) {
             auto p = CGPath::create();
             p->addRoundedRect(CGRectMake(10, 10, 80, 80), UIRectCornerTopLeft | UIRectCornerBottomRight, {20, 20});
             c.setFillColor(0, 0, 1, 1);
             c.addPath(*p);
             c.fillPath();
         },
         {{12, 12, clear}, {88, 12, blue}, {12, 88, blue}, {88, 88, clear}, {50, 50, blue}}},
        {"save and restore bring back the CTM and colour",
         [](CGContext& c) {
             c.setFillColor(1, 0, 0, 1);
             c.saveGState();
             c.translateCTM(50, 50);
             c.setFillColor(0, 0, 1, 1);
             c.fillRect(CGRectMake(0, 0, 10, 10));
             c.restoreGState();
             c.fillRect(CGRectMake(0, 0, 10, 10));
         },
         {{55, 55, blue}, {5, 5, red}, {30, 30, clear}}},
        {"a transparency layer casts one shadow for what it holds",
         [](CGContext& c) {
             c.setShadow(CGSizeMake(10, 0), 0, {0, 0, 0, 1});
             c.beginTransparencyLayer();
             c.setFillColor(1, 0, 0, 1);
             c.fillRect(CGRectMake(10, 10, 30, 30));
             c.fillRect(CGRectMake(30, 10, 30, 30)); // overlaps the first: no shadow between them
             c.endTransparencyLayer();
         },
         {{35, 20, red}, {65, 20, {0, 0, 0, 255}}, {75, 20, clear}}},
        {"a clockwise arc on screen sweeps through the bottom",
         [](CGContext& c) {
             auto p = CGPath::create();
             p->moveToPoint({50, 50});
             p->addArc({50, 50}, 40, 0, std::numbers::pi, true);
             p->closeSubpath();
             c.setFillColor(1, 0, 0, 1);
             c.addPath(*p);
             c.fillPath();
         },
         {{50, 80, red}, {50, 20, clear}}},
    };
    return cases;
}

bool drawingNear(const Pixel& a, const Pixel& b, int tolerance) {
    return std::abs(a.red - b.red) <= tolerance && std::abs(a.green - b.green) <= tolerance &&
           std::abs(a.blue - b.blue) <= tolerance && std::abs(a.alpha - b.alpha) <= tolerance;
}

std::string show(const Pixel& p) {
    return "(" + std::to_string(p.red) + ", " + std::to_string(p.green) + ", " + std::to_string(p.blue) + ", " +
           std::to_string(p.alpha) + ")";
}
} // namespace

TEST(CGContextDrawing, PixelsOfEachCase) {
    for (const auto& drawingCase : drawingCases()) {
        for (CGFloat scale : {1.0, 2.0}) {
            auto bitmap = CGImage::createWithSize(static_cast<int>(100 * scale), static_cast<int>(100 * scale));
            {
                CGContext c(bitmap, scale);
                drawingCase.draw(c);
            }
            for (const auto& probe : drawingCase.probes) {
                auto got = bitmap->pixelAt(static_cast<int>(probe.x * scale), static_cast<int>(probe.y * scale));
                EXPECT_TRUE(drawingNear(got, probe.expected, probe.tolerance))
                    << drawingCase.name << " at scale " << scale << ", point " << probe.x << "," << probe.y << ": "
                    << show(got) << " instead of " << show(probe.expected);
            }
        }
    }
}

TEST(CGPath, BoundsTransformAndTangentArcs) {
    auto p = CGPath::create();
    p->addEllipseInRect(CGRectMake(10, 20, 30, 40));
    EXPECT_EQ(p->boundingBox(), CGRectMake(10, 20, 30, 40));
    p->applyTransform(CGAffineTransformMakeTranslation(5, -5));
    EXPECT_EQ(p->boundingBox(), CGRectMake(15, 15, 30, 40));
    EXPECT_EQ(CGPath::create()->boundingBox(), CGRectZero);

    auto arc = CGTangentArcMake({0, 0}, {10, 0}, {10, 10}, 4);
    ASSERT_TRUE(arc);
    EXPECT_NEAR(arc->start.x, 6, 1e-9);
    EXPECT_NEAR(arc->end.y, 4, 1e-9);
    EXPECT_NEAR(arc->center.x, 6, 1e-9);
    EXPECT_NEAR(arc->center.y, 4, 1e-9);
    EXPECT_TRUE(arc->clockwise);
    EXPECT_FALSE(CGTangentArcMake({0, 0}, {10, 0}, {20, 0}, 4)); // one line: no arc
    EXPECT_FALSE(CGTangentArcMake({0, 0}, {10, 0}, {10, 10}, 0));

    EXPECT_EQ(CGRectIntegral(CGRectMake(0.5, 1.2, 10.2, 3.7)), CGRectMake(0, 1, 11, 4));
}

TEST(CGText, MeasuresAlikeOnEveryRunAndDrawsInsideItsRectangle) {
    CGTextStyle regular{"HelveticaNeue", 17, 0, 1};
    auto size = CGTextMeasure("Files", regular, 0);
    EXPECT_EQ(size, CGTextMeasure("Files", regular, 0));
    EXPECT_NEAR(size.width, 35.8945, 0.001); // the private fonts give Helvetica's widths everywhere
    EXPECT_GT(size.width, 20);
    EXPECT_LT(size.width, 60);
    EXPECT_NEAR(size.height, 20, 2);
    // Plain "Helvetica" (the video countdown's font) is the regular face as well.
    EXPECT_EQ(CGTextMeasure("Files", {"Helvetica", 17, 0, 1}, 0), size);
    CGTextStyle bold{"Avenir-Black", 17, 0, 1};
    EXPECT_GT(CGTextMeasure("Files", bold, 0).width, size.width); // a heavier face is wider
    CGTextStyle many{"HelveticaNeue", 17, 0, 0};
    auto wrapped = CGTextMeasure("one two three four five six", many, 60);
    EXPECT_LE(wrapped.width, 60);
    EXPECT_GT(wrapped.height, size.height * 2);
    EXPECT_EQ(CGTextMeasure("", regular, 0), CGSizeZero);

    auto bitmap = CGImage::createWithSize(200, 60);
    {
        CGContext c(bitmap, 2);
        c.setFillColor(0, 0, 0, 1);
        c.drawText("Hello", {"HelveticaNeue-Bold", 20, 1, 1}, CGRectMake(20, 5, 60, 20));
    }
    int inside = 0, outside = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 200; ++x) {
            bool within = x >= 40 && x < 160 && y >= 10 && y < 50;
            if (bitmap->pixelAt(x, y).alpha > 0) ++(within ? inside : outside);
        }
    EXPECT_GT(inside, 100);
    EXPECT_EQ(outside, 0);
}
