#include "platform/media/VideoFile.h"

#include "platform/media/MediaHandles.h"

#include <cairo.h>

extern "C" {
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>

namespace VideoFile {
namespace {
struct ScaleFree {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};
struct ImageFree {
    void operator()(std::uint8_t* pixels) const { av_free(pixels); }
};
// Enough for the widest vector writes the scaler makes.
constexpr int kScalerAlignment = 64;
using namespace MediaHandles;

// "2024-05-01T10:20:30.000000Z"
std::optional<double> parseCreationTime(const char* text) {
    std::tm parts{};
    if (!text || std::sscanf(text, "%4d-%2d-%2dT%2d:%2d:%2d", &parts.tm_year, &parts.tm_mon, &parts.tm_mday, &parts.tm_hour,
                             &parts.tm_min, &parts.tm_sec) != 6)
        return std::nullopt;
    parts.tm_year -= 1900;
    parts.tm_mon -= 1;
    return static_cast<double>(timegm(&parts));
}

CGImageRef toBitmap(const AVFrame& frame, int maximumSide) {
    int width = frame.width, height = frame.height;
    if (maximumSide > 0 && std::max(width, height) > maximumSide) {
        const double scale = static_cast<double>(maximumSide) / std::max(width, height);
        width = std::max(1, static_cast<int>(width * scale + 0.5));
        height = std::max(1, static_cast<int>(height * scale + 0.5));
    }
    std::unique_ptr<SwsContext, ScaleFree> scaler(sws_getContext(frame.width, frame.height,
                                                                 static_cast<AVPixelFormat>(frame.format), width, height,
                                                                 AV_PIX_FMT_BGRA, SWS_AREA, nullptr, nullptr, nullptr));
    if (!scaler) return nullptr;
    // The scaler writes whole vector widths past a row's end, more than a small picture's row
    // holds: it fills a buffer aligned and padded for that, and the rows are copied out.
    std::uint8_t* scaled[4] = {};
    int scaledStrides[4] = {};
    if (av_image_alloc(scaled, scaledStrides, width, height, AV_PIX_FMT_BGRA, kScalerAlignment) < 0) return nullptr;
    std::unique_ptr<std::uint8_t, ImageFree> scaledOwner(scaled[0]);
    sws_scale(scaler.get(), frame.data, frame.linesize, 0, frame.height, scaled, scaledStrides);
    auto image = CGImage::createWithSize(width, height);
    if (!image) return nullptr;
    cairo_surface_flush(image->surface());
    std::uint8_t* pixels = cairo_image_surface_get_data(image->surface());
    const int stride = cairo_image_surface_get_stride(image->surface());
    for (int row = 0; row < height; ++row)
        std::memcpy(pixels + static_cast<std::ptrdiff_t>(row) * stride, scaled[0] + static_cast<std::ptrdiff_t>(row) * scaledStrides[0],
                    static_cast<std::size_t>(width) * 4);
    cairo_surface_mark_dirty(image->surface());
    return image;
}
} // namespace

std::optional<Properties> propertiesOfFile(const std::string& hostPath) {
    Input input = openInput(hostPath);
    if (!input) return std::nullopt;
    Properties out;
    if (input->duration != AV_NOPTS_VALUE && input->duration > 0) out.duration = static_cast<double>(input->duration) / AV_TIME_BASE;
    if (const AVDictionaryEntry* entry = av_dict_get(input->metadata, "creation_time", nullptr, 0))
        out.creationTime = parseCreationTime(entry->value);
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVCodecParameters* parameters = input->streams[i]->codecpar;
        if (parameters->codec_type == AVMEDIA_TYPE_VIDEO && out.width == 0 &&
            !(input->streams[i]->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
            out.width = parameters->width;
            out.height = parameters->height;
        }
        if (parameters->codec_type == AVMEDIA_TYPE_AUDIO && out.audioCodec.empty())
            out.audioCodec = avcodec_get_name(parameters->codec_id);
    }
    return out;
}

CGImageRef frameOfFile(const std::string& hostPath, double seconds, int maximumSide) {
    Input input = openInput(hostPath);
    if (!input) return nullptr;
    const AVCodec* codec = nullptr;
    const int stream = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (stream < 0 || !codec) return nullptr;
    Codec decoder(avcodec_alloc_context3(codec));
    if (!decoder || avcodec_parameters_to_context(decoder.get(), input->streams[stream]->codecpar) < 0 ||
        avcodec_open2(decoder.get(), codec, nullptr) < 0)
        return nullptr;
    const AVRational base = input->streams[stream]->time_base;
    const auto target = static_cast<std::int64_t>(seconds / av_q2d(base));
    if (seconds > 0) av_seek_frame(input.get(), stream, target, AVSEEK_FLAG_BACKWARD);
    Packet packet(av_packet_alloc());
    Frame frame(av_frame_alloc());
    CGImageRef best;
    // The last frame that starts at or before the time; the first one when none does.
    auto take = [&]() {
        while (avcodec_receive_frame(decoder.get(), frame.get()) == 0) {
            const std::int64_t at = frame->best_effort_timestamp;
            if (!best || at == AV_NOPTS_VALUE || at <= target) best = toBitmap(*frame, maximumSide);
            if (at != AV_NOPTS_VALUE && at >= target) return true;
        }
        return false;
    };
    bool done = false;
    while (!done && av_read_frame(input.get(), packet.get()) >= 0) {
        if (packet->stream_index == stream && avcodec_send_packet(decoder.get(), packet.get()) >= 0) done = take();
        av_packet_unref(packet.get());
    }
    if (!done) {
        avcodec_send_packet(decoder.get(), nullptr);
        take();
    }
    return best;
}

} // namespace VideoFile
