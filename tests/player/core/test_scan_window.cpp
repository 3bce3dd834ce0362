// The library scan inside the main window: the first run with its dialog,
// the start-up load and the user's refresh, drops, the command line's
// directories, and what may happen while a scan runs.

#include "basedirectories.h"
#include "captions.h"
#include "dialogs.h"
#include "forms/tbase_form.h"
#include "libraryscan.h"
#include "mediafixtures.h"
#include "melodeck.h"
#include "scanner.h"
#include "skindisplay.h"
#include "tabcontrol.h"
#include "timage.h"
#include "windowfixture.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

class ScanWindowTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        writeFilter();
        // A missing skin would bring up a message box.
        writeSkin(TSkinSettings::defaults());
    }
    void TearDown() override
    {
        window_.reset();
        WindowFixture::TearDown();
    }
    void start(const QStringList &arguments = {})
    {
        window_ = std::make_unique<Melodeck>(arguments);
        ASSERT_TRUE(window_->started());
        // The dialog as the program entry creates it.
        form_ = new Tbase_form(window_.get());
    }
    // The deferred start-up's song-list load, without waiting for its timer.
    void deferredStart()
    {
        window_->load_songlist_timer.stop();
        window_->load_songlist_timerTimer();
    }
    void refreshByButton() { window_->button_refreshsonglistClick(window_->button_refreshsonglist); }
    // Runs act once the dialog is shown modally.
    void whenDialogShows(std::function<void(Tbase_form &)> act)
    {
        auto *poll = new QTimer(window_.get());
        QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
            if (auto *form = qobject_cast<Tbase_form *>(QApplication::activeModalWidget())) {
                poll->stop();
                poll->deleteLater();
                act(*form);
            }
        });
        poll->start(10);
    }
    QString songList() const { return home() + kSongListFileName; }
    TFileInfos savedSongs() const
    {
        TFileInfos table;
        table.loadTable(songList());
        return table;
    }
    static QSet<QString> names(const TFileInfos &table)
    {
        return QSet<QString>(table.filename.begin(), table.filename.end());
    }
    void drop(const QStringList &paths)
    {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString &path : paths)
            urls.append(QUrl::fromLocalFile(path));
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(300, 350), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window_.get(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent event(QPointF(300, 350), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window_.get(), &event);
        EXPECT_TRUE(event.isAccepted());
        // The drop is handled once the drag has ended.
        QCoreApplication::processEvents();
    }
    void showTab(int page)
    {
        window_->page_control->setCurrentIndex(page);
        ASSERT_EQ(window_->page_control->currentIndex(), page);
    }

    std::unique_ptr<Melodeck> window_;
    Tbase_form *form_ = nullptr;
};

} // namespace

TEST_F(ScanWindowTest, FirstRunSaveAndSearchStoresTheFolderAndScansIt)
{
    // Nobody at the keyboard: the test answers the dialog itself.
    qunsetenv("MELODECK_TEST_LOG");
    const QString music = home() + u"music"_s;
    const QString a = touch(u"music/a.mp3"_s);
    const QString b = touch(u"music/sub/b.ogg"_s);
    start();
    window_->show();
    bool saveWasOffForAMissingFolder = false;
    whenDialogShows([&](Tbase_form &form) {
        form.base_dir->setText(home() + u"nothing-here"_s);
        saveWasOffForAMissingFolder = !form.save->isEnabled();
        form.base_dir->setText(music);
        EXPECT_TRUE(form.save->isEnabled());
        form.save->click();
    });
    deferredStart();
    EXPECT_TRUE(saveWasOffForAMissingFolder);
    EXPECT_FALSE(form_->isVisible());
    EXPECT_EQ(loadBaseDirectories(home()), TStringListC{music});
    EXPECT_EQ(names(window_->musiclist), (QSet<QString>{a, b}));
    EXPECT_EQ(savedSongs().filename, window_->musiclist.filename);
    EXPECT_EQ(window_->currentList, &window_->musiclist);
    EXPECT_EQ(window_->songlist_grid->model()->rowCount(), 2);
    for (QWidget *control : {static_cast<QWidget *>(window_->button_playpause), static_cast<QWidget *>(window_->button_random),
                             static_cast<QWidget *>(window_->button_refreshsonglist),
                             static_cast<QWidget *>(window_->button_nextsong),
                             static_cast<QWidget *>(window_->button_previoussong),
                             static_cast<QWidget *>(window_->songlist_grid)})
        EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
}

