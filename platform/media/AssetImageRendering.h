#pragma once
// The images the library hands out for a file: decoded no larger than asked (JPEGs at a reduced
// DCT scale, videos through a scaled frame), turned upright where the kind of image says so.

#include "platform/graphics/CGImage.h"
#include "platform/media/ALAssetsLibraryStore.h"

namespace AssetImageRendering {

inline constexpr int kThumbnailSide = 150;
inline constexpr int kAspectRatioThumbnailSide = 256;

// The square thumbnail: upright, the middle of the picture filling kThumbnailSide pixels.
CGImageRef thumbnail(const ALAssetsLibraryStore::Record& record);
// Upright, within kAspectRatioThumbnailSide pixels on its longer side.
CGImageRef aspectRatioThumbnail(const ALAssetsLibraryStore::Record& record);
// Upright, within the screen's pixels; never enlarged.
CGImageRef fullScreenImage(const ALAssetsLibraryStore::Record& record);
// The bitmap as stored (a video's first frame); nil for damaged data.
CGImageRef fullResolutionImage(const ALAssetsLibraryStore::Record& record);

} // namespace AssetImageRendering
