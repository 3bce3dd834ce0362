#include "equalizer.h"

#include <cstddef>

namespace Equalizer {

float bandCentre(int band)
{
    return 125.0f * static_cast<float>(1 << band);
}

float bandGain(int position)
{
    return static_cast<float>(SliderFlat - position);
}

} // namespace Equalizer

namespace {
std::size_t at(int band)
{
    return static_cast<std::size_t>(band);
}
} // namespace

TEffectCalls TEffectCalls::of(audio::Engine &engine)
{
    TEffectCalls calls;
    calls.setFx = [&engine](audio::Handle stream) {
        return engine.channelSetFx(stream, audio::FxType::ParamEq, Equalizer::EffectPriority);
    };
    calls.removeFx = [&engine](audio::Handle stream, audio::Handle fx) { return engine.channelRemoveFx(stream, fx); };
    calls.getParameters = [&engine](audio::Handle fx, audio::ParamEq &params) {
        return engine.fxGetParameters(fx, params);
    };
    calls.setParameters = [&engine](audio::Handle fx, const audio::ParamEq &params) {
        return engine.fxSetParameters(fx, params);
    };
    return calls;
}

TEqualizer::TEqualizer(TEffectCalls calls, QObject *parent)
    : QObject(parent), calls_(std::move(calls))
{
}

void TEqualizer::setEqualizer(audio::Handle stream)
{
    stream_ = stream;
    if (!active())
        return;
    // All seven effects first, then their settings: the library's results are
    // not checked, a refused effect simply leaves its band flat.
    for (int band = 0; band < Equalizer::BandCount; ++band)
        handles_[at(band)] = calls_.setFx(stream_);
    for (int band = 0; band < Equalizer::BandCount; ++band) {
        record_ = {Equalizer::bandCentre(band), Equalizer::BandwidthSemitones, Equalizer::bandGain(position(band))};
        calls_.setParameters(handles_[at(band)], record_);
    }
}

void TEqualizer::loadDefault(const std::array<int, Equalizer::BandCount> &positions, bool on)
{
    if (!view_)
        return;
    // Each slider's handler runs with the switch still as it was, so with
    // the switch on they go to the bands at once.
    for (int band = 0; band < Equalizer::BandCount; ++band)
        view_->setBandPosition(band, positions[at(band)]);
    view_->setActiveChecked(on);
}

void TEqualizer::runSaveFunc() const
{
    if (save_)
        save_();
}

void TEqualizer::activeClick()
{
    if (active()) {
        setEqualizer(stream_);
        return;
    }
    // Handles of a stream that has gone since are refused harmlessly.
    for (int band = 0; band < Equalizer::BandCount; ++band)
        calls_.removeFx(stream_, handles_[at(band)]);
}

void TEqualizer::bandChange(int band)
{
    if (band < 0 || band >= Equalizer::BandCount || !active())
        return;
    // Centre and bandwidth go back as the library holds them; only the gain
    // is the slider's.
    const audio::Handle fx = handles_[at(band)];
    calls_.getParameters(fx, record_);
    record_.gain = Equalizer::bandGain(position(band));
    calls_.setParameters(fx, record_);
}