TEST_F(ScanWindowTest, FirstRunCancelSavesAnEmptyListAndNoFolder)
{
    qunsetenv("MELODECK_TEST_LOG");
    touch(u"music/a.mp3"_s);
    // A stale list from elsewhere goes.
    TFileInfos stale;
    stale.appendRow(u"/stale.mp3"_s, {}, {}, {}, {});
    stale.saveTable(songList());
    QFile::remove(baseDirectoriesFile(home()));
    start();
    window_->show();
    whenDialogShows([](Tbase_form &form) { form.cancel->click(); });
    deferredStart();
    EXPECT_FALSE(QFile::exists(baseDirectoriesFile(home())));
    ASSERT_TRUE(QFile::exists(songList()));
    EXPECT_EQ(QFileInfo(songList()).size(), 0);
    EXPECT_EQ(window_->musiclist.count(), 0);
    EXPECT_TRUE(window_->button_refreshsonglist->isEnabled());
}

TEST_F(ScanWindowTest, DialogsChooserReplacesTheTextAndCancellingTheChooserKeepsIt)
{
    start();
    const QString folder = home() + u"chosen"_s;
    ASSERT_TRUE(QDir().mkpath(folder));
    TStringListC list;
    form_->setBaseDirectories(&list);
    QString answer = folder;
    form_->setDirectoryChooser([&answer](const QString &) { return answer; });
    form_->Button1->click();
    EXPECT_EQ(form_->base_dir->text(), folder);
    EXPECT_TRUE(form_->save->isEnabled());
    answer.clear();
    form_->Button1->click();
    EXPECT_EQ(form_->base_dir->text(), folder);
    form_->save->click();
    EXPECT_EQ(list, TStringListC{folder});
    EXPECT_EQ(loadBaseDirectories(home()), TStringListC{folder});
    EXPECT_EQ(form_->Label2->text(),
              u"To add further directories, you may \"drag&drop\" them into the songlist you wish."_s);
}

TEST_F(ScanWindowTest, StartUpOnlyLoadsAndTheUsersRefreshFollowsTheDisk)
{
    const QString music = home() + u"music"_s;
    const QString kept = touch(u"music/kept.mp3"_s);
    const QString gone = touch(u"music/gone.mp3"_s);
    saveBaseDirectories({home() + u"vanished"_s, music}, home());
    TFileInfos stored;
    stored.appendRow(kept, {}, u"K"_s, u"Kept"_s, {});
    stored.appendRow(gone, {}, u"G"_s, u"Gone"_s, {});
    stored.saveTable(songList());
    ASSERT_TRUE(QFile::remove(gone));
    const QString added = touch(u"music/new/added.ogg"_s);

    start();
    deferredStart();
    // Loaded as stored; only the vanished base directory went.
    EXPECT_EQ(window_->musiclist.filename, (QStringList{kept, gone}));
    EXPECT_EQ(window_->musiclist.artist.at(0), u"K"_s);
    EXPECT_EQ(loadBaseDirectories(home()), TStringListC{music});

    // A refresh from the button stops what plays.
    const QString tone = home() + u"tone.wav"_s;
    ASSERT_TRUE(testsupport::writeWav(tone, 2.0));
    window_->playlist.appendRow(tone, {}, {}, {}, {});
    window_->playSong(0, false);
    ASSERT_TRUE(window_->button_stop->isEnabled());
    refreshByButton();
    EXPECT_FALSE(window_->button_stop->isEnabled());
    EXPECT_EQ(window_->button_playpause->text(), Caption::Play);
    EXPECT_EQ(window_->musiclist.filename, (QStringList{kept, added}));
    EXPECT_EQ(window_->musiclist.title.at(0), u"Kept"_s);
    EXPECT_EQ(savedSongs().filename, window_->musiclist.filename);
    EXPECT_EQ(window_->songlist_grid->model()->rowCount(), 2);
}

