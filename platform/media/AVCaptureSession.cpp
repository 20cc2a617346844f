#include "platform/media/AVCaptureSession.h"

#include "platform/dispatch/dispatch.h"
#include "platform/graphics/CGImageEncoding.h"

#include "platform/uikit/UIView.h"

#include <algorithm>
#include <cmath>

namespace {
// EXIF's orientation of a sensor frame taken with the device held so.
int exifOrientationFor(AVCaptureVideoOrientation orientation) {
    switch (orientation) {
    case AVCaptureVideoOrientationPortrait: return 6;
    case AVCaptureVideoOrientationPortraitUpsideDown: return 8;
    case AVCaptureVideoOrientationLandscapeRight: return 1;
    case AVCaptureVideoOrientationLandscapeLeft: return 3;
    }
    return 1;
}

dispatch_queue_t captureQueue() {
    static dispatch_queue_t queue = dispatch_queue_create("com.apple.avfoundation.stillimagecapture");
    return queue;
}
} // namespace

std::shared_ptr<AVCaptureDeviceInput> AVCaptureDeviceInput::deviceInputWithDevice(const AVCaptureDevicePtr& device, NSErrorPtr* error) {
    if (!device) {
        if (error) *error = NSError::errorWithDomain("AVFoundationErrorDomain", -11814, {{"NSLocalizedDescription", "Cannot Record"}});
        return nullptr;
    }
    return std::make_shared<AVCaptureDeviceInput>(device);
}

void AVCaptureSession::addInput(const AVCaptureDeviceInputPtr& input) {
    if (!canAddInput(input)) return;
    std::lock_guard<std::mutex> guard(lock_);
    inputs_.push_back(input);
    connection_ = std::make_shared<AVCaptureConnection>(input);
}

void AVCaptureSession::removeInput(const AVCaptureDeviceInputPtr& input) {
    std::lock_guard<std::mutex> guard(lock_);
    inputs_.erase(std::remove(inputs_.begin(), inputs_.end(), input), inputs_.end());
    if (inputs_.empty()) connection_ = nullptr;
}

std::vector<AVCaptureDeviceInputPtr> AVCaptureSession::inputs() const {
    std::lock_guard<std::mutex> guard(lock_);
    return inputs_;
}

void AVCaptureSession::addOutput(const AVCaptureStillImageOutputPtr& output) {
    if (!output) return;
    std::lock_guard<std::mutex> guard(lock_);
    outputs_.push_back(output);
    output->session_ = self<AVCaptureSession>();
}

std::vector<AVCaptureStillImageOutputPtr> AVCaptureSession::outputs() const {
    std::lock_guard<std::mutex> guard(lock_);
    return outputs_;
}

AVCaptureConnectionPtr AVCaptureSession::videoConnection() const {
    std::lock_guard<std::mutex> guard(lock_);
    return connection_;
}

std::vector<AVCaptureConnectionPtr> AVCaptureStillImageOutput::connections() const {
    auto session = session_.lock();
    auto connection = session ? session->videoConnection() : nullptr;
    return connection ? std::vector<AVCaptureConnectionPtr>{connection} : std::vector<AVCaptureConnectionPtr>{};
}

void AVCaptureStillImageOutput::captureStillImageAsynchronouslyFromConnection(const AVCaptureConnectionPtr& connection, Handler handler) {
    auto session = session_.lock();
    const bool ready = connection && connection->input() && session && session->isRunning();
    capturing_ = ready;
    auto self = this->self<AVCaptureStillImageOutput>();
    dispatch_async(captureQueue(), [self, connection, ready, handler = std::move(handler)] {
        CMSampleBufferRef buffer;
        NSErrorPtr error;
        auto frame = ready ? connection->input()->device()->currentFrame() : nullptr;
        if (frame) {
            buffer = std::make_shared<CMSampleBuffer>();
            buffer->jpeg = CGImageEncoding::jpegData(*frame, 0.9, exifOrientationFor(connection->videoOrientation()));
        }
        if (!buffer || buffer->jpeg.empty()) {
            buffer = nullptr;
            error = NSError::errorWithDomain("AVFoundationErrorDomain", -11800, {{"NSLocalizedDescription", "The operation could not be completed"}});
        }
        self->capturing_ = false;
        if (handler) handler(buffer, error);
    });
}

NSDataPtr AVCaptureStillImageOutput::jpegStillImageNSDataRepresentation(const CMSampleBufferRef& buffer) {
    if (!buffer || buffer->jpeg.empty()) return nullptr;
    return std::make_shared<NSData>(buffer->jpeg);
}

std::shared_ptr<AVCaptureVideoPreviewLayer> AVCaptureVideoPreviewLayer::layerWithSession(const AVCaptureSessionPtr& session) {
    auto layer = std::make_shared<AVCaptureVideoPreviewLayer>();
    layer->session_ = session;
    return layer;
}

void AVCaptureVideoPreviewLayer::drawInContext(CGContext& context) {
    auto link = connection();
    if (!session_ || !session_->isRunning() || !link || !link->input()) return;
    auto frame = link->input()->device()->currentFrame();
    if (!frame) return;
    drawFrame(context, *frame, link->videoOrientation(), gravity_, bounds());
}

void AVCaptureVideoPreviewLayer::drawFrame(CGContext& context, const CGImage& frame, AVCaptureVideoOrientation orientation,
                                           const std::string& gravity, CGRect b) {
    // The sensor lies on its side: held upright, its frame turns a quarter clockwise.
    double turn = 0;
    switch (orientation) {
    case AVCaptureVideoOrientationPortrait: turn = M_PI / 2; break;
    case AVCaptureVideoOrientationPortraitUpsideDown: turn = -M_PI / 2; break;
    case AVCaptureVideoOrientationLandscapeLeft: turn = M_PI; break;
    case AVCaptureVideoOrientationLandscapeRight: break;
    }
    bool sideways = turn == M_PI / 2 || turn == -M_PI / 2;
    CGSize upright{static_cast<CGFloat>(sideways ? frame.height() : frame.width()),
                   static_cast<CGFloat>(sideways ? frame.width() : frame.height())};
    auto mode = gravity == AVLayerVideoGravityResizeAspectFill ? UIViewContentModeScaleAspectFill
                : gravity == AVLayerVideoGravityResize         ? UIViewContentModeScaleToFill
                                                               : UIViewContentModeScaleAspectFit;
    auto shown = UIViewContentModeRect(mode, upright, b);
    context.saveGState();
    context.clipToRect(b);
    context.translateCTM(CGRectGetMidX(shown), CGRectGetMidY(shown));
    context.rotateCTM(turn);
    CGFloat w = sideways ? shown.size.height : shown.size.width, h = sideways ? shown.size.width : shown.size.height;
    context.drawImage(CGRectMake(-w / 2, -h / 2, w, h), frame);
    context.restoreGState();
}
