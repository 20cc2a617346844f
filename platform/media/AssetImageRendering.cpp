#include "platform/media/AssetImageRendering.h"

#include "platform/foundation/DeviceRoot.h"
#include "platform/foundation/RegularFile.h"
#include "platform/graphics/CGImageDecoding.h"
#include "platform/media/VideoFile.h"
#include "platform/system/DeviceProfile.h"
#include "platform/uikit/UIGraphics.h"
#include "platform/uikit/UIImage.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include <unistd.h>

namespace AssetImageRendering {
namespace {
using ALAssetsLibraryStore::Kind;
using ALAssetsLibraryStore::Record;

bool turnsSideways(int exifOrientation) { return exifOrientation >= 5 && exifOrientation <= 8; }

// The bitmap decoded so that its shorter side still reaches minimumSide pixels where the format
// allows (0: every pixel).
CGImageRef decode(const Record& record, int minimumSide) {
    if (record.kind == Kind::Video) {
        const int longer = std::max(record.pixelWidth, record.pixelHeight), shorter = std::min(record.pixelWidth, record.pixelHeight);
        int side = 0;
        if (minimumSide > 0 && shorter > minimumSide) side = static_cast<int>(std::ceil(static_cast<double>(longer) * minimumSide / shorter));
        return VideoFile::frameOfFile(DeviceRoot::hostPath(record.devicePath), 0, side);
    }
    NSRegularFile file = NSOpenRegularFile(record.devicePath);
    if (!file) return nullptr;
    // A JPEG is decoded as it is read, a piece at a time; any other kind is read whole first.
    std::uint8_t head[16];
    const ssize_t headLength = ::pread(file.fd.get(), head, sizeof head, 0);
    if (headLength > 0 && CGImageDecoding::typeOfImageData(head, static_cast<std::size_t>(headLength)) == CGImageDecoding::ImageType::JPEG)
        return CGImageDecoding::createWithJPEGFile(file.fd.get(), static_cast<std::uint64_t>(std::max<off_t>(file.st.st_size, 0)), minimumSide);
    std::vector<std::uint8_t> bytes;
    if (NSReadRegularFile(file, std::numeric_limits<std::size_t>::max(), bytes) != 0) return nullptr;
    return CGImageDecoding::firstFrameOfImageData(bytes.data(), bytes.size());
}

// Draws the stored bitmap upright into a canvas of the size, scaled by `scale` and centred.
CGImageRef renderUpright(const CGImageRef& stored, int exifOrientation, double scale, int canvasWidth, int canvasHeight) {
    auto image = UIImage::imageWithCGImage(stored, 1, UIImageOrientationFromEXIF(exifOrientation));
    const CGSize shown = image->size();
    const double w = shown.width * scale, h = shown.height * scale;
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(canvasWidth, canvasHeight), true, 1);
    image->drawInRect(CGRectMake((canvasWidth - w) / 2, (canvasHeight - h) / 2, w, h));
    auto drawn = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return drawn ? drawn->CGImage() : nullptr;
}

int orientationOf(const Record& record) { return record.kind == Kind::Photo ? record.exifOrientation : 1; }

// Upright and fitted within the box, never enlarged.
CGImageRef fitted(const Record& record, int boxWidth, int boxHeight) {
    const int sw = turnsSideways(orientationOf(record)) ? record.pixelHeight : record.pixelWidth;
    const int sh = turnsSideways(orientationOf(record)) ? record.pixelWidth : record.pixelHeight;
    if (sw <= 0 || sh <= 0) return nullptr;
    const double scale = std::min({1.0, static_cast<double>(boxWidth) / sw, static_cast<double>(boxHeight) / sh});
    const int w = std::max(1, static_cast<int>(std::lround(sw * scale))), h = std::max(1, static_cast<int>(std::lround(sh * scale)));
    auto stored = decode(record, std::min(w, h));
    if (!stored) return nullptr;
    const double drawScale = static_cast<double>(w) / (turnsSideways(orientationOf(record)) ? stored->height() : stored->width());
    return renderUpright(stored, orientationOf(record), drawScale, w, h);
}
} // namespace

CGImageRef thumbnail(const Record& record) {
    auto stored = decode(record, kThumbnailSide);
    if (!stored) return nullptr;
    const double shorter = std::min(stored->width(), stored->height());
    return renderUpright(stored, orientationOf(record), kThumbnailSide / shorter, kThumbnailSide, kThumbnailSide);
}

CGImageRef aspectRatioThumbnail(const Record& record) {
    return fitted(record, kAspectRatioThumbnailSide, kAspectRatioThumbnailSide);
}

CGImageRef fullScreenImage(const Record& record) {
    const DeviceProfile profile = DeviceProfile::current();
    return fitted(record, static_cast<int>(profile.screenWidth * profile.screenScale),
                  static_cast<int>(profile.screenHeight * profile.screenScale));
}

CGImageRef fullResolutionImage(const Record& record) { return decode(record, 0); }

} // namespace AssetImageRendering
