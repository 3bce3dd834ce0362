#pragma once

// The four song lists in the grid: writing a list into the grid, its headers
// with the sort mark, header-click sorting, the mouse actions on rows and
// tabs, moving playlist rows by dragging, and the cell hints. Grid row r
// (1-based, row 0 being the header) shows list row r - 1.

#include <QModelIndex>
#include <QObject>

#include <array>
#include <cstdint>
#include <functional>

class QLineEdit;
class QPushButton;
class QTableView;
class TFileInfos;
class TInputGuard;
class TSkinSettings;
class TSongTableModel;
class TTabControl;

// What the main window hands the song lists at construction: the four
// tables, the play state they read and set, and the controls they use.
struct TSongListsLinks
{
    TFileInfos *musiclist = nullptr;
    TFileInfos *searchlist = nullptr;
    TFileInfos *radiolist = nullptr;
    TFileInfos *playlist = nullptr;
    // The table the grid shows; showList sets it.
    TFileInfos **currentList = nullptr;
    std::int32_t *currentIndex = nullptr;
    bool *randomMode = nullptr;
    std::uint8_t *sortDirection = nullptr;
    // The first visible rows of musiclist, searchlist and radiolist.
    std::array<int, 3> *topRows = nullptr;
    // Read anew each time: a new skin replaces the settings.
    const TSkinSettings *skinSettings = nullptr;
    TInputGuard *inputGuard = nullptr;
    TSongTableModel *model = nullptr;
    QTableView *grid = nullptr;
    TTabControl *pageControl = nullptr;
    QLineEdit *searchQuery = nullptr;
    QPushButton *stopButton = nullptr;
    QPushButton *tagButton = nullptr;
    std::function<void(std::int32_t row, bool showPlaylist)> playSong;
    std::function<void(bool numberOnly)> showSongInfo;
    // Shows the list of the active tab.
    std::function<void()> pageControlChange;
};

class TSongLists : public QObject
{
    Q_OBJECT

public:
    static constexpr int kTabWidth = 73;
    static constexpr int kNumberColumnWidth = 35;
    static constexpr int kTitleColumnWidth = 155;

    explicit TSongLists(TSongListsLinks links);

    void createTabs();
    void showList(TFileInfos &list);
    void writeHeaders();
    void sortByColumn(int column);

    void songlist_gridDblClick();
    // row is the grid row (0 = header, -1 = outside any cell).
    void songlist_gridMouseUp(Qt::MouseButton button, int row, int column);
    void songlist_gridMouseMove(int row, int column);
    void songlist_gridRowMoved(int from, int to);
    void page_controlMouseDown(Qt::MouseButton button, int x);

    // The grid row shown at the top of the grid, and scrolling to one.
    int firstVisibleRow() const;
    void setFirstVisibleRow(int gridRow);
    // True while row moving by dragging is switched on (the playlist shown).
    bool rowMoving() const { return rowMoving_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool tagMode() const;
    // The control whose enabled state rules the events of watched.
    QWidget *controlOf(const QObject *watched) const;
    int *topRowOf(const TFileInfos *list);
    void selectGridRow(int gridRow);

    const TSongListsLinks links_;
    TSongTableModel &model_;
    bool rowMoving_ = false;
    int dragFrom_ = -1;
    bool dragging_ = false;
    QModelIndex hintCell_;
};
