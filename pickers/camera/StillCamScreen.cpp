// The camera as the screen shows it: the camera in use, its state and flash, the photo under
// review, and the controls on screen.
#include "pickers/camera/StillCam.h"

#include "platform/uikit/UIScreenDescription.h"

#include <algorithm>
#include <cstdio>

namespace {
std::string flashText(const AVCaptureDevicePtr& device) {
    if (!device || !device->isFlashAvailable()) return "no flash";
    return device->isFlashActive() ? "flash on" : "flash off";
}
} // namespace

void StillCam::describeToScreen(UIScreenDescription& screen) {
    std::string state = !myDevice_ ? "no camera" : isCapturingImage_ ? "capturing" : capturedImageV_ && capturedImageV_->image() ? "review" : "live";
    std::string line = "camera: " + state;
    if (myDevice_) line += ", " + UIScreenDescription::quoted(myDevice_->localizedName()) + ", " + flashText(myDevice_);
    if (isSquareMode_) line += ", square";
    screen.addLine(line);
    if (auto photo = capturedImageV_ ? capturedImageV_->image() : nullptr) {
        auto size = photo->size();
        char text[96];
        std::snprintf(text, sizeof text, "  photo: %g\u00d7%g @%g%s", size.width, size.height, photo->scale(), isImageResized_ ? ", cropped" : "");
        screen.addLine(text);
    }
    std::string controls;
    for (const auto& button : {backBtn_, captureBtn_, flashBtn_, switchCameraBtn_, saveBtn_}) {
        if (!button || button->isHidden()) continue;
        auto mention = button->screenMention();
        if (!mention) continue;
        // The capture button's title runs one letter a line in landscape.
        std::string name = mention->text;
        name.erase(std::remove(name.begin(), name.end(), '\n'), name.end());
        controls += " [" + name + "]" + (button->alpha() < 0.5 ? " (dimmed)" : "");
    }
    if (!controls.empty()) screen.addLine("  controls:" + controls);
    UIViewController::describeToScreen(screen);
}
