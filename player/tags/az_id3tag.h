#pragma once

// The tag reader. Artist, title and album come from the file's own tags,
// read with TagLib: ID3v2 (2.2 to 2.4), APE and ID3v1 tags, Vorbis comments
// of Ogg and FLAC files, MP4 atoms, ASF attributes and the ID3 chunk of WAV
// and AIFF files. Artist and title are first derived from the file name, so
// an untagged file still gets a title. The reader never writes to a file.

#include <QByteArrayView>

#include <taglib/tbytevector.h>
#include <QString>

#include <array>
#include <cstddef>
#include <optional>

// One entry of the reader's result.
struct tid3tag
{
    QString id;
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

// The identifiers of the entries, in their order. Only TPE1 (artist), TIT2
// (title) and TALB (album) are filled from tags; the others stay empty.
inline constexpr std::array<const char *, id3TagCount> id3FrameIds = {
    "TIT2", "TALB", "TCON", "PeakValue", "AverageLevel", "TPE1",
    "TLEN", "TYER", "COMM", "TENC", "TRCK", "TCOM",
    "TOAL", "TPUB", "TSST", "TPE2", "TBPM", "PRIV"};

// How many of a file's first bytes a scan reads at most; TagLib gets them
// from memory and reads further only where a format needs it.
constexpr qsizetype tagHeadSize = 4096;

// The most an archive member's listing extracts of it: the tags at its
// start, whatever sizes they claim.
constexpr qsizetype memberTagHeadLimit = 1 << 20;

// Sets every entry's id from id3FrameIds and clears its value.
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

// A file opened for reading its tags: its first bytes, the open file for
// the rest (-1 when the head is all there is) and its size in bytes (-1 when
// not known yet: the open file is asked only if the tags need it).
struct TTagSource
{
    QByteArrayView head;
    int fd = -1;
    qint64 size = 0;
    // Where TagLib gets its copy of the head; one kept from file to file
    // grows once, so reading the next file's tags allocates less. Null:
    // a new one each time.
    TagLib::ByteVector *room = nullptr;
};

// Reads the start of the open file into head, reusing its room: as far as
// the tags at the start reach, up to tagHeadSize bytes, and at least a
// first block. True when that reached the file's end, so head holds the
// whole file.
bool readFileHead(int fd, QByteArray &head);

// tagsFromFileName(path), then the values the file's tags give: each of
// artist, title and album a tag holds replaces the file-name value. Line
// breaks become spaces, other control characters are dropped, and spaces
// at either end are trimmed. A
// damaged or truncated tag gives what could be read of it.
void readTagsFrom(const QString &path, const TTagSource &source, TId3Tags &entries);

// Fills the entries for the file at the path. A missing or unreadable file,
// or one that is not a regular file, quietly leaves the file-name values.
void readTags(const QString &path, TId3Tags &entries);

// The form used when a song is added. With an empty archive path this is
// readTags(name). Otherwise the member called name has just been extracted
// to scratchFile: its tags are read from there, and when that gives no title
// but the scratch file's own name, the title (and artist) come from the
// member's name.
void readSongTags(const QString &name, const QString &archivePath, TId3Tags &entries,
                  const QString &scratchFile);
