// The equalizer bands a stream runs its decoded samples through.

#include "stream.h"

#include <algorithm>

namespace audio {

void Stream::addFx(Handle fx, int priority)
{
    std::lock_guard lock(fxMutex_);
    // Higher priority runs first; equal priorities keep their order.
    auto at = std::find_if(fx_.begin(), fx_.end(), [priority](const FxSlot &s) { return s.priority < priority; });
    fx_.insert(at, FxSlot{fx, priority, PeakingBand(sampleRate(), channels(), ParamEq{}), false});
}

bool Stream::removeFx(Handle fx)
{
    std::lock_guard lock(fxMutex_);
    for (auto &slot : fx_) {
        if (slot.handle == fx && !slot.removed) {
            slot.removed = true;
            slot.band.fadeOut();
            return true;
        }
    }
    return false;
}

bool Stream::fxParams(Handle fx, ParamEq &params) const
{
    std::lock_guard lock(fxMutex_);
    for (const auto &slot : fx_) {
        if (slot.handle == fx && !slot.removed) {
            params = slot.band.params();
            return true;
        }
    }
    return false;
}

bool Stream::setFxParams(Handle fx, const ParamEq &params)
{
    std::lock_guard lock(fxMutex_);
    for (auto &slot : fx_) {
        if (slot.handle == fx && !slot.removed) {
            slot.band.setParams(params);
            return true;
        }
    }
    return false;
}

void Stream::applyFx(std::vector<float> &block)
{
    silenceNonFinite(block.data(), block.size());
    std::lock_guard lock(fxMutex_);
    const std::size_t frames = block.size() / static_cast<std::size_t>(channels());
    for (auto &slot : fx_)
        slot.band.process(block.data(), frames);
    std::erase_if(fx_, [](const FxSlot &slot) { return slot.removed && slot.band.fadedOut(); });
}

}  // namespace audio
