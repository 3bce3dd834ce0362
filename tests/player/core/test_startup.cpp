// Start-up, the deferred start-up, the skin loader, the bars, a forwarded
// command line and the shut-down of the main window, in one process.

#include "az_position_bar.h"
#include "az_volume_bar.h"
#include "captions.h"
#include "defaultskin.h"
#include "melodeck.h"
#include "tabcontrol.h"
#include "timage.h"
#include "mediafixtures.h"
#include "rar4writer.h"
#include "windowfixture.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <cmath>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString kSkinMessagePrefix = u"message Skin: "_s;

class StartupTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        settings_ = TSkinSettings::defaults();
        settings_.hotKeysOn = true;
        settings_.spectrumOn = true;
        writeFilter();
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
    }
    QStringList skinMessages() const { return logLines().filter(kSkinMessagePrefix); }
    // The picture apart from the two bars, which paint over it, and the
    // "nr" field, which the list shown at start-up fills.
    static QImage withoutBars(QImage image)
    {
        image = image.convertToFormat(QImage::Format_RGB32);
        QPainter(&image).fillRect(TSkinDisplay::fields()[0].background, Qt::black);
        for (int y = 47; y < 47 + 25 && y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, 0);
        for (int y = 13; y < 13 + 23; ++y)
            for (int x = 550; x < 550 + 37 && x < image.width(); ++x)
                image.setPixel(x, y, 0);
        return image;
    }

    TSkinSettings settings_;
    std::unique_ptr<Melodeck> window_;
};

} // namespace

TEST_F(StartupTest, StepsRunInOrderAndTheDeferredPartFollows)
{
    writeSkin(settings_);
    start();
    const QStringList expected{u"audio"_s, u"random"_s, u"filter"_s, u"archiveLibrary"_s, u"id3Table"_s,
                               u"skinEditorCallbacks"_s,
                               u"afterPlaylist"_s, u"skin"_s, u"tabs"_s, u"lists"_s, u"autoTag"_s, u"defaultPlayer"_s, u"drop"_s,
                               u"commandLine"_s, u"radio"_s, u"deferredTimer"_s};
    EXPECT_EQ(window_->lifecycleLog(), expected);
    // Nothing came from the command line: the library's tab and list.
    EXPECT_EQ(window_->page_control->currentIndex(), Page::Musiclist);
    EXPECT_EQ(window_->currentList, &window_->musiclist);
    EXPECT_TRUE(window_->acceptDrops());
    EXPECT_TRUE(window_->skinEditorCallbacks().skinApplied);
    EXPECT_TRUE(window_->skinEditorCallbacks().loadSkin);
    // The skin switched on the hot-key monitor and the spectrum.
    EXPECT_TRUE(window_->key_monitor.isActive());
    EXPECT_TRUE(window_->azVisTimer.isActive());
    for (const TFileInfos *list : {&window_->musiclist, &window_->radiolist, &window_->searchlist,
                                   &window_->playlist})
        EXPECT_EQ(list->sortFlags, 3);

    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window_->load_songlist_timer.isActive(); }, 20000));
    EXPECT_EQ(window_->lifecycleLog().last(), u"deferred"_s);
    // Runs once only: the timer that would run it again is off (above).
    EXPECT_EQ(window_->lifecycleLog().count(u"deferred"_s), 1);
    EXPECT_EQ(QApplication::focusWidget(), window_->search_q);
    // Nothing came from the command line: the Musiclist stays.
    EXPECT_EQ(window_->page_control->currentIndex(), Page::Musiclist);
}

TEST_F(StartupTest, CommandLineFillsThePlaylistWithAcceptedFilesOnly)
{
    writeSkin(settings_);
    const QString first = touch(u"music/first.mp3"_s);
    const QString second = touch(u"music/second.ogg"_s);
    const QString text = touch(u"music/notes.txt"_s);
    start({first, home() + u"music/missing.mp3"_s, text, second, first});
    const TFileInfos &list = window_->playlist;
    // The same file twice is allowed.
    EXPECT_EQ(list.filename, (QStringList{first, second, first}));
    EXPECT_EQ(list.title, (QStringList{u"first.mp3"_s, u"second.ogg"_s, u"first.mp3"_s}));
    EXPECT_EQ(list.archive, (QStringList{QString(), QString(), QString()}));
    // The tab strip names the playlist the grid shows from the start.
    EXPECT_EQ(window_->page_control->currentIndex(), Page::Playlist);
    EXPECT_EQ(window_->currentList, &window_->playlist);

    window_->show();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window_->load_songlist_timer.isActive(); }, 20000));
    EXPECT_EQ(window_->page_control->currentIndex(), Page::Playlist);
    const QAbstractItemModel *grid = window_->songlist_grid->model();
    ASSERT_EQ(grid->rowCount(), 3);
    EXPECT_EQ(grid->data(grid->index(1, 0), Qt::DisplayRole).toString(), u"2"_s);
    EXPECT_EQ(grid->data(grid->index(1, 1), Qt::DisplayRole).toString(), u"second.ogg"_s);
    EXPECT_EQ(grid->data(grid->index(1, 4), Qt::DisplayRole).toString(), second);
}

