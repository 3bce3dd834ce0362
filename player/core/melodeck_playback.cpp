// The main window's playback, list and play-order handlers: each hands the
// work to the object that owns it.

#include "captions.h"
#include "equalizer.h"
#include "melodeck.h"
#include "playback.h"
#include "playorder.h"
#include "songlists.h"
#include "songtablemodel.h"
#include "tabcontrol.h"
#include "timage.h"
#include "usermessages.h"
#include "webradio.h"

#include <QPushButton>
#include <QSignalBlocker>

void Melodeck::createPlayback()
{
    PlaybackState state{engine_,       playlist,     currentList,  currentIndex, currentStream,
                        currentArtist, currentTitle, currentAlbum, lastPosition, randomMode};
    PlaybackControls controls{this,          button_playpause, button_stop, page_control, play_monitor,
                              title_refresh, azVisTimer,       display_,    Image1};
    PlaybackHooks hooks;
    hooks.positionBar = [this] { return positionBar_.get(); };
    hooks.archives = [this]() -> const TUnRar * { return unrar_.get(); };
    hooks.spectrumOn = [this] { return skin_.spectrumOn; };
    hooks.showPlaylistTab = [this] {
        {
            const QSignalBlocker quiet(page_control);
            page_control->setCurrentIndex(Page::Playlist);
        }
        page_controlChange();
    };
    hooks.songEnded = [this] { playOrder_->songEnded(); };
    hooks.setEqualizer = [this](audio::Handle stream) { equalizer_->setEqualizer(stream); };
    hooks.replayGainMode = [this] { return skin_.replayGain; };
    hooks.openStation = [this](int, const QString &url) { return webRadio_ && webRadio_->openStation(url); };
    hooks.setApplicationTitle = [this](const QString &title) { setWindowTitle(title); };
    hooks.showMessage = [this](const QString &title, const QString &text) {
        showMessage(this, QMessageBox::Critical, title, text);
    };
    playback_ = std::make_unique<Playback>(state, controls, std::move(hooks));
    songLists_ = std::make_unique<TSongLists>(songListsLinks());
    playOrder_ = std::make_unique<TPlayOrder>(playOrderLinks());

    connect(&play_monitor, &QTimer::timeout, this, &Melodeck::play_monitorTimer);
    connect(&title_refresh, &QTimer::timeout, this, &Melodeck::title_refreshTimer);
    connect(button_playpause, &QPushButton::clicked, this, &Melodeck::button_playpauseClick);
    connect(button_stop, &QPushButton::clicked, this, &Melodeck::button_stopClick);
    connect(button_nextsong, &QPushButton::clicked, this, &Melodeck::button_nextsongClick);
    connect(button_previoussong, &QPushButton::clicked, this, &Melodeck::button_previoussongClick);
    connect(button_random, &QPushButton::clicked, this, &Melodeck::button_randomClick);
}

void Melodeck::playSong(std::int32_t index, bool showPlaylist)
{
    playback_->playSong(index, showPlaylist);
    mediaStateChanged();
}

void Melodeck::button_playpauseClick()
{
    playback_->button_playpauseClick();
    mediaStateChanged();
}

void Melodeck::button_stopClick()
{
    playback_->button_stopClick();
    mediaStateChanged();
}

std::int64_t Melodeck::showTime()
{
    return playback_->showTime();
}

void Melodeck::showSongInfo(bool numberOnly)
{
    playback_->showSongInfo(numberOnly);
}

void Melodeck::play_monitorTimer()
{
    playback_->play_monitorTimer();
}

void Melodeck::streamTitleChanged(const QString &title)
{
    playback_->streamTitleChanged(title);
    mediaStateChanged();
}

void Melodeck::title_refreshTimer()
{
    playback_->title_refreshTimer();
}

void Melodeck::button_nextsongClick()
{
    playOrder_->button_nextsongClick();
}

void Melodeck::button_previoussongClick()
{
    playOrder_->button_previoussongClick();
}

void Melodeck::button_randomClick()
{
    playOrder_->button_randomClick();
}
