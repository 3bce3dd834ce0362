#include "playback.h"

#include "az_position_bar.h"
#include "replaygain.h"
#include "skindisplay.h"
#include "timage.h"
#include "untunrar.h"

#include <QFile>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>

#include <cmath>

using namespace Qt::StringLiterals;

const QString Playback::kPlayCaption = u"|>"_s;
const QString Playback::kPauseCaption = u"||"_s;
const QString Playback::kFileErrorText = u"Cannot play the demanded file."_s;
const QString Playback::kFileErrorTitle = u"File Error"_s;
const QString Playback::kRadioErrorText = u"Error: Cannot open the webradio."_s;
const QString Playback::kTitleSeparator = u" - "_s;

namespace {
const QString kWmaExtension = u".wma"_s;
const QString kRadioErrorTitle = u"Melodeck"_s;
constexpr std::int32_t kRadioBarMaximum = 1;

std::int32_t roundedMilliseconds(double seconds)
{
    return static_cast<std::int32_t>(std::llround(seconds * 1000.0));
}
} // namespace

Playback::Playback(PlaybackState state, PlaybackControls controls, PlaybackHooks hooks, QObject *parent)
    : QObject(parent), s_(state), c_(controls), h_(std::move(hooks))
{
}

bool Playback::playing() const
{
    return c_.button_playpause->text() == kPauseCaption;
}

audio::Handle Playback::openFile(const QString &path, const QString &nameForType, std::uint32_t flags)
{
    const std::string file = QFile::encodeName(path).toStdString();
    if (lowerExtension(nameForType) == kWmaExtension)
        return s_.engine.wmaStreamCreateFile(file, 0, 0, flags);
    return s_.engine.streamCreateFile(file, 0, 0, flags);
}

void Playback::applyReplayGain(const QString &path, const QString &nameForType)
{
    const ReplayGainMode mode = h_.replayGainMode ? h_.replayGainMode() : ReplayGainMode::Off;
    if (mode == ReplayGainMode::Off)
        return;
    const ReplayGainValues values
        = readReplayGain(QFile::encodeName(path).toStdString(), lowerExtension(nameForType).toStdString());
    s_.engine.channelSetGain(s_.currentStream,
                             static_cast<float>(replayGainFactor(values, mode == ReplayGainMode::Album)));
}

void Playback::setTitleText(const QString &artist, const QString &title)
{
    if (h_.setApplicationTitle)
        h_.setApplicationTitle(artist.isEmpty() ? title : artist + kTitleSeparator + title);
}

void Playback::startVisuals(bool start)
{
    if (!h_.spectrumOn || !h_.spectrumOn())
        return;
    if (start)
        c_.azVisTimer.start();
    else
        c_.azVisTimer.stop();
}

void Playback::playSong(std::int32_t index, bool showPlaylist)
{
    TFileInfos &list = s_.playlist;
    if (list.count() == 0 || static_cast<std::uint32_t>(index) >= static_cast<std::uint32_t>(list.count()))
        return;
    s_.lastPosition = -1;
    stillTicks_ = 0;
    s_.currentIndex = index;
    if (playing()) {
        s_.engine.channelStop(s_.currentStream);
        c_.button_playpause->setText(kPlayCaption);
    }
    s_.engine.streamFree(s_.currentStream);
    s_.currentStream = 0;

    const QString filename = list.filename.value(index);
    const QString archive = list.archive.value(index);
    const bool radio = filename.isEmpty() && !archive.isEmpty();
    radioPlaying_ = radio;
    QString opened = filename;
    if (radio) {
        if (!h_.openStation || !h_.openStation(index, archive)) {
            s_.currentStream = 0;
            if (h_.showMessage)
                h_.showMessage(kRadioErrorTitle, kRadioErrorText);
            return;
        }
    } else if (archive.isEmpty()) {
        s_.currentStream = openFile(filename, filename, audio::kSampleFx);
    } else {
        // A member that could not be written must not be played from
        // whatever an earlier member left in the scratch file.
        const TUnRar *unrar = h_.archives ? h_.archives() : nullptr;
        if (unrar && unrar->extractMember(archive, filename, QString(), unrar->scratchFile())) {
            opened = unrar->scratchFile();
            s_.currentStream = openFile(opened, filename, 0);
        }
    }
    if (s_.currentStream == 0) {
        if (h_.showMessage)
            h_.showMessage(kFileErrorTitle, kFileErrorText);
        return;
    }

    if (!radio) {
        s_.engine.channelSetSync(s_.currentStream, audio::SyncType::End, 0,
                                 [this](audio::Handle, audio::Handle stream) {
                                     QMetaObject::invokeMethod(
                                         this, [this, stream] { streamEnded(stream); }, Qt::QueuedConnection);
                                 });
    }
    if (!radio)
        applyReplayGain(opened, filename);
    if (h_.setEqualizer)
        h_.setEqualizer(s_.currentStream);
    const QString artist = list.artist.value(index);
    const QString title = list.title.value(index);
    setTitleText(artist, title);
    if (!radio)
        s_.engine.channelPlay(s_.currentStream, true);
    c_.button_playpause->setText(kPauseCaption);
    c_.button_stop->setEnabled(true);

    if (TAzPositionBar *bar = h_.positionBar ? h_.positionBar() : nullptr) {
        if (radio) {
            bar->setMax(kRadioBarMaximum);
        } else {
            const std::int64_t bytes = s_.engine.channelGetLength(s_.currentStream);
            bar->setMax(roundedMilliseconds(s_.engine.channelBytes2Seconds(s_.currentStream, bytes)));
        }
    }
    s_.currentArtist = artist;
    s_.currentTitle = title;
    s_.currentAlbum = list.album.value(index);
    showSongInfo(false);
    c_.play_monitor.start();
    startVisuals(true);
    if (showPlaylist && h_.showPlaylistTab)
        h_.showPlaylistTab();
}

