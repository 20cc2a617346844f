#pragma once
// The photo library's files: every photo and video under the camera roll's folder, and each
// folder of the albums' folder as an album. Listing reads headers only (EXIF, container
// metadata), remembered per file until its size or modification time changes. Paths are device
// paths, resolved inside the device. Safe to call from any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ALAssetsLibraryStore {

inline constexpr char kCameraRollFolder[] = "/var/mobile/Media/DCIM";
inline constexpr char kAlbumsFolder[] = "/var/mobile/Media/Albums";

enum class Kind { Photo, Video };

struct Record {
    std::string devicePath;
    std::string name;      // the file's name
    std::string extension; // upper case, as asset URLs write it
    std::string identifier; // stable per device path
    Kind kind = Kind::Photo;
    double date = 0;       // seconds since 1970: EXIF date, video creation time, else modification time
    int pixelWidth = 0, pixelHeight = 0; // as stored; 0 when the headers are damaged
    int exifOrientation = 1;
    double duration = 0;   // videos
    std::uint64_t size = 0;
};

// The photos and videos below the folder, oldest first (then by name).
std::vector<Record> recordsUnder(const std::string& deviceFolder);
// The album folders' names, sorted.
std::vector<std::string> albumNames();
// The record of a file with that identifier in the camera roll or an album.
std::optional<Record> recordWithIdentifier(const std::string& identifier);

// "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", the same for the same device path every time.
std::string identifierOf(const std::string& devicePath);

} // namespace ALAssetsLibraryStore
