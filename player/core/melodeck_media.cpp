// The main window's media control from the desktop: the media-player
// service is given the window's state and the handlers the buttons and the
// hot keys use.

#include "az_position_bar.h"
#include "az_volume_bar.h"
#include "captions.h"
#include "closerequest.h"
#include "commandline.h"
#include "keyboardcontrol.h"
#include "mediacontrol.h"
#include "melodeck.h"
#include "timage.h"

#include <QDBusConnection>
#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace {
constexpr double kMicroseconds = 1e6;
constexpr qint64 kMicrosecondsPerMillisecond = 1000;

bool stationPlaying(const Melodeck &w)
{
    const int row = w.currentIndex;
    return row >= 0 && row < w.playlist.count() && w.playlist.filename.value(row).isEmpty();
}

Mpris::Track trackOf(const Melodeck &w)
{
    const int row = w.currentIndex;
    if (w.currentStream == 0 || row < 0 || row >= w.playlist.count())
        return {};
    const TAzPositionBar *bar = w.positionBar();
    const qint64 lengthUs = bar ? qint64(bar->maximum()) * kMicrosecondsPerMillisecond : 0;
    return Mpris::trackOf(row, w.playlist.filename.value(row), w.playlist.archive.value(row), w.currentArtist,
                          w.currentTitle, w.currentAlbum, lengthUs);
}

Mpris::Hooks mediaHooks(Melodeck &window)
{
    Mpris::Hooks hooks;
    hooks.status = [&w = window] {
        if (w.button_playpause->text() == Caption::Pause)
            return Mpris::Status::Playing;
        if (w.button_stop->isEnabled() && w.currentStream != 0)
            return Mpris::Status::Paused;
        return Mpris::Status::Stopped;
    };
    hooks.track = [&w = window] { return trackOf(w); };
    hooks.positionUs = [&w = window]() -> qint64 {
        if (w.currentStream == 0)
            return 0;
        audio::Engine &engine = w.engine();
        const double seconds = engine.channelBytes2Seconds(w.currentStream,
                                                           engine.channelGetPosition(w.currentStream));
        return std::llround(std::max(0.0, seconds) * kMicroseconds);
    };
    hooks.volumePercent = [&w = window] {
        if (const TAzVolumeBar *bar = w.volumeBar())
            return static_cast<int>(bar->position());
        return static_cast<int>(std::lround(w.engine().getVolume() * 100.0f));
    };
    hooks.canPlay = [&w = window] { return w.playlist.count() > 0 || w.currentList->count() > 0; };
    // Random mode fills an empty playlist from the shown list.
    hooks.canGoNext = [&w = window] {
        return w.playlist.count() > 0 || (w.randomMode && w.currentList->count() > 0);
    };
    hooks.canSeek = [&w = window] { return w.button_stop->isEnabled() && w.currentStream != 0 && !stationPlaying(w); };

    hooks.takenByHotKeys = [&w = window](Mpris::Request request) {
        return w.keyboard().pressTakenByHotKeys(Mpris::mediaKeyOf(request));
    };
    hooks.act = [&w = window](Mpris::Request request) {
        switch (request) {
        case Mpris::Request::Next:
            w.keyboard().act(HotKey::Next);
            break;
        case Mpris::Request::Previous:
            w.keyboard().act(HotKey::Previous);
            break;
        case Mpris::Request::Stop:
            w.keyboard().act(HotKey::Stop);
            break;
        case Mpris::Request::Play:
        case Mpris::Request::Pause:
        case Mpris::Request::PlayPause:
            w.keyboard().act(HotKey::PlayPause);
            break;
        }
    };
    hooks.seek = [&w = window](qint64 positionUs) {
        w.seekTo(static_cast<int>(positionUs / kMicrosecondsPerMillisecond));
        w.showTime();
    };
    hooks.setVolume = [&w = window](int percent) {
        TAzVolumeBar *bar = w.volumeBar();
        if (!bar)
            return;
        // Followed by the bar, as the hot keys are; a held grip wins.
        bar->setPosition(std::clamp(percent, bar->minimum(), bar->maximum()));
        w.setVolume(bar->position());
        w.Image1->changed();
    };
    hooks.open = [&w = window](const QString &path) { w.copyDataReceived(forwardedText({path})); };
    hooks.raise = [&w = window] {
        if (w.isMinimized())
            w.showNormal();
        w.show();
        w.raise();
        w.activateWindow();
    };
    // As a termination signal: open dialogs are cancelled first, so none
    // is left over (or acts on) a closed window.
    hooks.quit = [&w = window] { closeCancellingDialogs(w); };
    return hooks;
}

} // namespace

void Melodeck::createMediaControl()
{
    mediaControl_ = std::make_unique<TMediaControl>(mediaHooks(*this));
    mediaControl_->publish(QDBusConnection::sessionBus());
}

void Melodeck::mediaStateChanged()
{
    if (mediaControl_)
        mediaControl_->changed();
}

void Melodeck::mediaPositionJumped()
{
    if (mediaControl_)
        mediaControl_->seeked();
}
