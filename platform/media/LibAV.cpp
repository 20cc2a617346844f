// libavformat, libavcodec, libavutil, libswscale and libswresample, opened on first use. Linked
// in, they and the hundred libraries they need would be loaded and relocated at every launch,
// though only a song's import, a video's frames or an export ever call them; here each of their
// functions the platform calls is defined once, and opens its library and looks itself up the
// first time it runs. The definitions stay inside the executable (hidden), so that the libraries'
// own calls among themselves never come back through them.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <mutex>

namespace {

struct Library {
    const char* file;
    std::once_flag opened;
    void* handle = nullptr;
};

#define TD_STRINGIFY_(x) #x
#define TD_STRINGIFY(x) TD_STRINGIFY_(x)
// The major versions the headers describe: a library of another major version has another ABI.
Library avformat{"libavformat.so." TD_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR), {}, nullptr};
Library avcodec{"libavcodec.so." TD_STRINGIFY(LIBAVCODEC_VERSION_MAJOR), {}, nullptr};
Library avutil{"libavutil.so." TD_STRINGIFY(LIBAVUTIL_VERSION_MAJOR), {}, nullptr};
Library swscale{"libswscale.so." TD_STRINGIFY(LIBSWSCALE_VERSION_MAJOR), {}, nullptr};
Library swresample{"libswresample.so." TD_STRINGIFY(LIBSWRESAMPLE_VERSION_MAJOR), {}, nullptr};

// The libraries were there when the platform was built; one missing now cannot be worked around.
[[noreturn]] void missing(const char* what, const char* name) {
    std::fprintf(stderr, "tandrel: cannot load %s from %s: %s\n", name, what, dlerror());
    std::abort();
}

void* lookUp(Library& library, const char* name) {
    std::call_once(library.opened, [&library] { library.handle = dlopen(library.file, RTLD_NOW | RTLD_LOCAL); });
    if (!library.handle) missing(library.file, name);
    void* function = dlsym(library.handle, name);
    if (!function) missing(library.file, name);
    return function;
}

} // namespace

