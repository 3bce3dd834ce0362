#pragma once

// The main window. It owns the shared state (the four song tables, what is
// playing, the bars) and the controls; its event handlers keep their given
// names and hand the work to the subsystem objects.

#include "autotag.h"
#include "az_id3tag.h"
#include "engine.h"
#include "inputguard.h"
#include "options.h"
#include "skindisplay.h"
#include "skinsettings.h"
#include "untunrar.h"

#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>

class QAction;
class QComboBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QTableView;
class QToolButton;
class TAzPositionBar;
class TAzVis;
class TAzVolumeBar;
class TImage;
class TKeyboardControl;
struct TKeyboardLinks;
class TEqualizer;
class TMediaControl;
class TLibraryScan;
struct TLibraryScanLinks;
class Playback;
class TPlayOrder;
struct TPlayOrderLinks;
class TSongLists;
struct TSongListsLinks;
class TSongTableModel;
class TPlaylistFiles;
struct TPlaylistFilesLinks;
class TTabControl;
class TSearchBox;
struct TSearchBoxLinks;
class TTagEditor;
struct TTagEditorLinks;
class TWebRadio;

// What the skin editor gets from the main window at start-up.
struct TSkinEditorCallbacks
{
    std::function<void(const QImage &image, quint32 barColour, quint32 textColour,
                       quint32 spectrumColour, bool spectrumOn)>
        skinApplied;
    std::function<void(bool redraw)> loadSkin;
    // The "Reset" of the file types: gives back every type whose stored
    // value (lines 10 to 14) names one, updates the values and stores them.
    std::function<bool(std::array<QString, kPreviousFileTypeCount> &stored)> resetFileTypes;
    // The "AutoTag" button: opens AutoTag modally and returns once it is closed.
    std::function<void()> autoTag;
};

class Melodeck : public QWidget
{
    Q_OBJECT

public:
    // Builds the controls and runs the start-up sequence with the (already
    // absolute) command-line paths. When the audio device cannot be opened
    // the sequence stops after its message; started() is then false and the
    // caller ends the program.
    explicit Melodeck(const QStringList &arguments, QWidget *parent = nullptr);
    ~Melodeck() override;

    bool started() const { return started_; }
    const TSkinEditorCallbacks &skinEditorCallbacks() const { return skinEditorCallbacks_; }
    // The steps of the start-up, deferred start-up and shut-down in the order
    // they ran; lets tests and bug reports see which steps are wired in.
    const QStringList &lifecycleLog() const { return lifecycleLog_; }

    // Start-up, deferred start-up, shut-down.
    bool FormCreate();
    void load_songlist_timerTimer();
    void FormClose();

    // The running instance's end of the forwarded command line.
    void copyDataReceived(const QString &text);
    void addToPlaylist(const QString &path);
    void addCommandLine();

    // The library scan and drops (libraryscan.cpp does the work).
    void button_refreshsonglistClick(QObject *sender);
    void dropFiles(const QStringList &paths);
    TLibraryScan &libraryScan() const { return *libraryScan_; }

    // Skin and bars.
    void loadSkin(bool redraw);
    void createBars(bool keep, quint32 colour);
    void skinApplied(const QImage &image, quint32 barColour, quint32 textColour,
                     quint32 spectrumColour, bool spectrumOn);
    void setVolume(int percent);
    void seekTo(int milliseconds);

    // Lists and tabs.
    void createTabs();
    void showList(TFileInfos &list);
    void writeHeaders();
    void page_controlChange();
    void showAfterPlaylistGlyph();
    void sortByColumn(int column);

    // Playlist files and tag mode (playlistfiles.cpp, tageditor.cpp).
    void button_saveplaylistClick();
    void button_loadplaylistClick();
    void button_tagClick();
    void songlist_gridSetEditText(int column, int row, const QString &text);

    // The search row (searchbox.cpp).
    void search_qKeyDown(int key);

    // Playback and play order (melodeck_playback.cpp).
    void playSong(std::int32_t index, bool showPlaylist);
    void button_playpauseClick();
    void button_stopClick();
    std::int64_t showTime();
    void showSongInfo(bool numberOnly);
    void play_monitorTimer();
    void streamTitleChanged(const QString &title);
    void title_refreshTimer();
    void button_nextsongClick();
    void button_previoussongClick();
    void button_randomClick();
    Playback &playback() const { return *playback_; }
    TSongLists &songLists() const { return *songLists_; }
    TPlayOrder &playOrder() const { return *playOrder_; }

    // Keyboard control: hot keys and type-ahead (keyboardcontrol.cpp).
    void key_monitorTimer();
    bool Button1KeyDown(int key, Qt::KeyboardModifiers shift);
    bool songlist_gridKeyDown(int key, Qt::KeyboardModifiers shift);
    void Button1Click();
    TKeyboardControl &keyboard() const { return *keyboard_; }
    TKeyboardLinks keyboardLinks();
    // The equalizer and the spectrum (melodeck_effects.cpp).
    void azVisTimerTimer();
    TEqualizer &equalizer() const { return *equalizer_; }
    TAzVis &spectrum() const { return *spectrum_; }

    // Media control from the desktop (melodeck_media.cpp).
    void createMediaControl();
    void mediaStateChanged();
    void mediaPositionJumped();
    TMediaControl *mediaControl() const { return mediaControl_.get(); }

    // Web radio (melodeck_radio.cpp).
    void radioSetup();
    void radio_addClick();
    void radio_subClick();
    TWebRadio *webRadio() const { return webRadio_.get(); }

    // AutoTag (melodeck_autotag.cpp): what it was handed at start-up, and
    // opening it modally.
    const TAutoTagLinks &autoTagLinks() const { return autoTagLinks_; }
    void openAutoTag();

