// The search row: Enter in the query box fills the Searchlist with the hits,
// or, with an empty query, goes back to the Musiclist.

#include "captions.h"
#include "melodeck.h"
#include "tabcontrol.h"
#include "timage.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTableView>

namespace {
// topRows holds the first visible rows of musiclist, searchlist, radiolist.
constexpr std::size_t kSearchlistTopRow = 1;
} // namespace

void Melodeck::search_qKeyDown(int key)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return;
    const QString query = search_q->text();
    int page = Page::Searchlist;
    if (!query.isEmpty()) {
        int mode = SearchMode::EntireString;
        if (search_and->isChecked())
            mode = SearchMode::AllTerms;
        else if (search_or->isChecked())
            mode = SearchMode::AnyTerm;
        // The grid's place in the old hits means nothing for the new ones;
        // showing the list would otherwise save it over the fresh start.
        if (currentList == &searchlist)
            songlist_grid->scrollToTop();
        searchlist = songSearch_.search(musiclist, query, search_where->currentText(), mode);
        topRows.at(kSearchlistTopRow) = 1;
    } else {
        display_.drawField(DisplayField::Nr, u'#' + QString::number(musiclist.count()));
        Image1->changed();
        searchlist.clear();
        page = Page::Musiclist;
    }
    {
        const QSignalBlocker quiet(page_control);
        page_control->setCurrentIndex(page);
    }
    page_controlChange();
}
