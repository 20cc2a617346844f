#include "platform/media/UIImagePickerController.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/media/VideoFile.h"
#include "platform/system/DeviceProfile.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/testsupport/ScreenTest.h"
#include "platform/uikit/UIImageView.h"

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

// Clip numbers start again in each run: a name an earlier run's clip holds is skipped, not written
// over, and only whole clips are left in the folder.
TEST_F(ImagePickerCameraTest, AClipTakesTheNextFreeNameAndLeavesNothingElse) {
    ManualClock clock;
    auto take = [&] {
        picker->record();
        clock.advance(0.5);
        picker->stop();
        return picker->clipURL() ? picker->clipURL()->path() : std::string();
    };
    const std::string first = take();
    ASSERT_EQ(first.rfind("/tmp/capture-", 0), 0u) << first;
    const int number = std::stoi(first.substr(std::string("/tmp/capture-").size()));
    auto named = [](int n) { return "/tmp/capture-" + std::to_string(n) + ".mov"; };
    writeFile(named(number + 1), "an earlier run's clip");
    writeFile(named(number + 2), "another");
    EXPECT_EQ(take(), named(number + 3));
    EXPECT_EQ(readFile(named(number + 1)), "an earlier run's clip");
    EXPECT_EQ(readFile(named(number + 2)), "another");
    for (const auto& entry : std::filesystem::directory_iterator(host("/tmp")))
        EXPECT_EQ(entry.path().filename().string().rfind("capture-", 0), 0u) << entry.path();
}

TEST_F(ImagePickerCameraTest, CancelTellsTheDelegateAndUseNeedsAClip) {
    picker->useVideo();
    EXPECT_TRUE(delegate->picked.empty());
    picker->cancel();
    EXPECT_EQ(delegate->cancels, 1);
}

TEST_F(ImagePickerCameraTest, WithoutEditingStopGoesBackToTheCameraWithUseVideo) {
    ManualClock clock;
    EXPECT_FALSE(picker->allowsEditing());
    picker->record();
    clock.advance(1);
    picker->stop();
    EXPECT_FALSE(picker->isTrimming());
    EXPECT_FALSE(picker->recordButton()->isHidden());
    EXPECT_FALSE(picker->cancelButton()->isHidden());
    EXPECT_TRUE(picker->retakeButton()->isHidden());
    EXPECT_TRUE(picker->trimBar()->isHidden());
    EXPECT_FALSE(picker->setTrimRange(0, 0.5)) << "no trimming without editing";
}

// With editing allowed, Stop leads to the trim step: Retake or Use Video, with the kept range.
TEST_F(ImagePickerCameraTest, TheTrimStepHandsOverTheKeptRangeOrRetakes) {
    const struct {
        const char* name;
        double start, end;    // the range asked for; start < 0 asks for none (the whole clip)
        bool accepted;        // whether the range is taken
        bool retake;          // Retake instead of Use Video
        double handedSeconds; // the handed clip's length (-1: nothing handed)
        bool sameFile;        // the whole clip is handed as it was recorded
    } cases[] = {
        {.name = "the whole clip", .start = -1, .end = 0, .accepted = true, .retake = false, .handedSeconds = 2, .sameFile = true},
        {.name = "the start trimmed", .start = 1.5, .end = 2, .accepted = true, .retake = false, .handedSeconds = 0.5, .sameFile = false},
        {.name = "the end trimmed", .start = 0, .end = 0.8, .accepted = true, .retake = false, .handedSeconds = 0.8, .sameFile = false},
        {.name = "shorter than a frame", .start = 1, .end = 1.05, .accepted = false, .retake = false, .handedSeconds = 2, .sameFile = true},
        {.name = "past the clip's end", .start = 0, .end = 2.5, .accepted = false, .retake = false, .handedSeconds = 2, .sameFile = true},
        {.name = "before its start", .start = -0.5, .end = 1, .accepted = false, .retake = false, .handedSeconds = 2, .sameFile = true},
        {.name = "retaken", .start = 0, .end = 1, .accepted = true, .retake = true, .handedSeconds = -1, .sameFile = false},
    };
    picker->setAllowsEditing(true);
    ManualClock clock;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        delegate->picked.clear();
        picker->record();
        clock.advance(2);
        picker->stop();
        ASSERT_TRUE(picker->isTrimming());
        EXPECT_TRUE(picker->recordButton()->isHidden());
        EXPECT_TRUE(picker->cancelButton()->isHidden());
        EXPECT_FALSE(picker->retakeButton()->isHidden());
        EXPECT_FALSE(picker->useButton()->isHidden());
        EXPECT_FALSE(picker->trimBar()->isHidden());
        EXPECT_EQ(picker->trimStart(), 0);
        EXPECT_DOUBLE_EQ(picker->trimEnd(), 2);
        const std::string recorded = picker->clipURL()->path();

        if (c.start >= 0 || c.end > 0) {
            EXPECT_EQ(picker->setTrimRange(c.start, c.end), c.accepted);
        }
        if (c.retake) {
            picker->retake();
            EXPECT_FALSE(picker->isTrimming());
            EXPECT_FALSE(picker->clipURL());
            EXPECT_FALSE(picker->recordButton()->isHidden());
            EXPECT_TRUE(picker->useButton()->isHidden());
            EXPECT_FALSE(std::filesystem::exists(DeviceRoot::hostPath(recorded))) << "the dropped clip is removed";
        } else {
            picker->useVideo();
        }
        if (c.handedSeconds < 0) {
            EXPECT_TRUE(delegate->picked.empty());
            continue;
        }
        ASSERT_EQ(delegate->picked.size(), 1u);
        const std::string handed = delegate->picked[0]->path();
        EXPECT_EQ(handed == recorded, c.sameFile);
        EXPECT_EQ(std::filesystem::exists(DeviceRoot::hostPath(recorded)), c.sameFile) << "a trimmed clip replaces the whole one";
        auto properties = VideoFile::propertiesOfFile(DeviceRoot::hostPath(handed));
        ASSERT_TRUE(properties.has_value());
        EXPECT_NEAR(properties->duration, c.handedSeconds, 0.15);
        picker->retake(); // ready for the next case
    }
}

