#include "mediasource.h"
#include "medialibraries.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/intreadwrite.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstdio>

namespace audio {

namespace {

constexpr const char *kFileProtocol = "file:";
constexpr const char *kFileWhitelist = "file";
constexpr const char *kMp3Demuxer = "mp3";
constexpr const char *kAsfDemuxer = "asf";
constexpr const char *kLogPrefix = "melodeck audio: ";
constexpr int kMaxChannels = 8;
// Packets the decoder may reject in a row before the data counts as garbage.
constexpr int kMaxBadPackets = 200;
// An exact seek starts decoding this many packets (and bytes) early and
// drops the result, so the decoder has all it needs by the target.
constexpr std::size_t kIndexPreroll = 3;
constexpr std::int64_t kReservoirBytes = 1024;

void warn(const char *what, const std::string &detail)
{
    std::fprintf(stderr, "%s%s: %s\n", kLogPrefix, what, detail.c_str());
}

AVFormatContext *openContainer(const std::string &path)
{
    AVFormatContext *format = nullptr;
    AVDictionary *options = nullptr;
    av_dict_set(&options, "protocol_whitelist", kFileWhitelist, 0);
    // The "file:" prefix keeps a colon inside a file name from naming a protocol.
    const std::string url = kFileProtocol + path;
    const int rc = avformat_open_input(&format, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    return rc < 0 ? nullptr : format;
}

}  // namespace

std::unique_ptr<MediaSource> MediaSource::openFile(const std::string &path, Kind kind)
{
    if (!mediaLibrariesLoaded())
        return nullptr;
    AVFormatContext *format = openContainer(path);
    if (!format)
        return nullptr;
    std::unique_ptr<MediaSource> source(new MediaSource());
    source->format_ = format;
    source->ownsFormat_ = true;
    if (avformat_find_stream_info(format, nullptr) < 0)
        return nullptr;
    if (kind == Kind::Wma && std::string(format->iformat->name).find(kAsfDemuxer) == std::string::npos)
        return nullptr;
    if (!source->setUp(format, true))
        return nullptr;
    source->seekable_ = format->pb && (format->pb->seekable & AVIO_SEEKABLE_NORMAL);
    if (std::string(format->iformat->name) == kMp3Demuxer && !source->buildIndex(path))
        return nullptr;
    if (!source->prime())
        return nullptr;
    source->estimateLength();
    return source;
}

std::unique_ptr<MediaSource> MediaSource::openExternal(AVFormatContext *format, std::function<void()> afterPacket)
{
    if (!format)
        return nullptr;
    std::unique_ptr<MediaSource> source(new MediaSource());
    source->afterPacket_ = std::move(afterPacket);
    if (!source->setUp(format, false) || !source->prime())
        return nullptr;
    source->seekable_ = false;
    source->lengthFrames_ = -1;
    return source;
}

MediaSource::~MediaSource()
{
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    swr_free(&convert_);
    av_channel_layout_uninit(&convertLayout_);
    avcodec_free_context(&codec_);
    if (ownsFormat_)
        avformat_close_input(&format_);
}

bool MediaSource::setUp(AVFormatContext *format, bool owned)
{
    format_ = format;
    ownsFormat_ = owned;
    const AVCodec *decoder = nullptr;
    streamIndex_ = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (streamIndex_ < 0 || !decoder)
        return false;
    const AVStream *stream = format->streams[streamIndex_];
    codec_ = avcodec_alloc_context3(decoder);
    if (!codec_ || avcodec_parameters_to_context(codec_, stream->codecpar) < 0)
        return false;
    codec_->pkt_timebase = stream->time_base;
    if (avcodec_open2(codec_, decoder, nullptr) < 0)
        return false;
    // Other streams (cover pictures and the like) are never read.
    for (unsigned i = 0; i < format->nb_streams; ++i)
        if (static_cast<int>(i) != streamIndex_)
            format->streams[i]->discard = AVDISCARD_ALL;
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    return packet_ && frame_;
}

bool MediaSource::prime()
{
    if (!decodeNext())
        return false;
    const std::int64_t ts = frame_->best_effort_timestamp;
    startTimestamp_ = ts == AV_NOPTS_VALUE ? 0 : ts;
    position_ = 0;
    return sampleRate_ > 0 && channels_ > 0;
}

bool MediaSource::buildIndex(const std::string &path)
{
    AVFormatContext *scan = openContainer(path);
    if (!scan)
        return false;
    // Without the stream info the parser leaves the first packet's duration
    // unknown, and the whole index would be one frame off.
    if (avformat_find_stream_info(scan, nullptr) < 0) {
        avformat_close_input(&scan);
        return false;
    }
    const int rate = format_->streams[streamIndex_]->codecpar->sample_rate;
    if (rate <= 0 || streamIndex_ >= static_cast<int>(scan->nb_streams)) {
        avformat_close_input(&scan);
        return false;
    }
    const AVRational tb = scan->streams[streamIndex_]->time_base;
    AVPacket *packet = av_packet_alloc();
    std::int64_t frame = 0;
    std::int64_t pendingSkip = 0;
    while (packet && av_read_frame(scan, packet) >= 0) {
        if (packet->stream_index == streamIndex_ && packet->duration > 0 && packet->pos >= 0) {
            std::int64_t duration = av_rescale_q(packet->duration, tb, AVRational{1, rate});
            std::int64_t discardEnd = 0;
            std::size_t size = 0;
            if (const std::uint8_t *skip = av_packet_get_side_data(packet, AV_PKT_DATA_SKIP_SAMPLES, &size);
                skip && size >= 8) {
                pendingSkip += AV_RL32(skip);
                discardEnd = AV_RL32(skip + 4);
            }
            const std::int64_t skipped = std::min(duration, pendingSkip);
            pendingSkip -= skipped;
            duration -= skipped;
            index_.push_back({packet->pos, frame});
            frame += std::max<std::int64_t>(0, duration - discardEnd);
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&scan);
    if (index_.empty())
        return false;
    lengthFrames_ = frame;
    return true;
}

void MediaSource::estimateLength()
{
    if (!index_.empty())
        return;  // the packet scan counted every frame
    const AVStream *stream = format_->streams[streamIndex_];
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        lengthFrames_ = av_rescale_q(stream->duration, stream->time_base, AVRational{1, sampleRate_});
    else if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0)
        lengthFrames_ = av_rescale_q(format_->duration, AV_TIME_BASE_Q, AVRational{1, sampleRate_});
    else
        lengthFrames_ = -1;
}

bool MediaSource::decodeNext()
{
    int badPackets = 0;
    for (;;) {
        const int received = avcodec_receive_frame(codec_, frame_);
        if (received == AVERROR_EOF)
            return false;
        if (received == 0) {
            const int inChannels = frame_->ch_layout.nb_channels;
            if (channels_ == 0) {
                if (inChannels <= 0 || inChannels > kMaxChannels || frame_->sample_rate <= 0) {
                    warn("unsupported channel layout", std::to_string(inChannels));
                    return false;
                }
                channels_ = inChannels;
                sampleRate_ = frame_->sample_rate;
            }
            if (!converterFits() && !makeConverter())
                return false;
            syncToIndex();
            const int capacity = swr_get_out_samples(convert_, frame_->nb_samples);
            pending_.resize(static_cast<std::size_t>(std::max(capacity, 0)) * static_cast<std::size_t>(channels_));
            auto *out = reinterpret_cast<std::uint8_t *>(pending_.data());
            const int converted = swr_convert(convert_, &out, capacity,
                                              const_cast<const std::uint8_t **>(frame_->extended_data),
                                              frame_->nb_samples);
            pending_.resize(static_cast<std::size_t>(std::max(converted, 0)) * static_cast<std::size_t>(channels_));
            if (!pending_.empty())
                return true;
            continue;
        }
        if (received != AVERROR(EAGAIN))
            return false;
        if (flushed_)
            return false;
        const int read = av_read_frame(format_, packet_);
        if (afterPacket_)
            afterPacket_();
        if (read < 0) {
            eof_ = true;
            flushed_ = true;
            avcodec_send_packet(codec_, nullptr);
            continue;
        }
        if (packet_->stream_index == streamIndex_) {
            // The demuxer marks the start padding on whatever packet follows a
            // byte seek; only the file's first packet really carries it.
            if (!index_.empty() && packet_->pos != index_.front().pos)
                av_packet_shrink_side_data(packet_, AV_PKT_DATA_SKIP_SAMPLES, 0);
            const int sent = avcodec_send_packet(codec_, packet_);
            if (sent < 0 && sent != AVERROR(EAGAIN) && ++badPackets > kMaxBadPackets) {
                av_packet_unref(packet_);
                warn("too many damaged packets", std::to_string(badPackets));
                return false;
            }
            if (sent >= 0)
                badPackets = 0;
        }
        av_packet_unref(packet_);
    }
}

void MediaSource::syncToIndex()
{
    // After a byte seek the demuxer may drop or re-read a frame while it
    // finds its footing; the packet position tells exactly where we are.
    if (index_.empty() || frame_->pkt_pos < 0)
        return;
    auto it = std::lower_bound(index_.begin(), index_.end(), frame_->pkt_pos,
                               [](const IndexEntry &e, std::int64_t pos) { return e.pos < pos; });
    if (it != index_.end() && it->pos == frame_->pkt_pos)
        position_ = it->frame;
}

bool MediaSource::converterFits() const
{
    return convert_ && convertFormat_ == frame_->format && convertRate_ == frame_->sample_rate
        && av_channel_layout_compare(&convertLayout_, &frame_->ch_layout) == 0;
}

bool MediaSource::makeConverter()
{
    // The output keeps the stream's first format even if a live stream
    // changes its mind later.
    AVChannelLayout outLayout;
    av_channel_layout_default(&outLayout, channels_);
    swr_free(&convert_);
    const bool ok = swr_alloc_set_opts2(&convert_, &outLayout, AV_SAMPLE_FMT_FLT, sampleRate_, &frame_->ch_layout,
                                        static_cast<AVSampleFormat>(frame_->format), frame_->sample_rate, 0, nullptr)
            >= 0
        && swr_init(convert_) >= 0;
    av_channel_layout_uninit(&outLayout);
    if (!ok) {
        swr_free(&convert_);
        warn("cannot convert samples", std::to_string(frame_->format));
        return false;
    }
    convertFormat_ = frame_->format;
    convertRate_ = frame_->sample_rate;
    av_channel_layout_uninit(&convertLayout_);
    av_channel_layout_copy(&convertLayout_, &frame_->ch_layout);
    return true;
}

std::int64_t MediaSource::frameFromTimestamp(std::int64_t ts) const
{
    const AVStream *stream = format_->streams[streamIndex_];
    std::int64_t frame = av_rescale_q(ts - startTimestamp_, stream->time_base, AVRational{1, sampleRate_});
    // Coarse timestamps (ASF counts milliseconds) are snapped to the codec's
    // fixed frame grid, on which every decoded frame starts.
    const int frameSize = codec_->frame_size > 0 ? codec_->frame_size : frame_->nb_samples;
    if (frameSize > 0 && stream->time_base.den < sampleRate_ * stream->time_base.num)
        frame = (frame + frameSize / 2) / frameSize * frameSize;
    return frame;
}

bool MediaSource::read(std::vector<float> &out)
{
    if (pending_.empty() && !decodeNext())
        return false;
    out.swap(pending_);
    pending_.clear();
    position_ += static_cast<std::int64_t>(out.size()) / channels_;
    return true;
}

bool MediaSource::seek(std::int64_t frame)
{
    if (!seekable_)
        return false;
    frame = std::max<std::int64_t>(frame, 0);
    if (lengthFrames_ >= 0)
        frame = std::min(frame, lengthFrames_);
    const bool done = index_.empty() ? seekByTimestamp(frame) : seekByIndex(frame);
    if (done)
        return true;
    if (!rewind())
        return false;
    dropUntil(frame);
    return true;
}

bool MediaSource::rewind()
{
    const AVStream *stream = format_->streams[streamIndex_];
    const std::int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    if (!index_.empty()) {
        if (av_seek_frame(format_, streamIndex_, index_.front().pos, AVSEEK_FLAG_BYTE) < 0)
            return false;
    } else if (av_seek_frame(format_, streamIndex_, start, AVSEEK_FLAG_BACKWARD) < 0
        && avformat_seek_file(format_, -1, INT64_MIN, 0, INT64_MAX, AVSEEK_FLAG_BYTE) < 0)
        return false;
    avcodec_flush_buffers(codec_);
    eof_ = flushed_ = false;
    pending_.clear();
    position_ = 0;
    return true;
}

bool MediaSource::seekByIndex(std::int64_t frame)
{
    auto it = std::upper_bound(index_.begin(), index_.end(), frame,
                               [](std::int64_t f, const IndexEntry &e) { return f < e.frame; });
    std::size_t at = it == index_.begin() ? 0 : static_cast<std::size_t>(it - index_.begin()) - 1;
    // Step back far enough for the bit reservoir, which reaches up to 511
    // bytes into earlier frames, and for the overlap with the frame before.
    std::size_t from = at;
    while (from > 0 && (at - from < kIndexPreroll || index_[at].pos - index_[from].pos < kReservoirBytes))
        --from;
    if (from == 0) {
        if (!rewind())
            return false;
        dropUntil(frame);
        return true;
    }
    at = from;
    if (av_seek_frame(format_, streamIndex_, index_[at].pos, AVSEEK_FLAG_BYTE) < 0)
        return false;
    avcodec_flush_buffers(codec_);
    eof_ = flushed_ = false;
    pending_.clear();
    position_ = index_[at].frame;
    dropUntil(frame);
    return true;
}

bool MediaSource::seekByTimestamp(std::int64_t frame)
{
    const AVStream *stream = format_->streams[streamIndex_];
    // Demuxers land near, not on, the wanted time, and sometimes after it:
    // step back further until the first decoded frame starts early enough.
    for (const double back : {0.25, 1.0, 5.0, 30.0}) {
        const std::int64_t want = frame - static_cast<std::int64_t>(back * sampleRate_);
        if (want <= 0)
            break;
        const std::int64_t ts = startTimestamp_ + av_rescale_q(want, AVRational{1, sampleRate_}, stream->time_base);
        if (av_seek_frame(format_, streamIndex_, ts, AVSEEK_FLAG_BACKWARD) < 0)
            continue;
        avcodec_flush_buffers(codec_);
        eof_ = flushed_ = false;
        pending_.clear();
        if (!decodeNext() || frame_->best_effort_timestamp == AV_NOPTS_VALUE)
            continue;
        const std::int64_t landed = frameFromTimestamp(frame_->best_effort_timestamp);
        if (landed > frame)
            continue;
        position_ = landed;
        dropUntil(frame);
        return true;
    }
    if (!rewind())
        return false;
    dropUntil(frame);
    return true;
}

void MediaSource::dropUntil(std::int64_t frame)
{
    while (position_ < frame) {
        if (pending_.empty() && !decodeNext())
            return;
        const auto have = static_cast<std::int64_t>(pending_.size()) / channels_;
        if (position_ + have <= frame) {
            position_ += have;
            pending_.clear();
            continue;
        }
        const auto drop = static_cast<std::size_t>(frame - position_) * static_cast<std::size_t>(channels_);
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(drop));
        position_ = frame;
    }
}

}  // namespace audio
