#pragma once

// Tag mode: the titles, artists and albums of the Musiclist typed over in the
// grid's own cells. Every keystroke goes into the song table at once; the
// music files are never touched. Leaving the mode asks whether the changes go
// to "songlist.azl" or are thrown away.

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QPushButton;
class QTabBar;
class QTableView;
class QWidget;
class TFileInfos;
class TInputGuard;
class TSongTableModel;
class TTagCellDelegate;

// What the main window hands tag mode at construction.
struct TTagEditorLinks
{
    // Parent of the question on leaving.
    QWidget *window = nullptr;
    QTableView *grid = nullptr;
    TSongTableModel *model = nullptr;
    QPushButton *tagButton = nullptr;
    QTabBar *pageControl = nullptr;
    TInputGuard *inputGuard = nullptr;
    TFileInfos *musiclist = nullptr;
    // The table the grid shows; the edits go there.
    TFileInfos *const *currentList = nullptr;
    bool *tagsChanged = nullptr;
    // The buttons that would replace or play from the tables being edited.
    QList<QWidget *> lockedInTagMode;
    // Shows the list of the active tab.
    std::function<void()> pageControlChange;
};

class TTagEditor : public QObject
{
public:
    static const QString kQuestionTitle;
    static const QString kQuestionText;

    explicit TTagEditor(TTagEditorLinks links);

    void button_tagClick();
    // row is the grid row (list row + 1).
    void songlist_gridSetEditText(int column, int row, const QString &text);
    bool inTagMode() const;

private:
    void enterTagMode();
    void leaveTagMode();
    void setLocked(bool locked);

    const TTagEditorLinks links_;
    TSongTableModel &model_;
    TTagCellDelegate *delegate_ = nullptr;
};
