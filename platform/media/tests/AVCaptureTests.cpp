#include "platform/media/AVCaptureSession.h"
#include "platform/graphics/CGContext.h"
#include "platform/graphics/CGImageProperties.h"
#include "platform/system/DeviceProfile.h"
#include "platform/testsupport/DeviceTest.h"
#include "platform/testsupport/RunLoopSupport.h"
#include "platform/uikit/UIImage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class AVCaptureTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        DeviceProfile::reset();
    }

    // A running session on the camera with a still output; the JPEG it captures with the
    // connection turned so.
    NSDataPtr capture(const AVCaptureDevicePtr& camera, AVCaptureVideoOrientation orientation) {
        auto session = std::make_shared<AVCaptureSession>();
        session->setSessionPreset(AVCaptureSessionPresetPhoto);
        session->addInput(AVCaptureDeviceInput::deviceInputWithDevice(camera, nullptr));
        auto output = std::make_shared<AVCaptureStillImageOutput>();
        output->setOutputSettings({{AVVideoCodecKey, AVVideoCodecJPEG}});
        session->addOutput(output);
        session->startRunning();
        auto connections = output->connections();
        EXPECT_EQ(connections.size(), 1u);
        if (connections.empty()) return nullptr;
        connections[0]->setVideoOrientation(orientation);
        std::atomic<bool> done{false};
        NSDataPtr jpeg;
        output->captureStillImageAsynchronouslyFromConnection(connections[0], [&](const CMSampleBufferRef& buffer, const NSErrorPtr&) {
            jpeg = AVCaptureStillImageOutput::jpegStillImageNSDataRepresentation(buffer);
            done = true;
        });
        EXPECT_TRUE(runMainUntil([&] { return done.load(); }));
        return jpeg;
    }
};

TEST_F(AVCaptureTest, TheProfileSaysWhichCamerasThereAreAndWhatTheyCanDo) {
    auto cameras = AVCaptureDevice::devicesWithMediaType(AVMediaTypeVideo);
    ASSERT_EQ(cameras.size(), 2u);
    EXPECT_EQ(cameras[0]->position(), AVCaptureDevicePositionBack);
    EXPECT_TRUE(cameras[0]->hasFlash());
    EXPECT_FALSE(cameras[1]->hasFlash());
    EXPECT_FALSE(cameras[1]->isFocusPointOfInterestSupported());
    EXPECT_EQ(AVCaptureDevice::devicesWithMediaType(AVMediaTypeVideo)[0], cameras[0]) << "state lives on";

    ASSERT_TRUE(cameras[0]->lockForConfiguration(nullptr));
    cameras[0]->setFlashMode(AVCaptureFlashModeOn);
    cameras[0]->setFocusPointOfInterest({0.25, 0.75});
    cameras[0]->unlockForConfiguration();
    cameras[0]->setFlashMode(AVCaptureFlashModeOff); // unlocked: ignored
    EXPECT_TRUE(cameras[0]->isFlashActive());
    EXPECT_EQ(cameras[0]->focusPointOfInterest().x, 0.25);

    DeviceProfile::update([](DeviceProfile& p) { p.cameraLockGranted = false; p.cameraCount = 1; });
    auto one = AVCaptureDevice::devicesWithMediaType(AVMediaTypeVideo);
    ASSERT_EQ(one.size(), 1u);
    NSErrorPtr error;
    EXPECT_FALSE(one[0]->lockForConfiguration(&error));
    EXPECT_TRUE(error);

    DeviceProfile::update([](DeviceProfile& p) { p.cameraCount = 0; });
    EXPECT_FALSE(AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo));
    error = nullptr;
    EXPECT_FALSE(AVCaptureDeviceInput::deviceInputWithDevice(nullptr, &error));
    EXPECT_TRUE(error);
}

TEST_F(AVCaptureTest, StillsAreTheCurrentFrameAsJPEGTurnedByTheConnection) {
    auto camera = AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo);
    struct Case {
        AVCaptureVideoOrientation orientation;
        int exif;
    };
    for (const Case c : {Case{AVCaptureVideoOrientationPortrait, 6}, Case{AVCaptureVideoOrientationLandscapeRight, 1},
                         Case{AVCaptureVideoOrientationLandscapeLeft, 3}, Case{AVCaptureVideoOrientationPortraitUpsideDown, 8}}) {
        SCOPED_TRACE(c.orientation);
        auto jpeg = capture(camera, c.orientation);
        ASSERT_TRUE(jpeg);
        auto headers = CGImageProperties::propertiesOfImageData(jpeg->bytes(), jpeg->length());
        EXPECT_EQ(headers.orientation, c.exif);
        EXPECT_EQ(headers.pixelWidth, 1632);
    }
    // A named image replaces the pattern.
    auto file = host("/frame.png");
    writeFile("/frame.png", "");
    auto picture = UIImagePNGRepresentation(UIImage::imageWithCGImage(CGImage::createWithSize(40, 30)));
    writeFile("/frame.png", std::string(reinterpret_cast<const char*>(picture->bytes()), picture->length()));
    DeviceProfile::update([&](DeviceProfile& p) { p.cameraImagePath = file; });
    auto jpeg = capture(camera, AVCaptureVideoOrientationLandscapeRight);
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(CGImageProperties::propertiesOfImageData(jpeg->bytes(), jpeg->length()).pixelWidth, 40);
}

