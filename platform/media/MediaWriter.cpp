#include "platform/media/MediaWriter.h"

#include <cairo.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libavutil/channel_layout.h>
#include <libswscale/swscale.h>
}

#include <cstdio>
#include <ctime>

struct MediaWriter::State {
    std::string path;
    AVFormatContext* output = nullptr;
    AVCodecContext* encoder = nullptr;
    AVStream* stream = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* scaler = nullptr;
    std::int64_t nextPts = 0;
    std::vector<float> pending; // audio samples not yet a whole encoder frame
    bool headerWritten = false, finished = false;

    ~State() {
        sws_freeContext(scaler);
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&encoder);
        if (output) {
            if (output->pb) avio_closep(&output->pb);
            avformat_free_context(output);
        }
        if (!finished) std::remove(path.c_str());
    }

    // Sends a frame (nil: the end) and writes every packet the encoder gives back.
    bool encode(AVFrame* input) {
        if (avcodec_send_frame(encoder, input) < 0) return false;
        for (;;) {
            const int status = avcodec_receive_packet(encoder, packet);
            if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return true;
            if (status < 0) return false;
            av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
            packet->stream_index = stream->index;
            if (av_interleaved_write_frame(output, packet) < 0) return false;
        }
    }

    bool open(const AVCodec* codec, std::optional<double> creationTime) {
        if (output->oformat->flags & AVFMT_GLOBALHEADER) encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (avcodec_open2(encoder, codec, nullptr) < 0) return false;
        if (avcodec_parameters_from_context(stream->codecpar, encoder) < 0) return false;
        stream->time_base = encoder->time_base;
        if (creationTime) {
            const std::time_t seconds = static_cast<std::time_t>(*creationTime);
            std::tm parts{};
            gmtime_r(&seconds, &parts);
            char text[40];
            std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000000Z", &parts);
            av_dict_set(&output->metadata, "creation_time", text, 0);
        }
        if (avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) return false;
        if (avformat_write_header(output, nullptr) < 0) return false;
        headerWritten = true;
        frame = av_frame_alloc();
        packet = av_packet_alloc();
        return frame && packet;
    }
};

namespace {
std::unique_ptr<MediaWriter::State> begin(const std::string& hostPath, const AVCodec* codec) {
    // Encoders' statistics are no business of the device's output.
    av_log_set_level(AV_LOG_ERROR);
    auto state = std::make_unique<MediaWriter::State>();
    state->path = hostPath;
    if (!codec || avformat_alloc_output_context2(&state->output, nullptr, nullptr, hostPath.c_str()) < 0 || !state->output) {
        state->finished = true; // nothing was written
        return nullptr;
    }
    state->stream = avformat_new_stream(state->output, nullptr);
    state->encoder = avcodec_alloc_context3(codec);
    if (!state->stream || !state->encoder) return nullptr;
    return state;
}
} // namespace

MediaWriter::MediaWriter(std::unique_ptr<State> state) : state_(std::move(state)) {}
MediaWriter::~MediaWriter() = default;

std::unique_ptr<MediaWriter> MediaWriter::forVideo(const std::string& hostPath, int width, int height, int framesPerSecond,
                                                   std::optional<double> creationTime) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_H264);
    if (!codec) codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    auto state = begin(hostPath, codec);
    if (!state || width <= 0 || height <= 0 || width % 2 || height % 2) return nullptr;
    AVCodecContext* c = state->encoder;
    c->width = width;
    c->height = height;
    c->time_base = AVRational{1, framesPerSecond};
    c->framerate = AVRational{framesPerSecond, 1};
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->gop_size = framesPerSecond;
    av_opt_set(c->priv_data, "preset", "ultrafast", 0);
    if (!state->open(codec, creationTime)) return nullptr;
    state->frame->format = c->pix_fmt;
    state->frame->width = width;
    state->frame->height = height;
    if (av_frame_get_buffer(state->frame, 0) < 0) return nullptr;
    state->scaler = sws_getContext(width, height, AV_PIX_FMT_BGRA, width, height, AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr,
                                   nullptr, nullptr);
    if (!state->scaler) return nullptr;
    return std::unique_ptr<MediaWriter>(new MediaWriter(std::move(state)));
}