TEST_F(StartupTest, CommandLineTakesTagsAndArchiveMembers)
{
    writeSkin(settings_);
    if (!testsupport::ffmpegAvailable())
        GTEST_SKIP() << "the ffmpeg tool is needed for a tagged file";
    const QString tagged = home() + u"tagged.mp3"_s;
    QString error;
    ASSERT_TRUE(testsupport::writeTaggedMp3(tagged, {u"A Title"_s, u"An Artist"_s, u"An Album"_s}, 0.3, 3, &error))
        << error.toStdString();
    const QString archive = home() + u"pack.rar"_s;
    ASSERT_TRUE(testsupport::writeRar4(archive, {{"inside.mp3", QByteArray(3000, 'm')},
                                                 {"readme.txt", QByteArray(100, 't')}}));
    start({tagged, archive});
    const TFileInfos &list = window_->playlist;
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.artist.at(0), u"An Artist"_s);
    EXPECT_EQ(list.title.at(0), u"A Title"_s);
    EXPECT_EQ(list.album.at(0), u"An Album"_s);
    EXPECT_EQ(list.filename.at(1), u"inside.mp3"_s);
    EXPECT_EQ(list.archive.at(1), archive);
}

TEST_F(StartupTest, WithoutAFilterNothingIsAccepted)
{
    writeSkin(settings_);
    QFile::remove(home() + u"filetypes.azi"_s);
    start({touch(u"a.mp3"_s)});
    EXPECT_EQ(window_->playlist.count(), 0);
}

TEST_F(StartupTest, StoredSkinIsShownWithoutComplaint)
{
    QImage custom(600, 260, QImage::Format_RGB32);
    custom.fill(QColor(10, 120, 200));
    ASSERT_TRUE(saveSkinPicture(custom, home() + kSkinPictureFileName));
    settings_.barColor = 0x0000FF;
    ASSERT_TRUE(settings_.saveToFile(home() + kSkinSettingsFileName));
    start();
    EXPECT_TRUE(skinMessages().isEmpty());
    const QImage shown = window_->Image1->picture();
    ASSERT_EQ(shown.size(), QSize(600, 260));
    EXPECT_EQ(QColor(shown.pixel(300, 200)), QColor(10, 120, 200));
    EXPECT_EQ(window_->skinSettings(), settings_);
    // The position bar's line is drawn in the stored colour (0x00BBGGRR: red).
    bool redLine = false;
    for (int y = 47; y < 71; ++y)
        redLine = redLine || QColor(shown.pixel(300, y)) == QColor(255, 0, 0);
    EXPECT_TRUE(redLine);
}

TEST_F(StartupTest, MissingSkinFilesGiveTheBuiltInSkinAndOneMessage)
{
    start();
    const QStringList messages = skinMessages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.first().contains(home() + kSkinPictureFileName));
    EXPECT_TRUE(messages.first().contains(home() + kSkinSettingsFileName));
    EXPECT_EQ(withoutBars(window_->Image1->picture()), withoutBars(defaultSkinPicture()));
    EXPECT_EQ(window_->skinSettings(), TSkinSettings::defaults());
    // The program goes on: the rest of the start-up ran.
    EXPECT_EQ(window_->lifecycleLog().last(), u"deferredTimer"_s);
}

TEST_F(StartupTest, DamagedSettingsFileIsNamedAlone)
{
    ASSERT_TRUE(saveSkinPicture(defaultSkinPicture(), home() + kSkinPictureFileName));
    QFile damaged(home() + kSkinSettingsFileName);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("AZ\x07garbage that is no container");
    damaged.close();
    start();
    const QStringList messages = skinMessages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.first().contains(kSkinSettingsFileName));
    EXPECT_FALSE(messages.first().contains(kSkinPictureFileName));
}

TEST_F(StartupTest, PictureThatIsNoBitmapIsNamedAlone)
{
    writeSkin(settings_);
    QFile picture(home() + kSkinPictureFileName);
    ASSERT_TRUE(picture.open(QIODevice::WriteOnly | QIODevice::Truncate));
    picture.write("BM not really a bitmap");
    picture.close();
    start();
    const QStringList messages = skinMessages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.first().contains(kSkinPictureFileName));
    EXPECT_FALSE(messages.first().contains(kSkinSettingsFileName));
    EXPECT_EQ(window_->skinSettings(), settings_);
}

