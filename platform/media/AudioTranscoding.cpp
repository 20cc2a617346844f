#include "platform/media/AudioTranscoding.h"

#include "platform/foundation/WholeFile.h"
#include "platform/media/MediaHandles.h"
#include "platform/media/MediaWriter.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <fcntl.h>
#include <memory>
#include <vector>

namespace AudioTranscoding {
namespace {
constexpr int kRate = 44100;
constexpr int kChannels = 2;

struct ResamplerFree {
    void operator()(SwrContext* context) const { swr_free(&context); }
};
using namespace MediaHandles;

Result copyPackets(AVFormatContext& input, int streamIndex, const std::string& outputPath, const std::atomic<bool>& cancelled) {
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, "ipod", outputPath.c_str()) < 0 || !raw) return Result::Failed;
    Output output(raw);
    AVStream* in = input.streams[streamIndex];
    AVStream* out = avformat_new_stream(output.get(), nullptr);
    if (!out || avcodec_parameters_copy(out->codecpar, in->codecpar) < 0) return Result::Failed;
    out->codecpar->codec_tag = 0;
    out->time_base = in->time_base;
    if (avio_open(&output->pb, outputPath.c_str(), AVIO_FLAG_WRITE) < 0) return Result::Failed;
    bool ok = avformat_write_header(output.get(), nullptr) >= 0;
    Packet packet(av_packet_alloc());
    while (ok && !cancelled && av_read_frame(&input, packet.get()) >= 0) {
        if (packet->stream_index == streamIndex) {
            av_packet_rescale_ts(packet.get(), in->time_base, out->time_base);
            packet->stream_index = 0;
            packet->pos = -1;
            ok = av_interleaved_write_frame(output.get(), packet.get()) >= 0;
        }
        av_packet_unref(packet.get());
    }
    if (ok && !cancelled) ok = av_write_trailer(output.get()) >= 0;
    if (cancelled) return Result::Cancelled;
    return ok ? Result::Completed : Result::Failed;
}

Result reencode(AVFormatContext& input, int streamIndex, const AVCodec* codec, const std::string& outputPath,
                const std::atomic<bool>& cancelled) {
    Codec decoder(avcodec_alloc_context3(codec));
    if (!decoder || avcodec_parameters_to_context(decoder.get(), input.streams[streamIndex]->codecpar) < 0 ||
        avcodec_open2(decoder.get(), codec, nullptr) < 0)
        return Result::Failed;
    AVChannelLayout stereo;
    av_channel_layout_default(&stereo, kChannels);
    SwrContext* rawResampler = nullptr;
    if (swr_alloc_set_opts2(&rawResampler, &stereo, AV_SAMPLE_FMT_FLT, kRate, &decoder->ch_layout, decoder->sample_fmt,
                            decoder->sample_rate, 0, nullptr) < 0)
        return Result::Failed;
    std::unique_ptr<SwrContext, ResamplerFree> resampler(rawResampler);
    if (swr_init(resampler.get()) < 0) return Result::Failed;
    auto writer = MediaWriter::forAudio(outputPath, MediaWriter::AudioCodec::AAC, kRate, kChannels);
    if (!writer) return Result::Failed;
    Packet packet(av_packet_alloc());
    Frame frame(av_frame_alloc());
    std::vector<float> samples;
    auto convert = [&](const AVFrame* in) {
        const int room = swr_get_out_samples(resampler.get(), in ? in->nb_samples : 0);
        if (room <= 0) return true;
        samples.resize(static_cast<std::size_t>(room) * kChannels);
        auto* outPlane = reinterpret_cast<std::uint8_t*>(samples.data());
        const int made = swr_convert(resampler.get(), &outPlane, room, in ? const_cast<const std::uint8_t**>(in->extended_data) : nullptr,
                                     in ? in->nb_samples : 0);
        return made >= 0 && writer->appendSamples(samples.data(), static_cast<std::size_t>(made));
    };
    auto drain = [&] {
        while (avcodec_receive_frame(decoder.get(), frame.get()) == 0)
            if (!convert(frame.get())) return false;
        return true;
    };
    bool ok = true;
    while (ok && !cancelled && av_read_frame(&input, packet.get()) >= 0) {
        if (packet->stream_index == streamIndex) ok = avcodec_send_packet(decoder.get(), packet.get()) >= 0 && drain();
        av_packet_unref(packet.get());
    }
    if (cancelled) return Result::Cancelled; // the writer removes its file
    ok = ok && avcodec_send_packet(decoder.get(), nullptr) >= 0 && drain() && convert(nullptr) && writer->finish();
    return ok ? Result::Completed : Result::Failed;
}
} // namespace

Result transcodeToAACInMPEG4(const std::string& sourceHostPath, const std::string& outputHostPath, const std::atomic<bool>& cancelled) {
    Input input = openInput(sourceHostPath);
    if (!input) return Result::Failed;
    const AVCodec* codec = nullptr;
    const int stream = av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (stream < 0 || !codec) return Result::Failed;
    // Written under a temporary name and presented whole: a song with no index (a quit, a kill,
    // a full disk during the export) is never found at the output path.
    WholeFileWriter file;
    if (file.beginAt(AT_FDCWD, outputHostPath) != 0) return Result::Failed;
    Result result = input->streams[stream]->codecpar->codec_id == AV_CODEC_ID_AAC
                        ? copyPackets(*input, stream, file.temporaryHostPath(), cancelled)
                        : reencode(*input, stream, codec, file.temporaryHostPath(), cancelled);
    // An output that appeared meanwhile is kept; the temporary goes with the writer.
    if (result == Result::Completed && file.commit(WholeFileWriter::Sync::None, WholeFileWriter::Existing::Keep) != 0) return Result::Failed;
    return result;
}

} // namespace AudioTranscoding
