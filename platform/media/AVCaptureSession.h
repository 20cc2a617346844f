#pragma once
// A capture session over the profile's cameras: inputs (a camera), outputs (the still image
// output), connections between them, and whether it runs. The still output captures the
// camera's current frame as a JPEG whose EXIF orientation follows the connection's video
// orientation, completing on its capture queue. The preview layer records its session, gravity
// and connection, and shows the camera's current frame while the session runs, turned as the
// connection's orientation holds it.

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/Value.h"
#include "platform/media/AVCaptureDevice.h"
#include "platform/uikit/CALayer.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

inline constexpr char AVCaptureSessionPresetPhoto[] = "AVCaptureSessionPresetPhoto";
inline constexpr char AVCaptureSessionPresetHigh[] = "AVCaptureSessionPresetHigh";
inline constexpr char AVVideoCodecKey[] = "AVVideoCodecKey";
inline constexpr char AVVideoCodecJPEG[] = "jpeg";
inline constexpr char AVLayerVideoGravityResizeAspect[] = "AVLayerVideoGravityResizeAspect";
inline constexpr char AVLayerVideoGravityResizeAspectFill[] = "AVLayerVideoGravityResizeAspectFill";
inline constexpr char AVLayerVideoGravityResize[] = "AVLayerVideoGravityResize";

enum AVCaptureVideoOrientation : long {
    AVCaptureVideoOrientationPortrait = 1,
    AVCaptureVideoOrientationPortraitUpsideDown = 2,
    AVCaptureVideoOrientationLandscapeRight = 3,
    AVCaptureVideoOrientationLandscapeLeft = 4,
};

class AVCaptureDeviceInput : public NSObject {
public:
    explicit AVCaptureDeviceInput(AVCaptureDevicePtr device) : device_(std::move(device)) {}
    // nil with an error without a camera.
    static std::shared_ptr<AVCaptureDeviceInput> deviceInputWithDevice(const AVCaptureDevicePtr& device, NSErrorPtr* error);
    const AVCaptureDevicePtr& device() const { return device_; }

private:
    AVCaptureDevicePtr device_;
};
using AVCaptureDeviceInputPtr = std::shared_ptr<AVCaptureDeviceInput>;

struct AVCaptureInputPort {
    std::string mediaType;
};

class AVCaptureConnection : public NSObject {
public:
    explicit AVCaptureConnection(AVCaptureDeviceInputPtr input) : input_(std::move(input)) {}
    std::vector<AVCaptureInputPort> inputPorts() const { return {AVCaptureInputPort{AVMediaTypeVideo}}; }
    const AVCaptureDeviceInputPtr& input() const { return input_; }
    bool isVideoOrientationSupported() const { return true; }
    AVCaptureVideoOrientation videoOrientation() const { return orientation_; }
    void setVideoOrientation(AVCaptureVideoOrientation orientation) { orientation_ = orientation; }

private:
    AVCaptureDeviceInputPtr input_;
    AVCaptureVideoOrientation orientation_ = AVCaptureVideoOrientationPortrait;
};
using AVCaptureConnectionPtr = std::shared_ptr<AVCaptureConnection>;

class AVCaptureSession;

struct CMSampleBuffer {
    std::vector<std::uint8_t> jpeg;
};
using CMSampleBufferRef = std::shared_ptr<CMSampleBuffer>;

class AVCaptureStillImageOutput : public NSObject {
public:
    using Handler = std::function<void(const CMSampleBufferRef& buffer, const NSErrorPtr& error)>;

    void setOutputSettings(Value::Dictionary settings) { settings_ = std::move(settings); }
    const Value::Dictionary& outputSettings() const { return settings_; }
    // One connection while the session holds a camera input.
    std::vector<AVCaptureConnectionPtr> connections() const;
    bool isCapturingStillImage() const { return capturing_; }
    // The camera's current frame on the capture queue; an error when the connection has no camera
    // or the session does not run.
    void captureStillImageAsynchronouslyFromConnection(const AVCaptureConnectionPtr& connection, Handler handler);
    static NSDataPtr jpegStillImageNSDataRepresentation(const CMSampleBufferRef& buffer);

private:
    friend class AVCaptureSession;
    std::weak_ptr<AVCaptureSession> session_;
    Value::Dictionary settings_;
    std::atomic<bool> capturing_{false};
};
using AVCaptureStillImageOutputPtr = std::shared_ptr<AVCaptureStillImageOutput>;

class AVCaptureSession : public NSObject {
public:
    const std::string& sessionPreset() const { return preset_; }
    void setSessionPreset(const std::string& preset) { preset_ = preset; }
    bool canAddInput(const AVCaptureDeviceInputPtr& input) const { return input && inputs().empty(); }
    void addInput(const AVCaptureDeviceInputPtr& input);
    void removeInput(const AVCaptureDeviceInputPtr& input);
    std::vector<AVCaptureDeviceInputPtr> inputs() const;
    bool canAddOutput(const AVCaptureStillImageOutputPtr& output) const { return output != nullptr; }
    void addOutput(const AVCaptureStillImageOutputPtr& output);
    std::vector<AVCaptureStillImageOutputPtr> outputs() const;
    void beginConfiguration() {}
    void commitConfiguration() {}
    void startRunning() { running_ = true; }
    void stopRunning() { running_ = false; }
    bool isRunning() const { return running_; }
    // The connection of the session's camera (one, shared by outputs and preview); nil without.
    AVCaptureConnectionPtr videoConnection() const;

private:
    mutable std::mutex lock_;
    std::string preset_ = AVCaptureSessionPresetHigh;
    std::vector<AVCaptureDeviceInputPtr> inputs_;
    std::vector<AVCaptureStillImageOutputPtr> outputs_;
    AVCaptureConnectionPtr connection_;
    std::atomic<bool> running_{false};
};
using AVCaptureSessionPtr = std::shared_ptr<AVCaptureSession>;

class AVCaptureVideoPreviewLayer : public CALayer {
public:
    static std::shared_ptr<AVCaptureVideoPreviewLayer> layerWithSession(const AVCaptureSessionPtr& session);
    AVCaptureSessionPtr session() const { return session_; }
    const std::string& videoGravity() const { return gravity_; }
    void setVideoGravity(const std::string& gravity) { gravity_ = gravity; }
    AVCaptureConnectionPtr connection() const { return session_ ? session_->videoConnection() : nullptr; }
    void drawInContext(CGContext& context) override;
    // A camera frame drawn into the rect as a preview of that gravity shows it for the orientation:
    // the one picture the live view, and what is recorded from it, hold.
    static void drawFrame(CGContext& context, const CGImage& frame, AVCaptureVideoOrientation orientation,
                          const std::string& gravity, CGRect rect);

private:
    AVCaptureSessionPtr session_;
    std::string gravity_ = AVLayerVideoGravityResizeAspect;
};
