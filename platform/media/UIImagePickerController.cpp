#include "platform/media/UIImagePickerController.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/PlatformClock.h"
#include "platform/foundation/WholeFile.h"
#include "platform/media/AVCaptureDevice.h"
#include "platform/media/MediaWriter.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIPanGestureRecognizer.h"
#include "platform/uikit/UIScreenDescription.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>

void UIImagePickerControllerDelegate::imagePickerControllerDidCancel(UIImagePickerController& picker) {
    picker.dismissViewControllerAnimatedCompletion(true, nullptr);
}

namespace {
// The trim bar across the top, the clip's picture under it, the kept range framed in yellow.
constexpr CGFloat kTrimBarInset = 10;
constexpr CGFloat kTrimBarY = 40;
constexpr CGFloat kTrimBarHeight = 44;
constexpr CGFloat kKeptBorderWidth = 3;
constexpr CGFloat kReviewY = 120;
// The buttons' row: this far above the bottom edge, each this wide and high.
constexpr CGFloat kButtonRowInset = 60;
constexpr CGFloat kPickerButtonWidth = 90;
constexpr CGFloat kPickerButtonHeight = 44;
constexpr CGFloat kPickerButtonMargin = 10;
constexpr CGFloat kReviewGap = 8;
constexpr int kClipWidth = 640;
constexpr int kClipHeight = 480;
constexpr char kClipFolder[] = "/tmp";
// Names taken by the clips of earlier runs are skipped, this many at most.
constexpr int kClipNameTries = 1000;

int frameCount(double seconds) {
    return std::max(1, static_cast<int>(std::lround(seconds * UIImagePickerController::kFramesPerSecond)));
}
double frameTime(int frames) { return static_cast<double>(frames) / UIImagePickerController::kFramesPerSecond; }
// Room for the rounding of a range measured on the bar.
constexpr double kTimeSlack = 1e-9;
} // namespace

bool UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceType type) {
    return type == UIImagePickerControllerSourceTypeCamera && !AVCaptureDevice::devicesWithMediaType(AVMediaTypeVideo).empty();
}

std::shared_ptr<UIButton> UIImagePickerController::addButton(const std::string& title, CGFloat x,
                                                             void (UIImagePickerController::*action)()) {
    auto button = UIButton::buttonWithType(UIButtonTypeSystem);
    button->setTitleForState(title, UIControlStateNormal);
    button->setFrame(CGRectMake(x, view()->bounds().size.height - kButtonRowInset, kPickerButtonWidth, kPickerButtonHeight));
    button->addTargetActionForControlEvents(self<UIImagePickerController>(), action, UIControlEventTouchUpInside);
    view()->addSubview(button);
    return button;
}

void UIImagePickerController::viewDidLoad() {
    UIViewController::viewDidLoad();
    view()->setBackgroundColor(UIColor::blackColor());
    const CGFloat width = view()->bounds().size.width;
    addLiveView();
    addTrimStep();
    cancelBtn_ = addButton("Cancel", 10, &UIImagePickerController::cancel);
    retakeBtn_ = addButton("Retake", 10, &UIImagePickerController::retake);
    recordBtn_ = addButton("Record", width / 2 - 45, &UIImagePickerController::record);
    stopBtn_ = addButton("Stop", width / 2 - 45, &UIImagePickerController::stop);
    useBtn_ = addButton("Use Video", width - 100, &UIImagePickerController::useVideo);
    showButtons();
}

void UIImagePickerController::addLiveView() {
    liveView_ = std::make_shared<UIView>(view()->bounds());
    liveView_->setUserInteractionEnabled(false);
    view()->addSubview(liveView_);
    session_ = std::make_shared<AVCaptureSession>();
    auto cameras = AVCaptureDevice::devicesWithMediaType(AVMediaTypeVideo);
    if (auto input = AVCaptureDeviceInput::deviceInputWithDevice(cameras.empty() ? nullptr : cameras[0], nullptr))
        session_->addInput(input);
    preview_ = AVCaptureVideoPreviewLayer::layerWithSession(session_);
    preview_->setVideoGravity(AVLayerVideoGravityResizeAspectFill);
    preview_->setFrame(liveView_->layer()->bounds());
    liveView_->layer()->addSublayer(preview_);
}

