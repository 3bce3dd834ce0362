#pragma once

// The playback engine: one open stream for one playlist row at a time, the
// play/pause and stop buttons (whose captions and enabled state are the
// playing state other parts read), the time feed to the position bar, the
// "nr" and "time" fields, the application title and the end-of-song monitor.
// It works on the main window's state through references; which row comes
// next is the caller's business (songEnded).

#include "engine.h"
#include "options.h"
#include "skinsettings.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>

class QPushButton;
class QTabBar;
class QTimer;
class TAzPositionBar;
class TSkinDisplay;
class TImage;
class TUnRar;
class QWidget;

// The window state playback reads and writes.
struct PlaybackState
{
    audio::Engine &engine;
    TFileInfos &playlist;
    TFileInfos *&currentList;
    std::int32_t &currentIndex;
    audio::Handle &currentStream;
    QString &currentArtist;
    QString &currentTitle;
    QString &currentAlbum;
    std::int64_t &lastPosition;
    bool &randomMode;
};

// The controls playback drives.
struct PlaybackControls
{
    QWidget *window;
    QPushButton *button_playpause;
    QPushButton *button_stop;
    QTabBar *page_control;
    QTimer &play_monitor;
    QTimer &title_refresh;
    QTimer &azVisTimer;
    TSkinDisplay &display;
    TImage *Image1;
};

// What playback asks of the rest of the window.
struct PlaybackHooks
{
    // The bar is replaced when the skin changes, so it is looked up each time.
    std::function<TAzPositionBar *()> positionBar;
    std::function<const TUnRar *()> archives;
    std::function<bool()> spectrumOn;
    // Makes the Playlist tab active and shows it.
    std::function<void()> showPlaylistTab;
    // Runs when the monitor found the song ended (it has stopped itself).
    std::function<void()> songEnded;
    // Puts the equalizer on a new stream; may be empty.
    std::function<void(audio::Handle)> setEqualizer;
    // How songs are levelled; read for every song, so a change is heard
    // from the next one. Empty means off.
    std::function<ReplayGainMode()> replayGainMode;
    // Opens, starts and registers a radio station; empty until web radio exists.
    std::function<bool(int row, const QString &url)> openStation;
    std::function<void(const QString &)> setApplicationTitle;
    // A message box with one OK button (title, text); returns when closed.
    std::function<void(const QString &, const QString &)> showMessage;
};

class Playback : public QObject
{
    Q_OBJECT

public:
    static const QString kPlayCaption;          // "|>"
    static const QString kPauseCaption;         // "||"
    static const QString kFileErrorText;        // "Cannot play the demanded file."
    static const QString kFileErrorTitle;       // "File Error"
    static const QString kRadioErrorText;       // "Error: Cannot open the webradio."
    static const QString kTitleSeparator;       // " - "
    static constexpr int kPlaylistPage = 3;
    // How long a file song's position may stand still before the song counts
    // as ended although its stream has reported neither its end nor an
    // error: a busy machine can starve the decoder for a moment, a stream
    // that never moves again must not hold the playlist for ever. Counted
    // in monitor ticks, so a slow machine waits longer, never shorter.
    static constexpr std::chrono::milliseconds kStallLimit{5000};

    Playback(PlaybackState state, PlaybackControls controls, PlaybackHooks hooks, QObject *parent = nullptr);

    void playSong(std::int32_t index, bool showPlaylist);
    void button_playpauseClick();
    void button_stopClick();
    std::int64_t showTime();
    void showSongInfo(bool numberOnly);
    void play_monitorTimer();
    void seekTo(int milliseconds);
    void setVolume(int percent);
    void streamTitleChanged(const QString &title);
    void title_refreshTimer();

    // Safe from any thread: hands a new stream title to the user-interface
    // thread, in the order the titles came.
    void postStreamTitle(const QString &title);
    // The audio library reports that a file stream has handed its last
    // sample to the output; the end of the song is handled at once instead
    // of after the monitor's next two ticks, which stay the fallback for
    // stalls, radio and failed songs.
    void streamEnded(audio::Handle stream);

    bool playing() const;

private:
    audio::Handle openFile(const QString &path, const QString &nameForType, std::uint32_t flags);
    void applyReplayGain(const QString &path, const QString &nameForType);
    void setTitleText(const QString &artist, const QString &title);
    void startVisuals(bool start);
    void songHasEnded();
    bool standingStillEnds();

    PlaybackState s_;
    PlaybackControls c_;
    PlaybackHooks h_;
    bool radioPlaying_ = false;
    int stillTicks_ = 0;  // monitor ticks in a row without a move
};
