#include "platform/media/UIImagePickerController.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/media/VideoFile.h"
#include "platform/system/DeviceProfile.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

struct PickDelegate : UIImagePickerControllerDelegate {
    std::vector<NSURLPtr> picked;
    std::vector<std::string> types;
    int cancels = 0;
    void imagePickerControllerDidFinishPickingMediaWithInfo(UIImagePickerController&, const Value::Dictionary& info) override {
        picked.push_back(info.at(UIImagePickerControllerMediaURL).objectAs<NSURL>());
        types.push_back(info.at(UIImagePickerControllerMediaType).stringValue());
    }
    void imagePickerControllerDidCancel(UIImagePickerController&) override { ++cancels; }
};

class ImagePickerCameraTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        DeviceProfile::reset();
        picker = std::make_shared<UIImagePickerController>();
        picker->setSourceType(UIImagePickerControllerSourceTypeCamera);
        picker->setMediaTypes({kUTTypeMovie});
        picker->setDelegate(delegate);
        picker->view();
    }
    std::shared_ptr<PickDelegate> delegate = std::make_shared<PickDelegate>();
    std::shared_ptr<UIImagePickerController> picker;
};

TEST_F(ImagePickerCameraTest, ClipLastsTheClockTimeFromRecordToStop) {
    ManualClock clock;
    EXPECT_TRUE(picker->useButton()->isHidden());
    picker->record();
    EXPECT_TRUE(picker->recordButton()->isHidden());
    EXPECT_FALSE(picker->stopButton()->isHidden());
    clock.advance(2);
    picker->stop();
    ASSERT_NE(picker->clipURL(), nullptr);
    const std::string path = picker->clipURL()->path();
    EXPECT_EQ(path.rfind("/tmp/", 0), 0u) << path;
    auto properties = VideoFile::propertiesOfFile(DeviceRoot::hostPath(path));
    ASSERT_TRUE(properties.has_value());
    EXPECT_NEAR(properties->duration, 2.0, 0.15);
    EXPECT_EQ(properties->width, 640);

    EXPECT_FALSE(picker->useButton()->isHidden());
    picker->useVideo();
    ASSERT_EQ(delegate->picked.size(), 1u);
    EXPECT_EQ(delegate->picked[0], picker->clipURL());
    EXPECT_EQ(delegate->types, std::vector<std::string>{"public.movie"});
}

TEST_F(ImagePickerCameraTest, CancelTellsTheDelegateAndUseNeedsAClip) {
    picker->useVideo();
    EXPECT_TRUE(delegate->picked.empty());
    picker->cancel();
    EXPECT_EQ(delegate->cancels, 1);
}

TEST_F(ImagePickerCameraTest, OnlyTheCameraSourceExistsAndOnlyWithACamera) {
    EXPECT_TRUE(UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceTypeCamera));
    EXPECT_FALSE(UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceTypePhotoLibrary));
    DeviceProfile::update([](DeviceProfile& p) { p.cameraCount = 0; });
    EXPECT_FALSE(UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceTypeCamera));
}

} // namespace
