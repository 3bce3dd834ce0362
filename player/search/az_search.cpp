#include "az_search.h"

#include "storedtext.h"

#include <QLocale>

#include <algorithm>
#include <iterator>
#include <numeric>
#include <utility>

namespace {

constexpr QChar kSpace = u' ';
constexpr QChar kQuote = u'"';

using Matcher = bool (*)(const QString &, const QString &);

Matcher matcherFor(int mode)
{
    if (mode == SearchMode::AllTerms)
        return matchesAllTerms;
    if (mode == SearchMode::AnyTerm)
        return matchesAnyTerm;
    return matchesEntireString;
}

std::vector<TSearchRow> united(const std::vector<TSearchRow> &a, const std::vector<TSearchRow> &b)
{
    std::vector<TSearchRow> result;
    result.reserve(a.size() + b.size());
    std::set_union(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(result));
    return result;
}

std::vector<TSearchRow> without(const std::vector<TSearchRow> &a, const std::vector<TSearchRow> &b)
{
    std::vector<TSearchRow> result;
    result.reserve(a.size() - std::min(a.size(), b.size()));
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(result));
    return result;
}

// Below this many rows a second thread costs more than it saves.
constexpr TSearchRow kParallelRows = 16384;

TSongColumn pickRows(const TSongColumn &from, const std::vector<TSearchRow> &rows)
{
    QList<TTextArena::Offset> cells(static_cast<qsizetype>(rows.size()));
    TTextArena::Offset *const out = cells.data();
    const TTextArena::Offset *const in = from.cells().constData();
    for (std::size_t k = 0; k < rows.size(); ++k)
        out[k] = in[rows[k]];
    return TSongColumn(from.arena(), std::move(cells));
}

// The hits share the table's texts: each of their cells is a number.
TFileInfos copyRows(const TFileInfos &table, const std::vector<TSearchRow> &rows)
{
    TFileInfos result;
    if (rows.size() == static_cast<std::size_t>(table.count())) {
        // Every row: the columns can be shared as they are.
        result.assign(table);
        return result;
    }
    result.filename = pickRows(table.filename, rows);
    result.archive = pickRows(table.archive, rows);
    result.artist = pickRows(table.artist, rows);
    result.title = pickRows(table.title, rows);
    result.album = pickRows(table.album, rows);
    return result;
}

} // namespace

std::vector<SongColumn> columnsFor(const QString &where)
{
    if (where == SearchWhere::All)
        return {SongColumn::Filename, SongColumn::Archive, SongColumn::Artist, SongColumn::Title,
                SongColumn::Album};
    if (where == SearchWhere::Artist)
        return {SongColumn::Artist};
    if (where == SearchWhere::Album)
        return {SongColumn::Album};
    if (where == SearchWhere::Filename)
        return {SongColumn::Filename};
    if (where == SearchWhere::Archive)
        return {SongColumn::Archive};
    return {SongColumn::Title};
}

const TSongColumn &columnOf(const TFileInfos &table, SongColumn column)
{
    switch (column) {
    case SongColumn::Filename:
        return table.filename;
    case SongColumn::Archive:
        return table.archive;
    case SongColumn::Artist:
        return table.artist;
    case SongColumn::Title:
        return table.title;
    case SongColumn::Album:
        break;
    }
    return table.album;
}

QString nextTerm(QString &working)
{
    if (working.size() < 2)
        return {};
    qsizetype lead = 0;
    while (lead < working.size() - 1 && working.at(lead) == kSpace)
        ++lead;
    working.remove(0, lead);
    QChar end = kSpace;
    if (working.startsWith(kQuote)) {
        working.remove(0, 1);
        end = kQuote;
    }
    const qsizetype at = working.indexOf(end);
    if (at < 0)
        return std::exchange(working, QString());
    QString term = working.left(at);
    working.remove(0, at + 1);
    return term;
}

QStringList readTerms(const QString &query)
{
    QStringList terms;
    QString working = query;
    for (QString term = nextTerm(working); !term.isEmpty(); term = nextTerm(working))
        terms.append(term);
    return terms;
}

bool matchesEntireString(const QString &query, const QString &value)
{
    return !query.isEmpty() && value.contains(query);
}

bool matchesAllTerms(const QString &query, const QString &value)
{
    QString working = query;
    for (QString term = nextTerm(working); !term.isEmpty(); term = nextTerm(working))
        if (!value.contains(term))
            return false;
    return true;
}

bool matchesAnyTerm(const QString &query, const QString &value)
{
    QString working = query;
    for (QString term = nextTerm(working); !term.isEmpty(); term = nextTerm(working))
        if (value.contains(term))
            return true;
    return false;
}

