// The display of a whole screen: each layer a person sees on the device is painted, in front of
// what it covers, and hides what a full-screen presentation covers.

#include "platform/graphics/CGContext.h"
#include "platform/uikit/MFMailComposeViewController.h"
#include "platform/uikit/SLComposeViewController.h"
#include "platform/uikit/UIActivityViewController.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIDisplay.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UINavigationBar.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITabBar.h"
#include "platform/uikit/UITabBarItem.h"
#include "platform/uikit/UITableViewCell.h"
#include "platform/uikit/UIWindow.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {
struct Colour {
    int red, green, blue;
};
constexpr Colour kWhite{255, 255, 255}, kRed{255, 0, 0}, kBlack{0, 0, 0};
constexpr Colour kPanel{248, 248, 248}, kDimmedWhite{153, 153, 153}, kDimmedRed{153, 0, 0}, kButton{0, 122, 255};

// A colour at a point, or somewhere in an area, of the screen (in points).
struct AreaProbe {
    CGRect where;
    Colour colour;
    int tolerance = 3;
};

bool near(const CGImage::Pixel& p, const Colour& c, int tolerance) {
    return std::abs(p.red - c.red) <= tolerance && std::abs(p.green - c.green) <= tolerance && std::abs(p.blue - c.blue) <= tolerance;
}

bool shows(const CGImage& screen, const AreaProbe& probe) {
    auto r = probe.where;
    for (int y = static_cast<int>(r.origin.y * 2); y < static_cast<int>((r.origin.y + std::max(r.size.height, 0.5)) * 2); ++y)
        for (int x = static_cast<int>(r.origin.x * 2); x < static_cast<int>((r.origin.x + std::max(r.size.width, 0.5)) * 2); ++x)
            if (near(screen.pixelAt(x, y), probe.colour, probe.tolerance)) return true;
    return false;
}

CGRect at(CGFloat x, CGFloat y) { return CGRectMake(x, y, 0, 0); }

UIImagePtr square(const Colour& c, int side) {
    auto bitmap = CGImage::createWithSize(side, side);
    CGContext context(bitmap, 1);
    context.setFillColor(c.red / 255.0, c.green / 255.0, c.blue / 255.0, 1);
    context.fillRect(CGRectMake(0, 0, side, side));
    return UIImage::imageWithCGImage(bitmap);
}

// A cell made by its constructor, as a subclass is.
class BigCell : public UITableViewCell {
public:
    BigCell() : UITableViewCell(UITableViewCellStyleDefault, "big") {}
};

// Calls the base's drawRect, then draws its own content.
class SuperCallingView : public UIView {
public:
    using UIView::UIView;
    void drawRect(const CGRect& rect) override {
        UIView::drawRect(rect);
        UIColor::redColor()->setFill();
        UIGraphicsGetCurrentContext()->fillRect(CGRectMake(0, 0, 10, 10));
    }
};

struct DisplayLayersTest : ::testing::Test {
    void SetUp() override {
        UIApplication::sharedApplication()->reset();
        window_ = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
        window_->setBackgroundColor(UIColor::whiteColor());
        root_ = std::make_shared<UIViewController>();
        window_->setRootViewController(root_);
        window_->makeKeyAndVisible();
        root_->view()->setBackgroundColor(UIColor::redColor());
    }
    void TearDown() override {
        UITabBarItem::appearance()->setTitleTextAttributesForState({}, UIControlStateNormal);
        UITabBarItem::appearance()->setTitleTextAttributesForState({}, UIControlStateHighlighted);
        UIApplication::sharedApplication()->reset();
        keep_.reset();
    }

    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<UIViewController> root_;
    // A controller whose view is shown without a parent controller holding it.
    std::shared_ptr<UIViewController> keep_;
};
} // namespace

