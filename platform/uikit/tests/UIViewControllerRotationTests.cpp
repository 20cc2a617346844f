#include "platform/foundation/NSNotificationCenter.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIDevice.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

#include <gtest/gtest.h>

namespace {
// Writes its rotation callbacks, with the orientation it stands in at each, into a journal.
class TurningController : public UIViewController {
public:
    TurningController(std::string name, bool turns, std::vector<std::string>& journal)
        : name_(std::move(name)), turns_(turns), journal_(journal) {}
    bool shouldAutorotate() const override { return turns_; }
    bool shouldAutorotateToInterfaceOrientation(UIInterfaceOrientation o) override { return o != UIInterfaceOrientationPortraitUpsideDown; }
    void willRotateToInterfaceOrientationDuration(UIInterfaceOrientation to, double) override { note("will", to); }
    void willAnimateRotationToInterfaceOrientationDuration(UIInterfaceOrientation to, double) override { note("animate", to); }
    void didRotateFromInterfaceOrientation(UIInterfaceOrientation from) override { note("did", from); }

private:
    void note(const char* what, long o) {
        journal_.push_back(name_ + " " + what + " " + std::to_string(o) + " in " + std::to_string(interfaceOrientation()) + " bar " +
                           std::to_string(UIApplication::sharedApplication()->statusBarOrientation()));
    }
    std::string name_;
    bool turns_;
    std::vector<std::string>& journal_;
};

class RotationTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        DeviceProfile::update([](DeviceProfile& p) { p.orientation = UIDeviceOrientationPortrait; });
        UIApplication::sharedApplication()->reset();
    }
    void TearDown() override {
        UIApplication::sharedApplication()->reset();
        DeviceTest::TearDown();
    }
    std::vector<std::string> journal_;
};
} // namespace

// The controller in front decides whether the interface turns: one that refuses keeps every
// controller as it stood; once it is gone the root turns, hearing its callbacks in order, and an
// orientation it refuses (or face up) leaves it where it was.
TEST_F(RotationTest, TheControllerInFrontDecidesTheTurn) {
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    auto root = std::make_shared<TurningController>("root", true, journal_);
    auto still = std::make_shared<TurningController>("still", false, journal_);
    window->setRootViewController(root);
    window->makeKeyAndVisible();
    root->presentViewControllerAnimatedCompletion(still, false, nullptr);
    auto app = UIApplication::sharedApplication();

    app->rotateDevice(UIDeviceOrientationLandscapeLeft);
    EXPECT_TRUE(journal_.empty());
    EXPECT_EQ(app->statusBarOrientation(), UIInterfaceOrientationPortrait);
    EXPECT_EQ(app->displayedInterfaceOrientation(), UIInterfaceOrientationPortrait);
    EXPECT_EQ(root->view()->bounds(), CGRectMake(0, 0, 320, 568));

    root->dismissViewControllerAnimatedCompletion(false, nullptr);
    app->rotateDevice(UIDeviceOrientationLandscapeLeft);
    EXPECT_EQ(journal_, (std::vector<std::string>{"root will 3 in 1 bar 1", "root animate 3 in 3 bar 1", "root did 1 in 3 bar 3"}));
    EXPECT_EQ(root->interfaceOrientation(), UIInterfaceOrientationLandscapeRight);
    EXPECT_EQ(app->displayedInterfaceOrientation(), UIInterfaceOrientationLandscapeRight);

    journal_.clear();
    app->rotateDevice(UIDeviceOrientationPortraitUpsideDown);
    app->rotateDevice(UIDeviceOrientationFaceUp);
    EXPECT_TRUE(journal_.empty());
    EXPECT_EQ(app->statusBarOrientation(), UIInterfaceOrientationLandscapeRight);
    app->rotateDevice(UIDeviceOrientationPortrait);
    EXPECT_EQ(journal_, (std::vector<std::string>{"root will 1 in 3 bar 3", "root animate 1 in 1 bar 3", "root did 3 in 1 bar 1"}));

    // Presented while the interface is turned, a controller stands as the interface does.
    app->rotateDevice(UIDeviceOrientationLandscapeRight);
    root->presentViewControllerAnimatedCompletion(still, false, nullptr);
    EXPECT_EQ(still->interfaceOrientation(), UIInterfaceOrientationLandscapeLeft);
    EXPECT_EQ(still->view()->bounds(), CGRectMake(0, 0, 568, 320));
    EXPECT_EQ(root->modalViewController(), still);
}

namespace {
class AnsweringDelegate : public UIApplicationDelegate {
public:
    explicit AnsweringDelegate(unsigned long mask) : mask_(mask) {}
    bool applicationDidFinishLaunchingWithOptions(UIApplication&, const Value&) override { return true; }
    std::optional<unsigned long> applicationSupportedInterfaceOrientationsForWindow(UIApplication&,
                                                                                   const std::shared_ptr<UIWindow>&) override {
        return mask_;
    }

private:
    unsigned long mask_;
};

class EverySideController : public UIViewController {
public:
    unsigned long supportedInterfaceOrientations() const override { return UIInterfaceOrientationMaskAll; }
};
} // namespace

// What the app allows bounds every turn: the orientations its Info.plist lists (portrait and
// both landscapes), or its delegate's answer when it gives one; a phone's plain controller
// refuses upside down of itself.
TEST_F(RotationTest, TheAppsOrientationsBoundTheTurn) {
    struct Case {
        const char* what;
        std::optional<unsigned long> delegateAnswer;
        bool everySide;
        UIDeviceOrientation device;
        UIInterfaceOrientation shown;
    } const cases[] = {
        {"the Info.plist lists landscape", std::nullopt, false, UIDeviceOrientationLandscapeRight, UIInterfaceOrientationLandscapeLeft},
        {"the Info.plist leaves out upside down", std::nullopt, true, UIDeviceOrientationPortraitUpsideDown,
         UIInterfaceOrientationPortrait},
        {"a phone's controller refuses upside down", UIInterfaceOrientationMaskAll, false,
         UIDeviceOrientationPortraitUpsideDown, UIInterfaceOrientationPortrait},
        {"the delegate allows upside down", UIInterfaceOrientationMaskAll, true, UIDeviceOrientationPortraitUpsideDown,
         UIInterfaceOrientationPortraitUpsideDown},
        {"the delegate answers portrait", UIInterfaceOrientationMaskPortrait, true, UIDeviceOrientationLandscapeLeft,
         UIInterfaceOrientationPortrait},
    };
    for (const auto& c : cases) {
        SetUp();
        auto app = UIApplication::sharedApplication();
        if (c.delegateAnswer) app->setDelegate(std::make_shared<AnsweringDelegate>(*c.delegateAnswer));
        auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
        window->setRootViewController(c.everySide ? std::make_shared<EverySideController>() : std::make_shared<UIViewController>());
        window->makeKeyAndVisible();
        app->rotateDevice(c.device);
        EXPECT_EQ(app->statusBarOrientation(), c.shown) << c.what;
        EXPECT_EQ(app->displayedInterfaceOrientation(), c.shown) << c.what;
        EXPECT_EQ(UIDevice::currentDevice()->orientation(), c.device) << c.what;
        TearDown();
    }
}
