#include "searchbox.h"

#include "captions.h"
#include "skindisplay.h"
#include "tabcontrol.h"
#include "timage.h"
#include "usermessages.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTableView>

using namespace Qt::StringLiterals;

void TSearchBox::search_qKeyDown(int key)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return;
    const QString query = links_.query->text();
    int page = Page::Searchlist;
    if (!query.isEmpty()) {
        int mode = SearchMode::EntireString;
        if (links_.allTerms->isChecked())
            mode = SearchMode::AllTerms;
        else if (links_.anyTerm->isChecked())
            mode = SearchMode::AnyTerm;
        // The grid's place in the old hits means nothing for the new ones;
        // showing the list would otherwise save it over the fresh start.
        if (*links_.currentList == links_.searchlist)
            links_.grid->scrollToTop();
        *links_.searchlist = songSearch_.search(*links_.musiclist, query, links_.where->currentText(), mode);
        *links_.searchlistTopRow = 1;
    } else {
        links_.display->drawField(DisplayField::Nr, u'#' + QString::number(links_.musiclist->count()));
        links_.image->changed();
        links_.searchlist->clear();
        page = Page::Musiclist;
    }
    {
        const QSignalBlocker quiet(links_.pageControl);
        links_.pageControl->setCurrentIndex(page);
    }
    links_.pageControlChange();
    testLog(u"searched "_s + QString::number((*links_.currentList)->count()));
}
