// The playback engine on the real main window: opening rows of every kind,
// the transport buttons' state table, the time display, failures, archive
// members, stream titles, seeking and volume.

#include "az_position_bar.h"
#include "defaultskin.h"
#include "playback.h"
#include "rar4writer.h"
#include "skindisplay.h"
#include "tabcontrol.h"
#include "test_play_support.h"
#include "timage.h"

#include <QFile>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <memory>
#include <stop_token>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using playtest::kStateWaitMs;
using playtest::PlayFixture;

namespace {

class PlaybackTest : public PlayFixture
{
};

TEST_F(PlaybackTest, EveryFormatStartsFromADoubleClickOnTheMusiclist)
{
    start();
    const QStringList names{u"a.mp3"_s, u"b.mp2"_s, u"c.wav"_s, u"d.wma"_s,  u"e.ogg"_s,  u"f.flac"_s, u"g.opus"_s,
                            u"h.oga"_s, u"i.m4a"_s, u"j.aac"_s, u"k.wv"_s,   u"l.aiff"_s, u"m.aif"_s};
    for (const QString &name : names)
        addRow(window_->musiclist, song(name, 1.5), name);
    addRow(window_->playlist, song(u"old.wav"_s), u"old.wav"_s);
    showPage(Page::Musiclist);
    for (int row = 1; row <= names.size(); ++row) {
        SCOPED_TRACE(names.at(row - 1).toStdString());
        showPage(Page::Musiclist);
        doubleClickRow(row);
        // The playlist is replaced by the one song, which starts.
        ASSERT_EQ(window_->playlist.count(), 1);
        EXPECT_EQ(window_->playlist.title.at(0), names.at(row - 1));
        EXPECT_TRUE(playing());
        EXPECT_TRUE(window_->button_stop->isEnabled());
        EXPECT_TRUE(window_->play_monitor.isActive());
        EXPECT_EQ(window_->page_control->currentIndex(), Page::Playlist);
        EXPECT_EQ(window_->currentList, &window_->playlist);
        EXPECT_EQ(window_->windowTitle(), u"Artist "_s + names.at(row - 1) + u" - "_s + names.at(row - 1));
        EXPECT_NEAR(window_->positionBar()->maximum(), 1500, 60);
        EXPECT_TRUE(QTest::qWaitFor([&] { return position() > 0; }, kStateWaitMs));
    }
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(PlaybackTest, PauseKeepsThePlaceStopRewindsAndPlayOnThePlaylistRestartsTheSong)
{
    start();
    addRow(window_->playlist, song(u"long.wav"_s, 4.0), u"long"_s);
    addRow(window_->playlist, song(u"next.wav"_s, 1.0), u"next"_s);
    window_->playSong(0, true);
    ASSERT_TRUE(playing());
    ASSERT_TRUE(QTest::qWaitFor([&] { return position() > 20000; }, kStateWaitMs));

    window_->button_playpause->click();
    EXPECT_EQ(window_->button_playpause->text(), u"|>"_s);
    EXPECT_TRUE(window_->button_stop->isEnabled());
    EXPECT_FALSE(window_->play_monitor.isActive());
    const std::int64_t paused = position();
    QTest::qWait(400); // time for a wrong position to move on
    EXPECT_EQ(position(), paused);

    window_->button_playpause->click();
    EXPECT_TRUE(playing());
    EXPECT_TRUE(window_->play_monitor.isActive());
    EXPECT_TRUE(QTest::qWaitFor([&] { return position() > paused; }, kStateWaitMs));
    EXPECT_GE(position(), paused);

    window_->button_stop->click();
    EXPECT_EQ(window_->button_playpause->text(), u"|>"_s);
    EXPECT_FALSE(window_->button_stop->isEnabled());
    EXPECT_FALSE(window_->play_monitor.isActive());
    EXPECT_EQ(position(), 0);
    EXPECT_EQ(window_->positionBar()->position(), 0);
    EXPECT_EQ(window_->lastPosition, -1);
    EXPECT_NE(window_->currentStream, 0u);
    // A second stop does nothing.
    window_->button_stop->click();
    EXPECT_FALSE(window_->button_stop->isEnabled());

    // On the Playlist tab play after stop resumes the rewound song.
    const audio::Handle stream = window_->currentStream;
    window_->button_playpause->click();
    EXPECT_TRUE(playing());
    EXPECT_EQ(window_->currentStream, stream);
    EXPECT_EQ(window_->currentIndex, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return position() > 0; }, kStateWaitMs));
    EXPECT_LT(position(), paused);
}

