// libavformat, libavcodec, libavutil, libswscale and libswresample, opened on first use: linked
// in, they and the hundred libraries they need would be loaded and relocated at every launch,
// though only a song's import, a video's frames or an export ever call them.

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

#include "platform/foundation/LazyLibrary.h"

namespace {
LazyLibrary avformat{"libavformat.so." TD_LAZY_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR)};
LazyLibrary avcodec{"libavcodec.so." TD_LAZY_STRINGIFY(LIBAVCODEC_VERSION_MAJOR)};
LazyLibrary avutil{"libavutil.so." TD_LAZY_STRINGIFY(LIBAVUTIL_VERSION_MAJOR)};
LazyLibrary swscale{"libswscale.so." TD_LAZY_STRINGIFY(LIBSWSCALE_VERSION_MAJOR)};
LazyLibrary swresample{"libswresample.so." TD_LAZY_STRINGIFY(LIBSWRESAMPLE_VERSION_MAJOR)};
} // namespace

TD_LAZY_FUNCTION(avutil, int, av_channel_layout_copy, (AVChannelLayout* dst, const AVChannelLayout* src), (dst, src))
TD_LAZY_FUNCTION(avutil, void, av_channel_layout_default, (AVChannelLayout* layout, int channels), (layout, channels))
TD_LAZY_FUNCTION(avutil, AVDictionaryEntry*, av_dict_get, (const AVDictionary* m, const char* key, const AVDictionaryEntry* prev, int flags),
         (m, key, prev, flags))
TD_LAZY_FUNCTION(avutil, int, av_dict_set, (AVDictionary** pm, const char* key, const char* value, int flags), (pm, key, value, flags))
TD_LAZY_FUNCTION(avutil, AVFrame*, av_frame_alloc, (void), ())
TD_LAZY_FUNCTION(avutil, void, av_frame_free, (AVFrame** frame), (frame))
TD_LAZY_FUNCTION(avutil, int, av_frame_get_buffer, (AVFrame* frame, int align), (frame, align))
TD_LAZY_FUNCTION(avutil, int, av_frame_make_writable, (AVFrame* frame), (frame))
TD_LAZY_FUNCTION(avutil, void, av_free, (void* pointer), (pointer))
TD_LAZY_FUNCTION(avutil, int, av_image_alloc, (uint8_t* pointers[4], int linesizes[4], int w, int h, enum AVPixelFormat format, int align),
         (pointers, linesizes, w, h, format, align))
TD_LAZY_FUNCTION(avutil, void, av_log_set_level, (int level), (level))
TD_LAZY_FUNCTION(avutil, int, av_opt_set, (void* object, const char* name, const char* value, int flags), (object, name, value, flags))

TD_LAZY_FUNCTION(avcodec, AVPacket*, av_packet_alloc, (void), ())
TD_LAZY_FUNCTION(avcodec, void, av_packet_free, (AVPacket** packet), (packet))
TD_LAZY_FUNCTION(avcodec, void, av_packet_rescale_ts, (AVPacket* packet, AVRational from, AVRational to), (packet, from, to))
TD_LAZY_FUNCTION(avcodec, void, av_packet_unref, (AVPacket* packet), (packet))
TD_LAZY_FUNCTION(avcodec, AVCodecContext*, avcodec_alloc_context3, (const AVCodec* codec), (codec))
TD_LAZY_FUNCTION(avcodec, const AVCodec*, avcodec_find_encoder, (enum AVCodecID id), (id))
TD_LAZY_FUNCTION(avcodec, void, avcodec_free_context, (AVCodecContext** context), (context))
TD_LAZY_FUNCTION(avcodec, const char*, avcodec_get_name, (enum AVCodecID id), (id))
TD_LAZY_FUNCTION(avcodec, int, avcodec_open2, (AVCodecContext* context, const AVCodec* codec, AVDictionary** options), (context, codec, options))
TD_LAZY_FUNCTION(avcodec, int, avcodec_parameters_copy, (AVCodecParameters* dst, const AVCodecParameters* src), (dst, src))
TD_LAZY_FUNCTION(avcodec, int, avcodec_parameters_from_context, (AVCodecParameters* parameters, const AVCodecContext* context),
         (parameters, context))
TD_LAZY_FUNCTION(avcodec, int, avcodec_parameters_to_context, (AVCodecContext* context, const AVCodecParameters* parameters),
         (context, parameters))
