#pragma once

// "Save Playlist" and "Load Playlist": the playlist written to a file the
// user names, and such a file read back as the playlist (which then plays)
// or, on the Searchlist tab, as the search list.

#include <QString>

#include <cstdint>
#include <functional>

class QFileDialog;
class QTabBar;
class TFileInfos;

// What the main window hands the playlist files at construction.
struct TPlaylistFilesLinks
{
    QFileDialog *saveDialog = nullptr;
    QFileDialog *openDialog = nullptr;
    TFileInfos *playlist = nullptr;
    TFileInfos *searchlist = nullptr;
    QTabBar *pageControl = nullptr;
    std::function<void(TFileInfos &list)> showList;
    // Shows the list of the active tab.
    std::function<void()> pageControlChange;
    std::function<void(std::int32_t row, bool showPlaylist)> playSong;
};

// The name a playlist is saved under: ".azl" is appended unless the name
// already ends in it, in any case. "x.txt" becomes "x.txt.azl".
QString withPlaylistExtension(const QString &name);

class TPlaylistFiles
{
public:
    // One entry in both dialogs: this description, the pattern "*.azl".
    static const QString kFilterDescription;

    explicit TPlaylistFiles(TPlaylistFilesLinks links);

    void button_saveplaylistClick();
    void button_loadplaylistClick();

private:
    const TPlaylistFilesLinks links_;
};
