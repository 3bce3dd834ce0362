#include "options.h"

#include "pagebuffer.h"
#include "storedrows.h"
#include "storedtext.h"
#include "textprefetch.h"

#include <QDebug>

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

constexpr int ColumnsPerRow = 5;

// Tables from this many rows on are stored and restored in two halves on two
// threads; below it a second thread costs more than it saves.
constexpr int SplitRows = 4096;

constexpr char IncompleteStoreWarning[] =
    "Song store %s ends with %d line(s) of an incomplete row; they are ignored";

// What a cell takes in the stored text, its line end included, at most.
std::size_t storedBytes(const TSongColumn &column, int row)
{
    if (row >= column.size())
        return 2;
    const TTextArena::Cell cell = column.rawCell(row);
    return (cell.wide ? cell.size / 2 * 3 : cell.size) + 2;
}

} // namespace

void TFileInfos::clear()
{
    for (TSongColumn *column : columns())
        column->clear();
}

void TFileInfos::assign(const TFileInfos &source)
{
    if (&source == this)
        return;
    filename = source.filename;
    archive = source.archive;
    artist = source.artist;
    title = source.title;
    album = source.album;
}

void TFileInfos::appendRow(const QString &file, const QString &arch, const QString &art,
                           const QString &tit, const QString &alb)
{
    filename.append(file);
    archive.append(arch);
    artist.append(art);
    title.append(tit);
    album.append(alb);
}

void TFileInfos::appendRowFrom(const TFileInfos &source, int row)
{
    if (row < 0 || row >= source.count() || !source.isConsistent())
        return;
    // Cells of a table sharing the source's texts are numbers only.
    filename.appendCell(source.filename, row);
    archive.appendCell(source.archive, row);
    artist.appendCell(source.artist, row);
    title.appendCell(source.title, row);
    album.appendCell(source.album, row);
}

void TFileInfos::appendColumns(const TFileInfos &source)
{
    filename.append(source.filename);
    archive.append(source.archive);
    artist.append(source.artist);
    title.append(source.title);
    album.append(source.album);
}

void TFileInfos::deleteRow(std::uint32_t row)
{
    if (row >= static_cast<std::uint32_t>(count()))
        return;
    const auto index = static_cast<qsizetype>(row);
    for (TSongColumn *column : columns()) {
        if (index < column->size())
            column->removeAt(index);
    }
}

void TFileInfos::loadTable(const QString &fileName, TTextPrefetch *ahead)
{
    const std::array<TSongColumn *, ColumnsPerRow> target = columns();
    // A big library's old texts are a hundred megabytes to give back: that
    // happens beside the restore rather than before it.
    std::array<TSongColumn, ColumnsPerRow> old;
    for (std::size_t column = 0; column < old.size(); ++column)
        old[column].swap(*target[column]);
    std::optional<TRestoredText> restored;
    QByteArrayView text;
    const auto restore = [&] {
        if (ahead && ahead->take(fileName, text))
            return;
        restored.emplace(fileName);
        text = restored->text();
    };
    if (old[0].size() < SplitRows)
        restore();
    else
        runSideBySide(restore, [&] { old = {}; });
    // A big table is read in two halves side by side, cut where a row
    // begins, each into a block of its own until they are joined.
    const qsizetype cut = text.size() < SplitRows * ColumnsPerRow * 16
        ? text.size()
        : groupStartFrom(text, text.size() / 2, ColumnsPerRow);
    TStoredRows first;
    TStoredRows second;
    const auto readFirst = [&] { first.read(text.first(cut)); };
    if (cut < text.size())
        runSideBySide(readFirst, [&] { second.read(text.sliced(cut)); });
    else
        readFirst();
    std::array<TSongColumn, ColumnsPerRow> joined = TStoredRows::join(first, second);
    for (std::size_t column = 0; column < joined.size(); ++column)
        target[column]->swap(joined[column]);
    // A torn tail would shift every column if it were read as a row.
    if (const qsizetype rest = (first.lines() + second.lines()) % ColumnsPerRow; rest != 0) {
        for (qsizetype column = 0; column < rest; ++column)
            target[static_cast<std::size_t>(column)]->removeLast();
        qWarning(IncompleteStoreWarning, qUtf8Printable(fileName), static_cast<int>(rest));
    }
}

void TFileInfos::saveTable(const QString &fileName) const
{
    const int rows = count();
    const int half = rows < SplitRows ? rows : rows / 2;
    std::size_t bytes = 0;
    std::size_t firstBytes = 0;
    for (const TSongColumn *column : {&filename, &archive, &artist, &title, &album}) {
        for (int row = 0; row < rows; ++row) {
            const std::size_t size = storedBytes(*column, row);
            bytes += size;
            firstBytes += row < half ? size : 0;
        }
    }
    // Room for the worst case plus the closing NUL; only what is written is
    // ever touched.
    const TPageBuffer text(bytes + 1);
    char *const begin = text.data();
    char *firstEnd = begin;
    const auto writeFirst = [&] { firstEnd = writeRows(begin, 0, half); };
    if (half == rows) {
        writeFirst();
    } else {
        // The second half is written side by side with the first, from where
        // the first half's worst case would end, and then moved down: cheaper
        // than measuring the first half's bytes ahead of it.
        char *const secondBegin = begin + firstBytes;
        char *secondEnd = secondBegin;
        runSideBySide(writeFirst, [&] { secondEnd = writeRows(secondBegin, half, rows); });
        const auto secondBytes = static_cast<std::size_t>(secondEnd - secondBegin);
        std::memmove(firstEnd, secondBegin, secondBytes);
        firstEnd += secondBytes;
    }
    *firstEnd = '\0';
    storeText(begin, fileName);
}

char *TFileInfos::writeRows(char *at, int from, int to) const
{
    TStoredTextWriter text(at);
    const auto append = [&text](const TSongColumn &column, int row) {
        // Columns shorter than the file names store empty lines.
        if (row >= column.size()) {
            text.append(QStringView());
            return;
        }
        const TTextArena::Cell cell = column.rawCell(row);
        if (cell.wide)
            text.append(column.at(row));
        else
            text.appendUtf8(QByteArrayView(cell.bytes, cell.size));
    };
    for (int row = from; row < to; ++row) {
        append(filename, row);
        append(archive, row);
        append(artist, row);
        append(title, row);
        append(album, row);
    }
    return text.end();
}

void TFileInfos::exchangeRows(int a, int b)
{
    if (a < 0 || b < 0 || a >= count() || b >= count() || !isConsistent())
        return;
    for (TSongColumn *column : columns())
        column->swapItemsAt(a, b);
}

bool TFileInfos::isConsistent() const
{
    const qsizetype rows = filename.size();
    return archive.size() == rows && artist.size() == rows && title.size() == rows
           && album.size() == rows;
}

std::array<TSongColumn *, 5> TFileInfos::columns()
{
    return {&filename, &archive, &artist, &title, &album};
}

void TFileRARInfos::clear()
{
    TFileInfos::clear();
    sizeColumn.clear();
}
