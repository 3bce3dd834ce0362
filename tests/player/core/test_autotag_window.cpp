// AutoTag on the real main window, opened as the skin editor's "AutoTag"
// button opens it: what it proposes, what "Tag!", "Select All/None" and
// "Cancel" leave in the library, its store and the grid.

#include "autotag.h"
#include "az_search.h"
#include "tabcontrol.h"
#include "test_play_support.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTimer>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

class AutoTagWindowTest : public playtest::PlayFixture
{
protected:
    // Opens AutoTag modally and lets work act on it while it is open.
    void openAutoTag(const std::function<void(Tautotag_form &)> &work)
    {
        bool ran = false;
        QTimer::singleShot(0, window_.get(), [&] {
            auto *form = qobject_cast<Tautotag_form *>(QApplication::activeModalWidget());
            ASSERT_NE(form, nullptr);
            ran = true;
            work(*form);
            // A window that is still open after the work is closed here.
            if (form->isVisible())
                form->Button2Click();
        });
        window_->skinEditorCallbacks().autoTag();
        EXPECT_TRUE(ran);
    }
    static bool allMarked(const Tautotag_form &form, Qt::CheckState state)
    {
        for (int i = 0; i < form.tags->count(); ++i)
            if (form.tags->item(i)->checkState() != state)
                return false;
        return true;
    }
    QStringList gridTitles() const
    {
        const QAbstractItemModel *grid = window_->songlist_grid->model();
        QStringList titles;
        for (int row = 0; row < grid->rowCount(); ++row)
            titles.append(grid->data(grid->index(row, 1), Qt::DisplayRole).toString());
        return titles;
    }
    QString store() const { return home() + Tautotag_form::kStoreFileName; }
    void search(const QString &query, const QString &where)
    {
        window_->search_where->setCurrentText(where);
        window_->search_q->setText(query);
        QTest::keyClick(window_->search_q, Qt::Key_Return);
    }
};

} // namespace

TEST_F(AutoTagWindowTest, TagSetsTheMarkedSongsStoresTheLibraryAndRedrawsIt)
{
    start();
    TFileInfos &library = window_->musiclist;
    library.appendRow(u"/m/a.mp3"_s, {}, {}, u"Some Band - A Song.mp3"_s, u"First"_s);
    library.appendRow(u"/m/b.ogg"_s, {}, {}, u"Other - Left Alone.ogg"_s, u"Second"_s);
    library.appendRow(u"/m/c.mp3"_s, {}, u"Known"_s, u"Plain"_s, u"Third"_s);
    library.appendRow(u"/m/d.mp3"_s, u"/m/d.rar"_s, {}, u"Third - Tune.mp3"_s, {});
    // The search's upper-cased copy of the columns exists before the tagging.
    search(u"some band"_s, SearchWhere::Artist);
    EXPECT_EQ(window_->searchlist.count(), 0);
    showPage(Page::Musiclist);
    const QSignalSpy redrawn(window_->songlist_grid->model(), &QAbstractItemModel::modelReset);

    openAutoTag([&](Tautotag_form &form) {
        EXPECT_EQ(form.cnt->text(), u"3 untagged files found."_s);
        EXPECT_TRUE(form.tags->font().fixedPitch());
        ASSERT_EQ(form.tags->count(), 3);
        EXPECT_TRUE(allMarked(form, Qt::Checked));
        form.tags->item(1)->setCheckState(Qt::Unchecked);
        QTest::mouseClick(form.Button1, Qt::LeftButton);
        EXPECT_FALSE(form.isVisible());
    });

    EXPECT_EQ(library.artist, (QStringList{u"Some Band"_s, {}, u"Known"_s, u"Third"_s}));
    EXPECT_EQ(library.title, (QStringList{u"A Song"_s, u"Other - Left Alone.ogg"_s, u"Plain"_s, u"Tune"_s}));
    EXPECT_EQ(library.album, (QStringList{u"First"_s, u"Second"_s, u"Third"_s, {}}));
    EXPECT_EQ(library.archive, (QStringList{{}, {}, {}, u"/m/d.rar"_s}));
    EXPECT_EQ(redrawn.count(), 1);
    EXPECT_EQ(gridTitles(), library.title);
    TFileInfos stored;
    stored.loadTable(store());
    EXPECT_EQ(stored.title, library.title);
    EXPECT_EQ(stored.artist, library.artist);
    EXPECT_EQ(messages(), QStringList{u"message Melodeck: 2 files have been renamed successfully."_s});

    // The search sees the new artist, and a tagged song is no longer proposed.
    search(u"some band"_s, SearchWhere::Artist);
    EXPECT_EQ(window_->searchlist.title, QStringList{u"A Song"_s});
    openAutoTag([](Tautotag_form &form) {
        EXPECT_EQ(form.cnt->text(), u"1 untagged files found."_s);
        ASSERT_EQ(form.tags->count(), 1);
        EXPECT_TRUE(form.tags->item(0)->text().startsWith(u"Other - Left Alone.ogg "_s));
    });
}

TEST_F(AutoTagWindowTest, ButtonsThatTagNothing)
{
    enum class Action { Tag, NoneThenTag, Cancel };
    struct Case
    {
        const char *name;
        QString title;
        int page;
        Action action;
        QString count;
        bool closes;
        bool stored;
        QStringList messages;
    };
    const Case cases[] = {
        {"no candidate", u"Plain"_s, Page::Musiclist, Action::Tag, u"0 untagged files found."_s, false, false, {}},
        {"all unmarked", u"A - B.mp3"_s, Page::Playlist, Action::NoneThenTag, u"1 untagged files found."_s, true,
         true, {u"message Melodeck: 0 files have been renamed successfully."_s}},
        {"cancel", u"A - B.mp3"_s, Page::Musiclist, Action::Cancel, u"1 untagged files found."_s, true, false, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        start();
        window_->musiclist.appendRow(u"/m/a.mp3"_s, {}, {}, c.title, {});
        QFile::remove(store());
        QFile::remove(logPath_);
        showPage(c.page);
        TFileInfos *shown = window_->currentList;

        openAutoTag([&](Tautotag_form &form) {
            EXPECT_EQ(form.cnt->text(), c.count);
            switch (c.action) {
            case Action::Tag:
                form.Button1->click();
                break;
            case Action::NoneThenTag:
                // None, All, None: the state follows each press.
                for (const Qt::CheckState state : {Qt::Unchecked, Qt::Checked, Qt::Unchecked}) {
                    form.Button3->click();
                    EXPECT_TRUE(allMarked(form, state));
                    EXPECT_EQ(form.allSelected(), state == Qt::Checked);
                }
                form.Button1->click();
                break;
            case Action::Cancel:
                form.Button2->click();
                break;
            }
            EXPECT_EQ(!form.isVisible(), c.closes);
        });

        EXPECT_EQ(window_->musiclist.title, QStringList{c.title});
        EXPECT_EQ(window_->musiclist.artist, QStringList{QString()});
        EXPECT_EQ(QFile::exists(store()), c.stored);
        EXPECT_EQ(messages(), c.messages);
        // Only the Musiclist is redrawn; another tab keeps its list.
        EXPECT_EQ(window_->currentList, shown);
        window_.reset();
    }
}