TEST_F(StartupTest, BarsSitOnTheSkinAndTheVolumeBarDrivesTheOutput)
{
    writeSkin(settings_);
    start();
    const TAzPositionBar *position = window_->positionBar();
    TAzVolumeBar *volume = window_->volumeBar();
    ASSERT_NE(position, nullptr);
    ASSERT_NE(volume, nullptr);
    EXPECT_EQ(position->minimum(), 0);
    EXPECT_EQ(position->maximum(), 100);
    EXPECT_EQ(position->position(), 0);
    const float level = window_->engine().getVolume();
    EXPECT_EQ(volume->position(), level > 1.0f ? 0 : static_cast<int>(std::lround(level * 100)));
    // Left 0, top 47, as wide as the image; volume at 550, 13.
    EXPECT_TRUE(position->isInside(0, 47));
    EXPECT_TRUE(position->isInside(600, 47));
    EXPECT_FALSE(position->isInside(0, 46));
    EXPECT_TRUE(volume->isInside(550, 13));
    EXPECT_TRUE(volume->isInside(586, 13));
    EXPECT_FALSE(volume->isInside(587, 13));

    // A press on the volume bar changes what is heard at once: the far
    // right end is full volume, the far left end silence.
    window_->Image1MouseDown(Qt::LeftButton, Qt::NoModifier, 586, 20);
    window_->Image1MouseUp(Qt::LeftButton, Qt::NoModifier, 586, 20);
    EXPECT_EQ(volume->position(), 100);
    EXPECT_FLOAT_EQ(window_->engine().getVolume(), 1.0f);
    window_->Image1MouseDown(Qt::LeftButton, Qt::NoModifier, 550, 20);
    window_->Image1MouseUp(Qt::LeftButton, Qt::NoModifier, 550, 20);
    EXPECT_EQ(volume->position(), 0);
    EXPECT_FLOAT_EQ(window_->engine().getVolume(), 0.0f);
    // The position bar is not touched by it.
    EXPECT_EQ(position->position(), 0);
}

TEST_F(StartupTest, NewSkinFromTheEditorKeepsThePositionBarsRange)
{
    writeSkin(settings_);
    start();
    window_->positionBar()->setMax(75400);
    window_->positionBar()->setPosition(1234);
    QImage preview(600, 260, QImage::Format_RGB32);
    preview.fill(QColor(40, 40, 40));
    window_->skinEditorCallbacks().skinApplied(preview, 0x00FF00, 0xFFFFFF, 0x0000FF, false);
    ASSERT_NE(window_->positionBar(), nullptr);
    EXPECT_EQ(window_->positionBar()->maximum(), 75400);
    EXPECT_EQ(window_->positionBar()->position(), 1234);
    EXPECT_EQ(QColor(window_->Image1->picture().pixel(300, 200)), QColor(40, 40, 40));
    EXPECT_EQ(window_->skinSettings().spectrumColor, 0x0000FFu);

    // Reloading the stored skin (as after the editor closes) restores it;
    // with redraw the bar keeps its range again and the song is shown.
    window_->playlist.appendRow(u"/x.mp3"_s, {}, {}, u"Something"_s, {});
    window_->currentTitle = u"Something"_s;
    window_->skinEditorCallbacks().loadSkin(true);
    EXPECT_EQ(QColor(window_->Image1->picture().pixel(300, 200)), QColor(defaultSkinPicture().pixel(300, 200)));
    EXPECT_EQ(window_->positionBar()->maximum(), 75400);
    const QRect title = TSkinDisplay::fields()[2].background;
    EXPECT_NE(window_->Image1->picture().copy(title).convertToFormat(QImage::Format_RGB32),
              defaultSkinPicture().copy(title).convertToFormat(QImage::Format_RGB32));
}

TEST_F(StartupTest, ForwardedCommandLineAppendsAndShowsThePlaylist)
{
    writeSkin(settings_);
    const QString a = touch(u"x/a.mp3"_s);
    const QString b = touch(u"x/b.ogg"_s);
    start({a});
    ASSERT_EQ(window_->playlist.count(), 1);
    window_->copyDataReceived(u"|"_s + b + u"|"_s + home() + u"x/none.mp3|"_s + a);
    EXPECT_EQ(window_->playlist.filename, (QStringList{a, b, a}));
    EXPECT_EQ(window_->page_control->currentIndex(), Page::Playlist);
    EXPECT_EQ(window_->currentList, &window_->playlist);
    EXPECT_EQ(window_->songlist_grid->model()->rowCount(), 3);
}

