#pragma once

#include <cstddef>

struct fftwf_plan_s;

namespace audio {

// 512-point magnitude spectrum of a mono block: Hann window, scaled by
// 2 / sum(window) so a full-scale sine between bins reads about 1.0.
class Spectrum {
public:
    static constexpr std::size_t kSize = 512;
    static constexpr std::size_t kBins = kSize / 2;

    Spectrum();
    ~Spectrum();
    Spectrum(const Spectrum &) = delete;
    Spectrum &operator=(const Spectrum &) = delete;

    // `samples` holds kSize values, `magnitudes` receives kBins.
    void compute(const float *samples, float *magnitudes);

private:
    float window_[kSize];
    float scale_ = 0;
    float *in_ = nullptr;
    void *out_ = nullptr;  // fftwf_complex[kSize / 2 + 1]
    fftwf_plan_s *plan_ = nullptr;
};

}  // namespace audio
