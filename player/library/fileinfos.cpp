#include "options.h"

#include "pagebuffer.h"
#include "storedrows.h"
#include "storedtext.h"

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

// Columns shorter than the file names store empty lines.
QStringView cellAt(const TStringListC &column, int row)
{
    return row < column.size() ? QStringView(column.at(row)) : QStringView();
}

} // namespace

void TFileInfos::clear()
{
    for (TStringListC *column : columns())
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
    // Copies first: the source may be this very table.
    appendRow(QString(source.filename.at(row)), QString(source.archive.at(row)),
              QString(source.artist.at(row)), QString(source.title.at(row)),
              QString(source.album.at(row)));
}

void TFileInfos::appendColumns(const TFileInfos &source)
{
    if (&source == this) {
        const TFileInfos copy = source;
        appendColumns(copy);
        return;
    }
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
    for (TStringListC *column : columns()) {
        if (index < column->size())
            column->removeAt(index);
    }
}

void TFileInfos::loadTable(const QString &fileName)
{
    const std::array<TStringListC *, ColumnsPerRow> target = columns();
    // A big library's old rows are half a million strings to free: that
    // happens beside the restore rather than before it.
    std::array<TStringListC, ColumnsPerRow> old;
    for (std::size_t column = 0; column < old.size(); ++column)
        old[column].swap(*target[column]);
    std::optional<TRestoredText> restored;
    const auto restore = [&] { restored.emplace(fileName); };
    if (old[0].size() < SplitRows)
        restore();
    else
        runSideBySide(restore, [&] { old = {}; });
    const QByteArrayView text = restored->text();
    // A big table is read in two halves side by side, cut where a row
    // begins; each half keeps its own distinct texts until they are joined.
    const qsizetype cut = text.size() < SplitRows * ColumnsPerRow * 16
        ? text.size()
        : groupStartFrom(text, text.size() / 2, ColumnsPerRow);
    TTextPool shared;
    TStoredRows first;
    TStoredRows second;
    const auto readFirst = [&] {
        first.read(text.first(cut));
        first.appendTo(target, shared);
    };
    if (cut < text.size())
        runSideBySide(readFirst, [&] { second.read(text.sliced(cut)); });
    else
        readFirst();
    second.appendTo(target, shared);
    // A torn tail would shift every column if it were read as a row.
    if (const qsizetype rest = (first.lines() + second.lines()) % ColumnsPerRow; rest != 0) {
        for (qsizetype column = 0; column < rest; ++column)
            target[static_cast<std::size_t>(column)]->removeLast();
        qWarning(IncompleteStoreWarning, qUtf8Printable(fileName), static_cast<int>(rest));
    }
    // The columns grew by doubling; a big library would keep megabytes of
    // unused room for as long as it stays loaded.
    for (TStringListC *column : target)
        column->squeeze();
}

void TFileInfos::saveTable(const QString &fileName) const
{
    const int rows = count();
    const int half = rows < SplitRows ? rows : rows / 2;
    qsizetype units = 0;
    qsizetype firstUnits = 0;
    for (const TStringListC *column : {&filename, &archive, &artist, &title, &album}) {
        for (int row = 0; row < rows; ++row) {
            const qsizetype size = cellAt(*column, row).size();
            units += size;
            firstUnits += row < half ? size : 0;
        }
    }
    // Room for the worst case plus the closing NUL; only what is written is
    // ever touched.
    const TPageBuffer text(
        static_cast<std::size_t>(TStoredTextWriter::worstCase(units, static_cast<qsizetype>(rows) * ColumnsPerRow))
        + 1);
    char *const begin = text.data();
    char *firstEnd = begin;
    const auto writeFirst = [&] { firstEnd = writeRows(begin, 0, half); };
    if (half == rows) {
        writeFirst();
    } else {
        // The second half is written side by side with the first, from where
        // the first half's worst case would end, and then moved down: cheaper
        // than measuring the first half's bytes ahead of it.
        char *const secondBegin =
            begin + TStoredTextWriter::worstCase(firstUnits, static_cast<qsizetype>(half) * ColumnsPerRow);
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
    for (int row = from; row < to; ++row) {
        text.append(filename.at(row));
        text.append(cellAt(archive, row));
        text.append(cellAt(artist, row));
        text.append(cellAt(title, row));
        text.append(cellAt(album, row));
    }
    return text.end();
}

void TFileInfos::exchangeRows(int a, int b)
{
    if (a < 0 || b < 0 || a >= count() || b >= count() || !isConsistent())
        return;
    for (TStringListC *column : columns())
        column->swapItemsAt(a, b);
}

bool TFileInfos::isConsistent() const
{
    const qsizetype rows = filename.size();
    return archive.size() == rows && artist.size() == rows && title.size() == rows
           && album.size() == rows;
}

std::array<TStringListC *, 5> TFileInfos::columns()
{
    return {&filename, &archive, &artist, &title, &album};
}

void TFileRARInfos::clear()
{
    TFileInfos::clear();
    sizeColumn.clear();
}
