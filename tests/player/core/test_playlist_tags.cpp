// Playlist files and tag mode on the real main window: the file dialogs are
// answered from $MELODECK_TEST_FILES, the tag question from
// $MELODECK_TEST_ANSWERS.

#include "rar4writer.h"
#include "scanner.h"
#include "support/loopbackserver.h"
#include "tabcontrol.h"
#include "tageditor.h"
#include "test_play_support.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>

using namespace Qt::StringLiterals;

namespace {

class PlaylistTagsTest : public playtest::PlayFixture
{
protected:
    void TearDown() override
    {
        qunsetenv("MELODECK_TEST_FILES");
        qunsetenv("MELODECK_TEST_ANSWERS");
        PlayFixture::TearDown();
    }
    static void chooseNext(const QString &path) { qputenv("MELODECK_TEST_FILES", QFile::encodeName(path)); }
    static QStringList rowsOf(const TFileInfos &list)
    {
        QStringList rows;
        for (int r = 0; r < list.count(); ++r)
            rows << list.filename.at(r) + list.archive.at(r) + list.artist.at(r) + list.title.at(r) + list.album.at(r);
        return rows;
    }
    // Opens a cell's editor with a double click, as the user does.
    QLineEdit *editCell(int gridRow, int column)
    {
        QTest::mouseClick(gridViewport(), Qt::LeftButton, {}, cellCentre(gridRow, column));
        QTest::mouseDClick(gridViewport(), Qt::LeftButton, {}, cellCentre(gridRow, column));
        return qobject_cast<QLineEdit *>(window_->songlist_grid->indexWidget(
            window_->songlist_grid->model()->index(gridRow - 1, column)));
    }
};

} // namespace

TEST_F(PlaylistTagsTest, SavingAppendsTheExtensionUnlessTheNameEndsInIt)
{
    start();
    for (const QFileDialog *dialog : {window_->SaveDialog1, window_->OpenDialog1})
        EXPECT_EQ(dialog->nameFilters(), QStringList{u"*.azl - Quarrow Playlist (*.azl)"_s});
    addRow(window_->playlist, home() + u"a.wav"_s, u"a"_s);
    const std::pair<QString, QString> cases[] = {
        {u"x"_s, u"x.azl"_s}, {u"x.AZL"_s, u"x.AZL"_s}, {u"y.txt"_s, u"y.txt.azl"_s}, {u"z.azl"_s, u"z.azl"_s},
        {QString(), QString()}, // cancelled
    };
    const QDir dir(home());
    for (const auto &[chosen, written] : cases) {
        SCOPED_TRACE(chosen.toStdString());
        QStringList added = dir.entryList(QDir::Files);
        chooseNext(chosen.isEmpty() ? QString() : home() + chosen);
        window_->button_saveplaylist->click();
        for (const QString &name : dir.entryList(QDir::Files))
            if (!added.removeOne(name))
                added.append(name);
        EXPECT_EQ(added, written.isEmpty() ? QStringList() : QStringList{written});
    }
}

TEST_F(PlaylistTagsTest, ALoadedPlaylistPlaysFilesMembersAndStationsOrFillsTheSearchlist)
{
    const radiotest::TempDir scratch;
    radiotest::LoopbackServer server;
    radiotest::IcyStream station;
    station.audio = radiotest::makeMp3(scratch.path(), 1.0);
    server.route("/live", radiotest::icyStreamHandler(station));
    start();
    QFile member(song(u"member.wav"_s, 3.0));
    ASSERT_TRUE(member.open(QIODevice::ReadOnly));
    const QString archive = home() + u"songs.rar"_s;
    ASSERT_TRUE(testsupport::writeRar4(archive, {{"in/member.wav", member.readAll()}}));
    addRow(window_->playlist, song(u"file.wav"_s, 3.0), u"file"_s);
    addRow(window_->playlist, u"in/member.wav"_s, u"member"_s, archive);
    window_->playlist.appendRow({}, QString::fromStdString(server.url("/live")), u"Loop FM"_s, u"live"_s, u"128"_s);
    const QStringList saved = rowsOf(window_->playlist);
    chooseNext(home() + u"round"_s);
    window_->button_saveplaylist->click();
    QFile damaged(home() + u"damaged.azl"_s);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly) && damaged.write("AZ\xff\xff\xff\x7f not a table") > 0);
    damaged.close();

    const struct
    {
        int page;
        QString file;
        QStringList playlist;
        QStringList searchlist;
    } cases[] = {
        {Page::Searchlist, u"round.azl"_s, {}, saved}, {Page::Radiolist, u"damaged.azl"_s, {}, {}},
        {Page::Searchlist, u"missing.azl"_s, {}, {}}, {Page::Musiclist, u"round.azl"_s, saved, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file.toStdString() + " on page " + std::to_string(c.page));
        window_->button_stopClick();
        window_->playlist.clear();
        window_->searchlist.clear();
        showPage(c.page);
        chooseNext(home() + c.file);
        window_->button_loadplaylist->click();
        EXPECT_EQ(rowsOf(window_->playlist), c.playlist);
        EXPECT_EQ(rowsOf(window_->searchlist), c.searchlist);
        // The tab shows the list that was filled; only a playlist plays.
        const bool search = c.page == Page::Searchlist;
        EXPECT_EQ(window_->page_control->currentIndex(), search ? Page::Searchlist : Page::Playlist);
        EXPECT_TRUE(window_->radio_add->isHidden());
        EXPECT_EQ(playing(), !c.playlist.isEmpty());
    }
    // The loaded rows play as they did before: file, member and station.
    for (int row = 0; row < 3; ++row) {
        window_->playSong(row, true);
        EXPECT_TRUE(waitForRow(row)) << row;
    }
}

