#pragma once
// Videos for tests, made by the ffmpeg program from its colour sources: a run of single-colour
// segments (ffmpeg colour names such as "red" or "0x0000FF"), H.264 in MP4 at 10 frames a second.

#include <string>
#include <utility>
#include <vector>

namespace TestVideos {

struct Segment {
    std::string colour;
    double seconds;
};

// Writes the video at the host path; fails the running test (and returns false) when ffmpeg fails.
bool make(const std::string& hostPath, const std::vector<Segment>& segments, int width = 160, int height = 120);

} // namespace TestVideos