TEST_F(ScanWindowTest, WhileAScanRunsASecondRefreshIsIgnoredDropsWaitAndCloseWaits)
{
    const QString music = home() + u"music"_s;
    for (int i = 0; i < 5; ++i)
        touch(u"music/s%1.mp3"_s.arg(i));
    const QString dropped = touch(u"elsewhere/dropped.mp3"_s);
    saveBaseDirectories({music}, home());
    TFileInfos().saveTable(songList());
    start();
    createDialogs(*window_);
    deferredStart();
    ASSERT_EQ(window_->musiclist.count(), 0);

    bool ranInside = false;
    QString openedDuringScan;
    QTimer::singleShot(0, window_.get(), [&] {
        ranInside = true;
        EXPECT_TRUE(window_->libraryScan().busy());
        EXPECT_FALSE(window_->button_refreshsonglist->isEnabled());
        EXPECT_FALSE(window_->songlist_grid->isEnabled());
        EXPECT_FALSE(window_->page_control->isEnabled());
        // The skin editor leads to AutoTag, which would store the table half
        // built: its button takes no click. Should a window open anyway, it
        // is noted and closed so the scan can go on.
        QTimer::singleShot(0, window_.get(), [&] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                openedDuringScan = modal->windowTitle();
                modal->close();
            }
        });
        QTest::mouseClick(window_->Button1, Qt::LeftButton);
        EXPECT_FALSE(window_->Button1->isEnabled());
        const int before = window_->musiclist.count();
        refreshByButton();
        EXPECT_EQ(window_->musiclist.count(), before);
        window_->dropFiles({dropped});
        EXPECT_FALSE(window_->musiclist.filename.contains(dropped));
        window_->close();
        EXPECT_TRUE(window_->isVisible() || !window_->lifecycleLog().contains(u"close"_s));
    });
    window_->show();
    refreshByButton();
    ASSERT_TRUE(ranInside);
    EXPECT_EQ(openedDuringScan, QString());
    // The refresh finished and saved, then the drop ran and saved, and the
    // close asked for meanwhile came last.
    ASSERT_TRUE(QTest::qWaitFor([this] { return window_->lifecycleLog().contains(u"close"_s); }, 5000));
    const TFileInfos saved = savedSongs();
    EXPECT_EQ(saved.count(), 6);
    EXPECT_EQ(saved.filename.value(5), dropped);
    EXPECT_EQ(loadBaseDirectories(home()), (TStringListC{music, home() + u"elsewhere"_s}));
    EXPECT_FALSE(window_->libraryScan().busy());
    EXPECT_TRUE(window_->button_refreshsonglist->isEnabled());
    // The close asked for meanwhile comes afterwards.
    ASSERT_TRUE(QTest::qWaitFor([this] { return window_->lifecycleLog().contains(u"close"_s); }, 20000));
}

TEST_F(ScanWindowTest, TheStoredLibraryOutlivesWhatComesBeforeTheStartUpLoad)
{
    const QString music = home() + u"Music"_s;
    const QString known = touch(u"Music/known.mp3"_s);
    const QString dropped = touch(u"Dropped/new.mp3"_s);
    saveBaseDirectories({music}, home());
    TFileInfos stored;
    stored.appendRow(known, {}, u"K"_s, u"Known"_s, {});
    stored.saveTable(songList());
    start();
    window_->load_songlist_timer.stop();
    window_->show();

    // A drop on the still empty Musiclist waits for the stored list.
    drop({home() + u"Dropped"_s});
    EXPECT_EQ(window_->musiclist.count(), 0);
    EXPECT_EQ(savedSongs().filename, QStringList{known});
    // The start-up timer fires while a forwarded folder is walked: the load
    // is not skipped but follows the walk.
    bool loadWaited = false;
    QTimer::singleShot(0, window_.get(), [&] {
        window_->load_songlist_timerTimer();
        loadWaited = window_->libraryScan().busy() && !window_->lifecycleLog().contains(u"deferred"_s);
    });
    window_->copyDataReceived(u"|"_s + QFileInfo(touch(u"Forwarded/sent.mp3"_s)).path());
    EXPECT_TRUE(loadWaited);
    EXPECT_EQ(window_->playlist.count(), 1);

    ASSERT_TRUE(QTest::qWaitFor([this] { return savedSongs().count() == 2; }, 5000));
    EXPECT_EQ(window_->musiclist.filename, (QStringList{known, dropped}));
    EXPECT_EQ(savedSongs().title, (QStringList{u"Known"_s, u"new.mp3"_s}));
    EXPECT_EQ(loadBaseDirectories(home()), (TStringListC{music, home() + u"Dropped"_s}));
}

