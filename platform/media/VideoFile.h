#pragma once
// Videos and songs as libavformat/libavcodec see them: the one unit of the platform that opens
// media files for reading. Host paths (resolve device paths first).

#include "platform/graphics/CGImage.h"

#include <optional>
#include <string>

namespace VideoFile {

struct Properties {
    double duration = 0;              // seconds
    std::optional<double> creationTime; // seconds since 1970, from the container's "creation_time"
    int width = 0, height = 0;        // of the first video stream; 0 for a file without one
    std::string audioCodec;           // libavcodec's name of the first audio stream's codec ("aac", "mp3")
};

// nullopt when the file is not a media file libavformat reads.
std::optional<Properties> propertiesOfFile(const std::string& hostPath);

// The frame shown at the time (seconds), scaled to fit within maximumSide pixels on its longer
// side (0: its own size); nil when the file has no decodable video.
CGImageRef frameOfFile(const std::string& hostPath, double seconds, int maximumSide = 0);

} // namespace VideoFile
