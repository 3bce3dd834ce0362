#pragma once

// Tag mode: the titles, artists and albums of the Musiclist typed over in the
// grid's own cells. Every keystroke goes into the song table at once; the
// music files are never touched. Leaving the mode asks whether the changes go
// to "songlist.azl" or are thrown away.

#include <QObject>
#include <QString>

class Melodeck;
class TSongTableModel;
class TTagCellDelegate;
class QWidget;

class TTagEditor : public QObject
{
public:
    static const QString kQuestionTitle;
    static const QString kQuestionText;

    TTagEditor(Melodeck &window, TSongTableModel &model);

    void button_tagClick();
    // row is the grid row (list row + 1).
    void songlist_gridSetEditText(int column, int row, const QString &text);
    bool inTagMode() const;

private:
    void enterTagMode();
    void leaveTagMode();
    void setLocked(bool locked);

    Melodeck &w_;
    TSongTableModel &model_;
    TTagCellDelegate *delegate_ = nullptr;
};
