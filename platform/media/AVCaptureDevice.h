#pragma once
// The cameras of the device profile: entry 0 the back camera (flash, focus and exposure points),
// entry 1 the front camera (none of them). Flash, focus and exposure settings are recorded state,
// changed only under the configuration lock, which the profile grants or refuses. Each camera
// keeps its state for the process; devicesWithMediaType: answers the same objects while the
// profile's cameras stay.

#include "platform/foundation/NSError.h"
#include "platform/graphics/CGGeometry.h"
#include "platform/graphics/CGImage.h"

#include <memory>
#include <string>
#include <vector>

inline constexpr char AVMediaTypeVideo[] = "vide";
inline constexpr char AVMediaTypeAudio[] = "soun";

enum AVCaptureDevicePosition : long { AVCaptureDevicePositionUnspecified = 0, AVCaptureDevicePositionBack = 1, AVCaptureDevicePositionFront = 2 };
enum AVCaptureFlashMode : long { AVCaptureFlashModeOff = 0, AVCaptureFlashModeOn = 1, AVCaptureFlashModeAuto = 2 };
enum AVCaptureFocusMode : long { AVCaptureFocusModeLocked = 0, AVCaptureFocusModeAutoFocus = 1, AVCaptureFocusModeContinuousAutoFocus = 2 };
enum AVCaptureExposureMode : long {
    AVCaptureExposureModeLocked = 0,
    AVCaptureExposureModeAutoExpose = 1,
    AVCaptureExposureModeContinuousAutoExposure = 2,
};

class AVCaptureDevice;
using AVCaptureDevicePtr = std::shared_ptr<AVCaptureDevice>;

class AVCaptureDevice : public NSObject {
public:
    AVCaptureDevice(AVCaptureDevicePosition position, std::string name, bool capable);

    static std::vector<AVCaptureDevicePtr> devicesWithMediaType(const std::string& mediaType);
    static AVCaptureDevicePtr defaultDeviceWithMediaType(const std::string& mediaType);

    std::string uniqueID() const;
    const std::string& localizedName() const { return name_; }
    AVCaptureDevicePosition position() const { return position_; }
    bool hasMediaType(const std::string& mediaType) const { return mediaType == AVMediaTypeVideo; }

    // false (with an error) when the profile refuses the lock.
    bool lockForConfiguration(NSErrorPtr* error);
    void unlockForConfiguration();
    bool isLockedForConfiguration() const { return locked_; }

    bool hasFlash() const { return capable_; }
    bool isFlashAvailable() const { return capable_; }
    bool isFlashActive() const { return capable_ && flashMode_ == AVCaptureFlashModeOn; }
    bool isFlashModeSupported(AVCaptureFlashMode) const { return capable_; }
    AVCaptureFlashMode flashMode() const { return flashMode_; }
    // Ignored unless locked and supported.
    void setFlashMode(AVCaptureFlashMode mode);

    bool isFocusPointOfInterestSupported() const { return capable_; }
    bool isFocusModeSupported(AVCaptureFocusMode mode) const { return capable_ || mode == AVCaptureFocusModeLocked; }
    CGPoint focusPointOfInterest() const { return focusPoint_; }
    void setFocusPointOfInterest(CGPoint point);
    AVCaptureFocusMode focusMode() const { return focusMode_; }
    void setFocusMode(AVCaptureFocusMode mode);
    bool isExposurePointOfInterestSupported() const { return capable_; }
    bool isExposureModeSupported(AVCaptureExposureMode mode) const { return capable_ || mode == AVCaptureExposureModeLocked; }
    CGPoint exposurePointOfInterest() const { return exposurePoint_; }
    void setExposurePointOfInterest(CGPoint point);
    AVCaptureExposureMode exposureMode() const { return exposureMode_; }
    void setExposureMode(AVCaptureExposureMode mode);

    // What the camera sees now: the profile's image file, or a test pattern naming the camera, as
    // the sensor holds it (landscape, its top to the left of a phone held upright).
    CGImageRef currentFrame() const;

private:
    AVCaptureDevicePosition position_;
    std::string name_;
    bool capable_;
    bool locked_ = false;
    AVCaptureFlashMode flashMode_ = AVCaptureFlashModeAuto;
    AVCaptureFocusMode focusMode_ = AVCaptureFocusModeContinuousAutoFocus;
    AVCaptureExposureMode exposureMode_ = AVCaptureExposureModeContinuousAutoExposure;
    CGPoint focusPoint_{0.5, 0.5}, exposurePoint_{0.5, 0.5};
};
