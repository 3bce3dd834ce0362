#pragma once

// "Save Playlist" and "Load Playlist": the playlist written to a file the
// user names, and such a file read back as the playlist (which then plays)
// or, on the Searchlist tab, as the search list.

#include <QString>

class Melodeck;
class QFileDialog;

// The name a playlist is saved under: ".azl" is appended unless the name
// already ends in it, in any case. "x.txt" becomes "x.txt.azl".
QString withPlaylistExtension(const QString &name);

class TPlaylistFiles
{
public:
    // One entry in both dialogs: this description, the pattern "*.azl".
    static const QString kFilterDescription;

    explicit TPlaylistFiles(Melodeck &window);

    void button_saveplaylistClick();
    void button_loadplaylistClick();

private:
    Melodeck &w_;
};
