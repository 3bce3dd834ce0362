#include "songlists.h"

#include "captions.h"
#include "inputguard.h"
#include "medialibraries.h"
#include "options.h"
#include "playback.h"
#include "skinsettings.h"
#include "songtablemodel.h"
#include "tabcontrol.h"
#include "usermessages.h"

#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTableView>
#include <QToolTip>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
const QStringList kTabCaptions{u"Musiclist"_s, u"Radiolist"_s, u"Searchlist"_s, u"Playlist"_s};
const QStringList kHeaderCaptions{u"#"_s, u"Title"_s, u"Artist"_s, u"Album"_s, u"Filename"_s,
                                  u"Archive Filename"_s};
const QString kAscendingMark = u">"_s;
const QString kDescendingMark = u"<"_s;
// Where the first tab starts inside the tab strip.
constexpr int kTabStripOffset = 2;
} // namespace

TSongLists::TSongLists(TSongListsLinks links)
    : links_(std::move(links)), model_(*links_.model)
{
    links_.grid->viewport()->installEventFilter(this);
    links_.grid->viewport()->setMouseTracking(true);
    // Header clicks sort (or do nothing); they never select a column.
    links_.grid->horizontalHeader()->setSectionsClickable(false);
    links_.grid->horizontalHeader()->viewport()->installEventFilter(this);
    links_.pageControl->installEventFilter(this);
}

bool TSongLists::tagMode() const
{
    return links_.tagButton->text() == Caption::TagMode;
}

int *TSongLists::topRowOf(const TFileInfos *list)
{
    if (list == links_.musiclist)
        return &(*links_.topRows)[0];
    if (list == links_.searchlist)
        return &(*links_.topRows)[1];
    if (list == links_.radiolist)
        return &(*links_.topRows)[2];
    return nullptr;
}

int TSongLists::firstVisibleRow() const
{
    const int row = links_.grid->rowAt(0);
    return row < 0 ? 1 : row + 1;
}

void TSongLists::setFirstVisibleRow(int gridRow)
{
    // The scroll range follows the new row count only after a layout pass.
    links_.grid->doItemsLayout();
    links_.grid->verticalScrollBar()->setValue(std::max(0, gridRow - 1));
}

void TSongLists::selectGridRow(int gridRow)
{
    const int row = gridRow - 1;
    if (row < 0 || row >= model_.rowCount())
        return;
    links_.grid->setCurrentIndex(model_.index(row, 0));
    links_.grid->selectRow(row);
}

void TSongLists::createTabs()
{
    const QSignalBlocker quiet(links_.pageControl);
    links_.pageControl->setTabWidth(kTabWidth);
    while (links_.pageControl->count() > 0)
        links_.pageControl->removeTab(0);
    for (const QString &caption : kTabCaptions)
        links_.pageControl->addTab(caption);
    links_.pageControl->setCurrentIndex(Page::Musiclist);
}

void TSongLists::showList(TFileInfos &list)
{
    if (int *top = topRowOf(*links_.currentList))
        *top = firstVisibleRow();
    *links_.currentList = &list;
    model_.setTable(&list);
    if (list.count() > 0) {
        links_.grid->setColumnWidth(0, kNumberColumnWidth);
        links_.grid->setColumnWidth(1, kTitleColumnWidth);
    }
    writeHeaders();
    // Whole rows are selected and cells are not edited on every list; only
    // the playlist's rows can be dragged.
    links_.grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    links_.grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    rowMoving_ = &list == links_.playlist;
    if (rowMoving_) {
        links_.grid->clearSelection();
        selectGridRow(*links_.currentIndex + 1);
        setFirstVisibleRow(*links_.currentIndex > 0 ? *links_.currentIndex : 1);
    } else {
        const int top = *topRowOf(&list);
        setFirstVisibleRow(top);
        links_.grid->clearSelection();
        selectGridRow(firstVisibleRow());
    }
    links_.showSongInfo(true);
}

void TSongLists::writeHeaders()
{
    const std::uint8_t flags = (*links_.currentList)->sortFlags;
    const QString &mark = (flags & SortFlag::Ascending) ? kAscendingMark : kDescendingMark;
    QStringList headers;
    for (int column = 0; column < kHeaderCaptions.size(); ++column) {
        const auto bit = static_cast<std::uint8_t>(1u << (column + 1));
        headers.append((flags & bit) ? kHeaderCaptions.at(column) + mark : kHeaderCaptions.at(column));
    }
    model_.setHeaders(headers);
}