TEST_F(ImagePickerCameraTest, OnlyTheCameraSourceExistsAndOnlyWithACamera) {
    EXPECT_TRUE(UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceTypeCamera));
    EXPECT_FALSE(UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceTypePhotoLibrary));
    DeviceProfile::update([](DeviceProfile& p) { p.cameraCount = 0; });
    EXPECT_FALSE(UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceTypeCamera));
}

} // namespace

namespace {
class ImagePickerScreenTest : public ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        picker = std::make_shared<UIImagePickerController>();
        picker->setSourceType(UIImagePickerControllerSourceTypeCamera);
        picker->setMediaTypes({kUTTypeMovie});
        picker->setAllowsEditing(true);
        window_->setRootViewController(picker);
        window_->layoutIfNeeded();
    }
    static bool black(const CGImage::Pixel& p) { return p.red < 8 && p.green < 8 && p.blue < 8; }
    std::shared_ptr<UIImagePickerController> picker;
};
} // namespace

// The camera's picture fills the screen behind the buttons while it is up, upright either way the
// device is held; after a turn the buttons stay along the bottom, and the trim step's picture
// fits between the bar and the buttons.
TEST_F(ImagePickerScreenTest, TheLivePictureAndTheTrimStepFitTheScreenEitherWay) {
    EXPECT_TRUE(picker->captureSession()->isRunning());
    const struct {
        UIDeviceOrientation device;
        CGSize interface;
    } cases[] = {
        {UIDeviceOrientationPortrait, {320, 568}},
        {UIDeviceOrientationLandscapeLeft, {568, 320}},
        {UIDeviceOrientationLandscapeRight, {568, 320}},
    };
    for (const auto& c : cases) {
        turnDevice(c.device);
        SCOPED_TRACE(c.device);
        const CGFloat w = c.interface.width, h = c.interface.height;
        for (CGPoint p : {CGPointMake(w / 2, h / 2), CGPointMake(w / 4, h / 4), CGPointMake(3 * w / 4, 3 * h / 4)})
            EXPECT_FALSE(black(pixelAt(p.x, p.y))) << p.x << "," << p.y << ": " << text(pixelAt(p.x, p.y));
        EXPECT_EQ(picker->recordButton()->frame().origin.y, h - 60);
        EXPECT_LE(CGRectGetMaxX(picker->useButton()->frame()), w);
    }
    picker->record();
    advance(1);
    picker->stop();
    ASSERT_TRUE(picker->isTrimming());
    for (const auto& c : cases) {
        turnDevice(c.device);
        SCOPED_TRACE(c.device);
        window_->layoutIfNeeded();
        const CGRect bar = picker->trimBar()->frame();
        EXPECT_EQ(bar.size.width, c.interface.width - 20);
        // The picture lies below the bar and above the buttons, and shows the recorded frame.
        const CGFloat buttons = picker->retakeButton()->frame().origin.y;
        bool found = false;
        for (const auto& sub : picker->view()->subviews())
            if (auto review = std::dynamic_pointer_cast<UIImageView>(sub); review && review->image()) {
                found = true;
                EXPECT_GE(review->frame().origin.y, CGRectGetMaxY(bar));
                EXPECT_LE(CGRectGetMaxY(review->frame()), buttons);
                EXPECT_FALSE(black(pixelAt(CGRectGetMidX(review->frame()), CGRectGetMidY(review->frame()))));
            }
        EXPECT_TRUE(found);
    }
    picker->retake();
    window_->setRootViewController(nullptr);
}
