// Taking the photo, reviewing it, cropping it to the screen, rotating and closing.
#include "pickers/camera/StillCam.h"

#include "platform/dispatch/dispatch.h"
#include "platform/uikit/UIGraphics.h"

UIImagePtr StillCam::orientedCapture(const UIImagePtr& decoded, long cameraIndex, UIInterfaceOrientation orientation) {
    if (!decoded) return nullptr;
    auto turned = [&](CGFloat scale, UIImageOrientation to) { return UIImage::imageWithCGImage(decoded->CGImage(), scale, to); };
    if (cameraIndex == 0) {
        if (orientation == UIInterfaceOrientationLandscapeRight) return turned(1.0, UIImageOrientationUp);
        if (orientation == UIInterfaceOrientationLandscapeLeft) return turned(1.0, UIImageOrientationDown);
    } else if (cameraIndex == 1) {
        if (orientation == UIInterfaceOrientationPortraitUpsideDown) return turned(decoded->scale(), UIImageOrientationLeftMirrored);
        if (orientation == UIInterfaceOrientationLandscapeRight) return turned(decoded->scale(), UIImageOrientationDownMirrored);
        if (orientation == UIInterfaceOrientationLandscapeLeft) return turned(decoded->scale(), UIImageOrientationUpMirrored);
    }
    return decoded;
}

CGRect StillCam::cropDrawingRect(CGSize output, double e, bool landscape) {
    const double w = landscape ? e : 0.75 * e;
    const double h = landscape ? 0.75 * e : e;
    return CGRectMake((output.width - w) / 2, (output.height - h) / 2, w, h);
}

void StillCam::captureBtnPressed() {
    isCapturingImage_ = true;
    AVCaptureConnectionPtr connection;
    for (const auto& candidate : stillImageOutput_ ? stillImageOutput_->connections() : std::vector<AVCaptureConnectionPtr>{}) {
        for (const auto& port : candidate->inputPorts())
            if (port.mediaType == AVMediaTypeVideo) connection = candidate;
        if (connection) break;
    }
    std::weak_ptr<StillCam> weak = self<StillCam>();
    auto arrive = [weak](UIImagePtr image) {
        // The capture queue hands over; views change on the main thread only.
        dispatch_async(dispatch_get_main_queue(), [weak, image] {
            if (auto camera = weak.lock()) camera->photoArrived(image);
        });
    };
    if (!connection) {
        arrive(nullptr);
        return;
    }
    stillImageOutput_->captureStillImageAsynchronouslyFromConnection(connection, [arrive](const CMSampleBufferRef& buffer, const NSErrorPtr&) {
        auto data = buffer ? AVCaptureStillImageOutput::jpegStillImageNSDataRepresentation(buffer) : nullptr;
        arrive(data ? UIImage::imageWithData(*data, 1.0) : nullptr);
    });
}

void StillCam::photoArrived(const UIImagePtr& image) {
    isCapturingImage_ = false;
    if (!capturedImageV_) return;
    capturedImageV_->setImage(orientedCapture(image, cameraIndex(), interfaceOrientation()));
    drawControls();
}

void StillCam::backBtnPressed() {
    if (capturedImageV_->image()) {
        capturedImageV_->setContentMode(UIViewContentModeScaleAspectFill);
        capturedImageV_->setBackgroundColor(UIColor::clearColor());
        capturedImageV_->setImage(nullptr);
        isImageResized_ = isSaveWaitingForResizedImage_ = isRotateWaitingForResizedImage_ = false;
        view()->insertSubviewBelowSubview(rotationCover_, imageStreamV_);
        drawControls();
    } else {
        tellDelegate(nullptr);
    }
}

void StillCam::saveBtnPressed() {
    if (isImageResized_) {
        tellDelegate(capturedImageV_->image());
        return;
    }
    isSaveWaitingForResizedImage_ = true;
    resizeImage();
}

void StillCam::resizeImage() {
    const bool landscape = isLandscape(interfaceOrientation());
    CGSize output = landscape ? CGSizeMake(screenHeight_, screenWidth_) : CGSizeMake(screenWidth_, screenHeight_);
    if (isSquareMode_ && squareV_) output = squareV_->bounds().size;
    UIImagePtr result;
    if (auto photo = capturedImageV_->image()) {
        UIGraphicsBeginImageContextWithOptions(output, true, 2.0);
        photo->drawInRect(cropDrawingRect(output, screenHeight_, landscape));
        result = UIGraphicsGetImageFromCurrentImageContext();
        UIGraphicsEndImageContext();
    }
    // Without a photo the crop gives nil, and the camera stays uncropped.
    capturedImageV_->setImage(result);
    if (isSaveWaitingForResizedImage_) tellDelegate(result);
    if (isRotateWaitingForResizedImage_) capturedImageV_->setContentMode(UIViewContentModeScaleAspectFit);
    isImageResized_ = result != nullptr;
}

void StillCam::willRotateToInterfaceOrientationDuration(UIInterfaceOrientation orientation, double duration) {
    if (capturedImageV_->image()) {
        capturedImageV_->setBackgroundColor(UIColor::blackColor());
        view()->insertSubviewBelowSubview(rotationCover_, capturedImageV_);
        if (!isImageResized_) {
            isRotateWaitingForResizedImage_ = true;
            resizeImage();
        }
    }
    const bool landscape = isLandscape(orientation);
    const CGSize size = landscape ? CGSizeMake(screenHeight_, screenWidth_) : CGSizeMake(screenWidth_, screenHeight_);
    if (auto connection = preview_ ? preview_->connection() : nullptr)
        connection->setVideoOrientation(landscape ? static_cast<AVCaptureVideoOrientation>(orientation) : AVCaptureVideoOrientationPortrait);
    UIView::animateWithDuration(duration, 0, UIViewAnimationOptionCurveEaseOut, [this, size] {
        capturedImageV_->setFrame(CGRectMake(0, 0, size.width, size.height));
        imageStreamV_->setFrame(CGRectMake(0, 0, size.width, size.height));
        view()->setFrame(CGRectMake(0, 0, size.width, size.height));
        preview_->setFrame(imageStreamV_->bounds());
    }, [weak = std::weak_ptr<StillCam>(self<StillCam>())](bool) {
        if (auto camera = weak.lock()) camera->drawControls();
    });
}

void StillCam::closeWithCompletion(std::function<void()> completion) {
    if (rotationCover_) rotationCover_->setAlpha(0);
    auto keep = self<StillCam>();
    dismissViewControllerAnimatedCompletion(true, [keep, completion] {
        if (completion) completion();
        keep->isImageResized_ = keep->isSaveWaitingForResizedImage_ = keep->isRotateWaitingForResizedImage_ = false;
        if (keep->mySesh_) keep->mySesh_->stopRunning();
        keep->mySesh_ = nullptr;
        if (keep->capturedImageV_) {
            keep->capturedImageV_->setImage(nullptr);
            keep->capturedImageV_->removeFromSuperview();
        }
        keep->capturedImageV_ = nullptr;
        if (keep->imageStreamV_) keep->imageStreamV_->removeFromSuperview();
        if (keep->rotationCover_) keep->rotationCover_->removeFromSuperview();
        keep->imageStreamV_ = keep->rotationCover_ = nullptr;
        keep->stillImageOutput_ = nullptr;
        keep->myDevice_ = nullptr;
        keep->setView(nullptr);
        keep->delegate_ = nullptr;
        keep->removeFromParentViewController();
    });
}
