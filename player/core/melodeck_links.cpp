// What the main window hands the song lists, the library scan, tag mode, the
// search row, the play order and the playlist files: its tables, the controls they use and
// the operations they call back.

#include "captions.h"
#include "libraryscan.h"
#include "melodeck.h"
#include "playlistfiles.h"
#include "playorder.h"
#include "searchbox.h"
#include "tabcontrol.h"
#include "shutdown.h"
#include "songlists.h"
#include "tageditor.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

namespace {
// topRows holds the first visible rows of musiclist, searchlist, radiolist.
constexpr std::size_t kSearchlistTopRow = 1;
} // namespace

TSongListsLinks Melodeck::songListsLinks()
{
    TSongListsLinks links;
    links.musiclist = &musiclist;
    links.searchlist = &searchlist;
    links.radiolist = &radiolist;
    links.playlist = &playlist;
    links.currentList = &currentList;
    links.currentIndex = &currentIndex;
    links.randomMode = &randomMode;
    links.sortDirection = &sortDirection;
    links.topRows = &topRows;
    links.skinSettings = &skin_;
    links.inputGuard = &inputGuard_;
    links.model = gridModel_;
    links.grid = songlist_grid;
    links.pageControl = page_control;
    links.searchQuery = search_q;
    links.stopButton = button_stop;
    links.tagButton = button_tag;
    links.playSong = [this](std::int32_t row, bool showPlaylist) { playSong(row, showPlaylist); };
    links.showSongInfo = [this](bool numberOnly) { showSongInfo(numberOnly); };
    links.pageControlChange = [this] { page_controlChange(); };
    return links;
}

TLibraryScanLinks Melodeck::libraryScanLinks()
{
    TLibraryScanLinks links;
    links.window = this;
    links.image = Image1;
    links.display = &display_;
    links.filter = &filterTable;
    links.archives = unrar_.get();
    links.musiclist = &musiclist;
    links.playlist = &playlist;
    links.currentList = &currentList;
    links.pageControl = page_control;
    links.currentArtist = &currentArtist;
    links.currentTitle = &currentTitle;
    links.currentAlbum = &currentAlbum;
    // The five buttons of the refresh, and everything else that reads or
    // changes a song table: the grid, the tabs, search, tags, playlists and
    // the skin editor, whose AutoTag would store the library half built.
    links.blockedWhileScanning = {button_playpause, button_random,    button_refreshsonglist, button_nextsong,
                                  button_previoussong, songlist_grid, page_control,          search_q,
                                  search_where,        button_tag,    button_saveplaylist,   button_loadplaylist,
                                  Button1};
    links.stop = [this] { button_stopClick(); };
    links.showList = [this](TFileInfos &list) { showList(list); };
    links.showTime = [this] { showTime(); };
    return links;
}

TTagEditorLinks Melodeck::tagEditorLinks()
{
    TTagEditorLinks links;
    links.window = this;
    links.grid = songlist_grid;
    links.model = gridModel_;
    links.tagButton = button_tag;
    links.pageControl = page_control;
    links.inputGuard = &inputGuard_;
    links.musiclist = &musiclist;
    links.currentList = &currentList;
    links.tagsChanged = &tagsChanged;
    // Stop, save and the hot keys stay usable, and a playing song goes on.
    links.lockedInTagMode = {button_playpause, button_random, button_refreshsonglist, button_nextsong,
                             button_previoussong, button_loadplaylist};
    links.pageControlChange = [this] { page_controlChange(); };
    return links;
}

TSearchBoxLinks Melodeck::searchBoxLinks()
{
    TSearchBoxLinks links;
    links.query = search_q;
    links.where = search_where;
    links.allTerms = search_and;
    links.anyTerm = search_or;
    links.grid = songlist_grid;
    links.pageControl = page_control;
    links.display = &display_;
    links.image = Image1;
    links.musiclist = &musiclist;
    links.searchlist = &searchlist;
    links.currentList = &currentList;
    links.searchlistTopRow = &topRows.at(kSearchlistTopRow);
    links.pageControlChange = [this] { page_controlChange(); };
    return links;
}

TPlayOrderLinks Melodeck::playOrderLinks()
{
    TPlayOrderLinks links;
    links.playlist = &playlist;
    links.currentList = &currentList;
    links.currentIndex = &currentIndex;
    links.randomMode = &randomMode;
    links.random = &random_;
    links.pageControl = page_control;
    links.afterStop = after_playlist_stop;
    links.afterRepeat = after_playlist_repeat;
    links.afterShutdown = after_playlist_shutdown;
    links.playSong = [this](std::int32_t row, bool showPlaylist) { playSong(row, showPlaylist); };
    links.stop = [this] { button_stopClick(); };
    links.shutdown = [](int kind) { return shutdownSystem(kind); };
    return links;
}

TPlaylistFilesLinks Melodeck::playlistFilesLinks()
{
    TPlaylistFilesLinks links;
    links.saveDialog = SaveDialog1;
    links.openDialog = OpenDialog1;
    links.playlist = &playlist;
    links.searchlist = &searchlist;
    links.pageControl = page_control;
    links.showList = [this](TFileInfos &list) { showList(list); };
    links.pageControlChange = [this] { page_controlChange(); };
    links.playSong = [this](std::int32_t row, bool showPlaylist) { playSong(row, showPlaylist); };
    return links;
}