TEST_F(PlaybackTest, PlayOnAnotherTabWhileIdleStartsTheShownListFromItsFirstRow)
{
    start();
    addRow(window_->musiclist, song(u"m1.wav"_s), u"m1"_s);
    addRow(window_->musiclist, song(u"m2.wav"_s), u"m2"_s);
    showPage(Page::Musiclist);
    window_->randomMode = true;
    window_->button_playpause->click();
    EXPECT_FALSE(window_->randomMode);
    EXPECT_EQ(window_->playlist.title, (QStringList{u"m1"_s, u"m2"_s}));
    EXPECT_EQ(window_->currentIndex, 0);
    EXPECT_TRUE(playing());
    EXPECT_EQ(window_->page_control->currentIndex(), Page::Playlist);

    // Stopped, then play on the Musiclist tab: the list starts over from row 0.
    window_->playSong(1, true);
    window_->button_stopClick();
    showPage(Page::Musiclist);
    window_->button_playpause->click();
    EXPECT_EQ(window_->currentIndex, 0);
    EXPECT_TRUE(playing());
}

TEST_F(PlaybackTest, A75SecondSongGivesItsLengthToTheBarAndTheTimeField)
{
    start();
    addRow(window_->playlist, song(u"long.wav"_s, 75.4), u"long"_s);
    window_->playSong(0, false);
    ASSERT_TRUE(playing());
    EXPECT_EQ(window_->positionBar()->maximum(), 75400);
    window_->button_playpauseClick();
    window_->button_stopClick();

    // The window's time field shows what the display draws for the text.
    TImage expected;
    expected.setPicture(defaultSkinPicture());
    TSkinDisplay display;
    display.initDisplay(&expected, window_->skinSettings().fontColor);
    display.drawField(DisplayField::Time, u"00:00/01:15"_s);
    const QRect field = TSkinDisplay::fields().at(4).background;
    EXPECT_EQ(window_->Image1->picture().copy(field), expected.picture().copy(field));
    display.drawField(DisplayField::Time, u"00:00/01:16"_s);
    EXPECT_NE(window_->Image1->picture().copy(field), expected.picture().copy(field));
}

TEST_F(PlaybackTest, NumberFieldFollowsTheShownList)
{
    start();
    for (int i = 0; i < 3; ++i)
        addRow(window_->playlist, home() + u"p"_s + QString::number(i) + u".wav"_s);
    for (int i = 0; i < 5; ++i)
        addRow(window_->musiclist, home() + u"m"_s + QString::number(i) + u".wav"_s);
    const QRect nr = TSkinDisplay::fields().at(0).background;
    auto drawn = [&](const QString &text) {
        TImage image;
        image.setPicture(defaultSkinPicture());
        TSkinDisplay display;
        display.initDisplay(&image, window_->skinSettings().fontColor);
        display.drawField(DisplayField::Nr, text);
        return image.picture().copy(nr);
    };
    window_->currentIndex = 2;
    showPage(Page::Playlist);
    EXPECT_EQ(window_->Image1->picture().copy(nr), drawn(u"#3/3"_s));
    showPage(Page::Musiclist);
    EXPECT_EQ(window_->Image1->picture().copy(nr), drawn(u"#5"_s));
}

