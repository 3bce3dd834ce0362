#pragma once

#include <atomic>
#include <cstddef>

namespace audio {

// One scale factor on a stream's decoded samples, ahead of its effects: how
// loudness levelling reaches the sound without touching the device volume.
// Set from any thread; the decoder reads it once per block.
class GainStage {
public:
    // A factor that is not a finite positive number leaves the sound as it is.
    void setFactor(float factor);
    float factor() const { return factor_.load(std::memory_order_relaxed); }
    void apply(float *samples, std::size_t count) const;

private:
    std::atomic<float> factor_{1.0f};
};

}  // namespace audio
