#include "mediacontrol.h"

#include "az_position_bar.h"
#include "az_volume_bar.h"
#include "captions.h"
#include "closerequest.h"
#include "commandline.h"
#include "keyboardcontrol.h"
#include "melodeck.h"
#include "timage.h"

#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace {
constexpr double kMicroseconds = 1e6;
constexpr qint64 kMicrosecondsPerMillisecond = 1000;
} // namespace

TMediaControl::TMediaControl(Melodeck &window)
    : w_(window), service_(std::make_unique<TMprisService>(hooks()))
{
}

TMediaControl::~TMediaControl() = default;

bool TMediaControl::publish(const QDBusConnection &bus)
{
    return service_->publish(bus);
}

void TMediaControl::withdraw()
{
    service_->withdraw();
}

void TMediaControl::changed()
{
    service_->stateChanged();
}

void TMediaControl::seeked()
{
    service_->seeked();
}

bool TMediaControl::stationPlaying() const
{
    const int row = w_.currentIndex;
    return row >= 0 && row < w_.playlist.count() && w_.playlist.filename.value(row).isEmpty();
}

Mpris::Track TMediaControl::track() const
{
    const int row = w_.currentIndex;
    if (w_.currentStream == 0 || row < 0 || row >= w_.playlist.count())
        return {};
    const TAzPositionBar *bar = w_.positionBar();
    const qint64 lengthUs = bar ? qint64(bar->maximum()) * kMicrosecondsPerMillisecond : 0;
    return Mpris::trackOf(row, w_.playlist.filename.value(row), w_.playlist.archive.value(row), w_.currentArtist,
                          w_.currentTitle, w_.currentAlbum, lengthUs);
}

Mpris::Hooks TMediaControl::hooks()
{
    Mpris::Hooks hooks;
    hooks.status = [this] {
        if (w_.button_playpause->text() == Caption::Pause)
            return Mpris::Status::Playing;
        if (w_.button_stop->isEnabled() && w_.currentStream != 0)
            return Mpris::Status::Paused;
        return Mpris::Status::Stopped;
    };
    hooks.track = [this] { return track(); };
    hooks.positionUs = [this]() -> qint64 {
        if (w_.currentStream == 0)
            return 0;
        audio::Engine &engine = w_.engine();
        const double seconds = engine.channelBytes2Seconds(w_.currentStream,
                                                           engine.channelGetPosition(w_.currentStream));
        return std::llround(std::max(0.0, seconds) * kMicroseconds);
    };
    hooks.volumePercent = [this] {
        if (const TAzVolumeBar *bar = w_.volumeBar())
            return static_cast<int>(bar->position());
        return static_cast<int>(std::lround(w_.engine().getVolume() * 100.0f));
    };
    hooks.canPlay = [this] { return w_.playlist.count() > 0 || w_.currentList->count() > 0; };
    // Random mode fills an empty playlist from the shown list.
    hooks.canGoNext = [this] {
        return w_.playlist.count() > 0 || (w_.randomMode && w_.currentList->count() > 0);
    };
    hooks.canSeek = [this] { return w_.button_stop->isEnabled() && w_.currentStream != 0 && !stationPlaying(); };

    hooks.takenByHotKeys = [this](Mpris::Request request) {
        return w_.keyboard().pressTakenByHotKeys(Mpris::mediaKeyOf(request));
    };
    hooks.act = [this](Mpris::Request request) {
        switch (request) {
        case Mpris::Request::Next:
            w_.keyboard().act(HotKey::Next);
            break;
        case Mpris::Request::Previous:
            w_.keyboard().act(HotKey::Previous);
            break;
        case Mpris::Request::Stop:
            w_.keyboard().act(HotKey::Stop);
            break;
        case Mpris::Request::Play:
        case Mpris::Request::Pause:
        case Mpris::Request::PlayPause:
            w_.keyboard().act(HotKey::PlayPause);
            break;
        }
    };
    hooks.seek = [this](qint64 positionUs) {
        w_.seekTo(static_cast<int>(positionUs / kMicrosecondsPerMillisecond));
        w_.showTime();
    };
    hooks.setVolume = [this](int percent) {
        TAzVolumeBar *bar = w_.volumeBar();
        if (!bar)
            return;
        // Followed by the bar, as the hot keys are; a held grip wins.
        bar->setPosition(std::clamp(percent, bar->minimum(), bar->maximum()));
        w_.setVolume(bar->position());
        w_.Image1->changed();
    };
    hooks.open = [this](const QString &path) { w_.copyDataReceived(forwardedText({path})); };
    hooks.raise = [this] {
        if (w_.isMinimized())
            w_.showNormal();
        w_.show();
        w_.raise();
        w_.activateWindow();
    };
    // As a termination signal: open dialogs are cancelled first, so none
    // is left over (or acts on) a closed window.
    hooks.quit = [this] { closeCancellingDialogs(w_); };
    return hooks;
}
