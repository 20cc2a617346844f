#include "platform/media/UIImagePickerController.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/media/AVCaptureDevice.h"
#include "platform/media/MediaWriter.h"
#include "platform/uikit/UIGraphics.h"

#include <algorithm>
#include <atomic>
#include <cmath>

void UIImagePickerControllerDelegate::imagePickerControllerDidCancel(UIImagePickerController& picker) {
    picker.dismissViewControllerAnimatedCompletion(true, nullptr);
}

bool UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceType type) {
    return type == UIImagePickerControllerSourceTypeCamera && !AVCaptureDevice::devicesWithMediaType(AVMediaTypeVideo).empty();
}

std::shared_ptr<UIButton> UIImagePickerController::addButton(const std::string& title, CGFloat x,
                                                             void (UIImagePickerController::*action)()) {
    auto button = UIButton::buttonWithType(UIButtonTypeSystem);
    button->setTitleForState(title, UIControlStateNormal);
    button->setFrame(CGRectMake(x, view()->bounds().size.height - 60, 90, 44));
    button->addTargetActionForControlEvents(shared_from_this(), [action](NSObject& target, UIControl&, UIEvent*) {
        (static_cast<UIImagePickerController&>(target).*action)();
    }, UIControlEventTouchUpInside);
    view()->addSubview(button);
    return button;
}

void UIImagePickerController::viewDidLoad() {
    UIViewController::viewDidLoad();
    view()->setBackgroundColor(UIColor::blackColor());
    const CGFloat width = view()->bounds().size.width;
    cancelBtn_ = addButton("Cancel", 10, &UIImagePickerController::cancel);
    recordBtn_ = addButton("Record", width / 2 - 45, &UIImagePickerController::record);
    stopBtn_ = addButton("Stop", width / 2 - 45, &UIImagePickerController::stop);
    useBtn_ = addButton("Use Video", width - 100, &UIImagePickerController::useVideo);
    showButtons();
}

void UIImagePickerController::showButtons() {
    if (!recordBtn_) return;
    recordBtn_->setHidden(isRecording());
    stopBtn_->setHidden(!isRecording());
    useBtn_->setHidden(isRecording() || !clip_);
    cancelBtn_->setHidden(isRecording());
}

void UIImagePickerController::record() {
    if (isRecording()) return;
    recordStart_ = PlatformClock::monotonic();
    clip_ = nullptr;
    showButtons();
}

void UIImagePickerController::stop() {
    if (!isRecording()) return;
    const double seconds = std::max(0.0, PlatformClock::monotonic() - *recordStart_);
    recordStart_.reset();
    const std::string path = writeClip(seconds);
    clip_ = path.empty() ? nullptr : NSURL::fileURLWithPath(path);
    if (!clip_) NSLog("Video capture failed");
    showButtons();
}

std::string UIImagePickerController::writeClip(double seconds) const {
    auto cameras = AVCaptureDevice::devicesWithMediaType(AVMediaTypeVideo);
    if (cameras.empty()) return {};
    static std::atomic<int> counter{0};
    const std::string path = "/tmp/capture-" + std::to_string(++counter) + ".mov";
    NSFileManager::defaultManager()->createDirectoryAtPath("/tmp", true, nullptr, nullptr);
    auto writer = MediaWriter::forVideo(DeviceRoot::hostPath(path), 640, 480, kFramesPerSecond);
    if (!writer) return {};
    // What the camera sees, at the clip's size.
    auto seen = cameras[0]->currentFrame();
    if (!seen) return {};
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(640, 480), true, 1);
    UIImage::imageWithCGImage(seen)->drawInRect(CGRectMake(0, 0, 640, 480));
    auto drawn = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    if (!drawn) return {};
    const int frames = std::max(1, static_cast<int>(std::lround(seconds * kFramesPerSecond)));
    for (int i = 0; i < frames; ++i)
        if (!writer->appendFrame(*drawn->CGImage())) return {};
    return writer->finish() ? path : std::string();
}

void UIImagePickerController::useVideo() {
    if (!clip_) return;
    auto keep = std::static_pointer_cast<UIImagePickerController>(shared_from_this());
    if (auto delegate = delegate_.lock())
        delegate->imagePickerControllerDidFinishPickingMediaWithInfo(*this, {{UIImagePickerControllerMediaURL, Value(clip_)},
                                                                             {UIImagePickerControllerMediaType, Value(kUTTypeMovie)}});
}

void UIImagePickerController::cancel() {
    auto keep = std::static_pointer_cast<UIImagePickerController>(shared_from_this());
    if (auto delegate = delegate_.lock()) delegate->imagePickerControllerDidCancel(*this);
    else dismissViewControllerAnimatedCompletion(true, nullptr);
}