void Playback::button_playpauseClick()
{
    const bool onPlaylistTab = c_.page_control->currentIndex() == kPlaylistPage;
    if ((s_.currentStream == 0 || !onPlaylistTab) && !c_.button_stop->isEnabled()) {
        // A fresh start: the shown list becomes the playlist, in order.
        s_.randomMode = false;
        if (s_.currentList != &s_.playlist)
            s_.playlist.assign(*s_.currentList);
        playSong(0, true);
        return;
    }
    c_.button_stop->setEnabled(true);
    if (playing()) {
        s_.engine.channelStop(s_.currentStream);
        c_.button_playpause->setText(kPlayCaption);
        c_.play_monitor.stop();
        startVisuals(false);
    } else {
        s_.engine.channelPlay(s_.currentStream, false);
        stillTicks_ = 0;
        c_.button_playpause->setText(kPauseCaption);
        c_.play_monitor.start();
        startVisuals(true);
        showTime();
    }
}

void Playback::button_stopClick()
{
    if (!c_.button_stop->isEnabled())
        return;
    s_.engine.channelStop(s_.currentStream);
    s_.engine.channelSetPosition(s_.currentStream, 0);
    c_.button_stop->setEnabled(false);
    c_.button_playpause->setText(kPlayCaption);
    c_.play_monitor.stop();
    // The spectrum runs on until it has fallen to zero; it stops itself.
    if (h_.spectrumOn && h_.spectrumOn() && !c_.azVisTimer.isActive())
        c_.azVisTimer.start();
    showTime();
    s_.lastPosition = -1;
    stillTicks_ = 0;
}

std::int64_t Playback::showTime()
{
    if (s_.currentStream == 0)
        return 0;
    const std::int64_t position = s_.engine.channelGetPosition(s_.currentStream);
    TAzPositionBar *bar = h_.positionBar ? h_.positionBar() : nullptr;
    if (!bar)
        return position;
    bar->setPosition(roundedMilliseconds(s_.engine.channelBytes2Seconds(s_.currentStream, position)));
    const auto seconds = [](std::int32_t ms) { return static_cast<quint32>(std::max(0, ms / 1000)); };
    c_.display.drawField(DisplayField::Time, TSkinDisplay::formatTime(seconds(bar->position())) + u'/'
                                                 + TSkinDisplay::formatTime(seconds(bar->maximum())));
    c_.Image1->changed();
    return position;
}

void Playback::showSongInfo(bool numberOnly)
{
    if (s_.currentList == &s_.playlist)
        c_.display.drawField(DisplayField::Nr, u'#' + QString::number(s_.currentIndex + 1) + u'/'
                                                   + QString::number(s_.playlist.count()));
    else
        c_.display.drawField(DisplayField::Nr, u'#' + QString::number(s_.currentList->count()));
    c_.Image1->changed();
    if (numberOnly)
        return;
    if (s_.playlist.count() > 0) {
        c_.display.drawField(DisplayField::Interpret, s_.currentArtist);
        c_.display.drawField(DisplayField::Title, s_.currentTitle);
        c_.display.drawField(DisplayField::Album, s_.currentAlbum);
    }
    showTime();
}

void Playback::play_monitorTimer()
{
    const std::int64_t position = showTime();
    if (position != s_.lastPosition) {
        s_.lastPosition = position;
        stillTicks_ = 0;
        return;
    }
    if (standingStillEnds())
        songHasEnded();
}

bool Playback::standingStillEnds()
{
    // A station that stops sending, and a row that could not be opened, end
    // at the first tick without a move.
    if (s_.currentStream == 0 || radioPlaying_)
        return true;
    // A file stream knows its own end: it has played out, or given up on an
    // error, once it no longer counts as active.
    if (s_.engine.channelIsActive(s_.currentStream) == audio::Active::Stopped)
        return true;
    const auto tick = std::max(c_.play_monitor.intervalAsDuration(), std::chrono::milliseconds(1));
    return ++stillTicks_ >= (kStallLimit + tick - std::chrono::milliseconds(1)) / tick;
}

void Playback::streamEnded(audio::Handle stream)
{
    // A report may be overtaken: by a newer song, a pause or stop (the
    // monitor is off then), or a seek that made the stream play again.
    if (stream != s_.currentStream || !c_.play_monitor.isActive()
        || s_.engine.channelIsActive(stream) != audio::Active::Stopped)
        return;
    showTime();
    songHasEnded();
}

void Playback::songHasEnded()
{
    c_.play_monitor.stop();
    startVisuals(false);
    if (h_.songEnded)
        h_.songEnded();
}

void Playback::seekTo(int milliseconds)
{
    if (!c_.button_stop->isEnabled())
        return;
    s_.engine.channelSetPosition(s_.currentStream,
                                 s_.engine.channelSeconds2Bytes(s_.currentStream, milliseconds / 1000.0));
}

void Playback::setVolume(int percent)
{
    s_.engine.setVolume(static_cast<float>(percent) / 100.0f);
}

void Playback::streamTitleChanged(const QString &title)
{
    s_.currentTitle = title;
    c_.title_refresh.start();
    setTitleText(s_.currentArtist, title);
}

void Playback::title_refreshTimer()
{
    c_.title_refresh.stop();
    c_.display.drawField(DisplayField::Title, s_.currentTitle);
    c_.Image1->changed();
}

void Playback::postStreamTitle(const QString &title)
{
    QMetaObject::invokeMethod(this, [this, title] { streamTitleChanged(title); }, Qt::QueuedConnection);
}
