#pragma once

// The seven-band equalizer over the audio library's peaking effect. This part
// knows which band sits where and makes the effect calls; the sliders and the
// on/off switch belong to the equalizer window, which this part reads and
// sets through TEqualizerView. The state lives here, not in the window,
// because the first song of the command line is opened before the window
// exists.

#include "engine.h"

#include <QObject>

#include <array>
#include <functional>

namespace Equalizer {
constexpr int BandCount = 7;
constexpr int SliderMinimum = 0;   // the top end: +15 dB
constexpr int SliderMaximum = 30;  // the bottom end: -15 dB
constexpr int SliderFlat = 15;     // 0 dB
constexpr float BandwidthSemitones = 18.0f;
constexpr int EffectPriority = 1;

// Band 0 is centred on 125 Hz, each further band an octave higher.
float bandCentre(int band);
// A slider's gain in dB: 15 minus its position.
float bandGain(int position);
} // namespace Equalizer

// The audio library's four effect operations as the equalizer uses them.
// Tests wrap them to see which calls are made, in which order.
struct TEffectCalls
{
    std::function<audio::Handle(audio::Handle stream)> setFx;
    std::function<bool(audio::Handle stream, audio::Handle fx)> removeFx;
    std::function<bool(audio::Handle fx, audio::ParamEq &params)> getParameters;
    std::function<bool(audio::Handle fx, const audio::ParamEq &params)> setParameters;

    static TEffectCalls of(audio::Engine &engine);
};

// The controls of the equalizer window. Setting a control runs its change
// handler, as a user's move does.
class TEqualizerView
{
public:
    virtual ~TEqualizerView() = default;
    virtual bool activeChecked() const = 0;
    virtual int bandPosition(int band) const = 0;
    virtual void setBandPosition(int band, int position) = 0;
    virtual void setActiveChecked(bool on) = 0;
};

class TEqualizer : public QObject
{
public:
    explicit TEqualizer(TEffectCalls calls, QObject *parent = nullptr);

    // The window, once it exists; null detaches it. Without a window the
    // equalizer counts as switched off.
    void attach(TEqualizerView *view) { view_ = view; }

    // Remembers the stream and, when switched on, puts the seven bands on it.
    void setEqualizer(audio::Handle stream);
    // Sets the seven sliders in band order, then the switch.
    void loadDefault(const std::array<int, Equalizer::BandCount> &positions, bool on);
    void setSaveFunc(std::function<void()> save) { save_ = std::move(save); }
    void runSaveFunc() const;

    // The switch changed: bands on when it is now on, off when it is off.
    void activeClick();
    // A slider moved: while switched on, its band takes the new gain.
    void bandChange(int band);

    audio::Handle stream() const { return stream_; }
    const std::array<audio::Handle, Equalizer::BandCount> &handles() const { return handles_; }
    TEffectCalls &effectCalls() { return calls_; }

private:
    bool active() const { return view_ != nullptr && view_->activeChecked(); }
    int position(int band) const { return view_ ? view_->bandPosition(band) : Equalizer::SliderFlat; }

    TEffectCalls calls_;
    TEqualizerView *view_ = nullptr;
    std::array<audio::Handle, Equalizer::BandCount> handles_{};
    audio::Handle stream_ = 0;
    // One record for every call, as the library reads and fills it.
    audio::ParamEq record_;
    std::function<void()> save_;
};
