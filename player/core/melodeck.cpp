#include "melodeck.h"

#include "az_position_bar.h"
#include "az_volume_bar.h"
#include "azvis.h"
#include "captions.h"
#include "commandline.h"
#include "equalizer.h"
#include "fileassociation.h"
#include "keyboardcontrol.h"
#include "libraryscan.h"
#include "mediacontrol.h"
#include "playback.h"
#include "playlistfiles.h"
#include "playorder.h"
#include "searchbox.h"
#include "songlists.h"
#include "songtablemodel.h"
#include "tabcontrol.h"
#include "tageditor.h"
#include "timage.h"
#include "usermessages.h"
#include "webradio.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableView>
#include <QToolButton>

#include <chrono>

using namespace Qt::StringLiterals;

namespace {
const QString kAudioInitText = u"Cannot initialize audio device."_s;
const QString kAudioInitTitle = u"Bass Initialize problem"_s;
const QString kFilterFileName = u"filetypes.azi"_s;
} // namespace

Melodeck::Melodeck(const QStringList &arguments, QWidget *parent)
    : QWidget(parent), arguments_(arguments)
{
    createControls();
    createPlayback();
    createEffects();
    connectEvents();
    started_ = FormCreate();
}

Melodeck::~Melodeck()
{
    // A window that is destroyed without being closed still releases the
    // device and the scratch file.
    if (started_ && !closed_)
        FormClose();
}

void Melodeck::connectEvents()
{
    connect(&load_songlist_timer, &QTimer::timeout, this, &Melodeck::load_songlist_timerTimer);
    connect(button_refreshsonglist, &QPushButton::clicked, this,
            [this] { button_refreshsonglistClick(button_refreshsonglist); });
    connect(page_control, &QTabBar::currentChanged, this, [this] { page_controlChange(); });
    connect(search_q, &QLineEdit::returnPressed, this, [this] { search_qKeyDown(Qt::Key_Return); });
    connect(Image1, &TImage::mouseDown, this, &Melodeck::Image1MouseDown);
    connect(Image1, &TImage::mouseMove, this, &Melodeck::Image1MouseMove);
    connect(Image1, &TImage::mouseUp, this, &Melodeck::Image1MouseUp);
    connect(button_after_playlist, &QToolButton::clicked, this, &Melodeck::button_after_playlistClick);
    connect(after_playlist_stop, &QAction::triggered, this, &Melodeck::after_playlist_stopClick);
    connect(after_playlist_repeat, &QAction::triggered, this, &Melodeck::after_playlist_repeatClick);
    connect(after_playlist_shutdown, &QAction::triggered, this, &Melodeck::after_playlist_shutdownClick);
    keyboard_ = std::make_unique<TKeyboardControl>(keyboardLinks());
    connect(&key_monitor, &QTimer::timeout, this, &Melodeck::key_monitorTimer);
    connect(Button1, &QPushButton::clicked, this, &Melodeck::Button1Click);
    connect(radio_add, &QPushButton::clicked, this, &Melodeck::radio_addClick);
    connect(radio_sub, &QPushButton::clicked, this, &Melodeck::radio_subClick);
    playlistFiles_ = std::make_unique<TPlaylistFiles>(playlistFilesLinks());
    tagEditor_ = new TTagEditor(tagEditorLinks());
    searchBox_ = std::make_unique<TSearchBox>(searchBoxLinks());
    connect(button_saveplaylist, &QPushButton::clicked, this, &Melodeck::button_saveplaylistClick);
    connect(button_loadplaylist, &QPushButton::clicked, this, &Melodeck::button_loadplaylistClick);
    connect(button_tag, &QPushButton::clicked, this, &Melodeck::button_tagClick);
}

