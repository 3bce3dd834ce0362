// The FFmpeg functions the decoding code calls, each forwarding to the
// library opened at run time (see medialibraries.h). The program links none
// of FFmpeg's libraries; these definitions stand in for them. FFmpeg's own
// declarations are in scope, so a forwarder whose signature strays from the
// library's does not compile.

#include "medialibraries.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

// Looks the function up once, on its first call.
#define MELODECK_FORWARD(result, name, parameters, arguments)                                             \
    extern "C" result name parameters                                                                    \
    {                                                                                                    \
        static const auto target = reinterpret_cast<decltype(&name)>(audio::mediaSymbol(#name));        \
        return target arguments;                                                                         \
    }

// libavutil
MELODECK_FORWARD(void *, av_malloc, (size_t size), (size))
MELODECK_FORWARD(void, av_free, (void *ptr), (ptr))
MELODECK_FORWARD(void, av_freep, (void *ptr), (ptr))
MELODECK_FORWARD(int, av_strerror, (int errnum, char *errbuf, size_t errbuf_size), (errnum, errbuf, errbuf_size))
MELODECK_FORWARD(int64_t, av_rescale_q, (int64_t a, AVRational bq, AVRational cq), (a, bq, cq))
MELODECK_FORWARD(int, av_dict_set, (AVDictionary * *pm, const char *key, const char *value, int flags),
                 (pm, key, value, flags))
MELODECK_FORWARD(int, av_dict_set_int, (AVDictionary * *pm, const char *key, int64_t value, int flags),
                 (pm, key, value, flags))
MELODECK_FORWARD(int, av_dict_copy, (AVDictionary * *dst, const AVDictionary *src, int flags), (dst, src, flags))
MELODECK_FORWARD(void, av_dict_free, (AVDictionary * *m), (m))
MELODECK_FORWARD(int, av_opt_get, (void *obj, const char *name, int search_flags, uint8_t **out_val),
                 (obj, name, search_flags, out_val))
MELODECK_FORWARD(AVFrame *, av_frame_alloc, (void), ())
MELODECK_FORWARD(void, av_frame_free, (AVFrame * *frame), (frame))
MELODECK_FORWARD(void, av_channel_layout_default, (AVChannelLayout * ch_layout, int nb_channels),
                 (ch_layout, nb_channels))
MELODECK_FORWARD(void, av_channel_layout_uninit, (AVChannelLayout * channel_layout), (channel_layout))
MELODECK_FORWARD(int, av_channel_layout_copy, (AVChannelLayout * dst, const AVChannelLayout *src), (dst, src))
MELODECK_FORWARD(int, av_channel_layout_compare, (const AVChannelLayout *chl, const AVChannelLayout *chl1),
                 (chl, chl1))

// libswresample
MELODECK_FORWARD(int, swr_alloc_set_opts2,
                 (struct SwrContext * *ps, AVChannelLayout *out_ch_layout, enum AVSampleFormat out_sample_fmt,
                  int out_sample_rate, AVChannelLayout *in_ch_layout, enum AVSampleFormat in_sample_fmt,
                  int in_sample_rate, int log_offset, void *log_ctx),
                 (ps, out_ch_layout, out_sample_fmt, out_sample_rate, in_ch_layout, in_sample_fmt, in_sample_rate,
                  log_offset, log_ctx))
MELODECK_FORWARD(int, swr_init, (struct SwrContext * s), (s))
MELODECK_FORWARD(void, swr_free, (struct SwrContext * *s), (s))
MELODECK_FORWARD(int, swr_get_out_samples, (struct SwrContext * s, int in_samples), (s, in_samples))
MELODECK_FORWARD(int, swr_convert,
                 (struct SwrContext * s, uint8_t **out, int out_count, const uint8_t **in, int in_count),
                 (s, out, out_count, in, in_count))

// libavcodec
MELODECK_FORWARD(AVPacket *, av_packet_alloc, (void), ())
MELODECK_FORWARD(void, av_packet_free, (AVPacket * *pkt), (pkt))
MELODECK_FORWARD(void, av_packet_unref, (AVPacket * pkt), (pkt))
MELODECK_FORWARD(uint8_t *, av_packet_get_side_data,
                 (const AVPacket *pkt, enum AVPacketSideDataType type, size_t *size), (pkt, type, size))
MELODECK_FORWARD(int, av_packet_shrink_side_data, (AVPacket * pkt, enum AVPacketSideDataType type, size_t size),
                 (pkt, type, size))
MELODECK_FORWARD(AVCodecContext *, avcodec_alloc_context3, (const AVCodec *codec), (codec))
MELODECK_FORWARD(void, avcodec_free_context, (AVCodecContext * *avctx), (avctx))
MELODECK_FORWARD(int, avcodec_parameters_to_context, (AVCodecContext * codec, const AVCodecParameters *par),
                 (codec, par))
MELODECK_FORWARD(int, avcodec_open2, (AVCodecContext * avctx, const AVCodec *codec, AVDictionary **options),
                 (avctx, codec, options))
MELODECK_FORWARD(int, avcodec_send_packet, (AVCodecContext * avctx, const AVPacket *avpkt), (avctx, avpkt))
MELODECK_FORWARD(int, avcodec_receive_frame, (AVCodecContext * avctx, AVFrame *frame), (avctx, frame))
MELODECK_FORWARD(void, avcodec_flush_buffers, (AVCodecContext * avctx), (avctx))

// libavformat
MELODECK_FORWARD(AVFormatContext *, avformat_alloc_context, (void), ())
MELODECK_FORWARD(const AVInputFormat *, av_find_input_format, (const char *short_name), (short_name))
MELODECK_FORWARD(int, avformat_open_input,
                 (AVFormatContext * *ps, const char *url, const AVInputFormat *fmt, AVDictionary **options),
                 (ps, url, fmt, options))
MELODECK_FORWARD(int, avformat_find_stream_info, (AVFormatContext * ic, AVDictionary **options), (ic, options))
MELODECK_FORWARD(void, avformat_close_input, (AVFormatContext * *s), (s))
MELODECK_FORWARD(int, av_find_best_stream,
                 (AVFormatContext * ic, enum AVMediaType type, int wanted_stream_nb, int related_stream,
                  const AVCodec **decoder_ret, int flags),
                 (ic, type, wanted_stream_nb, related_stream, decoder_ret, flags))
MELODECK_FORWARD(int, av_read_frame, (AVFormatContext * s, AVPacket *pkt), (s, pkt))
MELODECK_FORWARD(int, av_seek_frame, (AVFormatContext * s, int stream_index, int64_t timestamp, int flags),
                 (s, stream_index, timestamp, flags))
MELODECK_FORWARD(int, avformat_seek_file,
                 (AVFormatContext * s, int stream_index, int64_t min_ts, int64_t ts, int64_t max_ts, int flags),
                 (s, stream_index, min_ts, ts, max_ts, flags))
MELODECK_FORWARD(AVIOContext *, avio_alloc_context,
                 (unsigned char *buffer, int buffer_size, int write_flag, void *opaque,
                  int (*read_packet)(void *opaque, uint8_t *buf, int buf_size),
                  int (*write_packet)(void *opaque, uint8_t *buf, int buf_size),
                  int64_t (*seek)(void *opaque, int64_t offset, int whence)),
                 (buffer, buffer_size, write_flag, opaque, read_packet, write_packet, seek))
MELODECK_FORWARD(void, avio_context_free, (AVIOContext * *s), (s))
MELODECK_FORWARD(int, avio_open2,
                 (AVIOContext * *s, const char *url, int flags, const AVIOInterruptCB *int_cb,
                  AVDictionary **options),
                 (s, url, flags, int_cb, options))
MELODECK_FORWARD(int, avio_closep, (AVIOContext * *s), (s))
MELODECK_FORWARD(int, avio_read_partial, (AVIOContext * s, unsigned char *buf, int size), (s, buf, size))