TEST_F(StartupTest, ForwardedTextThatAddsNothingChangesNothing)
{
    writeSkin(settings_);
    start();
    window_->copyDataReceived(u"|"_s + home() + u"nothing.mp3"_s);
    window_->copyDataReceived(QString());
    EXPECT_EQ(window_->playlist.count(), 0);
    EXPECT_EQ(window_->page_control->currentIndex(), Page::Musiclist);
}

TEST_F(StartupTest, ShutDownStopsEverythingOnceAndSavesNothing)
{
    writeSkin(settings_);
    start({touch(u"s.mp3"_s)});
    const QStringList before = QDir(home()).entryList(QDir::Files, QDir::Name);
    // A scratch file left by playing an archive member goes at close.
    touch(u"temp.dat"_s);
    window_->close();
    EXPECT_FALSE(QFile::exists(home() + u"temp.dat"_s));
    EXPECT_FALSE(window_->play_monitor.isActive());
    EXPECT_FALSE(window_->key_monitor.isActive());
    EXPECT_FALSE(window_->azVisTimer.isActive());
    EXPECT_FALSE(window_->load_songlist_timer.isActive());
    EXPECT_EQ(window_->positionBar(), nullptr);
    EXPECT_EQ(window_->volumeBar(), nullptr);
    EXPECT_EQ(window_->playlist.count(), 0);
    EXPECT_EQ(window_->filterTable.extension.size(), 0);
    const QStringList log = window_->lifecycleLog();
    const qsizetype close = log.indexOf(u"close"_s);
    ASSERT_GE(close, 0);
    EXPECT_EQ(log.mid(close), (QStringList{u"close"_s, u"audioFree"_s, u"release"_s, u"scratchFile"_s}));
    // Closing again (or destroying the window) runs nothing twice.
    window_->close();
    window_.reset();
    EXPECT_EQ(QDir(home()).entryList(QDir::Files, QDir::Name), before);
}

TEST_F(StartupTest, PreviewThatStartsTheSpectrumIsStoppedAtClose)
{
    settings_.spectrumOn = false;
    writeSkin(settings_);
    start();
    EXPECT_FALSE(window_->azVisTimer.isActive());
    window_->skinEditorCallbacks().skinApplied(defaultSkinPicture(), 0, 0xFFFFFF, 0xFFFFFF, true);
    EXPECT_TRUE(window_->azVisTimer.isActive());
    window_->close();
    EXPECT_FALSE(window_->azVisTimer.isActive());
}

TEST_F(StartupTest, ForwardedSongsWhilePlayingRedrawTheCurrentSongsFields)
{
    writeSkin(settings_);
    const QString playing = touch(u"p/playing.mp3"_s);
    const QString added = touch(u"p/added.mp3"_s);
    start({playing});
    window_->button_stop->setEnabled(true); // as while a song plays
    window_->currentIndex = 0;
    const QRect interpret = TSkinDisplay::fields()[1].background;
    const QImage blank = window_->Image1->picture().copy(interpret);
    window_->playlist.artist.replace(0, u"Somebody"_s);
    window_->copyDataReceived(u"|"_s + added);
    EXPECT_EQ(window_->playlist.count(), 2);
    EXPECT_EQ(window_->page_control->currentIndex(), Page::Playlist);
    EXPECT_NE(window_->Image1->picture().copy(interpret), blank);
}

// The decoders cost megabytes of memory: a started program that shows its
// library has them closed, and a press on a song opens them.
TEST_F(StartupTest, TheDecodersOpenOnlyOnceASongIsPressed)
{
    const auto decodersMapped = [] {
        QFile maps(u"/proc/self/maps"_s);
        return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libavcodec.so");
    };
    writeSkin(settings_);
    TFileInfos library;
    library.appendRow(touch(u"music/a.mp3"_s), {}, u"Artist"_s, u"Title"_s, {});
    library.saveTable(home() + u"songlist.azl"_s);
    ASSERT_TRUE(TStringListC{home() + u"music"_s}.SaveToFile(home() + u"music_directories.azi"_s));
    start();
    window_->show();
    ASSERT_TRUE(QTest::qWaitFor([this] { return window_->musiclist.count() == 1; }, 20000));
    ASSERT_TRUE(QTest::qWaitFor([this] { return logLines().contains(u"painted"_s); }, 20000));
    EXPECT_FALSE(decodersMapped());

    QTest::mousePress(window_->songlist_grid->viewport(), Qt::LeftButton, {}, QPoint(40, 5));
    EXPECT_TRUE(QTest::qWaitFor(decodersMapped, 20000));
}