bool Melodeck::FormCreate()
{
    // Files are opened read-only wherever the player only reads them; there
    // is no process-wide open mode to set here.
    step(u"audio"_s);
    audioOpen_ = engine_.init(-1, 44100, 0);
    if (!audioOpen_) {
        showMessage(this, QMessageBox::Critical, kAudioInitTitle, kAudioInitText);
        return false;
    }

    step(u"random"_s);
    random_.seed(static_cast<std::mt19937::result_type>(
        std::chrono::system_clock::now().time_since_epoch().count()));

    step(u"filter"_s);
    filterTable.loadFilter(programDir() + kFilterFileName);

    step(u"archiveLibrary"_s);
    unrar_ = std::make_unique<TUnRar>(filterTable);
    unrar_->loadArchiveLibrary();

    step(u"id3Table"_s);
    setupId3Tags(id3Tags);
    libraryScan_ = new TLibraryScan(libraryScanLinks());

    topRows = {1, 1, 1};

    step(u"skinEditorCallbacks"_s);
    skinEditorCallbacks_.skinApplied = [this](const QImage &image, quint32 barColour, quint32 textColour,
                                              quint32 spectrumColour, bool spectrumOn) {
        skinApplied(image, barColour, textColour, spectrumColour, spectrumOn);
    };
    skinEditorCallbacks_.loadSkin = [this](bool redraw) { loadSkin(redraw); };
    skinEditorCallbacks_.resetFileTypes = [this](std::array<QString, kPreviousFileTypeCount> &stored) {
        return defaultPlayer(this).resetFileTypes(stored);
    };
    skinEditorCallbacks_.autoTag = [this] { openAutoTag(); };

    step(u"afterPlaylist"_s);
    after_playlist_stop->setChecked(true);
    showAfterPlaylistGlyph();

    step(u"skin"_s);
    loadSkin(false);

    step(u"tabs"_s);
    createTabs();

    step(u"lists"_s);
    for (TFileInfos *list : {&musiclist, &searchlist, &playlist, &radiolist}) {
        list->clear();
        list->sortFlags = SortFlag::Ascending | SortFlag::Number;
    }

    step(u"autoTag"_s);
    linkAutoTag();

    step(u"defaultPlayer"_s);
    defaultPlayer(this).checkDefaultPlayer(skin_.checkDefaultPlayer);

    step(u"drop"_s);
    setAcceptDrops(true);

    step(u"commandLine"_s);
    addCommandLine();

    // The tab strip and the grid agree from here on. They show the page the
    // deferred start-up ends on: the playlist when songs came with the
    // command line, else the library, still empty until that load fills it.
    const bool songsGiven = playlist.count() > 0;
    {
        const QSignalBlocker quiet(page_control);
        page_control->setCurrentIndex(songsGiven ? Page::Playlist : Page::Musiclist);
    }
    showList(songsGiven ? playlist : musiclist);
    if (songsGiven)
        playSong(0, false);

    step(u"radio"_s);
    radioSetup();

    createMediaControl();

    step(u"deferredTimer"_s);
    // The stored library is restored while the timer runs.
    libraryScan_->prefetchLibrary();
    load_songlist_timer.start();
    return true;
}

void Melodeck::load_songlist_timerTimer()
{
    load_songlist_timer.stop();
    // The stored library is loaded in every run: when a scan (a forwarded
    // folder, the user's refresh) still runs, once it has ended.
    libraryScan_->whenIdle([this] {
        step(u"deferred"_s);
        equalizer_->loadDefault(skin_.equalizer, skin_.equalizerOn);
        button_refreshsonglistClick(&load_songlist_timer);
        search_q->setFocus();
        if (playlist.count() > 0) {
            const QSignalBlocker quiet(page_control);
            page_control->setCurrentIndex(Page::Playlist);
            page_controlChange();
        }
        testLog(u"deferred"_s);
    });
}

void Melodeck::FormClose()
{
    if (closed_)
        return;
    closed_ = true;
    step(u"close"_s);
    if (mediaControl_)
        mediaControl_->withdraw();
    // Every timer stops, also those the sequence does not name: a preview
    // may have started the spectrum under a stored skin that has it off, and
    // a deferred start-up still pending must not run on a closed window.
    play_monitor.stop();
    azVisTimer.stop();
    key_monitor.stop();
    load_songlist_timer.stop();
    title_refresh.stop();
    // A refresh still probing is abandoned before the lists and the audio
    // library go.
    if (webRadio_)
        webRadio_->stopRefresh();

    if (button_stop->isEnabled()) {
        engine_.channelStop(currentStream);
        engine_.streamFree(currentStream);
    }
    currentStream = 0;
    step(u"audioFree"_s);
    if (audioOpen_)
        engine_.free();
    audioOpen_ = false;

    filterTable.clear();
    if (unrar_ && unrar_->archiveLibraryLoaded())
        unrar_->freeArchiveLibrary();

    step(u"release"_s);
    for (TFileInfos *list : {&musiclist, &radiolist, &searchlist, &playlist})
        list->clear();
    gridModel_->reload();
    positionBar_.reset();
    volumeBar_.reset();

    step(u"scratchFile"_s);
    if (unrar_)
        unrar_->deleteScratchFile();
}

