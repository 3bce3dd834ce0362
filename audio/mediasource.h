#pragma once

extern "C" {
#include <libavutil/channel_layout.h>
}

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct AVFormatContext;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;

namespace audio {

// Decodes one audio stream of a container into interleaved float frames at
// the stream's own rate and channel count, and seeks to the exact frame.
// Frame 0 is the first sample the decoder gives when playing from the start.
class MediaSource {
public:
    enum class Kind { Any, Wma };

    // Null when the file is missing, not audio, or cannot be decoded.
    static std::unique_ptr<MediaSource> openFile(const std::string &path, Kind kind);
    // Decodes from a container someone else owns and has opened (web radio);
    // `afterPacket` runs after every packet read.
    static std::unique_ptr<MediaSource> openExternal(AVFormatContext *format, std::function<void()> afterPacket);
    ~MediaSource();
    MediaSource(const MediaSource &) = delete;
    MediaSource &operator=(const MediaSource &) = delete;

    int sampleRate() const { return sampleRate_; }
    int channels() const { return channels_; }
    // In frames; -1 when unknown (live streams).
    std::int64_t lengthFrames() const { return lengthFrames_; }
    bool seekable() const { return seekable_; }
    // Frame index of the next frame read() returns.
    std::int64_t position() const { return position_; }

    // Replaces `out` with the next decoded frames; false at the end or on a
    // fatal error.
    bool read(std::vector<float> &out);
    // The next read() starts exactly at `frame` (clamped to the data).
    bool seek(std::int64_t frame);

private:
    struct IndexEntry {
        std::int64_t pos;    // byte offset of the packet in the file
        std::int64_t frame;  // first output frame the packet yields
    };

    MediaSource() = default;
    bool setUp(AVFormatContext *format, bool owned);
    bool prime();
    bool buildIndex(const std::string &path);
    void estimateLength();
    // Decodes the next frame into pending_; false at the end.
    bool decodeNext();
    void syncToIndex();
    bool converterFits() const;
    bool makeConverter();
    std::int64_t frameFromTimestamp(std::int64_t ts) const;
    bool seekByIndex(std::int64_t frame);
    bool seekByTimestamp(std::int64_t frame);
    bool rewind();
    void dropUntil(std::int64_t frame);

    AVFormatContext *format_ = nullptr;
    bool ownsFormat_ = false;
    AVCodecContext *codec_ = nullptr;
    SwrContext *convert_ = nullptr;
    AVPacket *packet_ = nullptr;
    AVFrame *frame_ = nullptr;
    int streamIndex_ = -1;
    int sampleRate_ = 0;
    int channels_ = 0;
    std::int64_t lengthFrames_ = -1;
    bool seekable_ = false;
    bool eof_ = false;
    bool flushed_ = false;
    std::int64_t startTimestamp_ = 0;
    std::int64_t position_ = 0;
    std::function<void()> afterPacket_;
    std::vector<IndexEntry> index_;  // only for demuxers whose own seek is inexact
    int convertFormat_ = -1;
    int convertRate_ = 0;
    AVChannelLayout convertLayout_{};
    // Decoded frames not yet handed out; the first one is frame position_.
    std::vector<float> pending_;
};

}  // namespace audio