void UIImagePickerController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    if (session_) session_->startRunning();
}

void UIImagePickerController::viewDidDisappear(bool animated) {
    UIViewController::viewDidDisappear(animated);
    if (session_) session_->stopRunning();
}

// Everything from the view's size as it stands: the live picture filling it, turned as the
// interface is held; the buttons along the bottom; the trim bar across the top and the clip's
// picture between it and the buttons.
void UIImagePickerController::viewWillLayoutSubviews() {
    UIViewController::viewWillLayoutSubviews();
    if (!liveView_) return;
    const CGRect b = view()->bounds();
    const CGFloat w = b.size.width, h = b.size.height;
    liveView_->setFrame(b);
    preview_->setFrame(liveView_->layer()->bounds());
    if (auto connection = preview_->connection()) {
        switch (interfaceOrientation()) {
        case UIInterfaceOrientationLandscapeLeft: connection->setVideoOrientation(AVCaptureVideoOrientationLandscapeLeft); break;
        case UIInterfaceOrientationLandscapeRight: connection->setVideoOrientation(AVCaptureVideoOrientationLandscapeRight); break;
        case UIInterfaceOrientationPortraitUpsideDown:
            connection->setVideoOrientation(AVCaptureVideoOrientationPortraitUpsideDown);
            break;
        default: connection->setVideoOrientation(AVCaptureVideoOrientationPortrait); break;
        }
    }
    preview_->setNeedsDisplay();
    const CGFloat row = h - kButtonRowInset;
    for (auto& [button, x] : std::initializer_list<std::pair<std::shared_ptr<UIButton>, CGFloat>>{
             {cancelBtn_, kPickerButtonMargin},
             {retakeBtn_, kPickerButtonMargin},
             {recordBtn_, w / 2 - kPickerButtonWidth / 2},
             {stopBtn_, w / 2 - kPickerButtonWidth / 2},
             {useBtn_, w - kPickerButtonWidth - kPickerButtonMargin}})
        if (button) button->setFrame(CGRectMake(x, row, kPickerButtonWidth, kPickerButtonHeight));
    trimBar_->setFrame(CGRectMake(kTrimBarInset, kTrimBarY, w - 2 * kTrimBarInset, kTrimBarHeight));
    // The clip's picture at the screen's width below the bar, or, where the screen is too short
    // for that, as large as fits between the bar and the buttons.
    const CGFloat wide = w * kClipHeight / kClipWidth;
    CGRect review = CGRectMake(0, kReviewY, w, wide);
    if (kReviewY + wide > row - kReviewGap) {
        const CGFloat top = kTrimBarY + kTrimBarHeight + kReviewGap;
        review = CGRectMake(0, top, w, std::max<CGFloat>(0, row - kReviewGap - top));
    }
    reviewView_->setFrame(review);
    layOutTrimBar();
}

void UIImagePickerController::addTrimStep() {
    const CGFloat width = view()->bounds().size.width;
    reviewView_ = std::make_shared<UIImageView>(CGRectMake(0, kReviewY, width, width * kClipHeight / kClipWidth));
    reviewView_->setContentMode(UIViewContentModeScaleAspectFit);
    view()->addSubview(reviewView_);
    trimBar_ = std::make_shared<UIView>(CGRectMake(kTrimBarInset, kTrimBarY, width - 2 * kTrimBarInset, kTrimBarHeight));
    trimBar_->setBackgroundColor(UIColor::darkGrayColor());
    keptRange_ = std::make_shared<UIView>(trimBar_->bounds());
    keptRange_->setBackgroundColor(UIColor::clearColor());
    keptRange_->layer()->setBorderColor(UIColor::yellowColor());
    keptRange_->layer()->setBorderWidth(kKeptBorderWidth);
    keptRange_->setUserInteractionEnabled(false);
    trimBar_->addSubview(keptRange_);
    trimBar_->addGestureRecognizer(std::make_shared<UIPanGestureRecognizer>(
        self<UIImagePickerController>(), &UIImagePickerController::panTrimBar));
    view()->addSubview(trimBar_);
}

