#include "platform/device/Driver.h"
#include "platform/media/MPMediaPickerController.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/testsupport/TestMediaLibrary.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIWindow.h"

#include <gtest/gtest.h>

namespace {

class PickerDelegate : public MPMediaPickerControllerDelegate {
public:
    void mediaPickerDidPickMediaItems(MPMediaPickerController&, const std::vector<MPMediaItemPtr>& items) override {
        for (const auto& item : items) picked.push_back(item->title());
    }
    std::vector<std::string> picked;
};

class MediaPickerScreenTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        UIApplication::sharedApplication()->reset();
        TestMediaLibrary::make();
        root_ = std::make_shared<UIViewController>();
        window_ = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
        window_->setRootViewController(root_);
        window_->makeKeyAndVisible();
        picker_ = MPMediaPickerController::initWithMediaTypes(MPMediaTypeMusic);
        picker_->setDelegate(delegate_);
        root_->presentViewControllerAnimatedCompletion(picker_, false, nullptr);
        drainMain();
    }
    void TearDown() override {
        UIApplication::sharedApplication()->reset();
        DeviceTest::TearDown();
    }

    Driver driver_;
    std::shared_ptr<UIViewController> root_;
    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<MPMediaPickerController> picker_;
    std::shared_ptr<PickerDelegate> delegate_ = std::make_shared<PickerDelegate>();
};

TEST_F(MediaPickerScreenTest, TheScreenListsTheSongsAndARowPicksOne) {
    const std::string screen = driver_.execute("screen");
    for (const char* shown : {"Songs", "Cancel", "Evening Song", "Morning Tune", "Untitled Track", "Sample Band"})
        EXPECT_NE(screen.find(shown), std::string::npos) << shown << " missing from\n" << screen;
    EXPECT_EQ(driver_.execute("tap Morning Tune"), "");
    EXPECT_EQ(delegate_->picked, std::vector<std::string>{"Morning Tune"});
}

TEST_F(MediaPickerScreenTest, CancelWithoutADelegateAnswerDismissesThePicker) {
    EXPECT_EQ(driver_.execute("tap Cancel"), "");
    EXPECT_TRUE(runMainUntil([&] { return !root_->presentedViewController(); }));
    EXPECT_TRUE(delegate_->picked.empty());
}

} // namespace