// One definition per function: its signature is checked against the library's own declaration.
#define TD_LIBAV(library, result, name, parameters, arguments)                                         \
    extern "C" [[gnu::visibility("hidden")]] result name parameters {                                   \
        static const auto function = reinterpret_cast<decltype(&name)>(lookUp(library, #name));        \
        return function arguments;                                                                      \
    }

TD_LIBAV(avutil, int, av_channel_layout_copy, (AVChannelLayout* dst, const AVChannelLayout* src), (dst, src))
TD_LIBAV(avutil, void, av_channel_layout_default, (AVChannelLayout* layout, int channels), (layout, channels))
TD_LIBAV(avutil, AVDictionaryEntry*, av_dict_get, (const AVDictionary* m, const char* key, const AVDictionaryEntry* prev, int flags),
         (m, key, prev, flags))
TD_LIBAV(avutil, int, av_dict_set, (AVDictionary** pm, const char* key, const char* value, int flags), (pm, key, value, flags))
TD_LIBAV(avutil, AVFrame*, av_frame_alloc, (void), ())
TD_LIBAV(avutil, void, av_frame_free, (AVFrame** frame), (frame))
TD_LIBAV(avutil, int, av_frame_get_buffer, (AVFrame* frame, int align), (frame, align))
TD_LIBAV(avutil, int, av_frame_make_writable, (AVFrame* frame), (frame))
TD_LIBAV(avutil, void, av_free, (void* pointer), (pointer))
TD_LIBAV(avutil, int, av_image_alloc, (uint8_t* pointers[4], int linesizes[4], int w, int h, enum AVPixelFormat format, int align),
         (pointers, linesizes, w, h, format, align))
TD_LIBAV(avutil, void, av_log_set_level, (int level), (level))
TD_LIBAV(avutil, int, av_opt_set, (void* object, const char* name, const char* value, int flags), (object, name, value, flags))

TD_LIBAV(avcodec, AVPacket*, av_packet_alloc, (void), ())
TD_LIBAV(avcodec, void, av_packet_free, (AVPacket** packet), (packet))
TD_LIBAV(avcodec, void, av_packet_rescale_ts, (AVPacket* packet, AVRational from, AVRational to), (packet, from, to))
TD_LIBAV(avcodec, void, av_packet_unref, (AVPacket* packet), (packet))
TD_LIBAV(avcodec, AVCodecContext*, avcodec_alloc_context3, (const AVCodec* codec), (codec))
TD_LIBAV(avcodec, const AVCodec*, avcodec_find_encoder, (enum AVCodecID id), (id))
TD_LIBAV(avcodec, void, avcodec_free_context, (AVCodecContext** context), (context))
TD_LIBAV(avcodec, const char*, avcodec_get_name, (enum AVCodecID id), (id))
TD_LIBAV(avcodec, int, avcodec_open2, (AVCodecContext* context, const AVCodec* codec, AVDictionary** options), (context, codec, options))
TD_LIBAV(avcodec, int, avcodec_parameters_copy, (AVCodecParameters* dst, const AVCodecParameters* src), (dst, src))
TD_LIBAV(avcodec, int, avcodec_parameters_from_context, (AVCodecParameters* parameters, const AVCodecContext* context),
         (parameters, context))
TD_LIBAV(avcodec, int, avcodec_parameters_to_context, (AVCodecContext* context, const AVCodecParameters* parameters),
         (context, parameters))
TD_LIBAV(avcodec, int, avcodec_receive_frame, (AVCodecContext* context, AVFrame* frame), (context, frame))
TD_LIBAV(avcodec, int, avcodec_receive_packet, (AVCodecContext* context, AVPacket* packet), (context, packet))
TD_LIBAV(avcodec, int, avcodec_send_frame, (AVCodecContext* context, const AVFrame* frame), (context, frame))
TD_LIBAV(avcodec, int, avcodec_send_packet, (AVCodecContext* context, const AVPacket* packet), (context, packet))

TD_LIBAV(avformat, int, av_find_best_stream,
         (AVFormatContext* context, enum AVMediaType type, int wanted, int related, const AVCodec** decoder, int flags),
         (context, type, wanted, related, decoder, flags))
TD_LIBAV(avformat, int, av_interleaved_write_frame, (AVFormatContext* context, AVPacket* packet), (context, packet))
TD_LIBAV(avformat, int, av_read_frame, (AVFormatContext* context, AVPacket* packet), (context, packet))
TD_LIBAV(avformat, int, av_seek_frame, (AVFormatContext* context, int stream, int64_t timestamp, int flags),
         (context, stream, timestamp, flags))
TD_LIBAV(avformat, int, av_write_trailer, (AVFormatContext* context), (context))
TD_LIBAV(avformat, int, avformat_alloc_output_context2,
         (AVFormatContext** context, const AVOutputFormat* format, const char* formatName, const char* fileName),
         (context, format, formatName, fileName))
TD_LIBAV(avformat, void, avformat_close_input, (AVFormatContext** context), (context))
TD_LIBAV(avformat, int, avformat_find_stream_info, (AVFormatContext* context, AVDictionary** options), (context, options))
TD_LIBAV(avformat, void, avformat_free_context, (AVFormatContext* context), (context))
TD_LIBAV(avformat, AVStream*, avformat_new_stream, (AVFormatContext* context, const AVCodec* codec), (context, codec))
TD_LIBAV(avformat, int, avformat_open_input,
         (AVFormatContext** context, const char* url, const AVInputFormat* format, AVDictionary** options),
         (context, url, format, options))
TD_LIBAV(avformat, int, avio_closep, (AVIOContext** context), (context))
TD_LIBAV(avformat, int, avio_open, (AVIOContext** context, const char* url, int flags), (context, url, flags))
TD_LIBAV(avformat, int, avformat_write_header, (AVFormatContext* context, AVDictionary** options), (context, options))

TD_LIBAV(swresample, int, swr_alloc_set_opts2,
         (struct SwrContext** context, AVChannelLayout* outLayout, enum AVSampleFormat outFormat, int outRate,
          AVChannelLayout* inLayout, enum AVSampleFormat inFormat, int inRate, int logOffset, void* logContext),
         (context, outLayout, outFormat, outRate, inLayout, inFormat, inRate, logOffset, logContext))
TD_LIBAV(swresample, int, swr_convert, (struct SwrContext* context, uint8_t** out, int outCount, const uint8_t** in, int inCount),
         (context, out, outCount, in, inCount))
TD_LIBAV(swresample, void, swr_free, (struct SwrContext** context), (context))
TD_LIBAV(swresample, int, swr_get_out_samples, (struct SwrContext* context, int inSamples), (context, inSamples))
TD_LIBAV(swresample, int, swr_init, (struct SwrContext* context), (context))

TD_LIBAV(swscale, void, sws_freeContext, (struct SwsContext* context), (context))
TD_LIBAV(swscale, struct SwsContext*, sws_getContext,
         (int srcW, int srcH, enum AVPixelFormat srcFormat, int dstW, int dstH, enum AVPixelFormat dstFormat, int flags,
          SwsFilter* srcFilter, SwsFilter* dstFilter, const double* parameters),
         (srcW, srcH, srcFormat, dstW, dstH, dstFormat, flags, srcFilter, dstFilter, parameters))
TD_LIBAV(swscale, int, sws_scale,
         (struct SwsContext* context, const uint8_t* const source[], const int sourceStride[], int sliceY, int sliceH,
          uint8_t* const destination[], const int destinationStride[]),
         (context, source, sourceStride, sliceY, sliceH, destination, destinationStride))
