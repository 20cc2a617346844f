#include "PopoverTestSupport.h"

#include "controls/popover/PVPopoverBackgroundView.h"
#include "platform/uikit/UIFingers.h"
#include "platform/uikit/UINavigationController.h"

namespace {

std::shared_ptr<PVPopoverBackgroundView> bubbleWith(const std::shared_ptr<PVPopoverTheme>& theme, unsigned long direction,
                                                   CGRect frame) {
    auto bubble = std::make_shared<PVPopoverBackgroundView>(frame.size);
    bubble->setThemeValues(theme->values());
    bubble->setArrowDirection(direction);
    bubble->setFrame(frame);
    return bubble;
}

TEST(PVPopoverBackgroundViewTest, RectanglesOfTheTwoThemes) {
    auto six = bubbleWith(PVPopoverTheme::themeForIOS6(), PVPopoverArrowDirectionUp, CGRectMake(0, 0, 300, 200));
    expectRect(six->outerRect(), CGRectMake(8, 24, 284, 166));
    expectRect(six->innerRect(), CGRectMake(13, 32, 274, 153));
    UIEdgeInsets insets = six->outerShadowInsets();
    EXPECT_EQ(insets, UIEdgeInsetsMake(6, 8, 10, 8));
    CGSize fits = six->sizeThatFits(CGSizeMake(200, 100));
    EXPECT_EQ(fits.width, 228);
    EXPECT_EQ(fits.height, 146);

    auto seven = bubbleWith(PVPopoverTheme::themeForIOS7(), PVPopoverArrowDirectionUp, CGRectMake(0, 0, 300, 200));
    expectRect(seven->outerRect(), CGRectMake(0, 13, 300, 187));
    expectRect(seven->innerRect(), seven->outerRect());
    expectRect(seven->arrowRect(), CGRectMake(138, 0, 25, 13));
    seven->setArrowDirection(PVPopoverArrowDirectionRight);
    expectRect(seven->arrowRect(), CGRectMake(287, 88, 13, 25));
    seven->setArrowDirection(PVPopoverNoArrow);
    expectRect(seven->outerRect(), CGRectMake(0, 0, 300, 200));
}

TEST(PVPopoverBackgroundViewTest, NavigationContentStartsAtTheTopOfTheBody) {
    auto six = bubbleWith(PVPopoverTheme::themeForIOS6(), PVPopoverArrowDirectionUp, CGRectMake(0, 0, 300, 200));
    auto nav = UINavigationController::initWithRootViewController(std::make_shared<UIViewController>());
    six->setViewController(nav);
    ASSERT_GT(six->navigationBarHeight(), 0);
    expectRect(six->innerRect(), CGRectMake(13, 26, 274, 159));
    expectRect(six->contentView()->frame(), CGRectMake(13, 26, 274, 159));
    ASSERT_TRUE(six->innerView());
    expectRect(six->innerView()->frame(), six->contentView()->frame());
    EXPECT_FALSE(six->innerView()->isUserInteractionEnabled());
    EXPECT_EQ(six->innerView()->gradientHeight(), 200 - 16);
    EXPECT_EQ(six->innerView()->gradientTopPosition(), 26 - 6);
}

TEST(PVPopoverBackgroundViewTest, ArrowOffsetTakesTheShadowAndStaysOffTheCorners) {
    // iOS 6: shadow offset (0, 2); the straight part of the top edge is 284 - 2 * 21.5 long.
    struct Case { unsigned long direction; float given, stored; } cases[] = {
        {PVPopoverArrowDirectionUp, 0, 0},      {PVPopoverArrowDirectionUp, 500, 120.5f},
        {PVPopoverArrowDirectionUp, -500, -120.5f}, {PVPopoverArrowDirectionUp, 40, 40},
        {PVPopoverArrowDirectionLeft, 0, 2},    {PVPopoverArrowDirectionLeft, 10, 12},
        {PVPopoverArrowDirectionLeft, -10, -8}, {PVPopoverNoArrow, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.given);
        auto bubble = bubbleWith(PVPopoverTheme::themeForIOS6(), c.direction, CGRectMake(0, 0, 300, 200));
        bubble->setArrowOffset(c.given);
        EXPECT_FLOAT_EQ(bubble->arrowOffset(), c.stored);
    }
}

class TouchOutside : public PVPopoverBackgroundViewDelegate {
public:
    int touches = 0;
    void popoverBackgroundViewDidTouchOutside(const std::shared_ptr<PVPopoverBackgroundView>&) override { ++touches; }
};

TEST(PVPopoverBackgroundViewTest, ATouchInTheShadowMarginCountsAsOutside) {
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    auto bubble = bubbleWith(PVPopoverTheme::themeForIOS6(), PVPopoverArrowDirectionUp, CGRectMake(0, 0, 300, 200));
    auto delegate = std::make_shared<TouchOutside>();
    bubble->setDelegate(delegate);
    window->addSubview(bubble);
    UIFingers fingers(window);
    struct Case { CGPoint at; int outside; } cases[] = {
        {{150, 100}, 0}, // body
        {{150, 15}, 0},  // arrow
        {{3, 100}, 1},   // left shadow margin
        {{20, 10}, 1},   // beside the arrow
        {{150, 195}, 1}, // bottom shadow margin
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(NSStringFromCGPoint(c.at));
        delegate->touches = 0;
        fingers.tap(c.at);
        EXPECT_EQ(delegate->touches, c.outside);
    }
}

CGPoint lastPointOfLastCurve(const CGPath& path) {
    CGPoint p{};
    for (const auto& e : path.elements())
        if (e.type == CGPathElementType::AddCurveToPoint) p = e.points[2];
    return p;
}

TEST(PVPopoverBubblePathTest, CornersBesideTheArrowTakeWhatIsLeftOfTheEdge) {
    // Top edge 0..100, arrow base 25 (drawn 24 wide), corner radius 8.
    struct Case { float offset; CGFloat arrowStartX, firstLineX, lastArcEndX; } cases[] = {
        {0, 38, 92, 8},     // centred: every corner 8
        {30, 68, 92, 8},    // 8 left beside the arrow: still 8
        {33, 71, 95, 8},    // 5 left: the top right corner shrinks to 5
        {38, 76, 100, 8},   // against the end: a square corner
        {-33, 5, 92, 5},    // moved left: the top left corner shrinks instead
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.offset);
        auto path = PVPopoverBubblePath(CGRectMake(0, 0, 100, 60), PVPopoverArrowDirectionUp, c.offset, 25, 10, 8);
        const auto& elements = path->CGPath()->elements();
        ASSERT_GE(elements.size(), 4u);
        EXPECT_EQ(elements[0].points[0].x, c.arrowStartX);
        EXPECT_EQ(elements[1].points[0].y, -10);
        EXPECT_EQ(elements[2].points[0].x, c.arrowStartX + 24);
        EXPECT_NEAR(elements[3].points[0].x, c.firstLineX, 1e-9);
        EXPECT_NEAR(lastPointOfLastCurve(*path->CGPath()).x, c.lastArcEndX, 1e-9);
    }
}

