// The equalizer band's own arithmetic: its response where the player puts
// its seven bands, and what it does with settings it cannot design.

#include "peakingband.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

using audio::ParamEq;
using audio::PeakingBand;

namespace {

constexpr int kRate = 44100;

std::vector<float> sine(double frequency, double amplitude, std::size_t frames)
{
    std::vector<float> out(frames * 2);
    for (std::size_t i = 0; i < frames; ++i)
        out[i * 2] = out[i * 2 + 1] =
            static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * frequency * static_cast<double>(i) / kRate));
    return out;
}

TEST(PeakingBand, EveryPlayerBandPeaksAtItsCentreWithItsGain)
{
    for (int i = 0; i < 7; ++i) {
        const float centre = 125.0f * static_cast<float>(1 << i);
        for (const float gain : {15.0f, -15.0f, 4.0f}) {
            const PeakingBand band(kRate, 2, ParamEq{centre, 18.0f, gain});
            EXPECT_NEAR(band.responseDb(centre), gain, 0.01) << centre;
            // Three octaves away the band has all but let go.
            EXPECT_NEAR(band.responseDb(centre / 8), 0.0, 0.25 * std::abs(gain)) << centre;
            EXPECT_LT(std::abs(band.responseDb(centre * 2)), std::abs(gain)) << centre;
        }
    }
}

TEST(PeakingBand, BandwidthIsCountedInSemitones)
{
    // Eighteen semitones = 1.5 octaves: a narrower band must give less at
    // the same distance from its centre.
    const PeakingBand wide(kRate, 2, ParamEq{1000.0f, 18.0f, 12.0f});
    const PeakingBand narrow(kRate, 2, ParamEq{1000.0f, 6.0f, 12.0f});
    EXPECT_GT(wide.responseDb(1600.0), narrow.responseDb(1600.0) + 2.0);
}

TEST(PeakingBand, MeasuredGainMatchesTheDesign)
{
    PeakingBand band(kRate, 2, ParamEq{125.0f, 18.0f, 15.0f});
    auto signal = sine(125.0, 0.05, kRate);
    const auto original = signal;
    band.process(signal.data(), kRate);
    double in = 0, out = 0;
    for (std::size_t i = kRate; i < signal.size(); i += 2) {  // second half, settled
        in += original[i] * original[i];
        out += signal[i] * signal[i];
    }
    EXPECT_NEAR(10.0 * std::log10(out / in), 15.0, 0.5);
}

TEST(PeakingBand, SettingsItCannotDesignLeaveTheSoundAlone)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const ParamEq p : {ParamEq{0.0f, 18.0f, 10.0f}, ParamEq{30000.0f, 18.0f, 10.0f},
                            ParamEq{1000.0f, 0.0f, 10.0f}, ParamEq{1000.0f, 18.0f, nan},
                            ParamEq{-5.0f, 18.0f, 10.0f}}) {
        PeakingBand band(kRate, 2, p);
        auto signal = sine(1000.0, 0.5, 4096);
        const auto original = signal;
        band.process(signal.data(), 4096);
        EXPECT_EQ(signal, original) << p.center << " " << p.bandwidth << " " << p.gain;
    }
}

TEST(PeakingBand, ChangingTheGainGlidesInsteadOfJumping)
{
    PeakingBand band(kRate, 2, ParamEq{125.0f, 18.0f, 0.0f});
    auto signal = sine(125.0, 0.05, kRate);
    band.process(signal.data(), kRate / 2);
    band.setParams(ParamEq{125.0f, 18.0f, 15.0f});
    band.process(signal.data() + kRate, kRate / 2);
    // A 125 Hz tone at the final level moves at most about 0.01 per sample.
    double worst = 0;
    for (std::size_t i = 2; i < signal.size(); i += 2)
        worst = std::max(worst, static_cast<double>(std::abs(signal[i] - signal[i - 2])));
    EXPECT_LT(worst, 0.015);
    EXPECT_EQ(band.params().gain, 15.0f);
}

TEST(PeakingBand, FadedOutBandIsTransparent)
{
    PeakingBand band(kRate, 2, ParamEq{500.0f, 18.0f, 12.0f});
    auto warm = sine(500.0, 0.3, 4096);
    band.process(warm.data(), 4096);
    EXPECT_FALSE(band.fadedOut());
    band.fadeOut();
    band.process(warm.data(), PeakingBand::kRampFrames + 16);
    EXPECT_TRUE(band.fadedOut());
    // Settings arriving after removal must not bring it back.
    band.setParams(ParamEq{500.0f, 18.0f, 12.0f});
    EXPECT_NEAR(band.responseDb(500.0), 0.0, 1e-9);
}

}  // namespace

TEST(PeakingBand, NonFiniteSamplesAreHeardAsSilenceAndLeaveNoTrace)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    // Interleaved index of the first damaged sample, how many, and what.
    const struct { std::size_t first, count; float value; } damages[] = {
        {0, 1, nan}, {2000, 1, nan}, {3000, 1, inf}, {3001, 1, -inf}, {1000, 400, nan}};
    for (const auto &damage : damages) {
        SCOPED_TRACE(damage.first);
        auto damaged = sine(1000.0, 0.5, 4096);
        auto silenced = damaged;
        std::fill_n(damaged.begin() + std::ptrdiff_t(damage.first), damage.count, damage.value);
        std::fill_n(silenced.begin() + std::ptrdiff_t(damage.first), damage.count, 0.0f);
        auto scrubbed = damaged;
        audio::silenceNonFinite(scrubbed.data(), scrubbed.size());
        EXPECT_EQ(scrubbed, silenced);
        // Exactly what silence in their place gives: the state stayed finite.
        PeakingBand band(kRate, 2, ParamEq{1000.0f, 18.0f, 12.0f});
        PeakingBand clean(kRate, 2, ParamEq{1000.0f, 18.0f, 12.0f});
        band.process(damaged.data(), 4096);
        clean.process(silenced.data(), 4096);
        EXPECT_EQ(damaged, silenced);
    }
}