void TSongLists::sortByColumn(int column)
{
    if (column < 0 || column >= TSongTableModel::kColumnCount)
        return;
    const auto mask = static_cast<std::uint8_t>(1u << (column + 1));
    if ((*links_.currentList)->sortFlags & mask)
        *links_.sortDirection ^= 1;
    else
        *links_.sortDirection = 1;
    (*links_.currentList)->sort(static_cast<std::uint8_t>(mask + *links_.sortDirection));
    showList(**links_.currentList);
    testLog(u"sorted "_s + QString::number((*links_.currentList)->count()));
}

void TSongLists::songlist_gridDblClick()
{
    if (tagMode())
        return;
    *links_.randomMode = false;
    const int selected = links_.grid->currentIndex().row();
    if (links_.pageControl->currentIndex() == Page::Playlist) {
        links_.playSong(selected, true);
    } else if ((*links_.currentList)->count() > 0 && selected >= 0 && selected < (*links_.currentList)->count()) {
        // The row is taken before the playlist is emptied, in case the
        // shown list is the playlist itself.
        TFileInfos chosen;
        chosen.appendRowFrom(**links_.currentList, selected);
        links_.playlist->clear();
        links_.playlist->appendRowFrom(chosen, 0);
        links_.playSong(0, true);
    }
    links_.searchQuery->setFocus();
}

void TSongLists::songlist_gridMouseUp(Qt::MouseButton button, int row, int column)
{
    if (tagMode() || row < 0)
        return;
    const int page = links_.pageControl->currentIndex();
    if (row == 0) {
        if (page == Page::Searchlist || page == Page::Playlist)
            sortByColumn(column);
        return;
    }
    if (button != Qt::RightButton)
        return;
    if (page == Page::Playlist) {
        const int top = firstVisibleRow();
        links_.playlist->deleteRow(static_cast<std::uint32_t>(row - 1));
        showList(*links_.playlist);
        setFirstVisibleRow(top);
        links_.grid->clearSelection();
        selectGridRow(row);
    } else if ((*links_.currentList)->count() > 0 && row - 1 < (*links_.currentList)->count()) {
        links_.playlist->appendRowFrom(**links_.currentList, row - 1);
        if (links_.stopButton->isEnabled()) {
            links_.grid->clearSelection();
            selectGridRow(row);
        } else {
            *links_.randomMode = false;
            links_.playSong(links_.playlist->count() - 1, true);
        }
    }
    links_.searchQuery->setFocus();
}

void TSongLists::songlist_gridMouseMove(int row, int column)
{
    if (!links_.skinSettings->showGridHints)
        return;
    QWidget *viewport = links_.grid->viewport();
    const QModelIndex cell = row >= 1 ? model_.index(row - 1, column) : QModelIndex();
    if (cell.isValid() && column >= 1)
        viewport->setToolTip(cell.data(Qt::DisplayRole).toString());
    else
        viewport->setToolTip(QString());
    if (cell != hintCell_) {
        QToolTip::hideText();
        hintCell_ = cell;
    }
}

void TSongLists::songlist_gridRowMoved(int from, int to)
{
    TFileInfos &list = **links_.currentList;
    const int source = from - 1;
    const int target = to - 1;
    if (source < 0 || target < 0 || source >= list.count() || target >= list.count() || source == target)
        return;
    for (TSongColumn *column : {&list.filename, &list.archive, &list.artist, &list.title, &list.album})
        column->move(source, target);
    if (&list == links_.playlist) {
        std::int32_t &current = *links_.currentIndex;
        if (current == source)
            current = target;
        else if (current > source && current <= target)
            --current;
        else if (current >= target && current < source)
            ++current;
    }
    // The model numbers the rows itself, so the first column follows.
    model_.reload();
    links_.grid->clearSelection();
    selectGridRow(to);
}

