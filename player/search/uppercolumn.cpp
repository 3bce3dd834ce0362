#include "uppercolumn.h"

#include <algorithm>
#include <limits>

#include <string.h>

namespace {

// How far past the expected row a rebuild looks for a text it already has:
// enough for an edited, inserted or removed row or two; after a sort or a
// larger change the texts are upper-cased again.
constexpr qsizetype kLookahead = 8;

constexpr std::size_t kMaxBytes = std::numeric_limits<std::uint32_t>::max();

constexpr char kRowEnd = '\xFF';

// The cell of the column at row, or the empty text past its end.
TTextArena::Cell cellAt(const TSongColumn &column, qsizetype row)
{
    static const char nothing = '\0';
    return row < column.size() ? column.rawCell(row) : TTextArena::Cell{&nothing, 0, false, QByteArrayView(&nothing, 1)};
}

} // namespace

bool TUpperColumn::isCurrent(const TSongColumn &column, qsizetype rows) const
{
    return built_ && rows == rows_ && column.size() == source_.size()
           && (column.isEmpty()
               || (column.cells().constData() == source_.cells().constData() && column.sharesArena(source_)));
}

qsizetype TUpperColumn::unchangedRow(const TSongColumn &column, qsizetype row, qsizetype from) const
{
    const qsizetype end = std::min({rows_, source_.size(), from + kLookahead});
    if (column.sharesArena(source_)) {
        const TTextArena::Offset offset = column.cell(row);
        for (qsizetype known = from; known < end; ++known)
            if (source_.cell(known) == offset)
                return known;
        return -1;
    }
    const QByteArrayView record = column.rawCell(row).record;
    for (qsizetype known = from; known < end; ++known)
        if (source_.rawCell(known).record == record)
            return known;
    return -1;
}

void TUpperColumn::rebuild(const TSongColumn &column, qsizetype rows, const TCaseFolder &folder)
{
    const bool reuse = built_ && usable_;
    std::size_t expected = 0;
    for (qsizetype row = 0; row < rows; ++row)
        expected += static_cast<std::size_t>(cellAt(column, row).size) + 1;
    std::string bytes;
    bytes.reserve(expected);
    std::vector<std::uint32_t> starts;
    starts.reserve(static_cast<std::size_t>(rows) + 1);

    bool fits = true;
    qsizetype previous = 0;
    for (qsizetype row = 0; row < rows && fits; ++row) {
        starts.push_back(static_cast<std::uint32_t>(bytes.size()));
        const qsizetype known = reuse && row < column.size() ? unchangedRow(column, row, previous) : -1;
        if (known >= 0) {
            const std::size_t from = starts_[static_cast<std::size_t>(known)];
            bytes.append(bytes_, from, starts_[static_cast<std::size_t>(known) + 1] - from);
            previous = known + 1;
        } else {
            const TTextArena::Cell cell = cellAt(column, row);
            if (cell.wide)
                folder.appendUpper(column.at(row), bytes);
            else
                folder.appendUpperUtf8(QByteArrayView(cell.bytes, cell.size), bytes);
            bytes.push_back(kRowEnd);
        }
        fits = bytes.size() <= kMaxBytes;
    }
    starts.push_back(static_cast<std::uint32_t>(fits ? bytes.size() : 0));

    source_ = column;
    rows_ = rows;
    built_ = true;
    usable_ = fits;
    if (fits) {
        bytes_ = std::move(bytes);
        starts_ = std::move(starts);
    } else {
        bytes_ = std::string();
        starts_ = std::vector<std::uint32_t>();
    }
}

void TUpperColumn::reset()
{
    *this = TUpperColumn();
}

std::vector<TSearchRow> TUpperColumn::rowsContaining(std::string_view needle,
                                                     const std::vector<TSearchRow> &candidates, TSearchRow end) const
{
    std::vector<TSearchRow> found;
    if (!usable_ || needle.empty())
        return found;
    const char *base = bytes_.data();
    const std::size_t size = starts_[end];
    std::size_t next = 0;
    // Each scan starts at the next candidate and runs to the first match
    // anywhere after it, so the block is read at most once in all.
    while (next < candidates.size()) {
        TSearchRow row = candidates[next];
        const std::size_t from = starts_[row];
        const void *hit = ::memmem(base + from, size - from, needle.data(), needle.size());
        if (!hit)
            break;
        const auto at = static_cast<std::size_t>(static_cast<const char *>(hit) - base);
        while (starts_[row + 1] <= at)
            ++row;
        while (next < candidates.size() && candidates[next] < row)
            ++next;
        if (next < candidates.size() && candidates[next] == row) {
            found.push_back(row);
            ++next;
        }
    }
    return found;
}
