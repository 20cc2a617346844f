#pragma once
// A song file's tags and artwork, read and written with TagLib: the one unit of the platform
// that uses it. Host paths.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace SongFile {

struct Tags {
    std::string title, artist, album, genre;
    std::vector<std::uint8_t> artwork; // the front cover's image file bytes; empty when none
};

// nullopt when TagLib cannot read the file as audio.
std::optional<Tags> readTags(const std::string& hostPath);
// Title, artist, album and genre; the artwork too when the format holds one (MPEG-4, MP3).
bool writeTags(const std::string& hostPath, const Tags& tags);

} // namespace SongFile
