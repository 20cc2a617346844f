#include "pickers/camera/StillCam.h"
#include "platform/dispatch/dispatch.h"
#include "platform/foundation/NSLog.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITapGestureRecognizer.h"

#include <algorithm>

std::vector<AVCaptureDevicePtr> StillCam::videoDevices() { return AVCaptureDevice::devicesWithMediaType(AVMediaTypeVideo); }

UIColorPtr StillCam::darkGreyColor() const { return UIColor::colorWithRed(0.226082, 0.244034, 0.297891, 1.0); }
UIColorPtr StillCam::redColor() const { return UIColor::colorWithRed(1.0, 0.0, 0.10567, 0.6); }
UIColorPtr StillCam::greenColor() const { return UIColor::colorWithRed(0.128085, 0.749103, 0.004684, 0.6); }
UIColorPtr StillCam::blueColor() const { return UIColor::colorWithRed(0.0, 0.478431, 1.0, 1.0); }

bool StillCam::isLandscape(UIInterfaceOrientation orientation) {
    return orientation == UIInterfaceOrientationLandscapeLeft || orientation == UIInterfaceOrientationLandscapeRight;
}

UIInterfaceOrientation StillCam::interfaceOrientation() { return UIApplication::sharedApplication()->statusBarOrientation(); }

long StillCam::cameraIndex() const {
    auto devices = videoDevices();
    for (std::size_t i = 0; i < devices.size() && i < 2; ++i)
        if (myDevice_ && devices[i] == myDevice_) return static_cast<long>(i);
    return -1;
}

void StillCam::viewDidLoad() {
    UIViewController::viewDidLoad();
    auto v = view();
    v->setClipsToBounds(false);
    v->setBackgroundColor(UIColor::blackColor());
    // The portrait size, whichever way the interface stands while the view loads.
    screenWidth_ = std::min(v->bounds().size.width, v->bounds().size.height);
    screenHeight_ = std::max(v->bounds().size.width, v->bounds().size.height);
    auto orientation = interfaceOrientation();
    if (isLandscape(orientation)) v->setFrame(CGRectMake(0, 0, screenHeight_, screenWidth_));

    if (!imageStreamV_) imageStreamV_ = std::make_shared<UIView>();
    imageStreamV_->setAlpha(0);
    imageStreamV_->setFrame(v->bounds());
    v->addSubview(imageStreamV_);

    if (!capturedImageV_) capturedImageV_ = std::make_shared<UIImageView>();
    capturedImageV_->setFrame(imageStreamV_->frame());
    capturedImageV_->setBackgroundColor(UIColor::clearColor());
    capturedImageV_->setUserInteractionEnabled(true);
    capturedImageV_->setContentMode(UIViewContentModeScaleAspectFill);
    v->insertSubviewAboveSubview(capturedImageV_, imageStreamV_);
    auto tap = std::make_shared<UITapGestureRecognizer>(self<StillCam>(), [](StillCam& camera, UIGestureRecognizer& sender) {
        camera.tapSent(sender.locationInView(camera.imageStreamV_));
    });
    tap->setNumberOfTapsRequired(1);
    capturedImageV_->addGestureRecognizer(tap);

    if (!mySesh_) mySesh_ = std::make_shared<AVCaptureSession>();
    mySesh_->setSessionPreset(AVCaptureSessionPresetPhoto);
    preview_ = AVCaptureVideoPreviewLayer::layerWithSession(mySesh_);
    preview_->setVideoGravity(AVLayerVideoGravityResizeAspectFill);
    preview_->setFrame(imageStreamV_->layer()->bounds());
    imageStreamV_->layer()->addSublayer(preview_);

    auto devices = videoDevices();
    myDevice_ = devices.empty() ? nullptr : devices[0];
    if (myDevice_ && myDevice_->isFlashAvailable() && myDevice_->isFlashActive() && myDevice_->lockForConfiguration(nullptr)) {
        myDevice_->setFlashMode(AVCaptureFlashModeOff);
        myDevice_->unlockForConfiguration();
    }
    NSErrorPtr error;
    auto input = AVCaptureDeviceInput::deviceInputWithDevice(myDevice_, &error);
    if (!input) {
        // The set-up stops here; the owner hears of it once, after view load, on the main queue.
        NSLog("SC: ERROR: trying to open camera: %@", error);
        std::weak_ptr<StillCam> weak = self<StillCam>();
        dispatch_async(dispatch_get_main_queue(), [weak] {
            if (auto camera = weak.lock()) camera->tellDelegate(nullptr);
        });
        return;
    }
    mySesh_->addInput(input);

    stillImageOutput_ = std::make_shared<AVCaptureStillImageOutput>();
    stillImageOutput_->setOutputSettings({{AVVideoCodecKey, AVVideoCodecJPEG}});
    mySesh_->addOutput(stillImageOutput_);
    mySesh_->startRunning();
    if (isLandscape(orientation) && preview_->connection())
        preview_->connection()->setVideoOrientation(static_cast<AVCaptureVideoOrientation>(orientation));

    if (isSquareMode_) {
        NSLog("SC: isSquareMode");
        squareV_ = std::make_shared<UIView>();
        squareV_->setBackgroundColor(UIColor::clearColor());
        squareV_->layer()->setBorderWidth(4);
        squareV_->layer()->setBorderColor(UIColor::colorWithWhite(1, 0.8));
        squareV_->setBounds(CGRectMake(0, 0, screenWidth_, screenWidth_));
        squareV_->setCenter(v->center());
        squareV_->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin |
                                      UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleBottomMargin);
        v->addSubview(squareV_);
    }
    rotationCover_ = std::make_shared<UIView>();
    rotationCover_->setBackgroundColor(UIColor::blackColor());
    rotationCover_->setBounds(CGRectMake(0, 0, 3 * screenHeight_, 3 * screenHeight_));
    rotationCover_->setCenter(v->center());
    rotationCover_->setAutoresizingMask(UIViewAutoresizingNone);
    rotationCover_->setAlpha(0);
    v->insertSubviewBelowSubview(rotationCover_, imageStreamV_);
    loadControls();
}

void StillCam::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    UIView::animateWithDuration(0.25, 0, UIViewAnimationOptionCurveEaseOut, [this] {
        imageStreamV_->setAlpha(1);
        if (rotationCover_) rotationCover_->setAlpha(1);
    }, nullptr);
}

void StillCam::didReceiveMemoryWarning() {
    UIViewController::didReceiveMemoryWarning();
    NSLog("SC: DID RECIEVE MEMORY WARNING");
}

void StillCam::tellDelegate(const UIImagePtr& image) {
    if (delegate_) delegate_->stillCamDidFinishWithImage(*this, image);
}
