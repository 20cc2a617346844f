#pragma once
// What a photo file's headers say, read without decoding a pixel: its type, pixel size, the EXIF
// orientation (1–8; 1 when absent) and the date it was taken ("YYYY:MM:DD HH:MM:SS" as EXIF
// writes it; empty when absent). Also the EXIF block a JPEG encoder writes for an orientation.

#include "platform/graphics/CGImageDecoding.h"

#include <cstdint>
#include <string>
#include <vector>

namespace CGImageProperties {

struct Properties {
    CGImageDecoding::ImageType type = CGImageDecoding::ImageType::Unknown;
    int pixelWidth = 0, pixelHeight = 0; // as stored, before the orientation turns them
    int orientation = 1;
    std::string dateTimeOriginal;
    bool valid() const { return type != CGImageDecoding::ImageType::Unknown && pixelWidth > 0 && pixelHeight > 0; }
};

// The headers of an image file's bytes; !valid() when they are not an image this platform reads.
Properties propertiesOfImageData(const std::uint8_t* bytes, std::size_t length);
// The same for a host file, reading only what the headers need.
Properties propertiesOfImageFile(const std::string& hostPath);

// An EXIF block ("Exif\0\0" and the TIFF data) holding the orientation and, when given, the
// date taken.
std::vector<std::uint8_t> exifBlock(int orientation, const std::string& dateTimeOriginal = {});

} // namespace CGImageProperties
