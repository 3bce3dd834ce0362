#include "stream.h"

#include "streamshared.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace audio {

using namespace streamshared;

namespace {

// Small enough that a new equalizer setting is heard within a fifth of a
// second, large enough to ride out a slow disk.
constexpr double kFileBufferSeconds = 0.18;
constexpr auto kIdleWait = std::chrono::milliseconds(20);
constexpr auto kFullWait = std::chrono::milliseconds(3);

std::int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

Stream::Stream(Handle handle, int outputRate, std::size_t ringFrames)
    : handle_(handle), outputRate_(outputRate), ringFrames_(ringFrames), scratch_(kScratchFrames * 2)
{
    for (auto &h : history_)
        h.store(0.0f, std::memory_order_relaxed);
}

std::unique_ptr<Stream> Stream::openFile(const std::string &path, MediaSource::Kind kind, Handle handle,
                                         int outputRate)
{
    auto source = MediaSource::openFile(path, kind);
    if (!source)
        return nullptr;
    std::unique_ptr<Stream> stream(new Stream(handle, outputRate, framesFor(kFileBufferSeconds, outputRate)));
    if (!stream->setUp(std::move(source)))
        return nullptr;
    return stream;
}

bool Stream::setUp(std::unique_ptr<MediaSource> source)
{
    source_ = std::move(source);
    ringChannels_ = std::min(source_->channels(), 2);
    ring_ = std::make_unique<RingBuffer>(ringFrames_, ringChannels_);
    resetResampler();
    if (!resampler_ && (source_->sampleRate() != outputRate_ || source_->channels() > 2))
        return false;
    worker_ = std::thread([this] { run(); });
    return true;
}

Stream::~Stream()
{
    abort();
    {
        std::lock_guard lock(control_);
        quit_ = true;
    }
    wake_.notify_all();
    if (worker_.joinable())
        worker_.join();
    if (resampler_)
        swr_free(&resampler_);
}

void Stream::abort()
{
    abort_.store(true);
    wake_.notify_all();
}

// --- transport -------------------------------------------------------------

void Stream::play(bool restart)
{
    if (restart && source_->seekable())
        setPositionBytes(0);
    pausedAt_.store(-1);
    playing_.store(true);
    wake_.notify_all();
}

void Stream::pause()
{
    playing_.store(false);
    // Once a running callback is done no frame goes out; the position stays
    // where the listener heard the pause, not a buffer later.
    std::lock_guard lock(mix_);
    if (playing_.load())
        return;  // played again meanwhile
    pausedAt_.store(heardOutputFrames());
}

bool Stream::active() const
{
    if (!playing_.load())
        return false;
    // Finished: everything decoded has gone to the output, or the decoder
    // gave up and what it left has gone.
    return !((ended_.load() || failed_.load()) && !seekPending_.load() && ring_->availableFrames() == 0);
}

std::int64_t Stream::lengthBytes() const
{
    const std::int64_t frames = source_->lengthFrames();
    return frames < 0 ? -1 : frames * bytesPerFrame();
}

std::int64_t Stream::positionBytes() const
{
    if (seekPending_.load()) {
        std::lock_guard lock(control_);
        if (seekRequest_ != seekDone_)
            return seekTarget_ * bytesPerFrame();
    }
    return sourceFrames(heardOutputFrames()) * bytesPerFrame();
}

bool Stream::setPositionBytes(std::int64_t bytes)
{
    if (!source_->seekable() || bytes < 0)
        return false;
    const std::int64_t length = source_->lengthFrames();
    const std::int64_t frame = bytes / bytesPerFrame();
    if (length >= 0 && frame > length)
        return false;
    {
        std::lock_guard lock(control_);
        seekTarget_ = frame;
        ++seekRequest_;
        seekPending_.store(true);
    }
    wake_.notify_all();
    return true;
}

double Stream::bytesToSeconds(std::int64_t bytes) const
{
    return static_cast<double>(bytes / bytesPerFrame()) / sampleRate();
}

std::int64_t Stream::secondsToBytes(double seconds) const
{
    if (!std::isfinite(seconds) || seconds < 0)
        return -1;
    return static_cast<std::int64_t>(seconds * sampleRate()) * bytesPerFrame();
}

// --- position --------------------------------------------------------------

void Stream::publishPosition(std::int64_t consumed, std::int64_t chunk)
{
    sequence_.fetch_add(1, std::memory_order_acq_rel);
    consumed_.store(consumed, std::memory_order_relaxed);
    chunk_.store(chunk, std::memory_order_relaxed);
    chunkTime_.store(nowNs(), std::memory_order_relaxed);
    sequence_.fetch_add(1, std::memory_order_release);
}

std::int64_t Stream::heardOutputFrames() const
{
    if (const std::int64_t paused = pausedAt_.load(); paused >= 0)
        return paused;
    std::int64_t consumed = 0, chunk = 0, at = 0;
    for (;;) {
        const std::uint32_t before = sequence_.load(std::memory_order_acquire);
        consumed = consumed_.load(std::memory_order_relaxed);
        chunk = chunk_.load(std::memory_order_relaxed);
        at = chunkTime_.load(std::memory_order_relaxed);
        if (!(before & 1) && sequence_.load(std::memory_order_acquire) == before)
            break;
        std::this_thread::yield();
    }
    // The latest chunk is heard gradually over its own duration.
    const std::int64_t elapsed = std::max<std::int64_t>(0, nowNs() - at);
    const std::int64_t played = std::min(chunk, elapsed * outputRate_ / 1'000'000'000);
    return consumed - chunk + played;
}

std::int64_t Stream::sourceFrames(std::int64_t outputFrames) const
{
    return base_.load() + outputFrames * sampleRate() / outputRate_;
}

// --- output side -----------------------------------------------------------

std::size_t Stream::mixInto(float *out, std::size_t frames)
{
    if (!playing_.load(std::memory_order_relaxed) || seekPending_.load(std::memory_order_relaxed))
        return 0;
    std::unique_lock lock(mix_, std::try_to_lock);
    if (!lock.owns_lock())
        return 0;
    std::size_t total = 0;
    std::size_t w = historyWrite_.load(std::memory_order_relaxed);
    while (total < frames) {
        const std::size_t want = std::min(frames - total, kScratchFrames);
        const std::size_t got = ring_->read(scratch_.data(), want);
        float *dst = out + total * 2;
        for (std::size_t i = 0; i < got; ++i) {
            const float l = scratch_[i * static_cast<std::size_t>(ringChannels_)];
            const float r = ringChannels_ == 2 ? scratch_[i * 2 + 1] : l;
            dst[i * 2] += l;
            dst[i * 2 + 1] += r;
            history_[w++ % kHistory].store(0.5f * (l + r), std::memory_order_relaxed);
        }
        total += got;
        if (got < want)
            break;
    }
    // A dry buffer is heard as silence.
    for (std::size_t i = total; i < frames; ++i)
        history_[w++ % kHistory].store(0.0f, std::memory_order_relaxed);
    historyWrite_.store(w, std::memory_order_release);
    publishPosition(consumed_.load(std::memory_order_relaxed) + static_cast<std::int64_t>(total),
                    static_cast<std::int64_t>(total));
    // Dry after the decoder's last frame: the song has gone out. The decoder
    // thread reports it, so the next song can be opened while the device
    // still plays this one's last buffer.
    if (total < frames && (ended_.load(std::memory_order_acquire) || failed_.load(std::memory_order_acquire))
        && !drained_.load(std::memory_order_relaxed)) {
        drained_.store(true, std::memory_order_release);
        wake_.notify_all();
    }
    return total;
}

void Stream::recentMono(float *dst, std::size_t count) const
{
    count = std::min(count, kHistory);
    const std::size_t end = historyWrite_.load(std::memory_order_acquire);
    for (std::size_t i = 0; i < count; ++i)
        dst[i] = history_[(end + kHistory - count + i) % kHistory].load(std::memory_order_relaxed);
}

// --- decoder thread --------------------------------------------------------

void Stream::run()
{
    std::vector<float> block, converted;
    for (;;) {
        {
            std::unique_lock lock(control_);
            if (quit_)
                return;
            if (seekRequest_ != seekDone_) {
                lock.unlock();
                applySeek();
                continue;
            }
            if (ended_.load() || failed_.load()) {
                if (drained_.load() && !endReported_) {
                    lock.unlock();
                    reportEnd();
                    continue;
                }
                wake_.wait_for(lock, kIdleWait);
                continue;
            }
        }
        if (abort_.load())
            return;
        const bool more = source_->read(block);
        if (!more)
            block.clear();
        gain_.apply(block.data(), block.size());
        applyFx(block);
        if (!resample(block, converted, !more)) {
            failed_.store(true);
            continue;
        }
        if (!pushAll(converted))
            continue;  // a seek or the end of the stream interrupted
        if (!more)
            ended_.store(true);
    }
}

bool Stream::pushAll(const std::vector<float> &frames)
{
    const auto channels = static_cast<std::size_t>(ringChannels_);
    std::size_t done = 0;
    const std::size_t count = frames.size() / channels;
    while (done < count) {
        done += ring_->write(frames.data() + done * channels, count - done);
        if (done == count)
            break;
        std::unique_lock lock(control_);
        if (quit_ || seekRequest_ != seekDone_)
            return false;
        wake_.wait_for(lock, kFullWait);
    }
    return true;
}

void Stream::applySeek()
{
    std::int64_t target = 0;
    std::uint64_t request = 0;
    {
        std::lock_guard lock(control_);
        target = seekTarget_;
        request = seekRequest_;
    }
    source_->seek(target);
    resetResampler();
    {
        std::lock_guard lock(mix_);
        ring_->clear();
        base_.store(source_->position());
        publishPosition(0, 0);
        pausedAt_.store(-1);
        ended_.store(false);
        drained_.store(false);
    }
    endReported_ = false;
    std::lock_guard lock(control_);
    seekDone_ = request;
    if (seekDone_ == seekRequest_)
        seekPending_.store(false);
}

void Stream::resetResampler()
{
    swr_free(&resampler_);
    if (source_->sampleRate() == outputRate_ && source_->channels() <= 2)
        return;  // passes straight through
    AVChannelLayout in, out;
    av_channel_layout_default(&in, source_->channels());
    av_channel_layout_default(&out, ringChannels_);
    if (swr_alloc_set_opts2(&resampler_, &out, AV_SAMPLE_FMT_FLT, outputRate_, &in, AV_SAMPLE_FMT_FLT,
                            source_->sampleRate(), 0, nullptr)
            < 0
        || swr_init(resampler_) < 0)
        swr_free(&resampler_);
    av_channel_layout_uninit(&in);
    av_channel_layout_uninit(&out);
}

bool Stream::resample(const std::vector<float> &in, std::vector<float> &out, bool drain)
{
    if (!resampler_) {
        out = in;
        return true;
    }
    const int inFrames = static_cast<int>(in.size()) / source_->channels();
    const int capacity = swr_get_out_samples(resampler_, inFrames) + 64;
    out.resize(static_cast<std::size_t>(capacity) * static_cast<std::size_t>(ringChannels_));
    auto *dst = reinterpret_cast<std::uint8_t *>(out.data());
    const auto *src = reinterpret_cast<const std::uint8_t *>(in.data());
    const int got = swr_convert(resampler_, &dst, capacity, inFrames > 0 ? &src : nullptr, drain && inFrames == 0 ? 0 : inFrames);
    if (got < 0)
        return false;
    out.resize(static_cast<std::size_t>(got) * static_cast<std::size_t>(ringChannels_));
    return true;
}

void Stream::addEndSync(Handle sync, SyncProc proc)
{
    std::lock_guard lock(tagsMutex_);
    endSyncs_.emplace_back(sync, std::move(proc));
}

void Stream::reportEnd()
{
    endReported_ = true;
    std::vector<std::pair<Handle, SyncProc>> syncs;
    {
        std::lock_guard lock(tagsMutex_);
        syncs = endSyncs_;
    }
    for (const auto &[sync, proc] : syncs)
        if (proc)
            proc(sync, handle_);
}

}  // namespace audio
