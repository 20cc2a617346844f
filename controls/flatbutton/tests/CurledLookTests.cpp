#include "controls/flatbutton/CurledViewBase.h"
#include "controls/flatbutton/UIButton+Curled.h"
#include "controls/flatbutton/UIImageView+Curled.h"
#include "controls/flatbutton/tests/FlatScreenFixture.h"

#include <string>
#include <vector>

namespace {
std::shared_ptr<UIImageView> squareView(CGFloat side) {
    return std::make_shared<UIImageView>(CGRectMake(100, 100, side, side));
}
} // namespace

TEST(CurledViewBase, TheShadowPathReachesBelowTheCornersAndCurvesUpToTheYOffsetBetween) {
    auto view = std::make_shared<UIView>(CGRectMake(20, 30, 100, 80));
    auto path = CurledViewBase::curlShadowPathWithShadowDepthControlPointXOffsetControlPointYOffsetForView(10, 30, 70, *view);
    const auto& elements = path->CGPath()->elements();
    ASSERT_EQ(elements.size(), 5u);
    EXPECT_EQ(elements[0].type, CGPathElementType::MoveToPoint);
    EXPECT_EQ(elements[0].points[0], CGPointMake(0, 70));
    EXPECT_EQ(elements[1].type, CGPathElementType::AddLineToPoint);
    EXPECT_EQ(elements[1].points[0], CGPointMake(100, 70));
    EXPECT_EQ(elements[2].points[0], CGPointMake(100, 90));
    EXPECT_EQ(elements[3].type, CGPathElementType::AddCurveToPoint);
    EXPECT_EQ(elements[3].points[0], CGPointMake(70, 70));
    EXPECT_EQ(elements[3].points[1], CGPointMake(30, 70));
    EXPECT_EQ(elements[3].points[2], CGPointMake(0, 90));
    EXPECT_EQ(elements[4].type, CGPathElementType::CloseSubpath);
}

