// The camera's buttons, their layout, and what they do.
#include "pickers/camera/StillCam.h"

#include "platform/dispatch/dispatch.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIScreen.h"

std::shared_ptr<UIButton> StillCam::makeButton(void (StillCam::*action)()) {
    auto button = UIButton::buttonWithType(UIButtonTypeSystem);
    if (action)
        button->addTargetActionForControlEvents(self<StillCam>(), action, UIControlEventTouchUpInside);
    return button;
}

void StillCam::loadControls() {
    const bool several = videoDevices().size() > 1;
    backBtn_ = makeButton(&StillCam::backBtnPressed);
    backBtn_->setImageForState(UIImage::imageNamed("Previous.png"), UIControlStateNormal);
    backBtn_->setTintColor(redColor());
    backBtn_->setImageEdgeInsets(UIEdgeInsetsMake(9, 10, 9, 13));
    flashBtn_ = makeButton(&StillCam::flashBtnPressed);
    flashBtn_->setImageForState(UIImage::imageNamed("Lightening.png"), UIControlStateNormal);
    flashBtn_->setTintColor(redColor());
    flashBtn_->setImageEdgeInsets(UIEdgeInsetsMake(6, 9, 6, 9));
    switchCameraBtn_ = makeButton(several ? &StillCam::switchCameraBtnPressed : nullptr);
    switchCameraBtn_->setImageForState(UIImage::imageNamed("CameraRotate.png"), UIControlStateNormal);
    switchCameraBtn_->setTintColor(blueColor());
    switchCameraBtn_->setImageEdgeInsets(UIEdgeInsetsMake(9.5, 7, 9.5, 7));
    saveBtn_ = makeButton(&StillCam::saveBtnPressed);
    saveBtn_->setImageForState(UIImage::imageNamed("Download.png"), UIControlStateNormal);
    saveBtn_->setTintColor(blueColor());
    saveBtn_->setImageEdgeInsets(UIEdgeInsetsMake(7, 10.5, 7, 10.5));
    captureBtn_ = makeButton(&StillCam::captureBtnPressed);
    captureBtn_->setTitleForState("C\nA\nP\nT\nU\nR\nE", UIControlStateNormal);
    captureBtn_->setTitleColorForState(darkGreyColor(), UIControlStateNormal);
    captureBtn_->titleLabel()->setFont(UIFont::systemFontOfSize(12.5));
    captureBtn_->titleLabel()->setNumberOfLines(0);
    // Named by what they do, as a screen reader says them (the pictures' names say nothing).
    const std::pair<const std::shared_ptr<UIButton>&, const char*> labels[] = {
        {backBtn_, "Back"}, {captureBtn_, "Capture"}, {flashBtn_, "Flash"}, {switchCameraBtn_, "Switch Camera"}, {saveBtn_, "Save"}};
    for (const auto& [button, label] : labels) button->setAccessibilityLabel(label);

    for (const auto& button : {backBtn_, captureBtn_, flashBtn_, switchCameraBtn_, saveBtn_}) {
        button->setBounds(CGRectMake(0, 0, 40, 40));
        button->setBackgroundColor(UIColor::colorWithWhite(1, 0.96));
        button->setAlpha(0.6);
        button->setHidden(true);
        button->layer()->setCornerRadius(4);
        button->layer()->setBorderColor(UIColor::lightGrayColor());
        button->layer()->setBorderWidth(0.5);
        view()->addSubview(button);
    }
    if (videoDevices().size() == 1) switchCameraBtn_->setAlpha(0.2);
    drawControls();
}