TD_LAZY_FUNCTION(avcodec, int, avcodec_receive_frame, (AVCodecContext* context, AVFrame* frame), (context, frame))
TD_LAZY_FUNCTION(avcodec, int, avcodec_receive_packet, (AVCodecContext* context, AVPacket* packet), (context, packet))
TD_LAZY_FUNCTION(avcodec, int, avcodec_send_frame, (AVCodecContext* context, const AVFrame* frame), (context, frame))
TD_LAZY_FUNCTION(avcodec, int, avcodec_send_packet, (AVCodecContext* context, const AVPacket* packet), (context, packet))

TD_LAZY_FUNCTION(avformat, int, av_find_best_stream,
         (AVFormatContext* context, enum AVMediaType type, int wanted, int related, const AVCodec** decoder, int flags),
         (context, type, wanted, related, decoder, flags))
TD_LAZY_FUNCTION(avformat, int, av_interleaved_write_frame, (AVFormatContext* context, AVPacket* packet), (context, packet))
TD_LAZY_FUNCTION(avformat, int, av_read_frame, (AVFormatContext* context, AVPacket* packet), (context, packet))
TD_LAZY_FUNCTION(avformat, int, av_seek_frame, (AVFormatContext* context, int stream, int64_t timestamp, int flags),
         (context, stream, timestamp, flags))
TD_LAZY_FUNCTION(avformat, int, av_write_trailer, (AVFormatContext* context), (context))
TD_LAZY_FUNCTION(avformat, int, avformat_alloc_output_context2,
         (AVFormatContext** context, const AVOutputFormat* format, const char* formatName, const char* fileName),
         (context, format, formatName, fileName))
TD_LAZY_FUNCTION(avformat, void, avformat_close_input, (AVFormatContext** context), (context))
TD_LAZY_FUNCTION(avformat, int, avformat_find_stream_info, (AVFormatContext* context, AVDictionary** options), (context, options))
TD_LAZY_FUNCTION(avformat, void, avformat_free_context, (AVFormatContext* context), (context))
TD_LAZY_FUNCTION(avformat, AVStream*, avformat_new_stream, (AVFormatContext* context, const AVCodec* codec), (context, codec))
TD_LAZY_FUNCTION(avformat, int, avformat_open_input,
         (AVFormatContext** context, const char* url, const AVInputFormat* format, AVDictionary** options),
         (context, url, format, options))
TD_LAZY_FUNCTION(avformat, int, avio_closep, (AVIOContext** context), (context))
TD_LAZY_FUNCTION(avformat, int, avio_open, (AVIOContext** context, const char* url, int flags), (context, url, flags))
TD_LAZY_FUNCTION(avformat, int, avformat_write_header, (AVFormatContext* context, AVDictionary** options), (context, options))

TD_LAZY_FUNCTION(swresample, int, swr_alloc_set_opts2,
         (struct SwrContext** context, AVChannelLayout* outLayout, enum AVSampleFormat outFormat, int outRate,
          AVChannelLayout* inLayout, enum AVSampleFormat inFormat, int inRate, int logOffset, void* logContext),
         (context, outLayout, outFormat, outRate, inLayout, inFormat, inRate, logOffset, logContext))
TD_LAZY_FUNCTION(swresample, int, swr_convert, (struct SwrContext* context, uint8_t** out, int outCount, const uint8_t** in, int inCount),
         (context, out, outCount, in, inCount))
TD_LAZY_FUNCTION(swresample, void, swr_free, (struct SwrContext** context), (context))
TD_LAZY_FUNCTION(swresample, int, swr_get_out_samples, (struct SwrContext* context, int inSamples), (context, inSamples))
TD_LAZY_FUNCTION(swresample, int, swr_init, (struct SwrContext* context), (context))

TD_LAZY_FUNCTION(swscale, void, sws_freeContext, (struct SwsContext* context), (context))
TD_LAZY_FUNCTION(swscale, struct SwsContext*, sws_getContext,
         (int srcW, int srcH, enum AVPixelFormat srcFormat, int dstW, int dstH, enum AVPixelFormat dstFormat, int flags,
          SwsFilter* srcFilter, SwsFilter* dstFilter, const double* parameters),
         (srcW, srcH, srcFormat, dstW, dstH, dstFormat, flags, srcFilter, dstFilter, parameters))
TD_LAZY_FUNCTION(swscale, int, sws_scale,
         (struct SwsContext* context, const uint8_t* const source[], const int sourceStride[], int sliceY, int sliceH,
          uint8_t* const destination[], const int destinationStride[]),
         (context, source, sourceStride, sliceY, sliceH, destination, destinationStride))
