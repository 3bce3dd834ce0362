#include "tageditor.h"

#include "captions.h"
#include "inputguard.h"
#include "scanner.h"
#include "songtablemodel.h"
#include "tabcontrol.h"
#include "usermessages.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTableView>

#include <functional>

using namespace Qt::StringLiterals;

// The grid's cell editor, reporting each change of its text rather than the
// finished text: the table follows every keystroke.
class TTagCellDelegate : public QStyledItemDelegate
{
public:
    using TextEdited = std::function<void(int column, int gridRow, const QString &text)>;

    TTagCellDelegate(TextEdited textEdited, QObject *parent)
        : QStyledItemDelegate(parent), textEdited_(std::move(textEdited))
    {
    }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override
    {
        QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto *line = qobject_cast<QLineEdit *>(editor)) {
            const QPersistentModelIndex cell(index);
            connect(line, &QLineEdit::textEdited, line, [this, cell](const QString &text) {
                if (cell.isValid())
                    textEdited_(cell.column(), cell.row() + 1, text);
            });
        }
        return editor;
    }

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        // Rewriting an unchanged text would put the caret at its end in the
        // middle of typing; a changed one is a cell that snapped back.
        if (const auto *line = qobject_cast<QLineEdit *>(editor);
            line && line->text() == index.data(Qt::DisplayRole).toString())
            return;
        QStyledItemDelegate::setEditorData(editor, index);
    }

    void setModelData(QWidget *, QAbstractItemModel *, const QModelIndex &) const override
    {
        // Already in the table, keystroke by keystroke.
    }

    // Ends an edit still open, so that the grid is left as it is shown.
    void closeOpenEditor(const QAbstractItemView &view)
    {
        if (QWidget *editor = view.indexWidget(view.currentIndex()))
            Q_EMIT closeEditor(editor, QAbstractItemDelegate::NoHint);
    }

private:
    TextEdited textEdited_;
};

const QString TTagEditor::kQuestionTitle = u"Tag-Editor"_s;
const QString TTagEditor::kQuestionText =
    u"Do you want to save the changes you added to your musiclist? Remark: Changes will only apply to the "
    u"database, not to the files themselves."_s;

TTagEditor::TTagEditor(TTagEditorLinks links)
    : QObject(links.window), links_(std::move(links)), model_(*links_.model)
{
    delegate_ = new TTagCellDelegate(
        [this](int column, int gridRow, const QString &text) { songlist_gridSetEditText(column, gridRow, text); },
        this);
    links_.grid->setItemDelegate(delegate_);
}

bool TTagEditor::inTagMode() const
{
    return links_.tagButton->text() == Caption::TagMode;
}

void TTagEditor::button_tagClick()
{
    if (inTagMode())
        leaveTagMode();
    else
        enterTagMode();
}

void TTagEditor::setLocked(bool locked)
{
    // Nothing may replace or play from the tables being edited; stop, save
    // and the hot keys stay, and a playing song goes on.
    for (QWidget *control : links_.lockedInTagMode)
        control->setEnabled(!locked);
    links_.pageControl->setEnabled(!locked);
    // The grid's and the tabs' own mouse handlers rest; the cells get the
    // clicks.
    links_.inputGuard->setHold(TInputGuard::Hold::TagMode, locked);
}

void TTagEditor::enterTagMode()
{
    {
        const QSignalBlocker quiet(links_.pageControl);
        links_.pageControl->setCurrentIndex(Page::Musiclist);
    }
    links_.pageControlChange();
    QTableView *grid = links_.grid;
    grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked
                          | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    // The cell under the old row selection, not the whole row, is current.
    if (const QModelIndex current = grid->currentIndex(); current.isValid())
        grid->setCurrentIndex(model_.index(current.row(), current.column() > 0 ? current.column() : 1));
    *links_.tagsChanged = false;
    links_.tagButton->setText(Caption::TagMode);
    setLocked(true);
}

void TTagEditor::leaveTagMode()
{
    delegate_->closeOpenEditor(*links_.grid);
    if (*links_.tagsChanged) {
        const QString songList = programDir() + kSongListFileName;
        if (askYesNo(links_.window, QMessageBox::Question, kQuestionTitle, kQuestionText)) {
            links_.musiclist->saveTable(songList);
        } else {
            links_.musiclist->loadTable(songList);
            links_.pageControlChange();
        }
    }
    QTableView *grid = links_.grid;
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The last edited cell's row is selected whole again.
    if (const QModelIndex current = grid->currentIndex(); current.isValid())
        grid->selectRow(current.row());
    links_.tagButton->setText(Caption::Tag);
    setLocked(false);
}

void TTagEditor::songlist_gridSetEditText(int column, int row, const QString &text)
{
    TFileInfos &list = **links_.currentList;
    const int index = row - 1;
    if (index < 0 || index >= list.count())
        return;
    TSongColumn *edited = nullptr;
    switch (column) {
    case 1:
        edited = &list.title;
        break;
    case 2:
        edited = &list.artist;
        break;
    case 3:
        edited = &list.album;
        break;
    default:
        // Filename and Archive Filename name the song: the cell shows the
        // stored entry again (below), whatever was typed.
        break;
    }
    if (edited && index < edited->size())
        edited->replace(index, text);
    model_.cellsChanged(index, column, column);
    if (edited && !*links_.tagsChanged)
        *links_.tagsChanged = true;
}