// What the camera is told to see is read as the platform reads outside files: a FIFO is refused
// without waiting for a writer, and a file larger than any picture (8 GB, sparse) is refused by its
// size, unread; the camera then shows its pattern.
TEST_F(AVCaptureTest, ACameraNeverWaitsOnOrReadsWithoutBoundWhatItIsShown) {
    const std::string fifo = host("/seen.fifo"), huge = host("/seen.png");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    writeFile("/seen.png", "");
    ASSERT_EQ(::truncate(huge.c_str(), 8LL << 30), 0);
    auto camera = AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo);
    for (const std::string& path : {fifo, huge}) {
        SCOPED_TRACE(path);
        DeviceProfile::update([&](DeviceProfile& p) { p.cameraImagePath = path; });
        auto frame = camera->currentFrame();
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->width(), 1632) << "the pattern, at the sensor's size";
    }
    DeviceProfile::update([&](DeviceProfile& p) { p.cameraImagePath.clear(); });
}

TEST_F(AVCaptureTest, APreviewLayerRecordsItsSessionAndGravity) {
    auto session = std::make_shared<AVCaptureSession>();
    session->addInput(AVCaptureDeviceInput::deviceInputWithDevice(AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo), nullptr));
    auto layer = AVCaptureVideoPreviewLayer::layerWithSession(session);
    layer->setVideoGravity(AVLayerVideoGravityResizeAspectFill);
    EXPECT_EQ(layer->session(), session);
    EXPECT_EQ(layer->videoGravity(), AVLayerVideoGravityResizeAspectFill);
    ASSERT_TRUE(layer->connection());
    layer->connection()->setVideoOrientation(AVCaptureVideoOrientationLandscapeLeft);
    EXPECT_EQ(session->videoConnection()->videoOrientation(), AVCaptureVideoOrientationLandscapeLeft);
}

TEST_F(AVCaptureTest, APreviewLayerShowsTheLiveFrameTurnedAsTheConnectionHoldsIt) {
    // The camera sees a landscape picture, red on its left half and blue on its right.
    auto seen = CGImage::createWithSize(40, 20);
    {
        CGContext c(seen, 1);
        c.setFillColor(1, 0, 0, 1);
        c.fillRect(CGRectMake(0, 0, 20, 20));
        c.setFillColor(0, 0, 1, 1);
        c.fillRect(CGRectMake(20, 0, 20, 20));
    }
    auto bytes = seen->pngData();
    writeFile("/camera.png", std::string(bytes.begin(), bytes.end()));
    DeviceProfile::update([&](DeviceProfile& p) { p.cameraImagePath = host("/camera.png"); });
    using Pixel = CGImage::Pixel;
    const Pixel red{255, 0, 0, 255}, blue{0, 0, 255, 255}, none{};
    struct Case {
        const char* name;
        bool running;
        AVCaptureVideoOrientation orientation;
        CGSize size;
        Pixel first, second; // at a quarter and three quarters of the longer side
    };
    const Case cases[] = {
        {"held upright, the frame turns a quarter clockwise", true, AVCaptureVideoOrientationPortrait, {20, 40}, red, blue},
        {"held as the sensor lies, it shows as it is", true, AVCaptureVideoOrientationLandscapeRight, {40, 20}, red, blue},
        {"held the other way round, it turns half", true, AVCaptureVideoOrientationLandscapeLeft, {40, 20}, blue, red},
        {"a stopped session shows nothing", false, AVCaptureVideoOrientationPortrait, {20, 40}, none, none},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto session = std::make_shared<AVCaptureSession>();
        session->addInput(AVCaptureDeviceInput::deviceInputWithDevice(AVCaptureDevice::defaultDeviceWithMediaType(AVMediaTypeVideo), nullptr));
        if (c.running) session->startRunning();
        auto layer = AVCaptureVideoPreviewLayer::layerWithSession(session);
        layer->setVideoGravity(AVLayerVideoGravityResizeAspectFill);
        layer->setFrame(CGRectMake(0, 0, c.size.width, c.size.height));
        layer->connection()->setVideoOrientation(c.orientation);
        auto shown = CGImage::createWithSize(static_cast<int>(c.size.width), static_cast<int>(c.size.height));
        CGContext context(shown, 1);
        layer->renderInContext(context);
        bool tall = c.size.height > c.size.width;
        int w = shown->width(), h = shown->height();
        EXPECT_EQ(tall ? shown->pixelAt(w / 2, h / 4) : shown->pixelAt(w / 4, h / 2), c.first);
        EXPECT_EQ(tall ? shown->pixelAt(w / 2, h * 3 / 4) : shown->pixelAt(w * 3 / 4, h / 2), c.second);
    }
}

} // namespace
