#pragma once

#include "engine.h"
#include "gainstage.h"
#include "mediasource.h"
#include "netinput.h"
#include "peakingband.h"
#include "ringbuffer.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct SwrContext;

namespace audio {

// One playable stream: a decoder thread fills a small ring buffer with
// frames at the output rate, the output callback drains it. Byte positions
// count 16-bit samples at the source's own rate and channel count.
class Stream {
public:
    static constexpr std::size_t kHistory = 1024;  // mono frames kept for analysis

    static std::unique_ptr<Stream> openFile(const std::string &path, MediaSource::Kind kind, Handle handle,
                                            int outputRate);
    // Blocks until the stream has data to play or has failed; gives up at
    // once when `cancel` turns true.
    static std::unique_ptr<Stream> openUrl(const std::string &url, bool followPlaylists, Handle handle,
                                           int outputRate, std::shared_ptr<const std::atomic<bool>> cancel = {},
                                           int timeoutMs = NetInput::kDefaultTimeoutMs);
    ~Stream();
    Stream(const Stream &) = delete;
    Stream &operator=(const Stream &) = delete;

    Handle handle() const { return handle_; }
    int sampleRate() const { return source_->sampleRate(); }
    int channels() const { return source_->channels(); }
    int bytesPerFrame() const { return 2 * channels(); }

    void play(bool restart);
    void pause();
    bool active() const;
    std::int64_t lengthBytes() const;
    std::int64_t positionBytes() const;
    bool setPositionBytes(std::int64_t bytes);
    double bytesToSeconds(std::int64_t bytes) const;
    std::int64_t secondsToBytes(double seconds) const;

    void addFx(Handle fx, int priority);
    bool removeFx(Handle fx);
    bool fxParams(Handle fx, ParamEq &params) const;
    bool setFxParams(Handle fx, const ParamEq &params);
    void setGain(float factor) { gain_.setFactor(factor); }

    void addMetaSync(Handle sync, SyncProc proc);
    // Runs on the decoder thread once the output has taken the last frame.
    void addEndSync(Handle sync, SyncProc proc);
    std::optional<std::string> tags(TagType type) const;

    // Output side, called from the audio callback only: adds this stream's
    // next frames to `out` (stereo) and returns how many it had. Never blocks.
    std::size_t mixInto(float *out, std::size_t frames);
    // The newest Spectrum-sized block of what this stream sent to the output,
    // as a mono mix.
    void recentMono(float *dst, std::size_t count) const;

    // Stops a pending network read at once; the stream is about to go.
    void abort();

    // Frames decoded and waiting for the output, and whether the decoder has
    // delivered its last frame (or given up): lets an offline renderer wait
    // for the decoder as a sound card never would.
    std::size_t bufferedFrames() const { return ring_->availableFrames(); }
    bool decodingDone() const { return ended_.load() || failed_.load(); }

private:
    struct FxSlot {
        Handle handle;
        int priority;
        PeakingBand band;
        bool removed = false;
    };

    Stream(Handle handle, int outputRate, std::size_t ringFrames);
    bool setUp(std::unique_ptr<MediaSource> source);
    void run();
    void applySeek();
    void applyFx(std::vector<float> &block);
    bool resample(const std::vector<float> &in, std::vector<float> &out, bool drain);
    void resetResampler();
    bool pushAll(const std::vector<float> &frames);
    void pollMeta();
    bool waitForPrebuffer();
    void reportEnd();
    std::int64_t heardOutputFrames() const;
    std::int64_t sourceFrames(std::int64_t outputFrames) const;
    void publishPosition(std::int64_t consumed, std::int64_t chunk);

    const Handle handle_;
    const int outputRate_;
    const std::size_t ringFrames_;
    std::atomic<bool> abort_{false};
    std::shared_ptr<const std::atomic<bool>> cancel_;  // the opener's; net_ reads it
    std::unique_ptr<NetInput> net_;       // declared before source_: the source reads through it
    std::unique_ptr<MediaSource> source_;
    std::unique_ptr<RingBuffer> ring_;
    int ringChannels_ = 2;
    SwrContext *resampler_ = nullptr;

    // Transport, guarded by control_.
    mutable std::mutex control_;
    std::condition_variable wake_;
    bool quit_ = false;
    std::uint64_t seekRequest_ = 0;
    std::uint64_t seekDone_ = 0;
    std::int64_t seekTarget_ = 0;
    std::atomic<bool> playing_{false};
    std::atomic<bool> seekPending_{false};
    std::atomic<bool> ended_{false};  // the decoder has delivered its last frame
    std::atomic<bool> failed_{false};
    // The output found the ring dry after the decoder's last frame; the end
    // syncs have run for it. Both are cleared by a seek.
    std::atomic<bool> drained_{false};
    bool endReported_ = false;  // decoder thread only

    // Position: what the output has taken since the last seek, and when it
    // took its latest chunk. Written under mix_ (callback or seek), read
    // lock-free through the sequence counter.
    std::mutex mix_;
    std::atomic<std::uint32_t> sequence_{0};
    std::atomic<std::int64_t> base_{0};  // source frame at which the ring starts
    std::atomic<std::int64_t> consumed_{0};
    std::atomic<std::int64_t> chunk_{0};
    std::atomic<std::int64_t> chunkTime_{0};  // steady clock, nanoseconds
    std::atomic<std::int64_t> pausedAt_{-1};  // output frames heard at the pause; -1 unless paused
    std::vector<float> scratch_;

    std::array<std::atomic<float>, kHistory> history_{};
    std::atomic<std::size_t> historyWrite_{0};

    GainStage gain_;
    mutable std::mutex fxMutex_;
    std::vector<FxSlot> fx_;

    mutable std::mutex tagsMutex_;
    std::string httpTags_;
    std::string icyTags_;
    std::string meta_;
    std::vector<std::pair<Handle, SyncProc>> syncs_;
    std::vector<std::pair<Handle, SyncProc>> endSyncs_;

    std::thread worker_;
};

}  // namespace audio
