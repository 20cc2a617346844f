#include "platform/graphics/CGContext.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIBezierPath.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIView.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

namespace {
using Pixel = CGImage::Pixel;
constexpr Pixel white{255, 255, 255, 255};
constexpr Pixel red{255, 0, 0, 255};
constexpr Pixel blue{0, 0, 255, 255};
constexpr Pixel black{0, 0, 0, 255};

// A 100 by 100 white view at scale 2, painted through its layer.
UIViewPtr whiteRoot() {
    auto root = std::make_shared<UIView>(CGRectMake(0, 0, 100, 100));
    root->setBackgroundColor(UIColor::whiteColor());
    return root;
}

CGImageRef paint(const UIViewPtr& root) {
    auto bitmap = CGImage::createWithSize(200, 200);
    CGContext c(bitmap, 2);
    root->layer()->renderInContext(c);
    return bitmap;
}

UIViewPtr box(const CGRect& frame, UIColorPtr color) {
    auto v = std::make_shared<UIView>(frame);
    v->setBackgroundColor(std::move(color));
    return v;
}

// Fills its bounds in red with an even-odd hole in the middle and counts its drawings.
class HoleView : public UIView {
public:
    using UIView::UIView;
    int draws = 0;
    void drawRect(const CGRect& rect) override {
        ++draws;
        UIColor::redColor()->setFill();
        auto path = UIBezierPath::bezierPathWithRect(rect);
        path->appendPath(*UIBezierPath::bezierPathWithOvalInRect(CGRectInset(rect, 10, 10)));
        path->setUsesEvenOddFillRule(true);
        path->fill();
    }
};

struct Probe {
    int x, y;
    Pixel expected;
    int tolerance = 3;
};

struct DisplayCase {
    std::string name;
    std::function<void(UIView& root)> build;
    std::vector<Probe> probes;
};

bool displayNear(const Pixel& a, const Pixel& b, int tolerance) {
    return std::abs(a.red - b.red) <= tolerance && std::abs(a.green - b.green) <= tolerance &&
           std::abs(a.blue - b.blue) <= tolerance && std::abs(a.alpha - b.alpha) <= tolerance;
}

const std::vector<DisplayCase>& displayCases() {
    static const std::vector<DisplayCase> cases = {
        {"a subview's background at its frame",
         [](UIView& root) { root.addSubview(box(CGRectMake(10, 10, 20, 20), UIColor::redColor())); },
         {{15, 15, red}, {35, 35, white}}},
        {"a layer shadow falls below and not above",
         [](UIView& root) {
             auto v = box(CGRectMake(20, 20, 60, 30), UIColor::blueColor());
             v->layer()->setShadowOpacity(1);
             v->layer()->setShadowOffset({0, 8});
             v->layer()->setShadowRadius(1);
             root.addSubview(v);
         },
         {{50, 30, blue}, {50, 55, black, 60}, {50, 15, white}}},
        {"rounded masking clips the corner and the subviews",
         [](UIView& root) {
             auto v = box(CGRectMake(10, 10, 80, 80), UIColor::blueColor());
             v->layer()->setCornerRadius(20);
             v->layer()->setMasksToBounds(true);
             v->addSubview(box(CGRectMake(-10, 40, 20, 20), UIColor::redColor()));
             root.addSubview(v);
         },
         {{12, 12, white}, {50, 50, blue}, {15, 50, red}, {5, 50, white}}},
        {"a border over the content",
         [](UIView& root) {
             auto v = box(CGRectMake(10, 10, 80, 80), UIColor::blueColor());
             v->layer()->setBorderWidth(4);
             v->layer()->setBorderColor(UIColor::redColor());
             root.addSubview(v);
         },
         {{12, 50, red}, {20, 50, blue}}},
        {"half alpha blends with what lies below; hidden views do not show",
         [](UIView& root) {
             auto v = box(CGRectMake(0, 0, 50, 50), UIColor::blackColor());
             v->setAlpha(0.5);
             root.addSubview(v);
             auto hidden = box(CGRectMake(50, 50, 50, 50), UIColor::redColor());
             hidden->setHidden(true);
             root.addSubview(hidden);
         },
         {{25, 25, {128, 128, 128, 255}}, {75, 75, white}}},
        {"a transform turns the view about its anchor point",
         [](UIView& root) {
             auto v = box(CGRectMake(40, 10, 20, 40), UIColor::redColor()); // centre 50,30
             v->layer()->setAnchorPoint({0.5, 0});                          // turn about the top middle
             v->setCenter({50, 50});
             v->setTransform(CGAffineTransformMakeRotation(std::numbers::pi / 2));
             root.addSubview(v);
         },
         {{30, 50, red}, {40, 52, red}, {50, 60, white}, {60, 50, white}}},
        {"a shadow path casts its own shape: a curl darker below the corners than the middle",
         [](UIView& root) {
             auto v = box(CGRectMake(10, 10, 80, 60), UIColor::whiteColor());
             auto curl = CGPath::create();
             curl->moveToPoint({0, 50});
             curl->addLineToPoint({80, 50});
             curl->addLineToPoint({80, 70});
             curl->addCurveToPoint({50, 50}, {30, 50}, {0, 70});
             curl->closeSubpath();
             v->layer()->setShadowPath(curl);
             v->layer()->setShadowOpacity(0.4f);
             v->layer()->setShadowOffset({0, 4});
             v->layer()->setShadowRadius(3);
             root.addSubview(v);
         },
         {{13, 78, {190, 190, 190, 255}, 40}, {50, 78, white}, {50, 40, white}}},
        {"drawRect with an even-odd hole",
         [](UIView& root) { root.addSubview(std::make_shared<HoleView>(CGRectMake(0, 0, 100, 100))); },
         {{3, 3, red}, {50, 50, white}}},
        {"an image view centres a small image",
         [](UIView& root) {
             UIGraphicsBeginImageContextWithOptions({10, 10}, true, 1);
             auto image = UIGraphicsGetImageFromCurrentImageContext();
             UIGraphicsEndImageContext();
             auto v = std::make_shared<UIImageView>(CGRectMake(0, 0, 100, 100));
             v->setImage(image);
             v->setContentMode(UIViewContentModeCenter);
             root.addSubview(v);
         },
         {{50, 50, black}, {44, 50, white}, {10, 10, white}}},
    };
    return cases;
}
} // namespace

