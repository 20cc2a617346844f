#include "pickers/camera/StillCam.h"

#include "platform/system/DeviceProfile.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreenDescription.h"
#include "platform/uikit/UIWindow.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct RecordingDelegate : StillCamDelegate {
    std::vector<UIImagePtr> images;
    void stillCamDidFinishWithImage(StillCam&, const UIImagePtr& image) override { images.push_back(image); }
};

class StillCamTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        DeviceProfile::reset();
    }

    // A camera with its view loaded, on `cameras` cameras, the device held as given.
    std::shared_ptr<StillCam> open(int cameras, UIDeviceOrientation held = UIDeviceOrientationPortrait, bool square = false) {
        DeviceProfile::update([&](DeviceProfile& p) {
            p.cameraCount = cameras;
            p.orientation = held;
        });
        auto camera = StillCam::init();
        camera->setDelegate(delegate);
        camera->setIsSquareMode(square);
        camera->view();
        return camera;
    }

    void captureAndWait(StillCam& camera) {
        camera.captureBtnPressed();
        ASSERT_TRUE(runMainUntil([&] { return !camera.isCapturingImage(); }));
    }

    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
};

CGRect frameOf(const UIButton& button) { return button.frame(); }

TEST_F(StillCamTest, PortraitRowSpansTheScreenEightPointsAboveTheBottom) {
    auto camera = open(2);
    const struct { const char* name; std::shared_ptr<UIButton> button; double left, right; } row[] = {
        {"back", camera->backBtn(), 10, 50},    {"capture", camera->captureBtn(), 70, 190},
        {"flash", camera->flashBtn(), 210, 250}, {"switch", camera->switchCameraBtn(), 270, 310},
        {"save", camera->saveBtn(), 270, 310},
    };
    for (const auto& c : row) {
        const CGRect f = frameOf(*c.button);
        EXPECT_DOUBLE_EQ(f.origin.x, c.left) << c.name;
        EXPECT_DOUBLE_EQ(f.origin.x + f.size.width, c.right) << c.name;
        EXPECT_DOUBLE_EQ(f.origin.y + f.size.height, 568 - 8) << c.name;
    }
    EXPECT_EQ(camera->captureBtn()->titleForState(UIControlStateNormal), "CAPTURE");
    EXPECT_FALSE(camera->backBtn()->isHidden());
    EXPECT_FALSE(camera->captureBtn()->isHidden());
    EXPECT_TRUE(camera->saveBtn()->isHidden());
    EXPECT_DOUBLE_EQ(camera->switchCameraBtn()->alpha(), 0.6);
    EXPECT_TRUE(camera->mySesh()->isRunning());
    EXPECT_EQ(camera->captureVideoPreviewLayer()->videoGravity(), AVLayerVideoGravityResizeAspectFill);
}

TEST_F(StillCamTest, LandscapeColumnStandsAtTheRightEdge) {
    auto camera = open(2, UIDeviceOrientationLandscapeLeft); // the interface turns landscape right
    const struct { std::shared_ptr<UIButton> button; double centreY; } column[] = {
        {camera->backBtn(), 30}, {camera->captureBtn(), 130}, {camera->flashBtn(), 230}, {camera->switchCameraBtn(), 290}};
    for (const auto& c : column) {
        EXPECT_DOUBLE_EQ(c.button->center().x, 568 - 28);
        EXPECT_DOUBLE_EQ(c.button->center().y, c.centreY);
    }
    EXPECT_EQ(camera->captureBtn()->titleForState(UIControlStateNormal), "C\nA\nP\nT\nU\nR\nE");
    EXPECT_EQ(camera->captureVideoPreviewLayer()->connection()->videoOrientation(), AVCaptureVideoOrientationLandscapeRight);
}

TEST_F(StillCamTest, OneCameraDimsTheSwitchAndKeepsIt) {
    auto camera = open(1);
    EXPECT_DOUBLE_EQ(camera->switchCameraBtn()->alpha(), 0.2);
    auto before = camera->myDevice();
    camera->switchCameraBtnPressed();
    EXPECT_EQ(camera->myDevice(), before);
}

TEST_F(StillCamTest, NoCameraReportsNilOnceAfterTheViewLoads) {
    auto camera = open(0);
    EXPECT_TRUE(delegate->images.empty()) << "not from inside view load";
    drainMain();
    ASSERT_EQ(delegate->images.size(), 1u);
    EXPECT_EQ(delegate->images[0], nullptr);
    EXPECT_TRUE(log_->contains("SC: ERROR: trying to open camera: "));
    EXPECT_FALSE(camera->mySesh()->isRunning());
    drainMain();
    EXPECT_EQ(delegate->images.size(), 1u);
}

