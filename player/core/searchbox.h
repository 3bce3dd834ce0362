#pragma once

// The search row: Enter in the query box fills the Searchlist with the hits,
// or, with an empty query, goes back to the Musiclist.

#include "az_search.h"

#include <functional>

class QComboBox;
class QLineEdit;
class QRadioButton;
class QTabBar;
class QTableView;
class TFileInfos;
class TImage;
class TSkinDisplay;

// What the main window hands the search row at construction.
struct TSearchBoxLinks
{
    QLineEdit *query = nullptr;
    QComboBox *where = nullptr;
    QRadioButton *allTerms = nullptr;
    QRadioButton *anyTerm = nullptr;
    QTableView *grid = nullptr;
    QTabBar *pageControl = nullptr;
    TSkinDisplay *display = nullptr;
    TImage *image = nullptr;
    const TFileInfos *musiclist = nullptr;
    TFileInfos *searchlist = nullptr;
    // The table the grid shows.
    TFileInfos *const *currentList = nullptr;
    // Where the grid stood in the Searchlist when it was last left.
    int *searchlistTopRow = nullptr;
    // Shows the list of the active tab.
    std::function<void()> pageControlChange;
};

class TSearchBox
{
public:
    explicit TSearchBox(TSearchBoxLinks links) : links_(std::move(links)) {}

    void search_qKeyDown(int key);

private:
    const TSearchBoxLinks links_;
    TSongSearch songSearch_;
};