TEST_F(PlaybackTest, AFileTheLibraryRejectsIsReportedAndNothingPlays)
{
    start();
    addRow(window_->playlist, touch(u"broken.mp3"_s), u"broken"_s);
    window_->playSong(0, true);
    EXPECT_EQ(messages(), (QStringList{u"message File Error: Cannot play the demanded file."_s}));
    EXPECT_EQ(window_->currentStream, 0u);
    EXPECT_EQ(window_->button_playpause->text(), u"|>"_s);
    EXPECT_FALSE(window_->button_stop->isEnabled());
    EXPECT_FALSE(window_->play_monitor.isActive());
    EXPECT_EQ(window_->showTime(), 0);
}

TEST_F(PlaybackTest, AFailureWhilePlayingKeepsTheMonitorWhichMovesOnAfterTwoTicks)
{
    start();
    addRow(window_->playlist, song(u"first.wav"_s, 3.0), u"first"_s);
    addRow(window_->playlist, touch(u"broken.ogg"_s), u"broken"_s);
    addRow(window_->playlist, song(u"third.wav"_s, 1.0), u"third"_s);
    window_->playSong(0, true);
    ASSERT_TRUE(playing());
    window_->playSong(1, true);
    EXPECT_EQ(messages().size(), 1);
    EXPECT_EQ(window_->currentStream, 0u);
    EXPECT_TRUE(window_->button_stop->isEnabled());
    EXPECT_TRUE(window_->play_monitor.isActive());
    // Two ticks of 250 ms without a stream: the row counts as ended.
    EXPECT_TRUE(waitForRow(2));
    EXPECT_NE(window_->currentStream, 0u);
}

TEST_F(PlaybackTest, ArchiveMembersPlayFromTheScratchFile)
{
    start();
    ASSERT_TRUE(window_->archives()->archiveLibraryLoaded());
    const QString wav = song(u"member.wav"_s, 1.0);
    const QString wma = song(u"member.wma"_s, 1.0);
    QFile wavFile(wav), wmaFile(wma);
    ASSERT_TRUE(wavFile.open(QIODevice::ReadOnly));
    ASSERT_TRUE(wmaFile.open(QIODevice::ReadOnly));
    const QString archive = home() + u"songs.rar"_s;
    ASSERT_TRUE(testsupport::writeRar4(
        archive, {{"dir/Tune.wav", wavFile.readAll()}, {"Other.WMA", wmaFile.readAll()}}));
    QFile::remove(wav);
    QFile::remove(wma);
    addRow(window_->playlist, u"dir/Tune.wav"_s, u"tune"_s, archive);
    addRow(window_->playlist, u"Other.WMA"_s, u"other"_s, archive);
    addRow(window_->playlist, u"missing.wav"_s, u"missing"_s, archive);

    const QString scratch = home() + u"temp.dat"_s;
    window_->playSong(0, true);
    ASSERT_TRUE(playing());
    EXPECT_TRUE(QFile::exists(scratch));
    EXPECT_NEAR(window_->positionBar()->maximum(), 1000, 30);
    EXPECT_TRUE(QTest::qWaitFor([&] { return position() > 0; }, kStateWaitMs));

    window_->playSong(1, true);
    ASSERT_TRUE(playing());
    EXPECT_NEAR(window_->positionBar()->maximum(), 1000, 150);

    // The scratch file still holds the last member; it must not be played
    // as the one that could not be extracted.
    window_->playSong(2, true);
    EXPECT_FALSE(playing());
    EXPECT_EQ(window_->currentStream, 0u);
    EXPECT_EQ(messages(), (QStringList{u"message File Error: Cannot play the demanded file."_s}));
}