TEST_F(PlaylistTagsTest, TagEditsReachTheStoreOnlyWhenKeptAndNeverTheFiles)
{
    start();
    const QString first = song(u"first.wav"_s, 0.2);
    QFile music(first);
    ASSERT_TRUE(music.open(QIODevice::ReadOnly));
    const QByteArray musicBytes = music.readAll();
    const QString store = home() + kSongListFileName;
    QTableView *grid = window_->songlist_grid;
    for (const bool keep : {true, false}) {
        SCOPED_TRACE(keep ? "Yes" : "No");
        window_->musiclist.clear();
        addRow(window_->musiclist, first, u"first"_s);
        addRow(window_->musiclist, home() + u"second.wav"_s, u"second"_s);
        window_->musiclist.saveTable(store);
        showPage(Page::Playlist);
        qputenv("MELODECK_TEST_ANSWERS", keep ? "yes" : "no");

        window_->button_tag->click();
        EXPECT_EQ(window_->button_tag->text(), u"Tag*"_s);
        for (const QWidget *control : QList<QWidget *>{window_->page_control, window_->button_playpause,
                                                       window_->button_random, window_->button_refreshsonglist,
                                                       window_->button_nextsong, window_->button_previoussong,
                                                       window_->button_loadplaylist, window_->button_stop})
            EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
        EXPECT_TRUE(window_->button_saveplaylist->isEnabled());

        // Typed into "Filename": the cell snaps back, nothing counts as a change.
        QLineEdit *editor = editCell(1, 4);
        ASSERT_NE(editor, nullptr);
        QTest::keyClicks(editor, u"zz"_s);
        EXPECT_EQ(editor->text(), first);
        EXPECT_EQ(window_->musiclist.filename.at(0), first);
        EXPECT_FALSE(window_->tagsChanged);

        // A letter typed on the grid opens the cell's editor with it; each
        // key is in the table at once.
        grid->setCurrentIndex(grid->model()->index(1, 2));
        QTest::keyClick(grid, Qt::Key_M);
        editor = qobject_cast<QLineEdit *>(grid->indexWidget(grid->model()->index(1, 2)));
        ASSERT_NE(editor, nullptr);
        QTest::keyClicks(editor, u"ix"_s);
        EXPECT_EQ(window_->musiclist.artist.at(1), u"mix"_s);
        EXPECT_TRUE(window_->search_q->text().isEmpty());
        EXPECT_TRUE(window_->tagsChanged);

        window_->button_tag->click();
        EXPECT_EQ(window_->button_tag->text(), u"Tag"_s);
        EXPECT_EQ(logLines().filter(u"question "_s).value(keep ? 0 : 1),
                  u"question Tag-Editor: "_s + TTagEditor::kQuestionText + (keep ? u" -> Yes"_s : u" -> No"_s));
        TFileInfos stored;
        stored.loadTable(store);
        const QString artist = keep ? u"mix"_s : u"Artist second"_s;
        EXPECT_EQ(stored.artist.at(1), artist);
        EXPECT_EQ(grid->model()->index(1, 2).data().toString(), artist);
        EXPECT_TRUE(window_->page_control->isEnabled() && window_->button_loadplaylist->isEnabled());
        EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    }
    ASSERT_TRUE(music.seek(0));
    EXPECT_EQ(music.readAll(), musicBytes);
}

TEST_F(PlaylistTagsTest, InTagModeTheGridsOwnMouseActionsRestAlsoAfterTheListIsShownAnew)
{
    start();
    const QString a = song(u"a.wav"_s, 3.0);
    addRow(window_->musiclist, a, u"alpha"_s);
    addRow(window_->musiclist, a, u"beta"_s);
    showPage(Page::Musiclist);
    window_->button_tag->click();
    window_->search_q->setText(u"beta"_s);
    // A search shows the search list: cells are no longer edited, and the
    // clicks still play nothing.
    for (const bool searched : {false, true}) {
        SCOPED_TRACE(searched ? "after a search" : "on entering");
        if (searched)
            window_->search_qKeyDown(Qt::Key_Return);
        EXPECT_EQ(window_->button_tag->text(), u"Tag*"_s);
        EXPECT_EQ(editCell(1, 1) != nullptr, !searched);
        rightClickRow(1);
        EXPECT_EQ(window_->playlist.count(), 0);
        EXPECT_FALSE(playing());
    }
    EXPECT_EQ(window_->currentList, &window_->searchlist);
}
