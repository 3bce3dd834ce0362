// The main window's equalizer and spectrum. The equalizer exists from the
// window's creation on, so the first song of the command line finds it; its
// window comes later, with the other dialogs.

#include "azvis.h"
#include "equalizer.h"
#include "melodeck.h"

void Melodeck::createEffects()
{
    equalizer_ = std::make_unique<TEqualizer>(TEffectCalls::of(engine_));
    spectrum_ = std::make_unique<TAzVis>(
        TAzVis::Context{engine_, currentStream, azVisTimer, [this] { return skin_.spectrumColor; }});
    connect(&azVisTimer, &QTimer::timeout, this, &Melodeck::azVisTimerTimer);
}

void Melodeck::azVisTimerTimer()
{
    spectrum_->azVisTimerTimer();
}