TEST_F(DisplayLayersTest, EachLayerShowsOverWhatItCovers) {
    struct Case {
        const char* name;
        std::function<void(DisplayLayersTest&)> setUp;
        std::vector<AreaProbe> probes;
    };
    const Case cases[] = {
        {"an alert's box and buttons over the dimmed screen",
         [](DisplayLayersTest&) { UIAlertView::initWithTitle("Error", "You have to browse for a song first!", nullptr, "Dismiss")->show(); },
         {{at(5, 5), kDimmedRed}, {at(30, 284), kPanel}, {CGRectMake(100, 290, 120, 50), kButton, 40}}},
        {"two alert buttons side by side, the cancel one on the left",
         [](DisplayLayersTest&) { UIAlertView::initWithTitle("Clean", "", nullptr, "Cancel", {"Clean"})->show(); },
         {{CGRectMake(40, 280, 100, 30), kButton, 40}, {CGRectMake(180, 280, 100, 30), kButton, 40}}},
        {"the activity sheet over the dimmed screen, its Cancel button at the foot",
         [](DisplayLayersTest& t) {
             auto sheet = UIActivityViewController::initWithActivityItemsApplicationActivities({}, {});
             t.root_->presentViewControllerAnimatedCompletion(sheet, false, nullptr);
         },
         {{at(5, 5), kDimmedRed}, {at(20, 540), kPanel}, {CGRectMake(100, 520, 120, 40), kButton, 40}}},
        {"a social sheet is a card over the dimmed screen",
         [](DisplayLayersTest& t) {
             t.root_->presentViewControllerAnimatedCompletion(SLComposeViewController::composeViewControllerForServiceType(SLServiceTypeTwitter),
                                                             false, nullptr);
         },
         {{at(5, 300), kDimmedRed}, {at(20, 200), kPanel}, {CGRectMake(260, 40, 60, 44), kButton, 40}}},
        {"a full-screen presentation hides what it covers",
         [](DisplayLayersTest& t) { t.root_->presentViewControllerAnimatedCompletion(std::make_shared<UIViewController>(), false, nullptr); },
         {{at(160, 300), kWhite}}},
        {"the mail sheet fills the screen under its bar",
         [](DisplayLayersTest& t) { t.root_->presentViewControllerAnimatedCompletion(std::make_shared<MFMailComposeViewController>(), false, nullptr); },
         {{at(160, 30), {247, 247, 247}}, {at(160, 400), kWhite}, {CGRectMake(250, 20, 70, 44), kButton, 40}}},
        {"a bar button with an image and no title shows the image in the bar's tint",
         [](DisplayLayersTest& t) {
             auto content = std::make_shared<UIViewController>();
             content->navigationItem()->setRightBarButtonItem(
                 UIBarButtonItem::initWithImage(square(kRed, 30), UIBarButtonItemStylePlain, nullptr, nullptr));
             auto navigation = UINavigationController::initWithRootViewController(content);
             navigation->navigationBar()->setTintColor(UIColor::blackColor());
             navigation->navigationBar()->setBarTintColor(UIColor::whiteColor());
             t.root_->presentViewControllerAnimatedCompletion(navigation, false, nullptr);
         },
         {{CGRectMake(280, 20, 40, 44), kBlack}}},
        {"the selected tab's title takes the highlighted colour, the others the normal one",
         [](DisplayLayersTest& t) {
             UITabBarItem::appearance()->setTitleTextAttributesForState({UIColor::whiteColor(), nullptr}, UIControlStateNormal);
             UITabBarItem::appearance()->setTitleTextAttributesForState({UIColor::colorWithRed(0, 1, 0, 1), nullptr},
                                                                        UIControlStateHighlighted);
             auto bar = std::make_shared<UITabBar>(CGRectMake(0, 519, 320, 49));
             bar->setBarTintColor(UIColor::blackColor());
             auto files = UITabBarItem::initWithTitleImageTag("Files", nullptr, 0);
             auto media = UITabBarItem::initWithTitleImageTag("Media", nullptr, 1);
             bar->setItems({files, media});
             bar->setSelectedItem(files);
             t.root_->view()->addSubview(bar);
         },
         {{CGRectMake(0, 550, 160, 16), {0, 255, 0}, 30}, {CGRectMake(160, 550, 160, 16), kWhite, 10}}},
        {"a cell made by a subclass's constructor shows its label",
         [](DisplayLayersTest& t) {
             auto cell = std::make_shared<BigCell>();
             cell->setBackgroundColor(UIColor::whiteColor());
             cell->textLabel()->setText("WWWW");
             cell->setFrame(CGRectMake(0, 100, 320, 44));
             t.root_->view()->addSubview(cell);
         },
         {{CGRectMake(0, 100, 200, 44), kBlack, 40}}},
        {"a cell draws its chevron",
         [](DisplayLayersTest& t) {
             auto cell = UITableViewCell::initWithStyleReuseIdentifier(UITableViewCellStyleDefault, "plain");
             cell->setBackgroundColor(UIColor::whiteColor());
             cell->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
             cell->setFrame(CGRectMake(0, 100, 320, 44));
             t.root_->view()->addSubview(cell);
         },
         {{CGRectMake(290, 110, 20, 24), {199, 199, 199}, 20}}},
        {"a navigation bar lower on the screen starts at its view's top",
         [](DisplayLayersTest& t) {
             auto navigation = UINavigationController::initWithRootViewController(std::make_shared<UIViewController>());
             navigation->navigationBar()->setBarTintColor(UIColor::blackColor());
             navigation->view()->setFrame(CGRectMake(0, 200, 320, 300));
             t.root_->view()->addSubview(navigation->view());
             t.keep_ = navigation;
         },
         {{at(160, 195), kRed}, {at(160, 203), kBlack}, {at(160, 240), kBlack}}},
        {"a view that calls the base's drawRect keeps what it drew after",
         [](DisplayLayersTest& t) { t.root_->view()->addSubview(std::make_shared<SuperCallingView>(CGRectMake(100, 100, 20, 20))); },
         {{at(105, 105), kRed}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        c.setUp(*this);
        auto screen = UIDisplaySnapshot();
        ASSERT_TRUE(screen);
        for (const auto& probe : c.probes) {
            auto r = probe.where;
            auto first = screen->pixelAt(static_cast<int>(r.origin.x * 2), static_cast<int>(r.origin.y * 2));
            EXPECT_TRUE(shows(*screen, probe))
                << "(" << int(first.red) << ", " << int(first.green) << ", " << int(first.blue) << ") where there should be ("
                << probe.colour.red << ", " << probe.colour.green << ", " << probe.colour.blue << ") at " << r.origin.x << ","
                << r.origin.y;
        }
    }
}

TEST_F(DisplayLayersTest, TheAlertWindowGoesWithTheLastAlertAndShowsTheFrontOne) {
    auto first = UIAlertView::initWithTitle("First", "", nullptr, "OK");
    auto second = UIAlertView::initWithTitle("Second", "a longer message that takes a second line in the box", nullptr, "OK");
    first->show();
    second->show();
    // The front alert is the taller one: its box reaches further up than the first's would.
    auto top = second->frameOnScreen().origin.y;
    EXPECT_LT(top, first->frameOnScreen().origin.y);
    auto screen = UIDisplaySnapshot();
    EXPECT_TRUE(near(screen->pixelAt(60, static_cast<int>((top + 3) * 2)), kPanel, 3));
    second->dismissWithClickedButtonIndexAnimated(0, false);
    first->dismissWithClickedButtonIndexAnimated(0, false);
    screen = UIDisplaySnapshot();
    EXPECT_TRUE(near(screen->pixelAt(10, 10), kRed, 0)) << "the screen stays dimmed after the alerts went";
}
