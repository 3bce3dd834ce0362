#pragma once

// The song library's data layer: compressed string lists, the song tables and
// the file-type filter. Everything here runs on the user-interface thread.

#include "songcolumn.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

// An ordered list of text lines whose file form is an azpack container.
// Stored text is UTF-8; each entry is followed by CR LF.
class TStringListC : public QStringList
{
public:
    using QStringList::QStringList;
    TStringListC() = default;
    TStringListC(const QStringList &lines) : QStringList(lines) {}

    // A missing, unreadable or damaged file gives an empty list.
    void LoadFromFile(const QString &fileName);
    // Returns azpack's result; the player itself does not act on it.
    bool SaveToFile(const QString &fileName) const;

    // Each entry followed by CR LF, the last one included.
    QString text() const;
    // Clears the list and adds one entry per line. A line ends at CR LF, a
    // lone CR or a lone LF; a final line break adds no empty entry; the text
    // ends at its first NUL character.
    void setText(const QString &text);
};

// Bits of TFileInfos::sortFlags.
namespace SortFlag {
constexpr std::uint8_t Ascending = 0x01;
constexpr std::uint8_t Number = 0x02;
constexpr std::uint8_t Title = 0x04;
constexpr std::uint8_t Artist = 0x08;
constexpr std::uint8_t Album = 0x10;
constexpr std::uint8_t Filename = 0x20;
constexpr std::uint8_t Archive = 0x40;
} // namespace SortFlag

class TTextPrefetch;

// A song table: five parallel columns. Row kinds: empty archive = a file on
// disk; both set = a member of the archive; empty filename with a URL in
// archive = a web-radio station.
class TFileInfos
{
public:
    TFileInfos() = default;

    std::uint8_t sortFlags = SortFlag::Ascending | SortFlag::Number;
    TSongColumn filename;
    TSongColumn archive;
    TSongColumn artist;
    TSongColumn title;
    TSongColumn album;

    int count() const { return static_cast<int>(filename.size()); }

    void clear();
    void assign(const TFileInfos &source);
    void appendRow(const QString &file, const QString &arch, const QString &art,
                   const QString &tit, const QString &alb);
    void appendRowFrom(const TFileInfos &source, int row);
    // Adds each of the source's five columns to the end of the matching column.
    void appendColumns(const TFileInfos &source);
    // A row that is not below count() is ignored.
    void deleteRow(std::uint32_t row);
    // ahead: the file restored ahead of time, used when it is still that file.
    void loadTable(const QString &fileName, TTextPrefetch *ahead = nullptr);
    void saveTable(const QString &fileName) const;
    void sort(std::uint8_t newSortFlags);
    // Rows outside the table are ignored.
    void exchangeRows(int a, int b);
    // True while all five columns hold the same number of entries.
    bool isConsistent() const;

private:
    std::array<TSongColumn *, 5> columns();
    TSongColumn *sortColumn();
    // Writes the stored text of rows [from, to) at `at`; returns its end.
    char *writeRows(char *at, int from, int to) const;
};

// What the archive lister returns: the song columns plus each member's
// unpacked size in whole KiB.
class TFileRARInfos : public TFileInfos
{
public:
    TStringListC sizeColumn;

    void clear();
};

// The accepted file types, read from "filetypes.azi": extension, minimum and
// maximum size in KiB (maximum "0" = no upper limit).
class TFileFilterInfos
{
public:
    TStringListC extension;
    TStringListC minimum;
    TStringListC maximum;

    void loadFilter(const QString &fileName);
    void clear();

    enum Kind { Rejected = 0, Song = 1, Archive = 3 };
    // 0 = not a song, 1 = an accepted music file, 3 = a RAR archive.
    // A file that cannot be opened is rejected.
    int classifyFile(const QString &path) const;
    // classifyFile for a regular file the caller has opened and measured.
    int classifySized(const QString &path, qint64 bytes) const;
    static bool isArchiveName(const QString &path);
    bool acceptsMember(const QString &name, qint64 sizeKiB) const;

private:
    bool entryAccepts(qsizetype entry, qint64 sizeKiB) const;
};

// The lower-cased (ASCII only) extension of a path's file name, dot included;
// empty when the name has no dot.
QString lowerExtension(const QString &path);

// The directory everything of the player lies in, with a trailing "/";
// programdir.h tells which one it is.
QString programDir();
