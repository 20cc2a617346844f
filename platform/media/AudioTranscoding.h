#pragma once
// Audio files to AAC in MPEG-4 (".m4a") with libavformat/libavcodec/libswresample: an AAC source
// is copied packet for packet, anything else decoded, resampled to 44.1 kHz stereo and encoded.
// Host paths. The output appears whole when the transcoding completes, or not at all: a failed,
// cancelled or killed transcoding leaves no output file.

#include <atomic>
#include <string>

namespace AudioTranscoding {

enum class Result { Completed, Failed, Cancelled };

// The output must not exist. `cancelled` is read between packets.
Result transcodeToAACInMPEG4(const std::string& sourceHostPath, const std::string& outputHostPath,
                             const std::atomic<bool>& cancelled);

} // namespace AudioTranscoding
