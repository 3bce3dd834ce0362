#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

namespace audio {

class Stream;

// The SDL output device. Its callback mixes every registered stream that is
// playing, applies the master volume and clips. Registration is wait-free for
// the callback: streams sit in a fixed table of atomic slots.
class Output {
public:
    static constexpr std::size_t kMaxStreams = 32;

    // Null when no device opens; SDL is left as it was found.
    static std::unique_ptr<Output> open(int frequency);
    ~Output();
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;

    int rate() const { return rate_; }
    int bufferFrames() const { return bufferFrames_; }
    void setVolume(float volume) { volume_.store(volume); }
    float volume() const { return volume_.load(); }

    bool add(Stream *stream);
    // When this returns, the callback no longer touches the stream.
    void remove(Stream *stream);

    // For latency measurements: once armed, firstSound() gives the
    // steady-clock time (ns) of the first callback that produced sound; 0
    // until then.
    void armFirstSound() { firstSound_.store(0); firstSoundArmed_.store(true); }
    std::int64_t firstSound() const { return firstSound_.load(); }

private:
    Output() = default;
    static void callback(void *self, std::uint8_t *bytes, int length);
    void mix(float *out, std::size_t frames);

    std::uint32_t device_ = 0;
    int rate_ = 0;
    int bufferFrames_ = 0;
    std::atomic<float> volume_{1.0f};
    std::array<std::atomic<Stream *>, kMaxStreams> slots_{};
    std::atomic<bool> firstSoundArmed_{false};
    std::atomic<std::int64_t> firstSound_{0};
};

}  // namespace audio