// A 100 by 100 view: an image larger than the inside of the border either way is redrawn at the
// inside's size (aspect not kept, one pixel per point); one that fits, or any image without a
// border, is used as it is.
TEST_F(FlatScreenTest, AnImageLargerThanTheInsideOfTheBorderIsRedrawnToFitIt) {
    struct Case {
        std::string name;
        CGFloat border;
        CGSize image;
        bool redrawn;
        CGSize shown;
    };
    const std::vector<Case> cases = {
        {"wider and taller", 4, {200, 150}, true, {92, 92}},
        {"taller only", 4, {10, 93}, true, {92, 92}},
        {"small", 4, {50, 50}, false, {50, 50}},
        {"exactly the inside", 4, {92, 92}, false, {92, 92}},
        {"no border", 0, {200, 150}, false, {200, 150}},
        {"thick border", 10, {90, 90}, true, {80, 80}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto view = squareView(100);
        auto image = solidImage(c.image, UIColor::blueColor());
        UIImageView_Curled::setImageBorderWidthShadowDepthControlPointXOffsetControlPointYOffset(*view, image, c.border, 10,
                                                                                                30, 70);
        ASSERT_NE(view->image(), nullptr);
        EXPECT_EQ(view->image() != image, c.redrawn);
        EXPECT_EQ(view->image()->size(), c.shown);
        EXPECT_EQ(view->image()->scale(), 1);
        // The shadow is set whether or not the image was touched.
        ASSERT_NE(view->layer()->shadowPath(), nullptr);
        EXPECT_EQ(view->layer()->shadowPath()->boundingBox(), CGRectMake(0, 70, 100, 40));
    }
}

TEST_F(FlatScreenTest, BothCategoriesGiveAWhiteBorderASoftShadowAndACentredImageOnLightGrey) {
    auto image = solidImage({50, 50}, UIColor::blueColor());
    auto imageView = squareView(100);
    UIImageView_Curled::setImageBorderWidthShadowDepthControlPointXOffsetControlPointYOffset(*imageView, image, 4, 10, 30, 70);
    auto button = std::make_shared<UIButton>(UIButtonTypeCustom);
    button->setFrame(CGRectMake(0, 0, 96, 96));
    UIButton_Curled::setImageBorderWidthShadowDepthControlPointXOffsetControlPointYOffsetForState(
        *button, solidImage({200, 200}, UIColor::redColor()), 5, 10, 30, 70, UIControlStateNormal);

    for (UIView* view : std::vector<UIView*>{imageView.get(), button.get()}) {
        SCOPED_TRACE(view->className());
        const auto& layer = view->layer();
        EXPECT_TRUE(view->backgroundColor()->isEqual(UIColor::lightGrayColor().get()));
        EXPECT_EQ(view->contentMode(), UIViewContentModeCenter);
        EXPECT_TRUE(layer->borderColor()->isEqual(UIColor::whiteColor().get()));
        EXPECT_TRUE(layer->shadowColor()->isEqual(UIColor::blackColor().get()));
        EXPECT_EQ(layer->shadowOffset(), CGSizeMake(0, 4));
        EXPECT_EQ(layer->shadowRadius(), 3);
        EXPECT_EQ(layer->shadowOpacity(), 0.4f);
    }
    EXPECT_EQ(imageView->layer()->borderWidth(), 4);
    EXPECT_EQ(imageView->image(), image);
    EXPECT_EQ(button->layer()->borderWidth(), 5);
    ASSERT_NE(button->imageForState(UIControlStateNormal), nullptr);
    EXPECT_EQ(button->imageForState(UIControlStateNormal)->size(), CGSizeMake(86, 86));
    EXPECT_EQ(button->layer()->shadowPath()->boundingBox(), CGRectMake(0, 70, 96, 36));
}

// Over white: the border is white around the light grey inside; below the bottom corners the
// shadow darkens the screen, below the middle the curve has lifted it away.
TEST_F(FlatScreenTest, TheDisplayShowsTheBorderAndAShadowOnlyBelowTheCorners) {
    auto view = squareView(100);
    content()->addSubview(view);
    UIImageView_Curled::setImageBorderWidthShadowDepthControlPointXOffsetControlPointYOffset(
        *view, solidImage({50, 50}, UIColor::blueColor()), 4, 10, 30, 70);

    struct Probe {
        std::string name;
        CGFloat x, y;
        bool darker; // than white
    };
    const CGRect f = view->frame();
    auto border = pixelAt(f.origin.x + 2, CGRectGetMidY(f));
    auto inside = pixelAt(f.origin.x + 10, CGRectGetMidY(f));
    auto image = pixelAt(CGRectGetMidX(f), CGRectGetMidY(f));
    EXPECT_TRUE(near(border, 255, 255, 255)) << text(border);
    EXPECT_TRUE(near(inside, 170, 170, 170)) << text(inside);
    EXPECT_TRUE(near(image, 0, 0, 255)) << text(image);

    const std::vector<Probe> probes = {
        {"below the bottom left corner", f.origin.x + 1.5, CGRectGetMaxY(f) + 6, true},
        {"below the bottom right corner", CGRectGetMaxX(f) - 1.5, CGRectGetMaxY(f) + 6, true},
        {"below the middle", CGRectGetMidX(f), CGRectGetMaxY(f) + 3, false},
        {"above the top", CGRectGetMidX(f), f.origin.y - 3, false},
    };
    for (const auto& probe : probes) {
        SCOPED_TRACE(probe.name);
        auto p = pixelAt(probe.x, probe.y);
        if (probe.darker) {
            EXPECT_LT(p.red, 235) << text(p);
            EXPECT_EQ(p.red, p.blue) << text(p);
        } else {
            EXPECT_TRUE(near(p, 255, 255, 255)) << text(p);
        }
    }
}
