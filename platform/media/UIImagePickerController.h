#pragma once
// The system's camera screen for video: the camera's picture with Record, Stop, Use Video and
// Cancel. Record starts a clip and Stop ends it; the clip holds the camera's frames for the
// platform clock's time between them, H.264 in a QuickTime file under the device's /tmp. Use
// Video hands its URL to the delegate (UIImagePickerControllerMediaURL); Cancel tells the delegate,
// or dismisses the screen when the delegate does not take it. Only the camera source is offered.

#include "platform/foundation/NSURL.h"
#include "platform/foundation/Value.h"
#include "platform/uikit/UIButton.h"
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

    void viewDidLoad() override;

    // What the four buttons do.
    void record();
    void stop();
    void useVideo();
    void cancel();

    bool isRecording() const { return recordStart_.has_value(); }
    // The finished clip's URL (nil before Stop or when writing failed).
    const NSURLPtr& clipURL() const { return clip_; }
    const std::shared_ptr<UIButton>& recordButton() const { return recordBtn_; }
    const std::shared_ptr<UIButton>& stopButton() const { return stopBtn_; }
    const std::shared_ptr<UIButton>& useButton() const { return useBtn_; }
    const std::shared_ptr<UIButton>& cancelButton() const { return cancelBtn_; }

    static constexpr int kFramesPerSecond = 10;

private:
    void showButtons();
    std::shared_ptr<UIButton> addButton(const std::string& title, CGFloat x, void (UIImagePickerController::*action)());
    // Writes the clip; the device path, empty on failure.
    std::string writeClip(double seconds) const;

    UIImagePickerControllerSourceType sourceType_ = UIImagePickerControllerSourceTypePhotoLibrary;
    std::vector<std::string> mediaTypes_;
    std::weak_ptr<UIImagePickerControllerDelegate> delegate_;
    std::optional<double> recordStart_;
    NSURLPtr clip_;
    std::shared_ptr<UIButton> recordBtn_, stopBtn_, useBtn_, cancelBtn_;
};