void TSongLists::page_controlMouseDown(Qt::MouseButton button, int x)
{
    if (button != Qt::RightButton)
        return;
    const int tab = (x - kTabStripOffset) / kTabWidth;
    if (x < kTabStripOffset || tab != links_.pageControl->currentIndex())
        return;
    if (tab == Page::Playlist) {
        links_.playlist->clear();
        showList(*links_.playlist);
        return;
    }
    // Counted once: appending the playlist to itself doubles it.
    const TFileInfos &source = **links_.currentList;
    const int rows = source.count();
    if (rows == 0)
        return;
    for (int row = 0; row < rows; ++row)
        links_.playlist->appendRowFrom(source, row);
    if (links_.stopButton->isEnabled()) {
        {
            const QSignalBlocker quiet(links_.pageControl);
            links_.pageControl->setCurrentIndex(Page::Playlist);
        }
        links_.pageControlChange();
    } else {
        *links_.randomMode = false;
        links_.playSong(links_.playlist->count() - rows, true);
    }
}

QWidget *TSongLists::controlOf(const QObject *watched) const
{
    QTableView *grid = links_.grid;
    if (watched == grid->viewport() || watched == grid->horizontalHeader()->viewport())
        return grid;
    if (watched == links_.pageControl)
        return links_.pageControl;
    return nullptr;
}

bool TSongLists::eventFilter(QObject *watched, QEvent *event)
{
    QTableView *grid = links_.grid;
    if (!links_.inputGuard->allows(controlOf(watched))) {
        // Qt drops the input of a disabled control after this; a held
        // control handles it itself. Neither shows a stale hint.
        dragFrom_ = -1;
        dragging_ = false;
        if (event->type() == QEvent::ToolTip && watched == grid->viewport()) {
            QToolTip::hideText();
            return true;
        }
        return false;
    }
    if (watched == grid->horizontalHeader()->viewport()) {
        if (event->type() == QEvent::MouseButtonRelease) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            const int column = grid->horizontalHeader()->logicalIndexAt(mouse->position().toPoint());
            if (column >= 0)
                songlist_gridMouseUp(mouse->button(), 0, column);
            return true;
        }
        return false;
    }
    if (watched == links_.pageControl) {
        if (event->type() == QEvent::MouseButtonPress) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            page_controlMouseDown(mouse->button(), mouse->position().toPoint().x());
        }
        return false;
    }
    if (watched != grid->viewport())
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonDblClick: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton && grid->indexAt(mouse->position().toPoint()).isValid()) {
            grid->setCurrentIndex(grid->indexAt(mouse->position().toPoint()));
            songlist_gridDblClick();
            return true;
        }
        return false;
    }
    case QEvent::MouseButtonPress: {
        // A press on a song is how playing most often begins. The decoders,
        // left out of the start-up for their memory, are opened in the
        // background from here on, so that the double click finds them.
        audio::preloadMediaLibraries();
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const QModelIndex cell = grid->indexAt(mouse->position().toPoint());
        dragging_ = false;
        dragFrom_ = (rowMoving_ && !tagMode() && mouse->button() == Qt::LeftButton && cell.isValid())
                        ? cell.row() + 1
                        : -1;
        return false;
    }
    case QEvent::MouseMove: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const QModelIndex cell = grid->indexAt(mouse->position().toPoint());
        songlist_gridMouseMove(cell.isValid() ? cell.row() + 1 : -1, cell.column());
        if (dragFrom_ > 0 && (mouse->buttons() & Qt::LeftButton)) {
            dragging_ = true;
            // The grid keeps the dragged row selected, not a range.
            return true;
        }
        return false;
    }
    case QEvent::MouseButtonRelease: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const QModelIndex cell = grid->indexAt(mouse->position().toPoint());
        const int row = cell.isValid() ? cell.row() + 1 : -1;
        if (dragging_ && dragFrom_ > 0 && row > 0 && row != dragFrom_) {
            const int from = dragFrom_;
            dragFrom_ = -1;
            dragging_ = false;
            songlist_gridRowMoved(from, row);
            return true;
        }
        dragFrom_ = -1;
        dragging_ = false;
        songlist_gridMouseUp(mouse->button(), row, cell.column());
        return false;
    }
    case QEvent::ToolTip: {
        const auto *help = static_cast<QHelpEvent *>(event);
        const QString text = grid->viewport()->toolTip();
        if (links_.skinSettings->showGridHints && !text.isEmpty())
            QToolTip::showText(help->globalPos(), text, grid->viewport());
        else
            QToolTip::hideText();
        return true;
    }
    default:
        return false;
    }
}
