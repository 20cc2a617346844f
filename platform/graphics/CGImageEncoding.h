#pragma once
// Encoding bitmaps as JPEG files (libjpeg-turbo) and HEIC files (libheif), optionally with an EXIF orientation, so a photo
// keeps its pixels as the sensor gave them and says how to show them.

#include "platform/graphics/CGImage.h"

#include <cstdint>
#include <string>
#include <vector>

namespace CGImageEncoding {

// Quality from 0 to 1; orientation 1–8 is written as EXIF unless it is 1, a date ("YYYY:MM:DD
// HH:MM:SS") as the EXIF date taken. Empty on failure.
std::vector<std::uint8_t> jpegData(const CGImage& image, double quality, int exifOrientation = 1,
                                   const std::string& exifDate = {});

// The image as a HEIC file (HEVC through libheif), quality 0–1; empty when no encoder is there.
std::vector<std::uint8_t> heifData(const CGImage& image, double quality);

} // namespace CGImageEncoding