TEST_F(StillCamTest, SwitchAlternatesCamerasAndFlashFollows) {
    auto camera = open(2);
    auto cameras = AVCaptureDevice::devicesWithMediaType(AVMediaTypeVideo);
    EXPECT_FALSE(cameras[0]->isFlashActive()) << "flash starts off";
    camera->flashBtnPressed();
    EXPECT_TRUE(cameras[0]->isFlashActive());
    camera->switchCameraBtnPressed();
    EXPECT_EQ(camera->myDevice(), cameras[1]);
    EXPECT_EQ(camera->mySesh()->inputs().size(), 1u);
    EXPECT_DOUBLE_EQ(camera->flashBtn()->alpha(), 0.2) << "the front camera has no flash";
    camera->switchCameraBtnPressed();
    EXPECT_EQ(camera->myDevice(), cameras[0]);
}

TEST_F(StillCamTest, TapFocusesWhereTheUserTouched) {
    auto camera = open(2);
    camera->tapSent(CGPointMake(80, 142));
    const CGPoint p = camera->myDevice()->focusPointOfInterest();
    EXPECT_DOUBLE_EQ(p.x, 142.0 / 568);
    EXPECT_DOUBLE_EQ(p.y, 1 - 80.0 / 320);
    EXPECT_EQ(camera->myDevice()->focusMode(), AVCaptureFocusModeAutoFocus);
}

TEST_F(StillCamTest, CaptureShowsThePhotoAndSaveReportsTheScreenCrop) {
    auto camera = open(2);
    captureAndWait(*camera);
    ASSERT_NE(camera->capturedImageV()->image(), nullptr);
    EXPECT_FALSE(camera->saveBtn()->isHidden());
    EXPECT_TRUE(camera->captureBtn()->isHidden());
    camera->tapSent(CGPointMake(10, 10));
    EXPECT_DOUBLE_EQ(camera->myDevice()->focusPointOfInterest().x, 0.5) << "no focus while reviewing";

    camera->saveBtnPressed();
    ASSERT_EQ(delegate->images.size(), 1u);
    ASSERT_NE(delegate->images[0], nullptr);
    EXPECT_EQ(delegate->images[0]->CGImage()->width(), 640);
    EXPECT_EQ(delegate->images[0]->CGImage()->height(), 1136);
    camera->saveBtnPressed();
    EXPECT_EQ(delegate->images.size(), 2u) << "a cropped photo is reported at once";
    EXPECT_EQ(delegate->images[1], delegate->images[0]);
}

TEST_F(StillCamTest, SquareModeCropsToTheSquareFrame) {
    auto camera = open(2, UIDeviceOrientationPortrait, true);
    ASSERT_NE(camera->squareV(), nullptr);
    captureAndWait(*camera);
    camera->saveBtnPressed();
    ASSERT_EQ(delegate->images.size(), 1u);
    ASSERT_NE(delegate->images[0], nullptr);
    EXPECT_DOUBLE_EQ(delegate->images[0]->size().width, 320);
    EXPECT_DOUBLE_EQ(delegate->images[0]->size().height, 320);
    EXPECT_DOUBLE_EQ(delegate->images[0]->scale(), 2);
}

TEST_F(StillCamTest, BackRetakesThenCancels) {
    auto camera = open(2);
    captureAndWait(*camera);
    camera->backBtnPressed();
    EXPECT_EQ(camera->capturedImageV()->image(), nullptr);
    EXPECT_FALSE(camera->captureBtn()->isHidden());
    EXPECT_TRUE(delegate->images.empty());
    camera->backBtnPressed();
    ASSERT_EQ(delegate->images.size(), 1u);
    EXPECT_EQ(delegate->images[0], nullptr);
}

TEST_F(StillCamTest, CropRectFillsTheScreenWithAThreeByFourPicture) {
    EXPECT_EQ(StillCam::cropDrawingRect(CGSizeMake(320, 568), 568, false), CGRectMake(-53, 0, 426, 568));
    EXPECT_EQ(StillCam::cropDrawingRect(CGSizeMake(568, 320), 568, true), CGRectMake(0, -53, 568, 426));
    EXPECT_EQ(StillCam::cropDrawingRect(CGSizeMake(320, 320), 568, false), CGRectMake(-53, -124, 426, 568));
}