TEST_F(PlaybackTest, TodaysFormatsPlayFromAnArchiveAndTheCommandLine)
{
    const QStringList names{u"f.flac"_s, u"g.opus"_s, u"h.oga"_s, u"i.m4a"_s, u"j.aac"_s, u"k.wv"_s, u"l.aiff"_s};
    std::vector<testsupport::Rar4Member> members;
    QStringList files;
    TStringListC filter;
    for (const QString &name : names) {
        files.append(song(name, 1.0));
        QFile file(files.last());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        members.push_back({u"in/"_s.toUtf8() + name.toUtf8(), file.readAll()});
        filter << lowerExtension(name) << u"0"_s << u"0"_s;
    }
    ASSERT_TRUE(filter.SaveToFile(home() + u"filetypes.azi"_s));
    const QString archive = home() + u"today.rar"_s;
    ASSERT_TRUE(testsupport::writeRar4(archive, members));
    // The command line takes every file and every member, with its tags.
    start(files + QStringList{archive});
    ASSERT_EQ(window_->playlist.count(), 2 * names.size());
    for (int row = 0; row < window_->playlist.count(); ++row) {
        const QString name = names.at(row % names.size());
        SCOPED_TRACE(name.toStdString() + (row < names.size() ? " file" : " member"));
        // Raw AAC carries no tag, and an AIFF keeps its tag behind the
        // audio, where a member's listing does not read: their rows come
        // from their names.
        const bool tagged = name != u"j.aac"_s && (row < names.size() || name != u"l.aiff"_s);
        EXPECT_EQ(window_->playlist.title.at(row), name);
        EXPECT_EQ(window_->playlist.artist.at(row), tagged ? u"Artist "_s + name : QString());
        window_->playSong(row, true);
        ASSERT_TRUE(playing());
        EXPECT_NEAR(window_->positionBar()->maximum(), 1000, 60);
        EXPECT_TRUE(QTest::qWaitFor([&] { return position() > 0; }, kStateWaitMs));
    }
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(PlaybackTest, AnUnreachableRadioRowFailsWithItsOwnMessage)
{
    start();
    window_->playlist.appendRow(QString(), u"http://127.0.0.1:9/stream"_s, u"Station"_s, u"Radio"_s, u"x"_s);
    window_->playSong(0, true);
    ASSERT_EQ(messages().size(), 1);
    EXPECT_TRUE(messages().at(0).endsWith(u": Error: Cannot open the webradio."_s));
    EXPECT_EQ(window_->currentStream, 0u);
    EXPECT_FALSE(playing());
}

TEST_F(PlaybackTest, RowsOutsideThePlaylistDoNothing)
{
    start();
    window_->playSong(0, true);
    addRow(window_->playlist, song(u"only.wav"_s), u"only"_s);
    window_->playSong(-1, true);
    window_->playSong(1, true);
    EXPECT_FALSE(playing());
    EXPECT_EQ(window_->currentIndex, 0);
    EXPECT_EQ(window_->lastPosition, -1);
    EXPECT_TRUE(messages().isEmpty());
    EXPECT_EQ(window_->page_control->currentIndex(), Page::Musiclist);
}

TEST_F(PlaybackTest, StreamTitlesFromAnotherThreadArriveOnTheWindowsThreadInOrder)
{
    start();
    addRow(window_->playlist, song(u"s.wav"_s, 3.0), u"s"_s);
    window_->playSong(0, false);
    std::thread feeder([this] {
        window_->playback().postStreamTitle(u"One"_s);
        window_->playback().postStreamTitle(u"Two"_s);
    });
    feeder.join();
    // Nothing changes before the user-interface thread handles the calls.
    EXPECT_EQ(window_->currentTitle, u"s"_s);
    QApplication::processEvents();
    EXPECT_EQ(window_->currentTitle, u"Two"_s);
    EXPECT_EQ(window_->windowTitle(), u"Artist s - Two"_s);
    EXPECT_TRUE(window_->title_refresh.isActive());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window_->title_refresh.isActive(); }, kStateWaitMs));

    window_->currentArtist.clear();
    window_->streamTitleChanged(u"Alone"_s);
    EXPECT_EQ(window_->windowTitle(), u"Alone"_s);
}

TEST_F(PlaybackTest, TheBarsSeekAndSetTheVolumeWhilePlayingOnly)
{
    start();
    addRow(window_->playlist, song(u"s.wav"_s, 3.0), u"s"_s);
    window_->seekTo(1000);
    window_->playSong(0, false);
    window_->button_playpauseClick();
    window_->playback().seekTo(2000);
    const double seconds = window_->engine().channelBytes2Seconds(window_->currentStream, position());
    EXPECT_NEAR(seconds, 2.0, 0.05);
    window_->button_stopClick();
    window_->playback().seekTo(2000);
    EXPECT_EQ(position(), 0);

    window_->playback().setVolume(37);
    EXPECT_NEAR(window_->engine().getVolume(), 0.37f, 0.001f);
    window_->playback().setVolume(0);
    EXPECT_NEAR(window_->engine().getVolume(), 0.0f, 0.001f);
}

