#include "fftanalyzer.h"

#include <fftw3.h>

#include <cmath>
#include <mutex>
#include <numbers>

namespace audio {

namespace {

// FFTW's planner keeps global tables of its own; planning must not run on
// two threads at once, even for different engines.
std::mutex &plannerMutex()
{
    static std::mutex mutex;
    return mutex;
}

}  // namespace

Spectrum::Spectrum()
{
    double sum = 0;
    for (std::size_t i = 0; i < kSize; ++i) {
        window_[i] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / kSize));
        sum += window_[i];
    }
    scale_ = static_cast<float>(2.0 / sum);
    std::lock_guard lock(plannerMutex());
    in_ = fftwf_alloc_real(kSize);
    auto *out = fftwf_alloc_complex(kBins + 1);
    out_ = out;
    plan_ = fftwf_plan_dft_r2c_1d(static_cast<int>(kSize), in_, out, FFTW_ESTIMATE);
}

Spectrum::~Spectrum()
{
    std::lock_guard lock(plannerMutex());
    if (plan_)
        fftwf_destroy_plan(plan_);
    fftwf_free(in_);
    fftwf_free(out_);
}

void Spectrum::compute(const float *samples, float *magnitudes)
{
    for (std::size_t i = 0; i < kSize; ++i)
        in_[i] = samples[i] * window_[i];
    fftwf_execute(plan_);
    const auto *out = static_cast<const fftwf_complex *>(out_);
    for (std::size_t k = 0; k < kBins; ++k)
        magnitudes[k] = std::hypot(out[k][0], out[k][1]) * scale_;
}

}  // namespace audio