TEST_F(StillCamTest, CapturedOrientationFollowsCameraAndInterface) {
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(4, 3), true, 3);
    auto decoded = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    const struct { long camera; UIInterfaceOrientation interface; UIImageOrientation orientation; double scale; } table[] = {
        {0, UIInterfaceOrientationLandscapeRight, UIImageOrientationUp, 1},
        {0, UIInterfaceOrientationLandscapeLeft, UIImageOrientationDown, 1},
        {0, UIInterfaceOrientationPortraitUpsideDown, UIImageOrientationUp, 3},
        {0, UIInterfaceOrientationPortrait, UIImageOrientationUp, 3},
        {1, UIInterfaceOrientationPortraitUpsideDown, UIImageOrientationLeftMirrored, 3},
        {1, UIInterfaceOrientationLandscapeRight, UIImageOrientationDownMirrored, 3},
        {1, UIInterfaceOrientationLandscapeLeft, UIImageOrientationUpMirrored, 3},
        {1, UIInterfaceOrientationPortrait, UIImageOrientationUp, 3},
        {-1, UIInterfaceOrientationLandscapeLeft, UIImageOrientationUp, 3},
    };
    for (const auto& c : table) {
        auto image = StillCam::orientedCapture(decoded, c.camera, c.interface);
        EXPECT_EQ(image->imageOrientation(), c.orientation) << c.camera << " " << c.interface;
        EXPECT_DOUBLE_EQ(image->scale(), c.scale) << c.camera << " " << c.interface;
        EXPECT_EQ(image->CGImage(), decoded->CGImage());
    }
}

} // namespace

TEST_F(StillCamTest, TheScreenShowsTheCameraStateAndTheControlsOnIt) {
    auto text = [](const std::shared_ptr<StillCam>& camera) {
        UIScreenDescription screen;
        screen.describeViewController(camera);
        return screen.text();
    };
    const struct {
        int cameras;
        const char* lines;
    } cases[] = {
        {2, "camera: live, \"Back Camera\", flash off\n  controls: [Back] [Capture] [Flash] [Switch Camera]\n"},
        {1, "camera: live, \"Back Camera\", flash off\n  controls: [Back] [Capture] [Flash] [Switch Camera] (dimmed)\n"},
        // The set-up stops before the controls; the owner hears nil.
        {0, "camera: no camera\n"},
    };
    for (const auto& c : cases) {
        auto camera = open(c.cameras);
        EXPECT_EQ(text(camera).rfind(c.lines, 0), 0u) << text(camera);
    }

    auto camera = open(2);
    camera->flashBtnPressed();
    EXPECT_EQ(text(camera).rfind("camera: live, \"Back Camera\", flash on\n", 0), 0u) << text(camera);
    captureAndWait(*camera);
    EXPECT_EQ(text(camera).rfind("camera: review, \"Back Camera\", flash on\n  photo: ", 0), 0u) << text(camera);
    EXPECT_NE(text(camera).find("  controls: [Back] [Save]\n"), std::string::npos) << text(camera);
    camera->saveBtnPressed();
    EXPECT_NE(text(camera).find("  photo: 320\u00d7568 @2, cropped\n"), std::string::npos) << text(camera);
}

// Turned while shown, the camera takes the new shape: its view and picture on their side, the
// preview's video turned with the interface and the controls in their column.
TEST_F(StillCamTest, TurningTheDeviceTurnsTheCameraAndItsControls) {
    UIApplication::sharedApplication()->reset();
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    auto root = std::make_shared<UIViewController>();
    window->setRootViewController(root);
    window->makeKeyAndVisible();
    auto camera = open(2);
    root->presentViewControllerAnimatedCompletion(camera, false, nullptr);

    UIApplication::sharedApplication()->rotateDevice(UIDeviceOrientationLandscapeLeft); // the interface turns landscape right
    ASSERT_TRUE(runMainUntil([&] { return camera->captureBtn()->center().x == 568 - 28; }));
    // On its side over the whole screen: 568 by 320 points within the window's upright 320 by 568.
    EXPECT_EQ(camera->view()->bounds(), CGRectMake(0, 0, 568, 320));
    EXPECT_EQ(camera->view()->frame(), CGRectMake(0, 0, 320, 568));
    EXPECT_EQ(camera->captureVideoPreviewLayer()->frame(), CGRectMake(0, 0, 568, 320));
    EXPECT_EQ(camera->captureVideoPreviewLayer()->connection()->videoOrientation(), AVCaptureVideoOrientationLandscapeRight);
    EXPECT_EQ(camera->captureBtn()->titleForState(UIControlStateNormal), "C\nA\nP\nT\nU\nR\nE");

    UIApplication::sharedApplication()->rotateDevice(UIDeviceOrientationPortrait);
    ASSERT_TRUE(runMainUntil([&] { return camera->captureBtn()->titleForState(UIControlStateNormal) == "CAPTURE"; }));
    EXPECT_EQ(camera->view()->frame(), CGRectMake(0, 0, 320, 568));
    EXPECT_EQ(camera->captureVideoPreviewLayer()->connection()->videoOrientation(), AVCaptureVideoOrientationPortrait);
    UIApplication::sharedApplication()->reset();
}
