#include "platform/foundation/NSNotificationCenter.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/uikit/UIApplication.h"
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
        UIApplication::sharedApplication()->reset();
    }
    void TearDown() override {
        UIApplication::sharedApplication()->reset();
        DeviceTest::TearDown();
    }
    std::vector<std::string> journal_;
};
} // namespace

// The root controller and what it presents turn in order; one that refuses stays as it stood,
// and an orientation it refuses leaves the turning one where it was.
TEST_F(RotationTest, ControllersOnScreenTurnWhenTheyMay) {
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    auto root = std::make_shared<TurningController>("root", true, journal_);
    auto still = std::make_shared<TurningController>("still", false, journal_);
    window->setRootViewController(root);
    window->makeKeyAndVisible();
    root->presentViewControllerAnimatedCompletion(still, false, nullptr);
    auto app = UIApplication::sharedApplication();

    app->rotateDevice(UIDeviceOrientationLandscapeLeft);
    EXPECT_EQ(journal_, (std::vector<std::string>{"root will 3 in 1 bar 1", "root animate 3 in 3 bar 1", "root did 1 in 3 bar 3"}));
    EXPECT_EQ(root->interfaceOrientation(), UIInterfaceOrientationLandscapeRight);
    EXPECT_EQ(still->interfaceOrientation(), UIInterfaceOrientationPortrait);

    journal_.clear();
    app->rotateDevice(UIDeviceOrientationPortraitUpsideDown);
    EXPECT_TRUE(journal_.empty());
    EXPECT_EQ(root->interfaceOrientation(), UIInterfaceOrientationLandscapeRight);
    app->rotateDevice(UIDeviceOrientationFaceUp);
    EXPECT_EQ(journal_, (std::vector<std::string>{"root will 1 in 3 bar 2", "root animate 1 in 1 bar 2", "root did 2 in 1 bar 1"}));
    EXPECT_EQ(still->interfaceOrientation(), UIInterfaceOrientationPortrait);

    // Shown again, a controller stands as the interface does.
    root->dismissViewControllerAnimatedCompletion(false, nullptr);
    app->rotateDevice(UIDeviceOrientationLandscapeRight);
    root->presentViewControllerAnimatedCompletion(still, false, nullptr);
    EXPECT_EQ(still->interfaceOrientation(), UIInterfaceOrientationLandscapeLeft);
    EXPECT_EQ(still->modalViewController(), nullptr);
    EXPECT_EQ(root->modalViewController(), still);
}
