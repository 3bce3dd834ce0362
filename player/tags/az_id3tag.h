#pragma once

// The ID3 tag reader. It does not parse the ID3v2 structure: it looks for
// frame identifiers as plain text in the first 1024 bytes of a file and
// decodes the text after each one from fixed offsets. Artist and title are
// first derived from the file name, so an untagged file still gets a title.
// The reader never writes to a file.

#include <QByteArray>
#include <QString>

#include <array>
#include <cstddef>
#include <optional>

// One entry of the reader's result.
struct tid3tag
{
    QString id;
    // 1-based position of the id's first occurrence in the tag window, 0 when
    // absent; only set when the window is searched.
    qint32 position = 0;
    QString value;
};

constexpr std::size_t id3TagCount = 18;
using TId3Tags = std::array<tid3tag, id3TagCount>;

// Indices into TId3Tags; the order is the order of the lookups.
namespace Id3 {
enum Index : std::size_t {
    TIT2 = 0, TALB, TCON, PeakValue, AverageLevel, TPE1, TLEN, TYER, COMM,
    TENC, TRCK, TCOM, TOAL, TPUB, TSST, TPE2, TBPM, PRIV
};
} // namespace Id3

// The identifiers looked for, in lookup order. "PeakValue" and "AverageLevel"
// are owner texts of PRIV frames, searched for the same way.
inline constexpr std::array<const char *, id3TagCount> id3FrameIds = {
    "TIT2", "TALB", "TCON", "PeakValue", "AverageLevel", "TPE1",
    "TLEN", "TYER", "COMM", "TENC", "TRCK", "TCOM",
    "TOAL", "TPUB", "TSST", "TPE2", "TBPM", "PRIV"};

// Size of the tag window: the first bytes of the file that are examined.
constexpr qsizetype id3WindowSize = 1024;

// Sets every entry's id from id3FrameIds and clears its position and value.
// Doubles as the start-up step that sets up the table of identifiers.
void setupId3Tags(TId3Tags &entries);

struct ArtistTitle
{
    QString artist;
    QString title;
};

// Splits "Artist - Title.ext" (a three-character extension and a "-"
// somewhere) at the first "-"; nothing for any other name.
std::optional<ArtistTitle> splitArtistTitle(const QString &name);

// The part of the path after its last "\" or "/".
QString bareFileName(const QString &path);

// Steps that need no file: ids set, values cleared, and TPE1/TIT2 taken from
// the path's bare file name (the whole name as title when it does not split).
void tagsFromFileName(const QString &path, TId3Tags &entries);

// Copies the window bytes at 1-based positions start .. start + count - 1
// that lie inside the window and are printable ASCII or one of the six kept
// Latin-1 letters (Ä Ö Ü ä ö ü), then drops trailing spaces.
QByteArray cleanText(const QByteArray &window, int start, int count);

// The characters at odd 1-based positions: the low bytes of little-endian
// UTF-16 text that went through cleanText.
QByteArray narrowText(const QByteArray &text);

// Turns raw file bytes into the tag window: zero bytes read as spaces.
QByteArray tagWindow(const QByteArray &firstBytes);

// Searches a tag window (see tagWindow) for each id of id3FrameIds and
// decodes the values found into the entry of the same index; entries whose
// frame is absent or has an unknown encoding keep their value. Does nothing
// when "ID3" does not occur in the window.
void decodeTagWindow(const QByteArray &window, TId3Tags &entries);

// Fills the entries for the file at the path. A missing, unreadable or short
// (< 1024 bytes) file quietly leaves the file-name values.
void readTags(const QString &path, TId3Tags &entries);

// The form used when a song is added. With an empty archive path this is
// readTags(name). Otherwise the member called name has just been extracted
// to scratchFile: its tags are read from there, and when that gives no title
// but the scratch file's own name, the title (and artist) come from the
// member's name.
void readSongTags(const QString &name, const QString &archivePath, TId3Tags &entries,
                  const QString &scratchFile);
