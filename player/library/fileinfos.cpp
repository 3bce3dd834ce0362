#include "options.h"

#include <QDebug>

namespace {

constexpr int ColumnsPerRow = 5;

constexpr char IncompleteStoreWarning[] =
    "Song store %s ends with %d line(s) of an incomplete row; they are ignored";

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
    TStringListC lines;
    lines.LoadFromFile(fileName);
    clear();
    const qsizetype rows = lines.size() / ColumnsPerRow;
    for (TStringListC *column : columns())
        column->reserve(rows);
    for (qsizetype k = 0; k < rows; ++k) {
        const qsizetype offset = k * ColumnsPerRow;
        appendRow(lines.at(offset), lines.at(offset + 1), lines.at(offset + 2),
                  lines.at(offset + 3), lines.at(offset + 4));
    }
    // A torn tail would shift every column if it were read as a row.
    if (const qsizetype rest = lines.size() % ColumnsPerRow; rest != 0)
        qWarning(IncompleteStoreWarning, qUtf8Printable(fileName), static_cast<int>(rest));
}

void TFileInfos::saveTable(const QString &fileName) const
{
    TStringListC lines;
    lines.reserve(static_cast<qsizetype>(count()) * ColumnsPerRow);
    for (int row = 0; row < count(); ++row) {
        lines.append(filename.at(row));
        lines.append(archive.value(row));
        lines.append(artist.value(row));
        lines.append(title.value(row));
        lines.append(album.value(row));
    }
    lines.SaveToFile(fileName);
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
