#pragma once
// The system's camera screen for video: the camera's picture with Record, Stop, Use Video and
// Cancel. Record starts a clip and Stop ends it; the clip holds the camera's frames for the
// platform clock's time between them, H.264 in a QuickTime file under the device's /tmp. Use
// Video hands its URL to the delegate (UIImagePickerControllerMediaURL); Cancel tells the delegate,
// or dismisses the screen when the delegate does not take it. Only the camera source is offered.
//
// With allowsEditing on, Stop leads to the trim step instead: the clip's picture under a trim bar
// holding the whole clip, with Retake (the clip is dropped and the camera comes back) and Use
// Video. Dragging a finger along the bar moves the end of the kept range nearer to where it
// landed; Use Video then hands over a new clip of the kept length in place of the whole one.
//
// While the screen is up the camera's picture fills it behind the buttons, turned as the
// interface stands; the screen lays itself out afresh for its size, so a turn keeps the buttons
// along the bottom and the trim step's picture between the bar and the buttons.

#include "platform/foundation/NSURL.h"
#include "platform/foundation/Value.h"
#include "platform/media/AVCaptureSession.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UIViewController.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

enum UIImagePickerControllerSourceType : long {
    UIImagePickerControllerSourceTypePhotoLibrary = 0,
    UIImagePickerControllerSourceTypeCamera = 1,
    UIImagePickerControllerSourceTypeSavedPhotosAlbum = 2,
};
inline constexpr char UIImagePickerControllerMediaURL[] = "UIImagePickerControllerMediaURL";
inline constexpr char UIImagePickerControllerMediaType[] = "UIImagePickerControllerMediaType";
inline constexpr char kUTTypeMovie[] = "public.movie";

class UIImagePickerController;

class UIImagePickerControllerDelegate {
public:
    virtual ~UIImagePickerControllerDelegate() = default;
    // The clip's URL (an NSURL) under UIImagePickerControllerMediaURL and its type ("public.movie")
    // under UIImagePickerControllerMediaType.
    virtual void imagePickerControllerDidFinishPickingMediaWithInfo(UIImagePickerController&, const Value::Dictionary&) {}
    // Not implemented: the picker goes away by itself.
    virtual void imagePickerControllerDidCancel(UIImagePickerController& picker);
};

class UIImagePickerController : public UIViewController {
public:
    // Only the camera exists, and only while the device profile has one.
    static bool isSourceTypeAvailable(UIImagePickerControllerSourceType type);

    UIImagePickerControllerSourceType sourceType() const { return sourceType_; }
    void setSourceType(UIImagePickerControllerSourceType type) { sourceType_ = type; }
    const std::vector<std::string>& mediaTypes() const { return mediaTypes_; }
    void setMediaTypes(std::vector<std::string> types) { mediaTypes_ = std::move(types); }
    void setDelegate(std::weak_ptr<UIImagePickerControllerDelegate> delegate) { delegate_ = std::move(delegate); }
    std::shared_ptr<UIImagePickerControllerDelegate> delegate() const { return delegate_.lock(); }
    bool allowsEditing() const { return allowsEditing_; }
    void setAllowsEditing(bool allows) { allowsEditing_ = allows; }

    void viewDidLoad() override;
    void viewWillLayoutSubviews() override;
    void viewWillAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    // The camera's state ("live", "recording" or "trim") and, in the trim step, the kept range.
    void describeToScreen(UIScreenDescription& screen) override;

    // What the five buttons do.
    void record();
    void stop();
    void useVideo();
    void cancel();
    void retake();

    bool isRecording() const { return recordStart_.has_value(); }
    // A finished clip waits in the trim step (editing allowed only).
    bool isTrimming() const { return allowsEditing_ && clip_ && !isRecording(); }
    // The finished clip's length and the range of it Use Video keeps, in seconds.
    double clipDuration() const { return clipDuration_; }
    double trimStart() const { return trimStart_; }
    double trimEnd() const { return trimEnd_; }
    // What the trim bar's handles do: false, and nothing changes, outside the trim step, outside
    // the clip or for a range shorter than one frame.
    bool setTrimRange(double start, double end);
    const UIViewPtr& trimBar() const { return trimBar_; }
    // The finished clip's URL (nil before Stop or when writing failed).
    const NSURLPtr& clipURL() const { return clip_; }
    const std::shared_ptr<UIButton>& recordButton() const { return recordBtn_; }
    const std::shared_ptr<UIButton>& stopButton() const { return stopBtn_; }
    const std::shared_ptr<UIButton>& useButton() const { return useBtn_; }
    const std::shared_ptr<UIButton>& cancelButton() const { return cancelBtn_; }
    const std::shared_ptr<UIButton>& retakeButton() const { return retakeBtn_; }
    // The camera's live picture and the session that feeds it (running while the screen shows).
    const UIViewPtr& liveView() const { return liveView_; }
    const AVCaptureSessionPtr& captureSession() const { return session_; }

    static constexpr int kFramesPerSecond = 10;

private:
    void showButtons();
    std::shared_ptr<UIButton> addButton(const std::string& title, CGFloat x, void (UIImagePickerController::*action)());
    void addTrimStep();
    void addLiveView();
    void layOutTrimBar();
    void panTrimBar(UIGestureRecognizer& gesture);
    // What the camera sees, at the clip's size; nil without a camera.
    UIImagePtr cameraPicture() const;
    // Writes a clip of the picture; the device path, empty on failure.
    std::string writeClip(const UIImagePtr& picture, double seconds) const;
    // The clip Use Video hands over: the whole one, or a new one of the kept length.
    NSURLPtr keptClip();

    UIImagePickerControllerSourceType sourceType_ = UIImagePickerControllerSourceTypePhotoLibrary;
    std::vector<std::string> mediaTypes_;
    std::weak_ptr<UIImagePickerControllerDelegate> delegate_;
    bool allowsEditing_ = false;
    std::optional<double> recordStart_;
    NSURLPtr clip_;
    UIImagePtr picture_;
    double clipDuration_ = 0, trimStart_ = 0, trimEnd_ = 0;
    // The handle a drag along the bar moves: the range's start or its end.
    bool draggingStart_ = false;
    std::shared_ptr<UIButton> recordBtn_, stopBtn_, useBtn_, cancelBtn_, retakeBtn_;
    std::shared_ptr<UIImageView> reviewView_;
    UIViewPtr trimBar_, keptRange_;
    UIViewPtr liveView_;
    AVCaptureSessionPtr session_;
    std::shared_ptr<AVCaptureVideoPreviewLayer> preview_;
};
