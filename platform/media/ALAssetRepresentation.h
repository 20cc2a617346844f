#pragma once
// One stored form of an asset: the file itself, its size, dimensions, orientation, metadata and
// images. Metadata holds "PixelWidth", "PixelHeight", "Orientation" (EXIF's number) and, when a
// sidecar NAME.XMP lies beside the file, its text under "AdjustmentXMP".

#include "platform/foundation/NSURL.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/CGGeometry.h"
#include "platform/graphics/CGImage.h"
#include "platform/media/ALAssetsLibraryStore.h"

#include <cstdint>
#include <memory>
#include <string>

// The same numbers as the image orientations.
enum ALAssetOrientation : int {
    ALAssetOrientationUp = 0,
    ALAssetOrientationDown = 1,
    ALAssetOrientationLeft = 2,
    ALAssetOrientationRight = 3,
    ALAssetOrientationUpMirrored = 4,
    ALAssetOrientationDownMirrored = 5,
    ALAssetOrientationLeftMirrored = 6,
    ALAssetOrientationRightMirrored = 7,
};

class ALAssetRepresentation;
using ALAssetRepresentationPtr = std::shared_ptr<ALAssetRepresentation>;

class ALAssetRepresentation : public NSObject {
public:
    explicit ALAssetRepresentation(ALAssetsLibraryStore::Record record) : record_(std::move(record)) {}

    // The asset's library URL.
    NSURLPtr url() const;
    std::string filename() const { return record_.name; }
    // "public.jpeg", "public.png", "public.heic", "com.compuserve.gif", "com.apple.quicktime-movie", "public.mpeg-4"
    std::string UTI() const;
    long long size() const { return static_cast<long long>(record_.size); }
    // As stored, before the orientation turns them.
    CGSize dimensions() const { return CGSizeMake(record_.pixelWidth, record_.pixelHeight); }
    ALAssetOrientation orientation() const;
    double scale() const { return 1; }
    Value::Dictionary metadata() const;

    // The stored bitmap; show it with orientation(). nil for damaged data.
    CGImageRef fullResolutionImage() const;
    // Upright, fitted to the screen.
    CGImageRef fullScreenImage() const;

    // Copies up to length bytes of the file from the offset; the count copied (0 past the end or on
    // failure).
    std::size_t getBytes(std::uint8_t* buffer, long long offset, std::size_t length) const;

    const ALAssetsLibraryStore::Record& record() const { return record_; }

private:
    ALAssetsLibraryStore::Record record_;
};
