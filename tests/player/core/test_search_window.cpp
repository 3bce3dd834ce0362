// The search row on the real main window: Enter in the query box fills the
// Searchlist tab with the hits; an empty query goes back to the Musiclist.

#include "defaultskin.h"
#include "skindisplay.h"
#include "tabcontrol.h"
#include "test_play_support.h"
#include "timage.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QRadioButton>

using namespace Qt::StringLiterals;

namespace {

class SearchWindowTest : public playtest::PlayFixture
{
protected:
    QStringList shownTitles() const
    {
        const QAbstractItemModel *grid = window_->songlist_grid->model();
        QStringList titles;
        for (int row = 0; row < grid->rowCount(); ++row)
            titles.append(grid->data(grid->index(row, 1), Qt::DisplayRole).toString());
        return titles;
    }
};

TEST_F(SearchWindowTest, EnterShowsTheHitsOnTheSearchlistAndAnEmptyQueryGoesBack)
{
    start();
    TFileInfos &library = window_->musiclist;
    library.appendRow(u"/m/a.mp3"_s, {}, u"Alpha"_s, u"Rock Song"_s, u"X"_s);
    library.appendRow(u"/m/b.mp3"_s, {}, u"Beta"_s, u"Jazz"_s, u"Y"_s);
    library.appendRow(u"/m/c.mp3"_s, {}, u"Gamma"_s, u"rock it"_s, u"Z"_s);
    showPage(Page::Musiclist);

    struct Step
    {
        QString query;
        QString where; // typed into the where box
        QRadioButton *mode;
        int page;
        QStringList titles; // as the grid shows them
    };
    const Step steps[] = {
        {u"ROCK"_s, u"All"_s, window_->search_entirestring, Page::Searchlist, {u"Rock Song"_s, u"rock it"_s}},
        {u"rock song"_s, u"All"_s, window_->search_and, Page::Searchlist, {u"Rock Song"_s}},
        {u"jazz gamma"_s, u"All"_s, window_->search_or, Page::Searchlist, {u"Jazz"_s, u"rock it"_s}},
        // Lower-case "artist" is not the item "Artist": Title is searched.
        {u"alpha"_s, u"artist"_s, window_->search_entirestring, Page::Searchlist, {QString()}},
        {u"alpha"_s, u"Artist"_s, window_->search_entirestring, Page::Searchlist, {u"Rock Song"_s}},
        {QString(), u"Artist"_s, window_->search_entirestring, Page::Musiclist,
         {u"Rock Song"_s, u"Jazz"_s, u"rock it"_s}},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(QString(step.query + u" in "_s + step.where).toStdString());
        window_->search_where->lineEdit()->clear();
        QTest::keyClicks(window_->search_where->lineEdit(), step.where);
        // Leaving the box, as the user does on the way to the query box.
        QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(window_->search_where->lineEdit(), &leave);
        ASSERT_EQ(window_->search_where->currentText(), step.where);
        step.mode->setChecked(true);
        window_->search_q->setText(step.query);
        QTest::keyClick(window_->search_q, Qt::Key_Return);

        EXPECT_EQ(window_->page_control->currentIndex(), step.page);
        EXPECT_EQ(window_->currentList,
                  step.page == Page::Searchlist ? &window_->searchlist : &window_->musiclist);
        EXPECT_EQ(shownTitles(), step.titles);
    }
    EXPECT_EQ(window_->searchlist.count(), 0);
    EXPECT_EQ(window_->musiclist.count(), 3);

    // "nr" shows "#" and the number of songs in the library.
    TImage expected;
    expected.setPicture(defaultSkinPicture());
    TSkinDisplay display;
    display.initDisplay(&expected, window_->skinSettings().fontColor);
    display.drawField(DisplayField::Nr, u"#3"_s);
    const QRect field = TSkinDisplay::fields().at(0).background;
    EXPECT_EQ(window_->Image1->picture().copy(field), expected.picture().copy(field));
}

} // namespace
