#include "gainstage.h"

#include <cmath>

namespace audio {

void GainStage::setFactor(float factor)
{
    factor_.store(std::isfinite(factor) && factor > 0.0f ? factor : 1.0f, std::memory_order_relaxed);
}

void GainStage::apply(float *samples, std::size_t count) const
{
    const float f = factor();
    if (f == 1.0f)
        return;
    for (std::size_t i = 0; i < count; ++i)
        samples[i] *= f;
}

}  // namespace audio