TEST(UIDisplay, PixelsOfEachCase) {
    for (const auto& displayCase : displayCases()) {
        auto root = whiteRoot();
        displayCase.build(*root);
        auto bitmap = paint(root);
        for (const auto& probe : displayCase.probes) {
            auto got = bitmap->pixelAt(probe.x * 2, probe.y * 2);
            EXPECT_TRUE(displayNear(got, probe.expected, probe.tolerance))
                << displayCase.name << " at " << probe.x << "," << probe.y << ": (" << int(got.red) << ", " << int(got.green)
                << ", " << int(got.blue) << ", " << int(got.alpha) << ")";
        }
    }
}

TEST(UIDisplay, LabelTextStaysInsideItsFrameAndMeasuresAlike) {
    auto label = std::make_shared<UILabel>(CGRectMake(20, 30, 60, 30));
    label->setText("Tandrel");
    label->setFont(UIFont::fontWithNameSize("Avenir-Black", 14));
    auto size = label->sizeThatFits({0, 0});
    EXPECT_EQ(size, label->sizeThatFits({0, 0}));
    EXPECT_EQ(size, CGSizeMake(50, 16)); // the private fonts measure the same on every machine
    auto root = whiteRoot();
    root->addSubview(label);
    auto bitmap = paint(root);
    int inside = 0, outside = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x) {
            bool within = x >= 40 && x < 160 && y >= 60 && y < 120;
            if (bitmap->pixelAt(x, y) != white) ++(within ? inside : outside);
        }
    EXPECT_GT(inside, 100);
    EXPECT_EQ(outside, 0);

    NSStringAttributes attributes{UIFont::systemFontOfSize(17), nullptr};
    auto one = NSStringBoundingRectWithSize("one two three four", {60, 0}, 0, attributes);
    auto wrapped = NSStringBoundingRectWithSize("one two three four", {60, 0}, NSStringDrawingUsesLineFragmentOrigin, attributes);
    EXPECT_GT(one.size.width, 60);
    EXPECT_LE(wrapped.size.width, 60);
    EXPECT_GT(wrapped.size.height, one.size.height * 2);
}