void UIImagePickerController::showButtons() {
    if (!recordBtn_) return;
    const bool trimming = isTrimming();
    recordBtn_->setHidden(isRecording() || trimming);
    stopBtn_->setHidden(!isRecording());
    useBtn_->setHidden(isRecording() || !clip_);
    cancelBtn_->setHidden(isRecording() || trimming);
    retakeBtn_->setHidden(!trimming);
    reviewView_->setImage(trimming ? picture_ : nullptr);
    reviewView_->setHidden(!trimming);
    liveView_->setHidden(trimming);
    trimBar_->setHidden(!trimming);
    layOutTrimBar();
}

void UIImagePickerController::layOutTrimBar() {
    if (!keptRange_ || clipDuration_ <= 0) return;
    const CGRect bar = trimBar_->bounds();
    const CGFloat x = bar.size.width * trimStart_ / clipDuration_;
    keptRange_->setFrame(CGRectMake(x, 0, bar.size.width * trimEnd_ / clipDuration_ - x, bar.size.height));
}

void UIImagePickerController::describeToScreen(UIScreenDescription& screen) {
    std::string line = "video camera: ";
    line += isRecording() ? "recording" : isTrimming() ? "trim" : "live";
    if (isTrimming()) {
        char range[96];
        std::snprintf(range, sizeof range, ", keeping %.1f s to %.1f s of %.1f s", trimStart_, trimEnd_, clipDuration_);
        line += range;
    }
    screen.addLine(line);
    UIViewController::describeToScreen(screen);
}

void UIImagePickerController::record() {
    if (isRecording() || isTrimming()) return;
    recordStart_ = PlatformClock::monotonic();
    clip_ = nullptr;
    showButtons();
}

void UIImagePickerController::stop() {
    if (!isRecording()) return;
    const double seconds = std::max(0.0, PlatformClock::monotonic() - *recordStart_);
    recordStart_.reset();
    picture_ = cameraPicture();
    const std::string path = picture_ ? writeClip(picture_, seconds) : std::string();
    clip_ = path.empty() ? nullptr : NSURL::fileURLWithPath(path);
    if (!clip_) NSLog("Video capture failed");
    clipDuration_ = clip_ ? frameTime(frameCount(seconds)) : 0;
    trimStart_ = 0;
    trimEnd_ = clipDuration_;
    showButtons();
}

UIImagePtr UIImagePickerController::cameraPicture() const {
    auto cameras = AVCaptureDevice::devicesWithMediaType(AVMediaTypeVideo);
    auto seen = cameras.empty() ? nullptr : cameras[0]->currentFrame();
    if (!seen) return nullptr;
    // Recorded turned as the live picture showed it while filming, so that the clip keeps the
    // orientation it was filmed in through the trim step and after.
    auto connection = preview_ ? preview_->connection() : nullptr;
    const auto orientation = connection ? connection->videoOrientation() : AVCaptureVideoOrientationLandscapeRight;
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(kClipWidth, kClipHeight), true, 1);
    if (auto context = UIGraphicsGetCurrentContext())
        AVCaptureVideoPreviewLayer::drawFrame(*context, *seen, orientation, AVLayerVideoGravityResizeAspectFill,
                                              CGRectMake(0, 0, kClipWidth, kClipHeight));
    auto drawn = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return drawn;
}

std::string UIImagePickerController::writeClip(const UIImagePtr& picture, double seconds) const {
    static std::atomic<int> counter{0};
    auto nextName = [] { return "capture-" + std::to_string(++counter) + ".mov"; };
    NSFileManager::defaultManager()->createDirectoryAtPath(kClipFolder, true, nullptr, nullptr);
    // Encoded under a temporary name, the clip appears whole or not at all, and never over a clip
    // an earlier run left under the same number.
    std::string name = nextName();
    WholeFileWriter file;
    if (file.begin(NSString::stringByAppendingPathComponent(kClipFolder, name)) != 0) return {};
    {
        auto writer = MediaWriter::forVideo(file.temporaryHostPath(), kClipWidth, kClipHeight, kFramesPerSecond);
        if (!writer) return {};
        const int frames = frameCount(seconds);
        for (int i = 0; i < frames; ++i)
            if (!writer->appendFrame(*picture->CGImage())) return {};
        if (!writer->finish()) return {};
    }
    for (int tries = 0; tries < kClipNameTries; ++tries) {
        const int e = file.commit(WholeFileWriter::Sync::None, WholeFileWriter::Existing::Keep);
        if (e == 0) return NSString::stringByAppendingPathComponent(kClipFolder, name);
        if (e != EEXIST) return {};
        name = nextName();
        file.setFinalName(name);
    }
    return {};
}

