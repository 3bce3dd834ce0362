#include "songlists.h"

#include "captions.h"
#include "inputguard.h"
#include "medialibraries.h"
#include "melodeck.h"
#include "playback.h"
#include "songtablemodel.h"
#include "tabcontrol.h"

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

TSongLists::TSongLists(Melodeck &window, TSongTableModel &model)
    : w_(window), model_(model)
{
    w_.songlist_grid->viewport()->installEventFilter(this);
    w_.songlist_grid->viewport()->setMouseTracking(true);
    // Header clicks sort (or do nothing); they never select a column.
    w_.songlist_grid->horizontalHeader()->setSectionsClickable(false);
    w_.songlist_grid->horizontalHeader()->viewport()->installEventFilter(this);
    w_.page_control->installEventFilter(this);
}

bool TSongLists::tagMode() const
{
    return w_.button_tag->text() == Caption::TagMode;
}

int *TSongLists::topRowOf(const TFileInfos *list)
{
    if (list == &w_.musiclist)
        return &w_.topRows[0];
    if (list == &w_.searchlist)
        return &w_.topRows[1];
    if (list == &w_.radiolist)
        return &w_.topRows[2];
    return nullptr;
}

int TSongLists::firstVisibleRow() const
{
    const int row = w_.songlist_grid->rowAt(0);
    return row < 0 ? 1 : row + 1;
}

void TSongLists::setFirstVisibleRow(int gridRow)
{
    // The scroll range follows the new row count only after a layout pass.
    w_.songlist_grid->doItemsLayout();
    w_.songlist_grid->verticalScrollBar()->setValue(std::max(0, gridRow - 1));
}

void TSongLists::selectGridRow(int gridRow)
{
    const int row = gridRow - 1;
    if (row < 0 || row >= model_.rowCount())
        return;
    w_.songlist_grid->setCurrentIndex(model_.index(row, 0));
    w_.songlist_grid->selectRow(row);
}

void TSongLists::createTabs()
{
    const QSignalBlocker quiet(w_.page_control);
    w_.page_control->setTabWidth(kTabWidth);
    while (w_.page_control->count() > 0)
        w_.page_control->removeTab(0);
    for (const QString &caption : kTabCaptions)
        w_.page_control->addTab(caption);
    w_.page_control->setCurrentIndex(Page::Musiclist);
}

void TSongLists::showList(TFileInfos &list)
{
    if (int *top = topRowOf(w_.currentList))
        *top = firstVisibleRow();
    w_.currentList = &list;
    model_.setTable(&list);
    if (list.count() > 0) {
        w_.songlist_grid->setColumnWidth(0, kNumberColumnWidth);
        w_.songlist_grid->setColumnWidth(1, kTitleColumnWidth);
    }
    writeHeaders();
    // Whole rows are selected and cells are not edited on every list; only
    // the playlist's rows can be dragged.
    w_.songlist_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    w_.songlist_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    rowMoving_ = &list == &w_.playlist;
    if (rowMoving_) {
        w_.songlist_grid->clearSelection();
        selectGridRow(w_.currentIndex + 1);
        setFirstVisibleRow(w_.currentIndex > 0 ? w_.currentIndex : 1);
    } else {
        const int top = *topRowOf(&list);
        setFirstVisibleRow(top);
        w_.songlist_grid->clearSelection();
        selectGridRow(firstVisibleRow());
    }
    w_.showSongInfo(true);
}

void TSongLists::writeHeaders()
{
    const std::uint8_t flags = w_.currentList->sortFlags;
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
    if (w_.currentList->sortFlags & mask)
        w_.sortDirection ^= 1;
    else
        w_.sortDirection = 1;
    w_.currentList->sort(static_cast<std::uint8_t>(mask + w_.sortDirection));
    showList(*w_.currentList);
}

void TSongLists::songlist_gridDblClick()
{
    if (tagMode())
        return;
    w_.randomMode = false;
    const int selected = w_.songlist_grid->currentIndex().row();
    if (w_.page_control->currentIndex() == Page::Playlist) {
        w_.playSong(selected, true);
    } else if (w_.currentList->count() > 0 && selected >= 0 && selected < w_.currentList->count()) {
        // The row is taken before the playlist is emptied, in case the
        // shown list is the playlist itself.
        TFileInfos chosen;
        chosen.appendRowFrom(*w_.currentList, selected);
        w_.playlist.clear();
        w_.playlist.appendRowFrom(chosen, 0);
        w_.playSong(0, true);
    }
    w_.search_q->setFocus();
}