TEST(PVPopoverBubblePathTest, NoArrowIsARoundedRectangleFromTheRightEdge) {
    auto path = PVPopoverBubblePath(CGRectMake(0, 0, 100, 60), PVPopoverNoArrow, 12, 25, 10, 8);
    const auto& elements = path->CGPath()->elements();
    ASSERT_FALSE(elements.empty());
    EXPECT_EQ(elements.front().points[0].x, 100);
    EXPECT_EQ(elements.front().points[0].y, 30);
    EXPECT_EQ(elements.back().type, CGPathElementType::CloseSubpath);
    CGRect box = path->bounds();
    expectRect(box, CGRectMake(0, 0, 100, 60), 0.5);
}

TEST(PVPopoverBackgroundViewTest, DrawsOnlyForItsOwnLayer) {
    auto bubble = bubbleWith(PVPopoverTheme::themeForIOS6(), PVPopoverArrowDirectionUp, CGRectMake(0, 0, 100, 100));
    auto count = [](const CGImage& image) {
        int painted = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) painted += image.pixelAt(x, y).alpha > 0;
        return painted;
    };
    auto other = std::make_shared<CALayer>();
    other->setName("other");
    auto a = CGImage::createWithSize(100, 100);
    auto first = std::make_shared<CGContext>(a, 1);
    bubble->drawLayerInContext(*other, *first);
    EXPECT_EQ(count(*a), 0);
    EXPECT_EQ(bubble->layer()->name(), "parent");
    auto b = CGImage::createWithSize(100, 100);
    auto second = std::make_shared<CGContext>(b, 1);
    bubble->drawLayerInContext(*bubble->layer(), *second);
    EXPECT_GT(count(*b), 1000);
}

} // namespace

namespace {

CGImageRef paintInnerView(const std::shared_ptr<PVPopoverBackgroundInnerView>& view) {
    auto bitmap = CGImage::createWithSize(50, 50);
    auto context = std::make_shared<CGContext>(bitmap, 1);
    view->layer()->renderInContext(*context);
    return bitmap;
}

TEST(PVPopoverBackgroundInnerViewTest, FramedCornersAndTheFlatOutline) {
    struct Case {
        const char* name;
        float border;
        bool defaultAppearance;
        bool topCornerBlue;   // the bubble's gradient continued into the corner
        bool topCornerRed;    // the outline runs square through the corner
        bool bottomCornerRed;
    } cases[] = {
        {"framed", 6, false, true, false, false},
        {"flat: square top, rounded bottom", 0, false, false, true, false},
        {"default appearance: square", 6, true, false, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto view = std::make_shared<PVPopoverBackgroundInnerView>(CGRectMake(0, 0, 50, 50));
        view->setBorderWidth(c.border);
        view->setWantsDefaultContentAppearance(c.defaultAppearance);
        view->setInnerCornerRadius(8);
        view->setInnerStrokeColor(UIColor::redColor());
        view->setGradientTopColor(UIColor::blueColor());
        view->setGradientBottomColor(UIColor::blueColor());
        view->setGradientHeight(50);
        view->setInnerShadowColor(UIColor::clearColor());
        auto image = paintInnerView(view);
        auto top = image->pixelAt(0, 0), bottom = image->pixelAt(0, 49);
        EXPECT_EQ(top.blue > 200 && top.red < 50, c.topCornerBlue);
        EXPECT_EQ(top.red > 200, c.topCornerRed);
        EXPECT_EQ(bottom.red > 200, c.bottomCornerRed);
    }
}

} // namespace
