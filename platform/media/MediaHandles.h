#pragma once
// Owners of the libavformat/libavcodec handles the media readers open, and the one way an input
// file is opened: without waiting (a FIFO named like a song is no media), then probed for its
// streams, with the library's own chatter kept to errors.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include "platform/foundation/RegularFile.h"

#include <fcntl.h>
#include <memory>
#include <string>

namespace MediaHandles {

struct InputClose {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
// An output context, with the file it opened.
struct OutputFree {
    void operator()(AVFormatContext* context) const {
        if (context->pb) avio_closep(&context->pb);
        avformat_free_context(context);
    }
};
struct CodecFree {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

using Input = std::unique_ptr<AVFormatContext, InputClose>;
using Output = std::unique_ptr<AVFormatContext, OutputFree>;
using Codec = std::unique_ptr<AVCodecContext, CodecFree>;
using Frame = std::unique_ptr<AVFrame, FrameFree>;
using Packet = std::unique_ptr<AVPacket, PacketFree>;

// nil when the file cannot be opened, is not a regular file or its streams cannot be found.
inline Input openInput(const std::string& hostPath) {
    av_log_set_level(AV_LOG_ERROR);
    // The library reopens what the checked descriptor holds, not whatever the path names by then.
    NSRegularFile file = NSOpenRegularFileAt(AT_FDCWD, hostPath);
    if (!file) return nullptr;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, DeviceRoot::procPath(file.fd.get()).c_str(), nullptr, nullptr) < 0) return nullptr;
    Input input(raw);
    if (avformat_find_stream_info(input.get(), nullptr) < 0) return nullptr;
    return input;
}

} // namespace MediaHandles