void StillCam::drawControls() {
    const auto orientation = interfaceOrientation();
    UIView::animateWithDuration(0.25, 0, UIViewAnimationOptionCurveEaseOut, [this, orientation] {
        const bool portrait = !isLandscape(orientation);
        const double line = screenHeight_ - 28;
        if (portrait) {
            captureBtn_->setTitleForState("CAPTURE", UIControlStateNormal);
            captureBtn_->titleLabel()->setFont(UIFont::systemFontOfSize(16));
            captureBtn_->setBounds(CGRectMake(0, 0, 120, 40));
        } else {
            captureBtn_->setTitleForState("C\nA\nP\nT\nU\nR\nE", UIControlStateNormal);
            captureBtn_->titleLabel()->setFont(UIFont::systemFontOfSize(12.5));
            captureBtn_->setBounds(CGRectMake(0, 0, 40, 120));
        }
        auto along = [portrait](const UIButton& b) { return portrait ? b.bounds().size.width : b.bounds().size.height; };
        double at = 10 + along(*backBtn_) / 2;
        backBtn_->setCenter(portrait ? CGPointMake(at, line) : CGPointMake(line, at));
        const UIButton* previous = backBtn_.get();
        for (const auto& button : {captureBtn_, flashBtn_, switchCameraBtn_}) {
            at += along(*previous) / 2 + 20 + along(*button) / 2;
            button->setCenter(portrait ? CGPointMake(at, line) : CGPointMake(line, at));
            previous = button.get();
        }
        saveBtn_->setFrame(switchCameraBtn_->frame());
        const bool photo = capturedImageV_->image() != nullptr;
        if (!photo) backBtn_->setHidden(false);
        captureBtn_->setHidden(photo);
        flashBtn_->setHidden(photo);
        switchCameraBtn_->setHidden(photo);
        saveBtn_->setHidden(!photo);
    }, nullptr);
    evaluateFlashBtn();
}

void StillCam::evaluateFlashBtn() {
    if (myDevice_ && myDevice_->isFlashAvailable()) {
        flashBtn_->setAlpha(0.6);
        flashBtn_->setTintColor(myDevice_->isFlashActive() ? greenColor() : redColor());
    } else {
        flashBtn_->setAlpha(0.2);
        flashBtn_->setTintColor(darkGreyColor());
    }
}

void StillCam::flashBtnPressed() {
    if (!myDevice_ || !myDevice_->hasFlash()) return;
    const bool active = myDevice_->isFlashActive();
    if (myDevice_->lockForConfiguration(nullptr)) {
        myDevice_->setFlashMode(active ? AVCaptureFlashModeOff : AVCaptureFlashModeOn);
        flashBtn_->setTintColor(active ? redColor() : greenColor());
        myDevice_->unlockForConfiguration();
    }
}

void StillCam::switchCameraBtnPressed() {
    if (isCapturingImage_) return;
    auto devices = videoDevices();
    const long index = cameraIndex();
    if ((index == 0 || index == 1) && devices.size() > 1) {
        auto next = devices[index == 0 ? 1 : 0];
        auto input = AVCaptureDeviceInput::deviceInputWithDevice(next, nullptr);
        // A camera that cannot open leaves the one in use.
        if (input) {
            mySesh_->beginConfiguration();
            for (const auto& old : mySesh_->inputs()) mySesh_->removeInput(old);
            mySesh_->addInput(input);
            mySesh_->commitConfiguration();
            myDevice_ = next;
        }
    }
    evaluateFlashBtn();
}

void StillCam::tapSent(CGPoint p) {
    if (capturedImageV_->image()) return;
    const CGSize size = imageStreamV_->bounds().size;
    if (!myDevice_ || !myDevice_->isFocusPointOfInterestSupported() || !myDevice_->isFocusModeSupported(AVCaptureFocusModeAutoFocus))
        return;
    if (!myDevice_->lockForConfiguration(nullptr)) return;
    const CGPoint point = CGPointMake(p.y / size.height, 1 - p.x / size.width);
    myDevice_->setFocusPointOfInterest(point);
    myDevice_->setFocusMode(AVCaptureFocusModeAutoFocus);
    myDevice_->setExposurePointOfInterest(point);
    myDevice_->setExposureMode(AVCaptureExposureModeContinuousAutoExposure);
    myDevice_->unlockForConfiguration();
}
