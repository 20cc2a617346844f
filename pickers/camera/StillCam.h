#pragma once
// A full-screen still camera: the live picture, five small buttons (back, capture, flash, switch
// camera, save) in a row (portrait) or a column (landscape), tap to focus, a review of the photo
// taken, and a crop to what the screen shows. The owner gets the photo (or nil) through its
// delegate and closes the camera with closeWithCompletion:; the camera never dismisses itself.

#include "platform/media/AVCaptureSession.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UIViewController.h"

#include <functional>
#include <memory>
#include <vector>

class StillCam;

class StillCamDelegate {
public:
    virtual ~StillCamDelegate() = default;
    virtual void stillCamDidFinishWithImage(StillCam& camera, const UIImagePtr& image) = 0;
};

class StillCam : public UIViewController {
public:
    StillCam() = default;
    static std::shared_ptr<StillCam> init() { return std::make_shared<StillCam>(); }

    const std::shared_ptr<StillCamDelegate>& delegate() const { return delegate_; }
    void setDelegate(std::shared_ptr<StillCamDelegate> delegate) { delegate_ = std::move(delegate); }
    bool isSquareMode() const { return isSquareMode_; }
    void setIsSquareMode(bool square) { isSquareMode_ = square; }
    void closeWithCompletion(std::function<void()> completion);

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void willRotateToInterfaceOrientationDuration(UIInterfaceOrientation orientation, double duration) override;
    void didReceiveMemoryWarning() override;
    bool prefersStatusBarHidden() const override { return true; }
    // The driver: the camera's state, the photo under review and the controls on screen.
    void describeToScreen(UIScreenDescription& screen) override;

    UIColorPtr darkGreyColor() const;
    UIColorPtr redColor() const;
    UIColorPtr greenColor() const;
    UIColorPtr blueColor() const;

    // The photo as the camera gives it, turned for the camera in use (index in the device list)
    // and the interface orientation it was taken in.
    static UIImagePtr orientedCapture(const UIImagePtr& decoded, long cameraIndex, UIInterfaceOrientation orientation);
    // Where the photo is drawn in a crop of the output size: an aspect-filled 3:4 picture whose
    // long side is the screen's height, centred (negative offsets crop).
    static CGRect cropDrawingRect(CGSize output, double screenHeight, bool landscape);

    // The controls and what they hold, for the owner's tests and the screen.
    const AVCaptureSessionPtr& mySesh() const { return mySesh_; }
    const AVCaptureDevicePtr& myDevice() const { return myDevice_; }
    const std::shared_ptr<AVCaptureVideoPreviewLayer>& captureVideoPreviewLayer() const { return preview_; }
    const UIViewPtr& imageStreamV() const { return imageStreamV_; }
    const std::shared_ptr<UIImageView>& capturedImageV() const { return capturedImageV_; }
    const UIViewPtr& rotationCover() const { return rotationCover_; }
    const UIViewPtr& squareV() const { return squareV_; }
    const std::shared_ptr<UIButton>& backBtn() const { return backBtn_; }
    const std::shared_ptr<UIButton>& captureBtn() const { return captureBtn_; }
    const std::shared_ptr<UIButton>& flashBtn() const { return flashBtn_; }
    const std::shared_ptr<UIButton>& switchCameraBtn() const { return switchCameraBtn_; }
    const std::shared_ptr<UIButton>& saveBtn() const { return saveBtn_; }
    bool isImageResized() const { return isImageResized_; }
    bool isCapturingImage() const { return isCapturingImage_; }

    void backBtnPressed();
    void captureBtnPressed();
    void flashBtnPressed();
    void switchCameraBtnPressed();
    void saveBtnPressed();
    void tapSent(CGPoint location);

private:
    void loadControls();
    void drawControls();
    void evaluateFlashBtn();
    void resizeImage();
    void tellDelegate(const UIImagePtr& image);
    void photoArrived(const UIImagePtr& image);
    std::shared_ptr<UIButton> makeButton(void (StillCam::*action)());
    long cameraIndex() const;
    static std::vector<AVCaptureDevicePtr> videoDevices();
    static bool isLandscape(UIInterfaceOrientation orientation);
    static UIInterfaceOrientation interfaceOrientation();

    std::shared_ptr<StillCamDelegate> delegate_;
    bool isSquareMode_ = false;
    AVCaptureSessionPtr mySesh_;
    AVCaptureDevicePtr myDevice_;
    AVCaptureStillImageOutputPtr stillImageOutput_;
    std::shared_ptr<AVCaptureVideoPreviewLayer> preview_;
    UIViewPtr imageStreamV_;
    std::shared_ptr<UIImageView> capturedImageV_;
    UIViewPtr rotationCover_;
    UIViewPtr squareV_;
    std::shared_ptr<UIButton> backBtn_, captureBtn_, flashBtn_, switchCameraBtn_, saveBtn_;
    double screenWidth_ = 0, screenHeight_ = 0;
    bool isImageResized_ = false;
    bool isSaveWaitingForResizedImage_ = false;
    bool isRotateWaitingForResizedImage_ = false;
    bool isCapturingImage_ = false;
};
