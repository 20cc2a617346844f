#include "platform/device/Driver.h"
#include "platform/foundation/NSFoundationVersionNumber.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/uikit/CATextLayer.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIDisplay.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITabBarController.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

#include <gtest/gtest.h>

namespace {
// Notes where touches begin, in its window's coordinates.
class Pad : public UIView {
public:
    Pad(const CGRect& frame, std::string name, std::vector<std::string>& journal)
        : UIView(frame), name_(std::move(name)), journal_(journal) {}
    void touchesBeganWithEvent(const UITouchSet& touches, const std::shared_ptr<UIEvent>&) override {
        auto p = touches.front()->locationInView(nullptr);
        journal_.push_back(name_ + " " + std::to_string(static_cast<int>(p.x)) + "," + std::to_string(static_cast<int>(p.y)));
    }

private:
    std::string name_;
    std::vector<std::string>& journal_;
};

class KeyWindow : public UIWindow {
public:
    KeyWindow(const CGRect& frame, std::string name, std::vector<std::string>& journal)
        : UIWindow(frame), name_(std::move(name)), journal_(journal) {}
    void becomeKeyWindow() override { journal_.push_back(name_ + " key"); }
    void resignKeyWindow() override { journal_.push_back(name_ + " resigns"); }

private:
    std::string name_;
    std::vector<std::string>& journal_;
};

class WindowsTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        UIApplication::sharedApplication()->reset();
        app_ = std::make_shared<KeyWindow>(CGRectMake(0, 0, 320, 568), "app", keys_);
        app_->addSubview(std::make_shared<Pad>(app_->bounds(), "app", touches_));
        app_->makeKeyAndVisible();
    }
    void TearDown() override {
        UIApplication::sharedApplication()->reset();
        DeviceTest::TearDown();
    }
    // A window over part of the screen, with a pad filling it.
    std::shared_ptr<KeyWindow> overlay(const CGRect& frame, CGFloat level, const std::string& name, UIColorPtr colour) {
        auto w = std::make_shared<KeyWindow>(frame, name, keys_);
        w->setWindowLevel(level);
        auto pad = std::make_shared<Pad>(w->bounds(), name, touches_);
        pad->setBackgroundColor(std::move(colour));
        w->addSubview(pad);
        return w;
    }

    Driver driver_;
    std::vector<std::string> keys_, touches_;
    std::shared_ptr<KeyWindow> app_;
};
} // namespace

TEST_F(WindowsTest, TouchesAndTheDisplayFollowLevelsAndKeyStatusPasses) {
    auto alert = overlay(CGRectMake(0, 0, 320, 300), UIWindowLevelAlert, "alert", UIColor::colorWithRed(1, 0, 0, 1));
    alert->makeKeyAndVisible();
    // Shown later at a lower level: it stands behind the alert-level window.
    auto circle = overlay(CGRectMake(0, 200, 320, 200), 1999, "circle", UIColor::colorWithRed(0, 0, 1, 1));
    circle->setHidden(false);
    EXPECT_EQ(keys_, (std::vector<std::string>{"app key", "app resigns", "alert key"}));
    EXPECT_TRUE(circle->isVisible());
    EXPECT_EQ(UIApplication::sharedApplication()->windowsInFrontOf(app_),
              (std::vector<std::shared_ptr<UIWindow>>{alert, circle}));

    // The pads take no taps: each touch only begins on the front-most window holding the point.
    for (auto point : {"touch 100,250", "touch 100,350", "touch 100,500"}) driver_.execute(point);
    EXPECT_EQ(touches_, (std::vector<std::string>{"alert 100,250", "circle 100,150", "app 100,500"}));

    auto screen = UIDisplaySnapshot();
    CGFloat scale = UIScreen::mainScreen()->scale();
    EXPECT_EQ(screen->pixelAt(static_cast<int>(100 * scale), static_cast<int>(250 * scale)), (CGImage::Pixel{255, 0, 0, 255}));
    EXPECT_EQ(screen->pixelAt(static_cast<int>(100 * scale), static_cast<int>(350 * scale)), (CGImage::Pixel{0, 0, 255, 255}));

    // The app's window stays the one the screen describes while another is key; key status goes back.
    EXPECT_EQ(driver_.window(), app_);
    app_->makeKeyWindow();
    EXPECT_EQ(keys_.back(), "app key");
    EXPECT_EQ(keys_[keys_.size() - 2], "alert resigns");
    // A released window leaves the screen.
    alert.reset();
    EXPECT_EQ(UIApplication::sharedApplication()->windowsInFrontOf(app_), (std::vector<std::shared_ptr<UIWindow>>{circle}));
}