TFileInfos searchByScan(const TFileInfos &table, const QString &query, const QString &where, int mode)
{
    TFileInfos result;
    const Matcher matches = matcherFor(mode);
    const QLocale locale;
    const QString upperQuery = locale.toUpper(query);
    const std::vector<SongColumn> columns = columnsFor(where);
    for (int row = 0; row < table.count(); ++row) {
        for (const SongColumn column : columns) {
            if (matches(upperQuery, locale.toUpper(columnOf(table, column).value(row)))) {
                result.appendRowFrom(table, row);
                break;
            }
        }
    }
    return result;
}

void TSongSearch::followLocale()
{
    const QLocale locale;
    if (folder_ && folder_->locale() == locale)
        return;
    folder_.emplace(locale);
    for (TUpperColumn &column : columns_)
        column.reset();
}

void TSongSearch::bringUpToDate(const TFileInfos &table, const std::vector<SongColumn> &columns)
{
    std::vector<SongColumn> stale;
    for (const SongColumn column : columns)
        if (!columns_.at(static_cast<std::size_t>(column)).isCurrent(columnOf(table, column), table.count()))
            stale.push_back(column);
    for (const SongColumn column : stale)
        columns_.at(static_cast<std::size_t>(column)).rebuild(columnOf(table, column), table.count(), *folder_);
}

void TSongSearch::prepare(const TFileInfos &table)
{
    followLocale();
    if (table.isConsistent())
        bringUpToDate(table, columnsFor(SearchWhere::All));
}

std::vector<TSearchRow> TSongSearch::matchColumn(const TUpperColumn &column, int mode,
                                                 const std::vector<TNeedle> &needles,
                                                 const std::vector<TSearchRow> &candidates, TSearchRow end) const
{
    if (mode == SearchMode::AllTerms) {
        // A query without terms matches every value.
        std::vector<TSearchRow> rows = candidates;
        for (const TNeedle &needle : needles) {
            if (rows.empty())
                break;
            rows = column.rowsContaining(needle, rows, end);
        }
        return rows;
    }
    if (mode == SearchMode::AnyTerm) {
        std::vector<TSearchRow> found;
        std::vector<TSearchRow> rest = candidates;
        for (const TNeedle &needle : needles) {
            const std::vector<TSearchRow> rows = column.rowsContaining(needle, rest, end);
            found = united(found, rows);
            rest = without(rest, rows);
        }
        return found;
    }
    return column.rowsContaining(needles.front(), candidates, end);
}

std::vector<TSearchRow> TSongSearch::matchRows(const std::vector<SongColumn> &columns, int mode,
                                               const std::vector<TNeedle> &needles, TSearchRow first,
                                               TSearchRow end) const
{
    // In "All" each column is tried on its own and a row found in one
    // column is not tried again, so it is taken at most once.
    std::vector<TSearchRow> open(end - first);
    std::iota(open.begin(), open.end(), first);
    std::vector<TSearchRow> found;
    for (const SongColumn column : columns) {
        if (open.empty())
            break;
        const std::vector<TSearchRow> rows =
            matchColumn(columns_.at(static_cast<std::size_t>(column)), mode, needles, open, end);
        if (rows.empty())
            continue;
        found = united(found, rows);
        open = without(open, rows);
    }
    return found;
}

TFileInfos TSongSearch::search(const TFileInfos &table, const QString &query, const QString &where, int mode)
{
    followLocale();
    const QString upperQuery = folder_->upper(query);
    const bool byTerms = mode == SearchMode::AllTerms || mode == SearchMode::AnyTerm;
    const QStringList texts = byTerms ? readTerms(upperQuery) : QStringList{upperQuery};
    if (!byTerms && upperQuery.isEmpty())
        return {};

    // A table whose columns are out of step takes the plain scan.
    if (!table.isConsistent())
        return searchByScan(table, query, where, mode);
    std::vector<TNeedle> needles;
    for (const QString &text : texts) {
        std::string bytes;
        appendSearchBytes(text, bytes);
        needles.emplace_back(std::move(bytes), *folder_);
    }

    const std::vector<SongColumn> columns = columnsFor(where);
    bringUpToDate(table, columns);
    for (const SongColumn column : columns)
        if (!columns_.at(static_cast<std::size_t>(column)).usable())
            return searchByScan(table, query, where, mode);

    // Rows match on their own, so the two halves are searched side by side.
    const auto rows = static_cast<TSearchRow>(table.count());
    if (rows < kParallelRows)
        return copyRows(table, matchRows(columns, mode, needles, 0, rows));
    const TSearchRow middle = rows / 2;
    std::vector<TSearchRow> found;
    std::vector<TSearchRow> upper;
    runSideBySide([&] { found = matchRows(columns, mode, needles, 0, middle); },
                  [&] { upper = matchRows(columns, mode, needles, middle, rows); });
    found.insert(found.end(), upper.begin(), upper.end());
    return copyRows(table, found);
}
