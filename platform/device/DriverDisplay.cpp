// The driver's view of the stand-in display: screenshots and single pixels.

#include "platform/device/Driver.h"

#include "platform/foundation/NSString.h"
#include "platform/foundation/WholeFile.h"
#include "platform/uikit/UIDisplay.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIScreen.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>

namespace {
std::optional<CGPoint> parsePoint(const std::string& text) {
    auto parts = NSString::componentsSeparatedByString(text, ",");
    if (parts.size() != 2) return std::nullopt;
    CGFloat values[2];
    for (int i = 0; i < 2; ++i) {
        auto value = Driver::decimal(NSString::stringByTrimmingWhitespace(parts[static_cast<std::size_t>(i)]));
        if (!value) return std::nullopt;
        values[i] = *value;
    }
    return CGPoint{values[0], values[1]};
}
} // namespace

bool Driver::screenshot(const std::string& file) {
    auto bitmap = UIDisplaySnapshot();
    if (!bitmap) return fail("the screen has no size");
    if (!writeHostFile(file, bitmap->pngData())) return false;
    lastSaid_ = NSString::stringWithFormat("screenshot %@: %d by %d pixels", file, bitmap->width(), bitmap->height());
    return true;
}

bool Driver::writeHostFile(const std::string& file, const std::vector<unsigned char>& bytes) {
    // A picture appears whole or not at all, like every file the platform writes, and only ever
    // replaces a regular file: a device, a FIFO or a link named is left as it stands.
    if (int error = NSWriteWholeFileAt(AT_FDCWD, file, bytes.data(), bytes.size(), WholeFileWriter::Sync::None))
        return fail("cannot write " + file + ": " + NSWholeFileErrorText(error));
    return true;
}

bool Driver::writeSheetImage(const std::string& file) {
    auto sheet = visibleSheet();
    if (!sheet) return fail("no activity sheet on screen: only a sheet's image can be written");
    for (auto& item : sheet->activityItems()) {
        auto image = item.objectAs<UIImage>();
        if (!image) continue;
        // Drawn upright: what the image shows, whatever its bitmap's turn.
        if (image->imageOrientation() != UIImageOrientationUp) {
            UIGraphicsBeginImageContextWithOptions(image->size(), false, image->scale());
            image->drawInRect(CGRectMake(0, 0, image->size().width, image->size().height));
            image = UIGraphicsGetImageFromCurrentImageContext();
            UIGraphicsEndImageContext();
        }
        return writeHostFile(file, image->CGImage()->pngData());
    }
    return fail("the sheet sends no image");
}

bool Driver::pixel(const std::string& text) {
    auto point = parsePoint(text);
    if (!point) return fail("pixel needs a point as X,Y");
    auto screen = UIScreen::mainScreen();
    auto bounds = screen->interfaceBounds();
    if (!CGRectContainsPoint(bounds, *point))
        return fail(NSString::stringWithFormat("%@ lies outside the screen (%g by %g points)", text, bounds.size.width,
                                               bounds.size.height));
    auto bitmap = UIDisplaySnapshot();
    if (!bitmap) return fail("the screen has no size");
    auto p = bitmap->pixelAt(static_cast<int>(std::floor(point->x * screen->scale())),
                             static_cast<int>(std::floor(point->y * screen->scale())));
    lastSaid_ = NSString::stringWithFormat("%g,%g: %d %d %d %d", point->x, point->y, p.red, p.green, p.blue, p.alpha);
    return true;
}