TEST_F(WindowsTest, NamedAndTextLayersAreOutlinedAndServeAsEndpoints) {
    auto circle = overlay(CGRectMake(0, 100, 320, 300), 1999, "circle", nullptr);
    auto disc = circle->subviews().front()->layer();
    auto icon = CALayer::layer();
    icon->setFrame(CGRectMake(200, 100, 40, 40)); // centre (220, 220) on screen
    icon->setName("Mail");
    disc->addSublayer(icon);
    auto text = CATextLayer::layer();
    text->setFrame(CGRectMake(100, 10, 100, 30));
    text->setString("Drag to Share");
    disc->addSublayer(text);
    auto faded = CALayer::layer();
    faded->setName("Hidden");
    faded->setOpacity(0);
    disc->addSublayer(faded);
    circle->makeKeyAndVisible();

    auto screen = driver_.screen();
    EXPECT_NE(screen.find("views:\n  \"Drag to Share\"\n  (Mail)\n"), std::string::npos) << screen;
    EXPECT_EQ(screen.find("Hidden"), std::string::npos) << screen;
    driver_.execute("tap Mail");
    EXPECT_EQ(driver_.execute("drag Mail 10,10 2"), "");
    EXPECT_EQ(touches_, (std::vector<std::string>{"circle 220,120", "circle 220,120"}));
}

namespace {
// A page that names itself on the screen and closes by its "Done" button.
class Page : public UIViewController {
public:
    void describeToScreen(UIScreenDescription& screen) override {
        UIViewController::describeToScreen(screen);
        screen.addLine("page: shown");
        screen.addTappable("Done", [this](UIScreenReply&) {
            dismissViewControllerAnimatedCompletion(false, nullptr);
            return true;
        });
    }
};
} // namespace

TEST_F(WindowsTest, AControllerPresentedInAWindowInFrontSpeaksForItsView) {
    auto front = std::make_shared<UIWindow>(app_->bounds());
    front->setWindowLevel(UIWindowLevelStatusBar + 2);
    auto root = std::make_shared<UIViewController>();
    front->setRootViewController(root);
    front->setHidden(false);
    EXPECT_EQ(driver_.screen().find("page:"), std::string::npos);

    root->presentViewControllerAnimatedCompletion(std::make_shared<Page>(), false, nullptr);
    auto screen = driver_.screen();
    EXPECT_NE(screen.find("page: shown\n"), std::string::npos) << screen;
    EXPECT_EQ(driver_.execute("tap Done"), "");
    EXPECT_EQ(driver_.screen().find("page:"), std::string::npos) << driver_.screen();
}

TEST_F(WindowsTest, TabBarItemsHaveViewsAndTheSelectedItemIsObservable) {
    EXPECT_GT(NSFoundationVersionNumber, 993.0);
    auto tabs = std::make_shared<UITabBarController>();
    std::vector<std::shared_ptr<UIViewController>> controllers;
    for (int i = 0; i < 3; ++i) controllers.push_back(std::make_shared<UIViewController>());
    tabs->setViewControllersAnimated(controllers, false);
    app_->setRootViewController(tabs);
    app_->layoutIfNeeded();
    auto bar = tabs->tabBar();
    std::vector<bool> notices;
    bar->addObserverForKeyPath("selectedItem", [&](const std::string&, bool prior) { notices.push_back(prior); }, true);
    auto middle = bar->items()[1]->view();
    ASSERT_TRUE(middle);
    auto centre = middle->superview()->convertPointToView(middle->center(), nullptr);
    EXPECT_EQ(centre, CGPointMake(160, 568 - bar->frame().size.height / 2));
    tabs->setSelectedIndex(2);
    EXPECT_EQ(notices, (std::vector<bool>{true, false}));
    EXPECT_EQ(bar->selectedItem(), bar->items()[2]);
}