    // The shared state.
    TFileInfos musiclist;
    TFileInfos radiolist;
    TFileInfos searchlist;
    TFileInfos playlist;
    TFileInfos *currentList = &playlist;
    std::int32_t currentIndex = 0;
    audio::Handle currentStream = 0;
    QString currentArtist;
    QString currentTitle;
    QString currentAlbum;
    std::int64_t lastPosition = -1;
    bool randomMode = false;
    bool tagsChanged = false;
    std::uint8_t sortDirection = 1;
    std::array<int, 3> topRows{1, 1, 1};
    TFileFilterInfos filterTable;
    TId3Tags id3Tags;

    // The controls (owned by the window as their Qt parent).
    TImage *Image1 = nullptr;
    TImage *grip_image = nullptr;
    TImage *glyph_1 = nullptr;
    TImage *glyph_infinite = nullptr;
    TImage *glyph_shutdown = nullptr;
    TImage *vol_back = nullptr;
    TImage *vol_overlay = nullptr;
    TImage *vol_drag = nullptr;
    QPushButton *button_previoussong = nullptr;
    QPushButton *button_stop = nullptr;
    QPushButton *button_playpause = nullptr;
    QPushButton *button_nextsong = nullptr;
    QPushButton *button_random = nullptr;
    QPushButton *button_refreshsonglist = nullptr;
    QLabel *search = nullptr;
    QLineEdit *search_q = nullptr;
    QComboBox *search_where = nullptr;
    QRadioButton *search_entirestring = nullptr;
    QRadioButton *search_and = nullptr;
    QRadioButton *search_or = nullptr;
    TTabControl *page_control = nullptr;
    QPushButton *button_saveplaylist = nullptr;
    QPushButton *button_loadplaylist = nullptr;
    QToolButton *button_after_playlist = nullptr;
    QPushButton *button_tag = nullptr;
    QPushButton *Button1 = nullptr;
    QTableView *songlist_grid = nullptr;
    QPushButton *radio_add = nullptr;
    QPushButton *radio_sub = nullptr;

    QMenu *menu_after_playlist = nullptr;
    QAction *after_playlist_stop = nullptr;
    QAction *after_playlist_repeat = nullptr;
    QAction *after_playlist_shutdown = nullptr;
    QFileDialog *SaveDialog1 = nullptr;
    QFileDialog *OpenDialog1 = nullptr;

    QTimer play_monitor;
    QTimer key_monitor;
    QTimer load_songlist_timer;
    QTimer title_refresh;
    QTimer azVisTimer;

    TAzPositionBar *positionBar() const { return positionBar_.get(); }
    TAzVolumeBar *volumeBar() const { return volumeBar_.get(); }
    const TSkinSettings &skinSettings() const { return skin_; }
    // The six hot-key codes in use; the skin editor reads and sets them.
    std::array<int, kHotKeyCount> &hotKeys() { return skin_.hotKeys; }
    TSkinDisplay &display() { return display_; }
    audio::Engine &engine() { return engine_; }
    TUnRar *archives() const { return unrar_.get(); }
    std::mt19937 &random() { return random_; }
    // Asked by the mouse handlers of the grid and the tab strip.
    TInputGuard &inputGuard() { return inputGuard_; }

    void Image1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void Image1MouseMove(Qt::KeyboardModifiers shift, int x, int y);
    void Image1MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void button_after_playlistClick();
    void after_playlist_stopClick();
    void after_playlist_repeatClick();
    void after_playlist_shutdownClick();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void createControls();
    void createTimers();
    void createAfterPlaylistMenu();
    void connectEvents();
    void createPlayback();
    void createEffects();
    void step(const QString &name) { lifecycleLog_.append(name); }
    void linkAutoTag();
    // The links the song lists, the library scan, tag mode, the search row,
    // the play order and the playlist files are built with
    // (melodeck_links.cpp).
    TSongListsLinks songListsLinks();
    TLibraryScanLinks libraryScanLinks();
    TTagEditorLinks tagEditorLinks();
    TSearchBoxLinks searchBoxLinks();
    TPlayOrderLinks playOrderLinks();
    TPlaylistFilesLinks playlistFilesLinks();

    audio::Engine engine_;
    TSkinDisplay display_;
    TInputGuard inputGuard_;
    TSkinSettings skin_;
    std::unique_ptr<TAzPositionBar> positionBar_;
    std::unique_ptr<TAzVolumeBar> volumeBar_;
    std::unique_ptr<TUnRar> unrar_;
    TLibraryScan *libraryScan_ = nullptr;
    TSongTableModel *gridModel_ = nullptr;
    std::unique_ptr<Playback> playback_;
    std::unique_ptr<TSongLists> songLists_;
    std::unique_ptr<TPlayOrder> playOrder_;
    std::unique_ptr<TKeyboardControl> keyboard_;
    std::unique_ptr<TPlaylistFiles> playlistFiles_;
    TTagEditor *tagEditor_ = nullptr;
    std::unique_ptr<TSearchBox> searchBox_;
    std::unique_ptr<TEqualizer> equalizer_;
    std::unique_ptr<TAzVis> spectrum_;
    std::unique_ptr<TMediaControl> mediaControl_;
    std::unique_ptr<TWebRadio> webRadio_;
    TSkinEditorCallbacks skinEditorCallbacks_;
    TAutoTagLinks autoTagLinks_;
    std::mt19937 random_;
    QStringList arguments_;
    QStringList lifecycleLog_;
    bool started_ = false;
    bool audioOpen_ = false;
    bool closed_ = false;
    bool shownOnce_ = false;
    bool paintedOnce_ = false;
};
