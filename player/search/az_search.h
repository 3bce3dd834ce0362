#pragma once

// Searching the song table: the query's terms, the three matchers, which
// columns a where text selects, and the search itself.

#include "casefolder.h"
#include "options.h"
#include "uppercolumn.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

namespace SearchMode {
constexpr int EntireString = 0;
constexpr int AllTerms = 1;
constexpr int AnyTerm = 2;
} // namespace SearchMode

enum class SongColumn { Filename, Archive, Artist, Title, Album };

// The where box's items; any other text searches the Title column.
namespace SearchWhere {
inline const QString All = QStringLiteral("All");
inline const QString Title = QStringLiteral("Title");
inline const QString Artist = QStringLiteral("Artist");
inline const QString Album = QStringLiteral("Album");
inline const QString Filename = QStringLiteral("Filename");
inline const QString Archive = QStringLiteral("Archive Filename");
// In the order the box lists them.
inline const QStringList Items{All, Title, Artist, Album, Filename, Archive};
} // namespace SearchWhere

// The columns a where text selects, in the order they are tried. The text
// must equal an item exactly; anything else means Title.
std::vector<SongColumn> columnsFor(const QString &where);
const TSongColumn &columnOf(const TFileInfos &table, SongColumn column);

// Takes the next term off the front of the working query. A term is a word
// ended by a space, or everything between double quotes. A working query of
// fewer than two characters has no term left, and an empty term ends the
// terms, so "ROCK A" yields only ROCK and two adjacent quotes end the terms.
QString nextTerm(QString &working);
// Every term of the query, up to the first empty one.
QStringList readTerms(const QString &query);

// The matchers; query and value both upper-cased.
bool matchesEntireString(const QString &query, const QString &value);
bool matchesAllTerms(const QString &query, const QString &value);
bool matchesAnyTerm(const QString &query, const QString &value);

// The search as a plain scan: every value upper-cased and the query read
// into terms anew for every value. The reference for TSongSearch, and what
// it falls back to for texts its cache cannot take.
TFileInfos searchByScan(const TFileInfos &table, const QString &query, const QString &where, int mode);

// The search over one song table (the library), with upper-cased copies of
// its columns that are checked against the table on every search and brought
// up to date when the table has changed. The hits are the rows searchByScan
// finds, in the same order.
class TSongSearch
{
public:
    // A new table (sort flags as every new table) with copies of the rows
    // that match, in the table's order; each row at most once.
    TFileInfos search(const TFileInfos &table, const QString &query, const QString &where, int mode);
    // Brings every column's copy up to date now rather than at the next search.
    void prepare(const TFileInfos &table);

private:
    // Brings the copies of the columns up to date.
    void bringUpToDate(const TFileInfos &table, const std::vector<SongColumn> &columns);
    void followLocale();
    std::vector<TSearchRow> matchColumn(const TUpperColumn &column, int mode,
                                        const std::vector<TNeedle> &needles,
                                        const std::vector<TSearchRow> &candidates, TSearchRow end) const;
    // The matching rows in [first, end), ascending.
    std::vector<TSearchRow> matchRows(const std::vector<SongColumn> &columns, int mode,
                                      const std::vector<TNeedle> &needles, TSearchRow first,
                                      TSearchRow end) const;

    std::optional<TCaseFolder> folder_;
    std::array<TUpperColumn, 5> columns_;
};