TEST_F(PlaybackTest, CommandLineSongsStartAtOnceAndForwardedOnesStartWhenIdle)
{
    writeFilter();
    const QString first = song(u"first.mp3"_s, 3.0);
    start({first});
    EXPECT_TRUE(playing());
    EXPECT_EQ(window_->currentIndex, 0);
    // The tab strip shows the list the grid shows.
    EXPECT_EQ(window_->page_control->currentIndex(), Page::Playlist);
    window_->button_stopClick();

    const QString second = song(u"second.ogg"_s, 3.0);
    window_->copyDataReceived(u"|"_s + second);
    EXPECT_TRUE(playing());
    EXPECT_EQ(window_->currentIndex, 1);
    EXPECT_EQ(window_->page_control->currentIndex(), Page::Playlist);

    // While playing, forwarded songs are only appended.
    window_->copyDataReceived(u"|"_s + first);
    EXPECT_EQ(window_->playlist.count(), 3);
    EXPECT_EQ(window_->currentIndex, 1);
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(PlaybackTest, ASongPlaysWholeWhileTheMachineIsSaturated)
{
    // The song comes through a pipe: while the test holds its last second
    // back, the decoder starves as on a saturated machine. Opening reads up
    // to five seconds ahead of a source it cannot seek.
    start();
    QFile file(song(u"whole.wav"_s, 7.0));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const QByteArray pipePath = QFile::encodeName(home() + u"stalled.wav"_s);
    ASSERT_EQ(::mkfifo(pipePath.constData(), 0600), 0);
    // Open at both ends and large enough for the song, it never blocks the test.
    const int pipe = ::open(pipePath.constData(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(::fcntl(pipe, F_SETPIPE_SZ, 1 << 20), bytes.size());
    const qsizetype cut = bytes.size() - 44100 * 2;
    ASSERT_EQ(::write(pipe, bytes.constData(), std::size_t(cut)), cut);
    // A window that wrongly moves on blocks in freeing the starved stream:
    // the feeder's deadline then lets it go, so the test fails, not hangs.
    std::atomic<bool> release{false};
    std::jthread feeder([&](std::stop_token stop) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(3 * kStateWaitMs);
        while (!release && !stop.stop_requested() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (::write(pipe, bytes.constData() + cut, std::size_t(bytes.size() - cut)) != bytes.size() - cut)
            ADD_FAILURE() << "the rest of the song was not sent";
        ::close(pipe);
    });
    addRow(window_->playlist, QFile::decodeName(pipePath), u"stalled"_s);
    addRow(window_->playlist, song(u"next.wav"_s, 0.5), u"next"_s);
    window_->playSong(0, true);
    const audio::Handle stalled = window_->currentStream;
    const auto reallyEnded = std::make_shared<std::atomic<bool>>(false);
    window_->engine().channelSetSync(stalled, audio::SyncType::End, 0,
                                     [reallyEnded](audio::Handle, audio::Handle) { *reallyEnded = true; });
    // Six ticks without a move, counted after the window's own look.
    int stillTicks = 0;
    std::int64_t last = -1;
    const auto counter = QObject::connect(&window_->play_monitor, &QTimer::timeout, [&] {
        stillTicks = position() == last ? stillTicks + 1 : 0;
        last = position();
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return stillTicks >= 6 || window_->currentStream != stalled; }, kStateWaitMs));
    QObject::disconnect(counter);
    EXPECT_EQ(window_->currentStream, stalled);
    EXPECT_TRUE(playing());
    EXPECT_FALSE(*reallyEnded);
    // With the rest the song plays to its real end, then the next one.
    release = true;
    EXPECT_TRUE(waitForRow(1));
    EXPECT_TRUE(*reallyEnded);
}

} // namespace
