// Play order and the song grid on the real main window: the end of a song in
// each after-playlist mode and in random mode, wrapping of ">>" and "<<",
// header sorting, right clicks on rows and tabs, and playlist row dragging.

#include "defaultskin.h"
#include "inputguard.h"
#include "playorder.h"
#include "rar4writer.h"
#include "songlists.h"
#include "tabcontrol.h"
#include "test_play_support.h"
#include "timage.h"

#include <QAction>
#include <QLineEdit>
#include <QScrollBar>
#include <QToolButton>

#include <chrono>
#include <functional>
#include <set>
#include <string>
#include <utility>

using namespace Qt::StringLiterals;
using playtest::kStateWaitMs;
using playtest::PlayFixture;

namespace {

class PlayOrderTest : public PlayFixture
{
protected:
    // Three short songs in the playlist.
    void threeSongs(double seconds = 0.6)
    {
        for (const QString &name : {u"one.wav"_s, u"two.wav"_s, u"three.wav"_s})
            addRow(window_->playlist, song(name, seconds), name);
    }
    bool stoppedAtEnd() const
    {
        return !window_->button_stop->isEnabled() && window_->button_playpause->text() == u"|>"_s;
    }
};

class GridTest : public PlayFixture
{
protected:
    QStringList shownColumn(int column) const
    {
        QStringList cells;
        const QAbstractItemModel *model = window_->songlist_grid->model();
        for (int row = 0; row < model->rowCount(); ++row)
            cells.append(model->index(row, column).data().toString());
        return cells;
    }
    QString header(int column) const
    {
        return window_->songlist_grid->model()->headerData(column, Qt::Horizontal).toString();
    }
    int selectedGridRow() const
    {
        const QModelIndexList rows = window_->songlist_grid->selectionModel()->selectedRows();
        return rows.size() == 1 ? rows.at(0).row() + 1 : -1;
    }
    void rightClickTab(int page)
    {
        QTest::mouseClick(window_->page_control, Qt::RightButton, {}, QPoint(2 + page * 73 + 30, 10));
    }
    void drag(int fromGridRow, int toGridRow)
    {
        QTest::mousePress(gridViewport(), Qt::LeftButton, {}, cellCentre(fromGridRow, 1));
        const QPoint to = cellCentre(toGridRow, 1);
        QMouseEvent move(QEvent::MouseMove, to, gridViewport()->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(gridViewport(), &move);
        QTest::mouseRelease(gridViewport(), Qt::LeftButton, {}, to);
    }
};

TEST_F(PlayOrderTest, TheNextRowFollowsAndStopPlaylistStopsTheLastSongRewound)
{
    start();
    threeSongs();
    window_->playSong(1, true);
    ASSERT_TRUE(waitForRow(2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return stoppedAtEnd(); }, kStateWaitMs));
    EXPECT_EQ(window_->currentIndex, 2);
    EXPECT_EQ(position(), 0);
    EXPECT_FALSE(window_->play_monitor.isActive());
}

TEST_F(PlayOrderTest, TheEndOfAFileStreamIsHandledAtOnceWithoutTheMonitor)
{
    start();
    // The monitor is there but never ticks: only the audio library's end
    // report can move the playlist on, for every kind of file stream.
    window_->play_monitor.setInterval(std::chrono::hours(1));
    const QString wav = song(u"member.wav"_s, 0.5);
    QFile member(wav);
    ASSERT_TRUE(member.open(QIODevice::ReadOnly));
    const QString archive = home() + u"pair.rar"_s;
    ASSERT_TRUE(testsupport::writeRar4(archive, {{"a.wav", member.readAll()}, {"b.wav", member.readAll()}}));
    const struct
    {
        QString first;
        QString second;
        QString archive;
    } pairs[] = {
        {song(u"w1.wav"_s, 0.5), song(u"w2.wav"_s, 0.5), {}},
        {song(u"m1.mp3"_s, 0.5), song(u"m2.mp3"_s, 0.5), {}},
        {u"a.wav"_s, u"a.wav"_s, archive},
    };
    for (const auto &pair : pairs) {
        SCOPED_TRACE(pair.first.toStdString());
        window_->playlist.clear();
        addRow(window_->playlist, pair.first, u"first"_s, pair.archive);
        addRow(window_->playlist, pair.second, u"second"_s, pair.archive);
        window_->playSong(0, true);
        ASSERT_TRUE(playing());
        const audio::Handle first = window_->currentStream;
        ASSERT_TRUE(waitForRow(1));
        EXPECT_NE(window_->currentStream, first);
        // The last row ends the same way: "Stop Playlist" stops it.
        ASSERT_TRUE(QTest::qWaitFor([&] { return stoppedAtEnd(); }, kStateWaitMs));
        EXPECT_EQ(window_->currentIndex, 1);
        // Rewound by the stop and played again, it reports its end again.
        window_->button_playpause->click();
        ASSERT_TRUE(playing());
        ASSERT_TRUE(QTest::qWaitFor([&] { return stoppedAtEnd(); }, kStateWaitMs));
        EXPECT_EQ(window_->currentIndex, 1);
        EXPECT_TRUE(messages().isEmpty());
    }
}

TEST_F(PlayOrderTest, RepeatPlaylistStartsRowZeroAndTheGridFollowsOnlyOnThePlaylistTab)
{
    start();
    threeSongs();
    window_->after_playlist_repeat->trigger();
    window_->playSong(2, true);
    showPage(Page::Musiclist);
    ASSERT_TRUE(waitForRow(0));
    EXPECT_EQ(window_->page_control->currentIndex(), Page::Musiclist);
    EXPECT_EQ(window_->currentList, &window_->musiclist);

    window_->playSong(2, true);
    ASSERT_TRUE(waitForRow(0));
    EXPECT_EQ(window_->page_control->currentIndex(), Page::Playlist);
    EXPECT_EQ(window_->songlist_grid->selectionModel()->selectedRows().value(0).row(), 0);
}

TEST_F(PlayOrderTest, ShutdownAtTheEndAsksLogindAndPlaysNothingMore)
{
    start();
    threeSongs();
    window_->after_playlist_shutdown->trigger();
    window_->playSong(2, true);
    // The private bus address leads nowhere: the request fails quietly, and
    // the ended state stays as it was.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window_->play_monitor.isActive(); }, kStateWaitMs));
    QTest::qWait(300);
    EXPECT_EQ(window_->currentIndex, 2);
    EXPECT_TRUE(playing());
    EXPECT_TRUE(window_->button_stop->isEnabled());
    EXPECT_FALSE(window_->play_monitor.isActive());
}

TEST_F(PlayOrderTest, RandomModeKeepsPickingAndOneSongRepeatsItself)
{
    start();
    addRow(window_->musiclist, song(u"solo.wav"_s, 0.5), u"solo"_s);
    showPage(Page::Musiclist);
    window_->button_random->click();
    EXPECT_TRUE(window_->randomMode);
    EXPECT_EQ(window_->playlist.count(), 1);
    ASSERT_TRUE(playing());
    const audio::Handle first = window_->currentStream;
    // At its end the same song starts again, as a new stream.
    ASSERT_TRUE(QTest::qWaitFor([&] { return playing() && window_->currentStream != first; }, kStateWaitMs));
    EXPECT_EQ(window_->currentIndex, 0);
    EXPECT_TRUE(window_->randomMode);

    // ">>" ends random mode.
    window_->button_nextsong->click();
    EXPECT_FALSE(window_->randomMode);
}

TEST_F(PlayOrderTest, RandomPicksCoverTheRangeAndStayInIt)
{
    start();
    std::set<int> seen;
    for (int i = 0; i < 400; ++i) {
        const int pick = window_->playOrder().random(5);
        ASSERT_GE(pick, 0);
        ASSERT_LT(pick, 5);
        seen.insert(pick);
    }
    EXPECT_EQ(seen.size(), 5u);
    EXPECT_EQ(window_->playOrder().random(0), 0);
}

TEST_F(PlayOrderTest, NextOnTheLastRowAndPreviousOnRowZeroWrapAround)
{
    start();
    threeSongs(3.0);
    window_->randomMode = true;
    window_->playSong(2, true);
    window_->button_nextsong->click();
    EXPECT_FALSE(window_->randomMode);
    EXPECT_TRUE(waitForRow(0));
    window_->button_previoussong->click();
    EXPECT_TRUE(waitForRow(2));
    window_->button_previoussong->click();
    EXPECT_TRUE(waitForRow(1));
    window_->button_nextsong->click();
    EXPECT_TRUE(waitForRow(2));

    // On an empty playlist nothing happens.
    window_->button_stopClick();
    window_->playlist.clear();
    window_->button_nextsong->click();
    window_->button_previoussong->click();
    EXPECT_FALSE(playing());
}

TEST_F(PlayOrderTest, TheAfterPlaylistMenuPutsTheChosenGlyphOnTheButton)
{
    start();
    const QImage infinite = window_->glyph_infinite->picture();
    window_->after_playlist_repeat->trigger();
    window_->showAfterPlaylistGlyph();
    EXPECT_TRUE(window_->after_playlist_repeat->isChecked());
    EXPECT_FALSE(window_->after_playlist_stop->isChecked());
    EXPECT_EQ(window_->button_after_playlist->icon().pixmap(infinite.size()).toImage().convertToFormat(
                  QImage::Format_ARGB32_Premultiplied),
              whiteToTransparent(infinite).convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

TEST_F(GridTest, HeaderClicksSortTheSearchlistAndPlaylistOnly)
{
    start();
    addRow(window_->searchlist, u"/b"_s, u"beta"_s);
    addRow(window_->searchlist, u"/a"_s, u"Alpha"_s);
    addRow(window_->searchlist, u"/c"_s, u"gamma"_s);
    window_->searchlist.artist = TStringListC{u"z"_s, u"y"_s, u"x"_s};
    window_->musiclist.assign(window_->searchlist);
    showPage(Page::Searchlist);
    EXPECT_EQ(header(0), u"#>"_s);

    clickHeader(1);
    EXPECT_EQ(shownColumn(1), (QStringList{u"Alpha"_s, u"beta"_s, u"gamma"_s}));
    EXPECT_EQ(header(1), u"Title>"_s);
    EXPECT_EQ(header(0), u"#"_s);
    clickHeader(1, Qt::RightButton);
    EXPECT_EQ(shownColumn(1), (QStringList{u"gamma"_s, u"beta"_s, u"Alpha"_s}));
    EXPECT_EQ(header(1), u"Title<"_s);
    clickHeader(2);
    EXPECT_EQ(shownColumn(2), (QStringList{u"x"_s, u"y"_s, u"z"_s}));
    EXPECT_EQ(header(2), u"Artist>"_s);
    EXPECT_EQ(shownColumn(0), (QStringList{u"1"_s, u"2"_s, u"3"_s}));

    showPage(Page::Musiclist);
    const int selected = selectedGridRow();
    clickHeader(1);
    EXPECT_EQ(shownColumn(1), (QStringList{u"beta"_s, u"Alpha"_s, u"gamma"_s}));
    EXPECT_EQ(header(1), u"Title"_s);
    EXPECT_EQ(selectedGridRow(), selected);
    EXPECT_EQ(selected, 1);
}

TEST_F(GridTest, ShowingAListFillsTheGridAndRemembersWhereEachListWasScrolled)
{
    start();
    for (int i = 0; i < 60; ++i)
        addRow(window_->musiclist, u"/m"_s + QString::number(i), u"m"_s + QString::number(i));
    showPage(Page::Musiclist);
    EXPECT_EQ(window_->songlist_grid->columnWidth(0), 35);
    EXPECT_EQ(window_->songlist_grid->columnWidth(1), 155);
    EXPECT_EQ(window_->songlist_grid->columnWidth(2), 95);
    window_->songLists().setFirstVisibleRow(30);
    EXPECT_EQ(window_->songLists().firstVisibleRow(), 30);
    showPage(Page::Searchlist);
    EXPECT_EQ(shownColumn(1), QStringList{QString()});
    showPage(Page::Musiclist);
    EXPECT_EQ(window_->songLists().firstVisibleRow(), 30);
    EXPECT_EQ(selectedGridRow(), 30);
    EXPECT_FALSE(window_->songLists().rowMoving());

    // The playlist puts the row before the current song at the top.
    window_->playlist.assign(window_->musiclist);
    window_->currentIndex = 40;
    showPage(Page::Playlist);
    EXPECT_TRUE(window_->songLists().rowMoving());
    EXPECT_EQ(selectedGridRow(), 41);
    EXPECT_EQ(window_->songLists().firstVisibleRow(), 40);
}

TEST_F(GridTest, RightClicksOnRowsAppendPlayOrRemove)
{
    start();
    addRow(window_->musiclist, song(u"a.wav"_s, 3.0), u"a"_s);
    addRow(window_->musiclist, song(u"b.wav"_s, 3.0), u"b"_s);
    showPage(Page::Musiclist);
    // Idle: the row is appended and starts.
    rightClickRow(2);
    EXPECT_EQ(window_->playlist.title, QStringList{u"b"_s});
    EXPECT_TRUE(playing());
    EXPECT_EQ(window_->page_control->currentIndex(), Page::Playlist);

    // Playing: the row is appended and only selected.
    showPage(Page::Musiclist);
    rightClickRow(1);
    EXPECT_EQ(window_->playlist.title, (QStringList{u"b"_s, u"a"_s}));
    EXPECT_EQ(window_->currentIndex, 0);
    EXPECT_EQ(window_->page_control->currentIndex(), Page::Musiclist);
    EXPECT_EQ(selectedGridRow(), 1);

    // On the Playlist tab the row goes; the current index stays.
    showPage(Page::Playlist);
    rightClickRow(1);
    EXPECT_EQ(window_->playlist.title, QStringList{u"a"_s});
    EXPECT_EQ(window_->currentIndex, 0);
    EXPECT_TRUE(playing());
    EXPECT_EQ(selectedGridRow(), 1);

    // An empty list appends nothing.
    showPage(Page::Searchlist);
    rightClickRow(1);
    EXPECT_EQ(window_->playlist.count(), 1);
}

TEST_F(GridTest, RightClicksOnTheActiveTabAppendTheListOrEmptyThePlaylist)
{
    start();
    addRow(window_->musiclist, song(u"a.wav"_s, 3.0), u"a"_s);
    addRow(window_->musiclist, song(u"b.wav"_s, 3.0), u"b"_s);
    addRow(window_->playlist, u"/old.wav"_s, u"old"_s);
    showPage(Page::Musiclist);
    // A tab that is not the active one does nothing.
    rightClickTab(Page::Searchlist);
    EXPECT_EQ(window_->playlist.count(), 1);

    rightClickTab(Page::Musiclist);
    EXPECT_EQ(window_->playlist.title, (QStringList{u"old"_s, u"a"_s, u"b"_s}));
    EXPECT_TRUE(waitForRow(1));
    EXPECT_EQ(window_->page_control->currentIndex(), Page::Playlist);

    // While playing, the Musiclist is appended and the playlist shown.
    showPage(Page::Musiclist);
    rightClickTab(Page::Musiclist);
    EXPECT_EQ(window_->playlist.count(), 5);
    EXPECT_EQ(window_->currentIndex, 1);
    EXPECT_EQ(window_->page_control->currentIndex(), Page::Playlist);

    rightClickTab(Page::Playlist);
    EXPECT_EQ(window_->playlist.count(), 0);
    EXPECT_EQ(shownColumn(1), QStringList{QString()});
    EXPECT_TRUE(playing());

    // Even with the playlist shown under another tab, the right click on the
    // active tab doubles the playlist and a double click keeps the one row.
    window_->playlist.assign(window_->musiclist);
    auto underMusiclistTab = [this] {
        const QSignalBlocker quiet(window_->page_control);
        window_->page_control->setCurrentIndex(Page::Musiclist);
    };
    underMusiclistTab();
    rightClickTab(Page::Musiclist);
    EXPECT_EQ(window_->playlist.title, (QStringList{u"a"_s, u"b"_s, u"a"_s, u"b"_s}));
    underMusiclistTab();
    doubleClickRow(2);
    EXPECT_EQ(window_->playlist.title, QStringList{u"b"_s});
    EXPECT_TRUE(window_->playlist.isConsistent());
}

TEST_F(GridTest, DisabledOrHeldControlsLeaveTheListsAlone)
{
    start();
    const QString a = song(u"a.wav"_s, 3.0);
    const QString b = song(u"b.wav"_s, 3.0);
    const std::pair<int, std::function<void()>> actions[] = {
        {Page::Musiclist, [&] { rightClickRow(1); }},  {Page::Musiclist, [&] { doubleClickRow(2); }},
        {Page::Playlist, [&] { rightClickRow(1); }},   {Page::Playlist, [&] { clickHeader(1); }},
        {Page::Playlist, [&] { drag(1, 2); }},         {Page::Playlist, [&] { rightClickTab(Page::Playlist); }},
        {Page::Musiclist, [&] { rightClickTab(Page::Musiclist); }},
    };
    auto state = [this] {
        return QStringList{window_->musiclist.title.join(u','), window_->playlist.title.join(u','),
                           QString::number(window_->playlist.sortFlags), QString::number(playing())};
    };
    int action = 0;
    for (const auto &[page, act] : actions) {
        // Disabled as while a scan fills a table; held as in tag mode, where
        // the cells take the mouse; then allowed, when the action does act.
        for (const int mode : {0, 1, 2}) {
            SCOPED_TRACE(std::to_string(action) + " in mode " + std::to_string(mode));
            window_->button_stopClick();
            window_->musiclist.clear();
            addRow(window_->musiclist, b, u"b"_s);
            addRow(window_->musiclist, a, u"a"_s);
            window_->playlist.assign(window_->musiclist);
            window_->playlist.sortFlags = 3;
            showPage(page);
            const QStringList before = state();
            window_->songlist_grid->setEnabled(mode != 0);
            window_->page_control->setEnabled(mode != 0);
            window_->inputGuard().setHold(TInputGuard::Hold::TagMode, mode == 1);
            act();
            EXPECT_EQ(state() != before, mode == 2);
            window_->inputGuard().setHold(TInputGuard::Hold::TagMode, false);
        }
        ++action;
    }
}

TEST_F(GridTest, DraggingPlaylistRowsKeepsTheCurrentIndexOnThePlayingSong)
{
    start();
    for (int i = 0; i < 6; ++i)
        addRow(window_->playlist, u"/s"_s + QString::number(i), u"s"_s + QString::number(i));
    window_->currentIndex = 1;
    showPage(Page::Playlist);
    // The playing song itself, from grid row 2 to 5.
    drag(2, 5);
    EXPECT_EQ(window_->currentIndex, 4);
    EXPECT_EQ(window_->playlist.title,
              (QStringList{u"s0"_s, u"s2"_s, u"s3"_s, u"s4"_s, u"s1"_s, u"s5"_s}));
    EXPECT_TRUE(window_->playlist.isConsistent());
    EXPECT_EQ(window_->playlist.filename.at(4), u"/s1"_s);
    EXPECT_EQ(shownColumn(1).at(4), u"s1"_s);
    EXPECT_EQ(shownColumn(0), (QStringList{u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"6"_s}));
    // A row from below moved above it pushes it down.
    drag(6, 1);
    EXPECT_EQ(window_->currentIndex, 5);
    EXPECT_EQ(window_->playlist.title.at(0), u"s5"_s);
    // A row from above moved below it pulls it up.
    drag(1, 6);
    EXPECT_EQ(window_->currentIndex, 4);
    // Moves that pass it by leave it.
    drag(1, 2);
    EXPECT_EQ(window_->currentIndex, 4);
    EXPECT_EQ(window_->playlist.title.at(4), u"s1"_s);

    // Other lists do not move rows.
    window_->musiclist.assign(window_->playlist);
    showPage(Page::Musiclist);
    const QStringList before = window_->musiclist.title;
    drag(1, 4);
    EXPECT_EQ(window_->musiclist.title, before);
}

TEST_F(GridTest, CellHintsShowTheCellTextWhenTheSkinSwitchesThemOn)
{
    TSkinSettings settings;
    settings.showGridHints = true;
    writeSkin(settings);
    start();
    addRow(window_->musiclist, u"/file.wav"_s, u"A long title"_s);
    showPage(Page::Musiclist);
    window_->songLists().songlist_gridMouseMove(1, 1);
    EXPECT_EQ(gridViewport()->toolTip(), u"A long title"_s);
    window_->songLists().songlist_gridMouseMove(1, 4);
    EXPECT_EQ(gridViewport()->toolTip(), u"/file.wav"_s);
    // The number column and the header have no hint.
    window_->songLists().songlist_gridMouseMove(1, 0);
    EXPECT_TRUE(gridViewport()->toolTip().isEmpty());
    window_->songLists().songlist_gridMouseMove(0, 2);
    EXPECT_TRUE(gridViewport()->toolTip().isEmpty());
}

TEST_F(GridTest, WithoutTheSkinSwitchThereAreNoHints)
{
    start();
    addRow(window_->musiclist, u"/file.wav"_s, u"A long title"_s);
    showPage(Page::Musiclist);
    window_->songLists().songlist_gridMouseMove(1, 1);
    EXPECT_TRUE(gridViewport()->toolTip().isEmpty());
}

} // namespace
