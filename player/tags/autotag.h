#pragma once

// The "AutoTag" window (fixed single border with the system menu only, client
// area 790 by 390). It lists the library's songs whose title is still a file
// name "Artist - Title.xxx" and, for the ones the user leaves marked, sets
// Artist and Title from that name. Only the library table and its store
// change; the music files keep their names and tags. Created once at
// start-up and opened modally from the skin editor.

#include "autotagcandidates.h"

#include <QDialog>

#include <functional>

class QLabel;
class QListWidget;
class QPushButton;
class QShowEvent;
class QTabBar;
class QWidget;
class TFileInfos;

// What the main window hands AutoTag at start-up: the library table it
// always works on, the tab control (to know whether the library is shown),
// the way to show a list in the grid, and how to show its closing message.
struct TAutoTagLinks
{
    TFileInfos *musiclist = nullptr;
    const QTabBar *pageControl = nullptr;
    std::function<void(TFileInfos &list)> showList;
    std::function<void(QWidget *parent, const QString &text)> showMessage;
};

class Tautotag_form : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kClientWidth = 790;
    static constexpr int kClientHeight = 390;
    static constexpr int kItemHeight = 13;
    static const QString kStoreFileName; // "songlist.azl"
    static const QString kFoundText;     // " untagged files found."
    static const QString kRenamedText;   // " files have been renamed successfully."

    explicit Tautotag_form(TAutoTagLinks links, QWidget *parent = nullptr);

    // Collects the candidates anew and marks them all.
    void FormShow();
    // "Tag!": tags the marked songs, stores the library, reports, closes.
    void Button1Click();
    // "Cancel": closes, nothing changes.
    void Button2Click();
    // "Select All/None": unmarks all when the last bulk action marked all,
    // marks all otherwise.
    void Button3Click();

    // Whether the last bulk action marked every item.
    bool allSelected() const { return allSelected_; }
    const TAutoTagCandidates &candidates() const { return candidates_; }

    QListWidget *tags = nullptr;
    QLabel *cnt = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *Button2 = nullptr;
    QPushButton *Button3 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void markAll(bool marked);
    void message(const QString &text);

    TAutoTagLinks links_;
    TAutoTagCandidates candidates_;
    bool allSelected_ = true;
};

// The font of the check list: a fixed-pitch face with Courier's metrics,
// small enough that a whole line fits the list's width.
QFont autoTagListFont();