TEST_F(ScanWindowTest, DropsOnTheMusiclistAddFoldersAndSave)
{
    const QString music = home() + u"Music"_s;
    const QString known = touch(u"Music/known.mp3"_s);
    const QString below = touch(u"Music/sub/below.mp3"_s);
    const QString sibling = touch(u"Music2/sibling.mp3"_s);
    saveBaseDirectories({music}, home());
    TFileInfos stored;
    stored.appendRow(known, {}, {}, {}, {});
    stored.saveTable(songList());
    start();
    deferredStart();
    window_->show();
    ASSERT_EQ(window_->page_control->currentIndex(), Page::Musiclist);

    drop({music + u"/sub"_s, home() + u"Music2"_s});
    EXPECT_EQ(window_->musiclist.filename, (QStringList{known, below, sibling}));
    EXPECT_EQ(loadBaseDirectories(home()), (TStringListC{music, home() + u"Music2"_s}));
    EXPECT_EQ(savedSongs().filename, window_->musiclist.filename);
    EXPECT_EQ(window_->songlist_grid->model()->rowCount(), 3);
}

TEST_F(ScanWindowTest, DropsOnAnotherTabFillThatListOnlyAndSaveNothing)
{
    const QString music = home() + u"Music"_s;
    const QString song = touch(u"Music/a.mp3"_s);
    const QString other = touch(u"Other/b.mp3"_s);
    saveBaseDirectories({music}, home());
    TFileInfos().saveTable(songList());
    start();
    deferredStart();
    window_->show();
    showTab(Page::Playlist);
    ASSERT_EQ(window_->currentList, &window_->playlist);
    const QDateTime savedAt = QFileInfo(songList()).lastModified();

    drop({music, other, song});
    EXPECT_EQ(window_->playlist.filename, (QStringList{song, other, song}));
    EXPECT_EQ(window_->musiclist.count(), 0);
    EXPECT_EQ(loadBaseDirectories(home()), TStringListC{music});
    EXPECT_EQ(QFileInfo(songList()).lastModified(), savedAt);
    EXPECT_EQ(QFileInfo(songList()).size(), 0);
    EXPECT_EQ(window_->songlist_grid->model()->rowCount(), 3);
}

TEST_F(ScanWindowTest, CommandLineDirectoryFillsThePlaylistWithItsTree)
{
    const QString one = touch(u"cd/one.mp3"_s);
    const QString two = touch(u"cd/disc2/two.ogg"_s);
    touch(u"cd/cover.jpg"_s);
    touch(u"cd/.hidden/skip.mp3"_s);
    const QString single = touch(u"single.mp3"_s);
    start({home() + u"cd/"_s, single, single});
    EXPECT_EQ(names(window_->playlist), (QSet<QString>{one, two, single}));
    EXPECT_EQ(window_->playlist.count(), 4);
    EXPECT_TRUE(window_->playlist.isConsistent());
}

TEST_F(ScanWindowTest, ARepaintDuringAScanShowsTheFileBeingScanned)
{
    const QString music = home() + u"music"_s;
    for (const char *name : {"first-song-with-a-long-name", "second-song-named-otherwise", "third-one"})
        touch(u"music/%1.mp3"_s.arg(QLatin1StringView(name)));
    saveBaseDirectories({music}, home());
    TFileInfos().saveTable(songList());
    start();
    window_->show();
    deferredStart();

    // Each pass of the message loop during the scan repaints the picture at
    // once and keeps what the title field shows. The files go by much faster
    // than the progress is drawn on its own.
    const QRect title = TSkinDisplay::fields()[2].background;
    QList<QImage> seen;
    QTimer tick;
    tick.setInterval(0);
    QObject::connect(&tick, &QTimer::timeout, &tick, [&] {
        if (!window_->libraryScan().busy())
            return;
        window_->Image1->repaint();
        const QImage field = window_->Image1->picture().copy(title);
        if (seen.isEmpty() || seen.last() != field)
            seen.append(field);
    });
    tick.start();
    refreshByButton();
    tick.stop();
    ASSERT_EQ(window_->musiclist.count(), 3);
    // The deleting notice and each of the three files.
    EXPECT_GE(seen.size(), 4);
}
