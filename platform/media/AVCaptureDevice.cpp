#include "platform/media/AVCaptureDevice.h"

#include "platform/foundation/NSData.h"
#include "platform/foundation/RegularFile.h"
#include "platform/graphics/CGImageDecoding.h"
#include "platform/media/SampleMedia.h"
#include "platform/system/DeviceProfile.h"

#include <algorithm>
#include <fcntl.h>
#include <mutex>

namespace {
constexpr int kSensorWidth = 1632, kSensorHeight = 1224;
// What an image file the camera sees may weigh: far more than any photo, far less than memory.
constexpr std::size_t kMaxCameraImageBytes = 64u << 20;

std::mutex camerasLock;
std::vector<AVCaptureDevicePtr> cameras; // as the profile last had them
} // namespace

AVCaptureDevice::AVCaptureDevice(AVCaptureDevicePosition position, std::string name, bool capable)
    : position_(position), name_(std::move(name)), capable_(capable) {
    if (!capable_) flashMode_ = AVCaptureFlashModeOff;
}

std::vector<AVCaptureDevicePtr> AVCaptureDevice::devicesWithMediaType(const std::string& mediaType) {
    if (mediaType != AVMediaTypeVideo) return {};
    const int count = std::clamp(DeviceProfile::current().cameraCount, 0, 2);
    std::lock_guard<std::mutex> guard(camerasLock);
    if (static_cast<int>(cameras.size()) != count) {
        cameras.clear();
        if (count > 0) cameras.push_back(std::make_shared<AVCaptureDevice>(AVCaptureDevicePositionBack, "Back Camera", true));
        if (count > 1) cameras.push_back(std::make_shared<AVCaptureDevice>(AVCaptureDevicePositionFront, "Front Camera", false));
    }
    return cameras;
}

AVCaptureDevicePtr AVCaptureDevice::defaultDeviceWithMediaType(const std::string& mediaType) {
    auto all = devicesWithMediaType(mediaType);
    return all.empty() ? nullptr : all.front();
}

std::string AVCaptureDevice::uniqueID() const {
    return position_ == AVCaptureDevicePositionFront ? "com.apple.avfoundation.avcapturedevice.built-in_video:1"
                                                     : "com.apple.avfoundation.avcapturedevice.built-in_video:0";
}

bool AVCaptureDevice::lockForConfiguration(NSErrorPtr* error) {
    if (!DeviceProfile::current().cameraLockGranted) {
        if (error) *error = NSError::errorWithDomain("AVFoundationErrorDomain", -11852, {{"NSLocalizedDescription", "Cannot use " + name_}});
        return false;
    }
    locked_ = true;
    return true;
}

void AVCaptureDevice::unlockForConfiguration() { locked_ = false; }

void AVCaptureDevice::setFlashMode(AVCaptureFlashMode mode) {
    if (locked_ && capable_) flashMode_ = mode;
}
void AVCaptureDevice::setFocusPointOfInterest(CGPoint point) {
    if (locked_ && capable_) focusPoint_ = point;
}
void AVCaptureDevice::setFocusMode(AVCaptureFocusMode mode) {
    if (locked_ && isFocusModeSupported(mode)) focusMode_ = mode;
}
void AVCaptureDevice::setExposurePointOfInterest(CGPoint point) {
    if (locked_ && capable_) exposurePoint_ = point;
}
void AVCaptureDevice::setExposureMode(AVCaptureExposureMode mode) {
    if (locked_ && isExposureModeSupported(mode)) exposureMode_ = mode;
}

CGImageRef AVCaptureDevice::currentFrame() const {
    const std::string file = DeviceProfile::current().cameraImagePath;
    if (!file.empty()) {
        // A file of this machine, whatever stands there: opened without waiting (a FIFO or a
        // device is refused, never read) and read only up to what a picture may weigh.
        std::vector<std::uint8_t> bytes;
        NSRegularFile picture = NSOpenRegularFileAt(AT_FDCWD, file);
        if (picture && NSReadRegularFile(picture, kMaxCameraImageBytes, bytes) == 0)
            if (auto image = CGImageDecoding::firstFrameOfImageData(bytes.data(), bytes.size())) return image;
    }
    return SampleMedia::picture(kSensorWidth, kSensorHeight, name_, position_ == AVCaptureDevicePositionFront ? 0.1 : 0.6);
}
