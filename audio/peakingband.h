#pragma once

#include "engine.h"

#include <array>
#include <vector>

namespace audio {

// A damaged file may decode to NaN or infinite samples; they are heard as
// silence, and no filter ever carries them into the samples after them.
void silenceNonFinite(float *samples, std::size_t count);

// One band of the parametric equalizer: a peaking biquad after the RBJ audio
// EQ cookbook, bandwidth in octaves = semitones / 12. Works on interleaved
// float frames. New parameters are reached by interpolating the coefficients
// over a short ramp, so moving a slider never clicks.
class PeakingBand {
public:
    static constexpr int kMaxChannels = 8;
    static constexpr int kRampFrames = 256;

    PeakingBand(int sampleRate, int channels, const ParamEq &params);

    const ParamEq &params() const { return params_; }
    void setParams(const ParamEq &params);
    // True once the gain has ramped to 0 dB after fadeOut(); the band then
    // leaves the chain without a step in the sound.
    void fadeOut();
    bool fadedOut() const { return fading_ && !ramping(); }

    void process(float *frames, std::size_t count);

    // Steady-state magnitude response at `frequency` Hz, in dB.
    double responseDb(double frequency) const;

private:
    struct Coefficients {
        double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    };
    Coefficients design(const ParamEq &params) const;
    bool ramping() const { return rampLeft_ > 0; }

    int sampleRate_;
    int channels_;
    ParamEq params_;
    bool fading_ = false;
    Coefficients current_;
    Coefficients target_;
    Coefficients step_;
    int rampLeft_ = 0;
    // Direct form I history per channel: x[n-1], x[n-2], y[n-1], y[n-2].
    std::array<std::array<double, 4>, kMaxChannels> state_{};
};

}  // namespace audio
