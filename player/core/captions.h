#pragma once

// Captions of the main window that other parts read back as state: the
// play/pause button's caption tells whether something plays, the tag button's
// whether tag mode is on.

#include <QString>

namespace Caption {
inline const QString Play = QStringLiteral("|>");
inline const QString Pause = QStringLiteral("||");
inline const QString Tag = QStringLiteral("Tag");
inline const QString TagMode = QStringLiteral("Tag*");
inline const QString WindowTitle = QStringLiteral("Melodeck");
} // namespace Caption

// The tabs of page_control, by page index.
namespace Page {
constexpr int Musiclist = 0;
constexpr int Radiolist = 1;
constexpr int Searchlist = 2;
constexpr int Playlist = 3;
} // namespace Page
