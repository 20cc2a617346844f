#include "platform/media/ALAssetRepresentation.h"

#include "platform/foundation/NSData.h"
#include "platform/foundation/NSString.h"
#include "platform/foundation/RegularFile.h"
#include "platform/media/ALAsset.h"
#include "platform/media/AssetImageRendering.h"

#include <fcntl.h>
#include <unistd.h>

#include <map>

namespace {
const std::map<std::string, std::string> kUTIs = {
    {"JPG", "public.jpeg"},  {"JPEG", "public.jpeg"}, {"PNG", "public.png"}, {"HEIC", "public.heic"},
    {"HEIF", "public.heif"}, {"GIF", "com.compuserve.gif"}, {"MOV", "com.apple.quicktime-movie"},
    {"MP4", "public.mpeg-4"}, {"M4V", "com.apple.m4v-video"}};

// NAME.XMP beside NAME.EXT (or .xmp).
std::string sidecarText(const std::string& devicePath) {
    const std::string base = NSString::stringByDeletingPathExtension(devicePath);
    for (const char* extension : {".XMP", ".xmp"})
        if (auto data = NSData::dataWithContentsOfFile(base + extension))
            return std::string(reinterpret_cast<const char*>(data->bytes()), data->length());
    return {};
}
} // namespace

NSURLPtr ALAssetRepresentation::url() const { return ALAssetURLOfRecord(record_); }

std::string ALAssetRepresentation::UTI() const {
    auto it = kUTIs.find(record_.extension);
    return it == kUTIs.end() ? "public.data" : it->second;
}

ALAssetOrientation ALAssetRepresentation::orientation() const {
    // EXIF's numbers 1–8 in the order of the image orientations.
    static constexpr ALAssetOrientation kByEXIF[] = {
        ALAssetOrientationUp,          ALAssetOrientationUpMirrored,   ALAssetOrientationDown,
        ALAssetOrientationDownMirrored, ALAssetOrientationLeftMirrored, ALAssetOrientationRight,
        ALAssetOrientationRightMirrored, ALAssetOrientationLeft};
    const int exif = record_.exifOrientation;
    return exif >= 1 && exif <= 8 && record_.kind == ALAssetsLibraryStore::Kind::Photo ? kByEXIF[exif - 1] : ALAssetOrientationUp;
}

Value::Dictionary ALAssetRepresentation::metadata() const {
    Value::Dictionary metadata{{"PixelWidth", record_.pixelWidth}, {"PixelHeight", record_.pixelHeight},
                               {"Orientation", record_.exifOrientation}};
    std::string xmp = sidecarText(record_.devicePath);
    if (!xmp.empty()) metadata["AdjustmentXMP"] = std::move(xmp);
    return metadata;
}

CGImageRef ALAssetRepresentation::fullResolutionImage() const { return AssetImageRendering::fullResolutionImage(record_); }

CGImageRef ALAssetRepresentation::fullScreenImage() const { return AssetImageRendering::fullScreenImage(record_); }

std::size_t ALAssetRepresentation::getBytes(std::uint8_t* buffer, long long offset, std::size_t length) const {
    if (offset < 0) return 0;
    NSRegularFile file = NSOpenRegularFile(record_.devicePath);
    if (!file) return 0;
    ssize_t read = ::pread(file.fd.get(), buffer, length, static_cast<off_t>(offset));
    return read > 0 ? static_cast<std::size_t>(read) : 0;
}
