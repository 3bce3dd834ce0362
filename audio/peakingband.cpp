#include "peakingband.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace audio {

namespace {

// Centres outside (0, Nyquist) cannot be designed; such a band stays flat.
bool designable(const ParamEq &p, int sampleRate)
{
    return p.center > 0.0f && p.center < 0.5f * static_cast<float>(sampleRate) && p.bandwidth > 0.0f
        && std::isfinite(p.gain);
}

}  // namespace

void silenceNonFinite(float *samples, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        if (!std::isfinite(samples[i]))
            samples[i] = 0.0f;
}

PeakingBand::PeakingBand(int sampleRate, int channels, const ParamEq &params)
    : sampleRate_(sampleRate), channels_(std::clamp(channels, 1, kMaxChannels)), params_(params)
{
    current_ = design(params);
    target_ = current_;
}

PeakingBand::Coefficients PeakingBand::design(const ParamEq &p) const
{
    Coefficients c;
    if (!designable(p, sampleRate_))
        return c;
    const double gain = std::clamp(static_cast<double>(p.gain), -60.0, 60.0);
    const double a = std::pow(10.0, gain / 40.0);
    const double w0 = 2.0 * std::numbers::pi * p.center / sampleRate_;
    const double octaves = static_cast<double>(p.bandwidth) / 12.0;
    const double sinW = std::sin(w0);
    const double alpha = sinW * std::sinh(std::numbers::ln2 / 2.0 * octaves * w0 / sinW);
    const double cosW = std::cos(w0);
    const double a0 = 1.0 + alpha / a;
    c.b0 = (1.0 + alpha * a) / a0;
    c.b1 = -2.0 * cosW / a0;
    c.b2 = (1.0 - alpha * a) / a0;
    c.a1 = -2.0 * cosW / a0;
    c.a2 = (1.0 - alpha / a) / a0;
    return c;
}

void PeakingBand::setParams(const ParamEq &params)
{
    params_ = params;
    if (fading_)
        return;  // on its way out; keep fading to flat
    target_ = design(params);
    rampLeft_ = kRampFrames;
    const double n = kRampFrames;
    step_ = {(target_.b0 - current_.b0) / n, (target_.b1 - current_.b1) / n, (target_.b2 - current_.b2) / n,
             (target_.a1 - current_.a1) / n, (target_.a2 - current_.a2) / n};
}

void PeakingBand::fadeOut()
{
    ParamEq flat = params_;
    flat.gain = 0.0f;
    setParams(flat);
    fading_ = true;
}

void PeakingBand::process(float *frames, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (rampLeft_ > 0) {
            if (--rampLeft_ == 0) {
                current_ = target_;
            } else {
                current_.b0 += step_.b0;
                current_.b1 += step_.b1;
                current_.b2 += step_.b2;
                current_.a1 += step_.a1;
                current_.a2 += step_.a2;
            }
        }
        const Coefficients &c = current_;
        float *frame = frames + i * static_cast<std::size_t>(channels_);
        for (int ch = 0; ch < channels_; ++ch) {
            auto &s = state_[static_cast<std::size_t>(ch)];
            const double x = std::isfinite(frame[ch]) ? frame[ch] : 0.0;
            double y = c.b0 * x + c.b1 * s[0] + c.b2 * s[1] - c.a1 * s[2] - c.a2 * s[3];
            if (!std::isfinite(y)) {
                // Once non-finite, the history would stay so for the rest
                // of the song: start this channel afresh from silence.
                s = {};
                y = 0.0;
            }
            s[1] = s[0];
            s[0] = x;
            s[3] = s[2];
            // Flush denormals: a silent tail must not slow the decoder down.
            s[2] = std::abs(y) < 1e-30 ? 0.0 : y;
            frame[ch] = static_cast<float>(y);
        }
    }
}

double PeakingBand::responseDb(double frequency) const
{
    const Coefficients &c = target_;
    const double w = 2.0 * std::numbers::pi * frequency / sampleRate_;
    const std::complex<double> z1 = std::polar(1.0, -w);
    const std::complex<double> z2 = z1 * z1;
    const std::complex<double> h = (c.b0 + c.b1 * z1 + c.b2 * z2) / (1.0 + c.a1 * z1 + c.a2 * z2);
    return 20.0 * std::log10(std::abs(h));
}

}  // namespace audio