void Melodeck::closeEvent(QCloseEvent *event)
{
    if (started_)
        FormClose();
    event->accept();
}

void Melodeck::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        testLog(u"shown"_s);
    }
}

void Melodeck::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    if (!paintedOnce_) {
        paintedOnce_ = true;
        testLog(u"painted"_s);
    }
}

void Melodeck::copyDataReceived(const QString &text)
{
    const int before = playlist.count();
    const QStringList paths = splitForwardedText(text);
    for (const QString &path : paths)
        addToPlaylist(path);
    testLog(u"copyData "_s + text);
    testLog(u"playlist "_s + playlist.filename.join(u'\t'));
    if (!button_stop->isEnabled()) {
        // Idle: the first added song starts and the Playlist tab is shown,
        // also when that song cannot be played, so the user sees what came.
        if (playlist.count() == before)
            return;
        playSong(before, true);
        if (page_control->currentIndex() != Page::Playlist) {
            const QSignalBlocker quiet(page_control);
            page_control->setCurrentIndex(Page::Playlist);
            page_controlChange();
        }
        return;
    }
    // Something plays or is paused: it goes on, the user sees where the new
    // songs went, and the song fields the adding blanked are drawn again.
    {
        const QSignalBlocker quiet(page_control);
        page_control->setCurrentIndex(Page::Playlist);
    }
    page_controlChange();
    if (currentIndex >= 0 && currentIndex < playlist.count()) {
        display_.drawField(DisplayField::Interpret, playlist.artist.value(currentIndex));
        display_.drawField(DisplayField::Title, playlist.title.value(currentIndex));
        display_.drawField(DisplayField::Album, playlist.album.value(currentIndex));
        Image1->changed();
    }
}

void Melodeck::addToPlaylist(const QString &path)
{
    libraryScan_->addToPlaylist(path);
}

void Melodeck::button_refreshsonglistClick(QObject *sender)
{
    libraryScan_->button_refreshsonglistClick(sender);
}

void Melodeck::dropFiles(const QStringList &paths)
{
    libraryScan_->dropFiles(paths);
}

void Melodeck::addCommandLine()
{
    for (const QString &argument : std::as_const(arguments_))
        addToPlaylist(argument);
}

void Melodeck::createTabs()
{
    songLists_->createTabs();
}

void Melodeck::showList(TFileInfos &list)
{
    songLists_->showList(list);
}

void Melodeck::writeHeaders()
{
    songLists_->writeHeaders();
}

void Melodeck::sortByColumn(int column)
{
    songLists_->sortByColumn(column);
}

void Melodeck::page_controlChange()
{
    // Hidden, not invisible: the window itself may not be shown yet.
    if (!radio_add->isHidden()) {
        radio_add->hide();
        radio_sub->hide();
    }
    switch (page_control->currentIndex()) {
    case Page::Musiclist:
        showList(musiclist);
        break;
    case Page::Radiolist:
        showList(radiolist);
        radio_add->show();
        radio_sub->show();
        if (webRadio_)
            webRadio_->refreshRadioList();
        break;
    case Page::Searchlist:
        showList(searchlist);
        break;
    case Page::Playlist:
        showList(playlist);
        break;
    default:
        break;
    }
}

void Melodeck::key_monitorTimer()
{
    keyboard_->key_monitorTimer();
}

bool Melodeck::Button1KeyDown(int key, Qt::KeyboardModifiers shift)
{
    return keyboard_->Button1KeyDown(key, shift);
}

bool Melodeck::songlist_gridKeyDown(int key, Qt::KeyboardModifiers shift)
{
    return keyboard_->songlist_gridKeyDown(key, shift);
}

void Melodeck::Button1Click()
{
    keyboard_->Button1Click();
}

void Melodeck::button_saveplaylistClick()
{
    playlistFiles_->button_saveplaylistClick();
}

void Melodeck::button_loadplaylistClick()
{
    playlistFiles_->button_loadplaylistClick();
}

void Melodeck::button_tagClick()
{
    tagEditor_->button_tagClick();
}

void Melodeck::songlist_gridSetEditText(int column, int row, const QString &text)
{
    tagEditor_->songlist_gridSetEditText(column, row, text);
}

void Melodeck::search_qKeyDown(int key)
{
    searchBox_->search_qKeyDown(key);
}