void TSongLists::songlist_gridMouseUp(Qt::MouseButton button, int row, int column)
{
    if (tagMode() || row < 0)
        return;
    const int page = w_.page_control->currentIndex();
    if (row == 0) {
        if (page == Page::Searchlist || page == Page::Playlist)
            sortByColumn(column);
        return;
    }
    if (button != Qt::RightButton)
        return;
    if (page == Page::Playlist) {
        const int top = firstVisibleRow();
        w_.playlist.deleteRow(static_cast<std::uint32_t>(row - 1));
        showList(w_.playlist);
        setFirstVisibleRow(top);
        w_.songlist_grid->clearSelection();
        selectGridRow(row);
    } else if (w_.currentList->count() > 0 && row - 1 < w_.currentList->count()) {
        w_.playlist.appendRowFrom(*w_.currentList, row - 1);
        if (w_.button_stop->isEnabled()) {
            w_.songlist_grid->clearSelection();
            selectGridRow(row);
        } else {
            w_.randomMode = false;
            w_.playSong(w_.playlist.count() - 1, true);
        }
    }
    w_.search_q->setFocus();
}

void TSongLists::songlist_gridMouseMove(int row, int column)
{
    if (!w_.skinSettings().showGridHints)
        return;
    QWidget *viewport = w_.songlist_grid->viewport();
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
    TFileInfos &list = *w_.currentList;
    const int source = from - 1;
    const int target = to - 1;
    if (source < 0 || target < 0 || source >= list.count() || target >= list.count() || source == target)
        return;
    for (TStringListC *column : {&list.filename, &list.archive, &list.artist, &list.title, &list.album})
        column->move(source, target);
    if (&list == &w_.playlist) {
        std::int32_t &current = w_.currentIndex;
        if (current == source)
            current = target;
        else if (current > source && current <= target)
            --current;
        else if (current >= target && current < source)
            ++current;
    }
    // The model numbers the rows itself, so the first column follows.
    model_.reload();
    w_.songlist_grid->clearSelection();
    selectGridRow(to);
}

void TSongLists::page_controlMouseDown(Qt::MouseButton button, int x)
{
    if (button != Qt::RightButton)
        return;
    const int tab = (x - kTabStripOffset) / kTabWidth;
    if (x < kTabStripOffset || tab != w_.page_control->currentIndex())
        return;
    if (tab == Page::Playlist) {
        w_.playlist.clear();
        showList(w_.playlist);
        return;
    }
    // Counted once: appending the playlist to itself doubles it.
    const TFileInfos &source = *w_.currentList;
    const int rows = source.count();
    if (rows == 0)
        return;
    for (int row = 0; row < rows; ++row)
        w_.playlist.appendRowFrom(source, row);
    if (w_.button_stop->isEnabled()) {
        {
            const QSignalBlocker quiet(w_.page_control);
            w_.page_control->setCurrentIndex(Page::Playlist);
        }
        w_.page_controlChange();
    } else {
        w_.randomMode = false;
        w_.playSong(w_.playlist.count() - rows, true);
    }
}

QWidget *TSongLists::controlOf(const QObject *watched) const
{
    QTableView *grid = w_.songlist_grid;
    if (watched == grid->viewport() || watched == grid->horizontalHeader()->viewport())
        return grid;
    if (watched == w_.page_control)
        return w_.page_control;
    return nullptr;
}

bool TSongLists::eventFilter(QObject *watched, QEvent *event)
{
    QTableView *grid = w_.songlist_grid;
    if (!w_.inputGuard().allows(controlOf(watched))) {
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
    if (watched == w_.page_control) {
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
        if (w_.skinSettings().showGridHints && !text.isEmpty())
            QToolTip::showText(help->globalPos(), text, grid->viewport());
        else
            QToolTip::hideText();
        return true;
    }
    default:
        return false;
    }
}