std::unique_ptr<MediaWriter> MediaWriter::forAudio(const std::string& hostPath, AudioCodec codecKind, int sampleRate, int channels) {
    const AVCodec* codec = avcodec_find_encoder(codecKind == AudioCodec::AAC ? AV_CODEC_ID_AAC : AV_CODEC_ID_MP3);
    auto state = begin(hostPath, codec);
    if (!state || channels < 1 || channels > 2) return nullptr;
    AVCodecContext* c = state->encoder;
    c->sample_fmt = AV_SAMPLE_FMT_FLTP;
    c->sample_rate = sampleRate;
    av_channel_layout_default(&c->ch_layout, channels);
    c->bit_rate = 128000;
    c->time_base = AVRational{1, sampleRate};
    if (!state->open(codec, std::nullopt)) return nullptr;
    state->frame->format = c->sample_fmt;
    state->frame->sample_rate = sampleRate;
    av_channel_layout_copy(&state->frame->ch_layout, &c->ch_layout);
    state->frame->nb_samples = c->frame_size > 0 ? c->frame_size : 1152;
    if (av_frame_get_buffer(state->frame, 0) < 0) return nullptr;
    return std::unique_ptr<MediaWriter>(new MediaWriter(std::move(state)));
}

bool MediaWriter::appendFrame(const CGImage& image) {
    State& s = *state_;
    if (!s.scaler || image.width() != s.encoder->width || image.height() != s.encoder->height) return false;
    if (av_frame_make_writable(s.frame) < 0) return false;
    cairo_surface_flush(image.surface());
    const std::uint8_t* planes[] = {cairo_image_surface_get_data(image.surface())};
    const int strides[] = {cairo_image_surface_get_stride(image.surface())};
    sws_scale(s.scaler, planes, strides, 0, image.height(), s.frame->data, s.frame->linesize);
    s.frame->pts = s.nextPts++;
    return s.encode(s.frame);
}

bool MediaWriter::appendSamples(const float* interleaved, std::size_t frameCount) {
    State& s = *state_;
    if (s.scaler) return false;
    const int channels = s.encoder->ch_layout.nb_channels;
    s.pending.insert(s.pending.end(), interleaved, interleaved + frameCount * static_cast<std::size_t>(channels));
    const auto perFrame = static_cast<std::size_t>(s.frame->nb_samples);
    std::size_t used = 0;
    while (s.pending.size() - used >= perFrame * static_cast<std::size_t>(channels)) {
        if (av_frame_make_writable(s.frame) < 0) return false;
        for (int ch = 0; ch < channels; ++ch) {
            auto* plane = reinterpret_cast<float*>(s.frame->data[ch]);
            for (std::size_t i = 0; i < perFrame; ++i) plane[i] = s.pending[used + i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(ch)];
        }
        used += perFrame * static_cast<std::size_t>(channels);
        s.frame->pts = s.nextPts;
        s.nextPts += s.frame->nb_samples;
        if (!s.encode(s.frame)) return false;
    }
    s.pending.erase(s.pending.begin(), s.pending.begin() + static_cast<std::ptrdiff_t>(used));
    return true;
}

bool MediaWriter::finish() {
    State& s = *state_;
    if (!s.headerWritten) return false;
    if (!s.scaler && !s.pending.empty()) {
        // The last, partial encoder frame: padded with silence when the encoder needs whole frames.
        const int channels = s.encoder->ch_layout.nb_channels;
        const std::size_t have = s.pending.size() / static_cast<std::size_t>(channels);
        if (s.encoder->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) s.frame->nb_samples = static_cast<int>(have);
        std::vector<float> silence((static_cast<std::size_t>(s.frame->nb_samples) - have) * static_cast<std::size_t>(channels), 0.0f);
        std::vector<float> rest;
        rest.swap(s.pending);
        rest.insert(rest.end(), silence.begin(), silence.end());
        if (!appendSamples(rest.data(), rest.size() / static_cast<std::size_t>(channels))) return false;
    }
    if (!s.encode(nullptr) || av_write_trailer(s.output) < 0) return false;
    if (avio_closep(&s.output->pb) < 0) return false;
    s.finished = true;
    return true;
}
