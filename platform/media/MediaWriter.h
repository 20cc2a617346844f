#pragma once
// Writing a media file with libavformat/libavcodec: one video stream (H.264, drawn frames) or one
// audio stream (AAC or MP3, planar float samples), the container chosen by the host path's
// extension (".mov", ".mp4", ".m4a", ".mp3"). A writer that is not finished removes its file.

#include "platform/graphics/CGImage.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class MediaWriter {
public:
    enum class AudioCodec { AAC, MP3 };

    ~MediaWriter();
    MediaWriter(const MediaWriter&) = delete;
    MediaWriter& operator=(const MediaWriter&) = delete;

    // nil when the container or codec cannot be set up. creationTime (seconds since 1970) is
    // written as the container's "creation_time".
    static std::unique_ptr<MediaWriter> forVideo(const std::string& hostPath, int width, int height, int framesPerSecond,
                                                 std::optional<double> creationTime = std::nullopt);
    static std::unique_ptr<MediaWriter> forAudio(const std::string& hostPath, AudioCodec codec, int sampleRate, int channels);

    // The next frame, drawn at the video's size.
    bool appendFrame(const CGImage& frame);
    // Interleaved float samples, frames of `channels` values.
    bool appendSamples(const float* interleaved, std::size_t frameCount);
    // Flushes and writes the trailer; false (and no file) on failure.
    bool finish();

    struct State;

private:
    explicit MediaWriter(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};
