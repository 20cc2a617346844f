#pragma once
// Media made by code, for the sample device and the tests: pictures drawn with cairo (a colour
// wheel of bands, a checker corner that shows the picture's turn, a label), photos written as
// JPEG (with EXIF orientation and date), PNG or HEIC, short H.264 videos with a creation time,
// and tagged songs (AAC in MPEG-4 or MP3) with artwork. Device paths; folders are made.

#include "platform/graphics/CGImage.h"

#include <optional>
#include <string>

namespace SampleMedia {

// The picture: the label drawn across it, a red checker in its top-left corner.
CGImageRef picture(int width, int height, const std::string& label, double hue = 0.6);

enum class PhotoFormat { JPEG, PNG, HEIC };
// exifDate "YYYY:MM:DD HH:MM:SS" (JPEG only, as is the orientation).
bool writePhoto(const std::string& devicePath, const CGImage& picture, PhotoFormat format, int exifOrientation = 1,
                const std::string& exifDate = {});
// ".mov" or ".mp4"; 10 frames a second of moving pictures. Even sides.
bool writeVideo(const std::string& devicePath, int width, int height, double seconds,
                std::optional<double> creationTime = std::nullopt);
// ".m4a" (AAC) or ".mp3": a tone of the length, with the tags and a drawn artwork (none when
// artworkLabel is empty).
bool writeSong(const std::string& devicePath, double seconds, const std::string& title, const std::string& artist,
               const std::string& album, const std::string& artworkLabel);

// The sample library below /var/mobile/Media: in the camera roll an EXIF-rotated JPEG, a PNG, a
// HEIC photo and two short videos; the album "Holidays" with two photos; three tagged songs (AAC
// and MP3, two with artwork, one without a title). False when any of it failed.
bool makeLibrary();

} // namespace SampleMedia