TEST(UIDisplay, DrawingIsKeptUntilSetNeedsDisplay) {
    auto root = whiteRoot();
    auto hole = std::make_shared<HoleView>(CGRectMake(0, 0, 50, 50));
    root->addSubview(hole);
    paint(root);
    paint(root);
    EXPECT_EQ(hole->draws, 1);
    hole->setNeedsDisplay();
    paint(root);
    EXPECT_EQ(hole->draws, 2);
    ASSERT_TRUE(hole->layer()->backingImage());
    EXPECT_EQ(hole->layer()->backingImage()->width(), 100); // at the context's scale
    EXPECT_FALSE(root->layer()->backingImage());             // a plain view keeps no image
}

namespace {
class GreenDelegate : public CALayerDelegate {
public:
    void drawLayerInContext(CALayer& layer, CGContext& context) override {
        context.setFillColor(0, 1, 0, 1);
        context.fillRect(layer.bounds());
    }
};
} // namespace

TEST(UIDisplay, ALayerDelegateDrawsInsteadOfTheView) {
    auto root = whiteRoot();
    auto v = std::make_shared<UIView>(CGRectMake(0, 0, 10, 10));
    auto delegate = std::make_shared<GreenDelegate>();
    v->layer()->setDelegate(delegate);
    root->addSubview(v);
    EXPECT_EQ(paint(root)->pixelAt(10, 10), (Pixel{0, 255, 0, 255}));
}

TEST(CALayer, AnchorPointMovesFrameAndHitTesting) {
    auto root = std::make_shared<UIView>(CGRectMake(0, 0, 200, 200));
    auto v = std::make_shared<UIView>(CGRectMake(50, 50, 40, 20));
    root->addSubview(v);
    EXPECT_EQ(v->layer()->position(), CGPointMake(70, 60));
    v->layer()->setAnchorPoint({0, 0});
    EXPECT_EQ(v->center(), CGPointMake(70, 60)); // the position stays, the frame moves
    EXPECT_EQ(v->frame(), CGRectMake(70, 60, 40, 20));
    EXPECT_EQ(root->hitTestWithEvent({75, 65}, nullptr), v);
    EXPECT_EQ(root->hitTestWithEvent({55, 55}, nullptr), root);
    v->setFrame(CGRectMake(0, 0, 10, 10));
    EXPECT_EQ(v->center(), CGPointMake(0, 0));
    EXPECT_EQ(v->convertPointToView({5, 5}, root), CGPointMake(5, 5));
}

TEST(UIColor, KeepsItsSpaceAndComponentCount) {
    struct Row {
        UIColorPtr color;
        CGColorSpaceModel model;
        std::size_t components;
        bool answersRGB;
    };
    UIGraphicsBeginImageContextWithOptions({2, 2}, true, 1);
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    const std::vector<Row> rows = {
        {UIColor::colorWithWhite(0.5, 1), kCGColorSpaceModelMonochrome, 2, true},
        {UIColor::blackColor(), kCGColorSpaceModelMonochrome, 2, true},
        {UIColor::redColor(), kCGColorSpaceModelRGB, 4, true},
        {UIColor::colorWithHue(0.5, 1, 1, 1), kCGColorSpaceModelRGB, 4, true},
        {UIColor::colorWithPatternImage(image), kCGColorSpaceModelPattern, 1, false},
        {UIColor::colorWithWhite(0.2, 1)->colorWithAlphaComponent(0.5), kCGColorSpaceModelMonochrome, 2, true},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.color->colorSpaceModel(), row.model) << row.color->description();
        EXPECT_EQ(row.color->numberOfComponents(), row.components) << row.color->description();
        double r = -1;
        EXPECT_EQ(row.color->getRedGreenBlueAlpha(&r, nullptr, nullptr, nullptr), row.answersRGB);
    }
    double h, s, b, a;
    ASSERT_TRUE(UIColor::colorWithRed(0, 1, 1, 0.5)->getHueSaturationBrightnessAlpha(&h, &s, &b, &a));
    EXPECT_DOUBLE_EQ(h, 0.5);
    EXPECT_DOUBLE_EQ(s, 1);
    EXPECT_DOUBLE_EQ(a, 0.5);
    EXPECT_EQ(UIColor::colorWithWhite(0.5, 1)->description(), "UIDeviceWhiteColorSpace 0.5 1");
    EXPECT_FALSE(UIColor::colorWithWhite(0, 1)->isEqual(UIColor::colorWithRed(0, 0, 0, 1).get()));
}