bool UIImagePickerController::setTrimRange(double start, double end) {
    if (!isTrimming() || !(start >= 0) || !(end <= clipDuration_ + kTimeSlack) || end - start < frameTime(1) - kTimeSlack) return false;
    trimStart_ = start;
    trimEnd_ = std::min(end, clipDuration_);
    layOutTrimBar();
    return true;
}

// A finger moves the end of the kept range nearer to where it landed, never closer than a frame
// to the other end.
void UIImagePickerController::panTrimBar(UIGestureRecognizer& gesture) {
    auto& pan = static_cast<UIPanGestureRecognizer&>(gesture);
    const CGFloat width = trimBar_->bounds().size.width;
    if (!isTrimming() || width <= 0) return;
    auto timeAt = [&](CGFloat x) { return std::clamp(static_cast<double>(x / width), 0.0, 1.0) * clipDuration_; };
    const CGPoint at = pan.locationInView(trimBar_);
    if (pan.state() == UIGestureRecognizerStateBegan) {
        const double landed = timeAt(at.x - pan.translationInView(trimBar_).x);
        draggingStart_ = std::abs(landed - trimStart_) < std::abs(landed - trimEnd_);
    }
    if (pan.state() != UIGestureRecognizerStateBegan && pan.state() != UIGestureRecognizerStateChanged) return;
    if (draggingStart_) setTrimRange(std::min(timeAt(at.x), trimEnd_ - frameTime(1)), trimEnd_);
    else setTrimRange(trimStart_, std::max(timeAt(at.x), trimStart_ + frameTime(1)));
}

NSURLPtr UIImagePickerController::keptClip() {
    if (!isTrimming() || (trimStart_ == 0 && trimEnd_ == clipDuration_)) return clip_;
    const std::string path = writeClip(picture_, trimEnd_ - trimStart_);
    if (path.empty()) {
        NSLog("Video trimming failed");
        return nullptr;
    }
    // The whole clip was the picker's own; the trimmed one takes its place.
    NSFileManager::defaultManager()->removeItemAtPath(clip_->path(), nullptr);
    clip_ = NSURL::fileURLWithPath(path);
    clipDuration_ = frameTime(frameCount(trimEnd_ - trimStart_));
    trimStart_ = 0;
    trimEnd_ = clipDuration_;
    layOutTrimBar();
    return clip_;
}

void UIImagePickerController::useVideo() {
    if (!clip_ || isRecording()) return;
    auto keep = std::static_pointer_cast<UIImagePickerController>(shared_from_this());
    auto url = keptClip();
    if (!url) return;
    if (auto delegate = delegate_.lock())
        delegate->imagePickerControllerDidFinishPickingMediaWithInfo(*this, {{UIImagePickerControllerMediaURL, Value(url)},
                                                                             {UIImagePickerControllerMediaType, Value(kUTTypeMovie)}});
}

void UIImagePickerController::retake() {
    if (!isTrimming()) return;
    NSFileManager::defaultManager()->removeItemAtPath(clip_->path(), nullptr);
    clip_ = nullptr;
    picture_ = nullptr;
    clipDuration_ = trimStart_ = trimEnd_ = 0;
    showButtons();
}

void UIImagePickerController::cancel() {
    auto keep = std::static_pointer_cast<UIImagePickerController>(shared_from_this());
    if (auto delegate = delegate_.lock()) delegate->imagePickerControllerDidCancel(*this);
    else dismissViewControllerAnimatedCompletion(true, nullptr);
}
