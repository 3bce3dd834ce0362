#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <vector>

namespace audio {

// Single-producer single-consumer queue of interleaved float frames. The
// decoder thread writes, the output callback reads; neither ever waits for the
// other. clear() must only run while the consumer is held off (the stream's
// mix lock does that).
class RingBuffer {
public:
    RingBuffer(std::size_t frames, int channels)
        : channels_(static_cast<std::size_t>(channels)), capacity_(frames), data_(frames * channels_)
    {
    }

    std::size_t capacityFrames() const { return capacity_; }

    std::size_t availableFrames() const
    {
        return write_.load(std::memory_order_acquire) - read_.load(std::memory_order_acquire);
    }
    std::size_t freeFrames() const { return capacity_ - availableFrames(); }

    // Producer side: copies up to `frames` frames, returns how many fit.
    std::size_t write(const float *src, std::size_t frames)
    {
        const std::size_t w = write_.load(std::memory_order_relaxed);
        const std::size_t r = read_.load(std::memory_order_acquire);
        const std::size_t n = std::min(frames, capacity_ - (w - r));
        for (std::size_t i = 0; i < n;) {
            const std::size_t at = (w + i) % capacity_;
            const std::size_t run = std::min(n - i, capacity_ - at);
            std::copy_n(src + i * channels_, run * channels_, data_.begin() + static_cast<std::ptrdiff_t>(at * channels_));
            i += run;
        }
        write_.store(w + n, std::memory_order_release);
        return n;
    }

    // Consumer side: copies up to `frames` frames out, returns how many.
    std::size_t read(float *dst, std::size_t frames)
    {
        const std::size_t r = read_.load(std::memory_order_relaxed);
        const std::size_t w = write_.load(std::memory_order_acquire);
        const std::size_t n = std::min(frames, w - r);
        for (std::size_t i = 0; i < n;) {
            const std::size_t at = (r + i) % capacity_;
            const std::size_t run = std::min(n - i, capacity_ - at);
            std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(at * channels_), run * channels_, dst + i * channels_);
            i += run;
        }
        read_.store(r + n, std::memory_order_release);
        return n;
    }

    void clear() { read_.store(write_.load(std::memory_order_acquire), std::memory_order_release); }

private:
    std::size_t channels_;
    std::size_t capacity_;
    std::vector<float> data_;
    std::atomic<std::size_t> write_{0};
    std::atomic<std::size_t> read_{0};
};

}  // namespace audio