TEST(UIBezierPath, BoundsTransformClipAndPushedContexts) {
    auto path = UIBezierPath::bezierPathWithRoundedRect(CGRectMake(0, 0, 20, 10), UIRectCornerTopLeft, {4, 4});
    EXPECT_EQ(path->bounds(), CGRectMake(0, 0, 20, 10));
    path->applyTransform(CGAffineTransformMakeScale(2, 1));
    EXPECT_EQ(path->bounds(), CGRectMake(0, 0, 40, 10));

    auto bitmap = CGImage::createWithSize(20, 20);
    auto context = std::make_shared<CGContext>(bitmap, 1);
    UIGraphicsPushContext(context);
    EXPECT_EQ(UIGraphicsGetCurrentContext(), context);
    EXPECT_FALSE(UIGraphicsGetImageFromCurrentImageContext()); // not an image context
    UIBezierPath::bezierPathWithRect(CGRectMake(0, 0, 10, 20))->addClip();
    UIColor::blueColor()->setFill();
    UIBezierPath::bezierPathWithRect(CGRectMake(0, 0, 20, 20))->fill();
    UIGraphicsPopContext();
    EXPECT_FALSE(UIGraphicsGetCurrentContext());
    context.reset();
    EXPECT_EQ(bitmap->pixelAt(5, 5), blue);
    EXPECT_EQ(bitmap->pixelAt(15, 5), (Pixel{0, 0, 0, 0}));
}

TEST(UIImage, ResizableImageKeepsItsCaps) {
    // A 10 by 10 image: red with a blue middle column; caps of 4 on the left and right.
    UIGraphicsBeginImageContextWithOptions({10, 10}, false, 1);
    UIGraphicsGetCurrentContext()->setFillColor(1, 0, 0, 1);
    UIGraphicsGetCurrentContext()->fillRect(CGRectMake(0, 0, 10, 10));
    UIGraphicsGetCurrentContext()->setFillColor(0, 0, 1, 1);
    UIGraphicsGetCurrentContext()->fillRect(CGRectMake(4, 0, 2, 10));
    auto image = UIGraphicsGetImageFromCurrentImageContext()->resizableImageWithCapInsets(UIEdgeInsetsMake(0, 4, 0, 4));
    UIGraphicsEndImageContext();
    UIGraphicsBeginImageContextWithOptions({100, 10}, false, 1);
    image->drawInRect(CGRectMake(0, 0, 100, 10));
    auto drawn = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    EXPECT_EQ(drawn->CGImage()->pixelAt(2, 5), red);
    EXPECT_EQ(drawn->CGImage()->pixelAt(50, 5), blue); // the middle stretched
    EXPECT_EQ(drawn->CGImage()->pixelAt(97, 5), red);
}

TEST(UIViewAnimation, SpringAnimationsAreRecordedAndSetValuesAtOnce) {
    UIView::clearRecordedAnimations();
    auto v = std::make_shared<UIView>(CGRectMake(0, 0, 10, 10));
    UIView::animateWithDuration(0.5, 0.1, 0.6, 2, UIViewAnimationOptionCurveEaseOut, [&] { v->setAlpha(0.3); }, nullptr);
    EXPECT_DOUBLE_EQ(v->alpha(), 0.3);
    auto records = UIView::recordedAnimations();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_TRUE(records[0].spring);
    EXPECT_DOUBLE_EQ(records[0].springDamping, 0.6);
    EXPECT_DOUBLE_EQ(records[0].initialSpringVelocity, 2);
    EXPECT_DOUBLE_EQ(records[0].delay, 0.1);
}
