#include "uppercolumn.h"

#include "storedtext.h"

#include <algorithm>
#include <limits>
#include <numeric>

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
               || (column.cells().constData() == source_.cells().constData() && column.arena() == source_.arena()));
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

bool TUpperColumn::buildRows(const TSongColumn &column, qsizetype from, qsizetype to, const TCaseFolder &folder,
                             Block &block) const
{
    const bool reuse = built_ && usable_ && distinctOf_.empty();
    // The column's share of its block of texts, and some: room only that is
    // never written costs address space, not memory.
    const std::size_t texts = column.arena() ? column.arena()->size() : 0;
    std::string &bytes = block.bytes;
    bytes.reserve(texts / static_cast<std::size_t>(std::max<qsizetype>(column.size(), 1))
                      * static_cast<std::size_t>(to - from)
                  + static_cast<std::size_t>(to - from));
    std::vector<std::uint32_t> &starts = block.starts;
    starts.reserve(static_cast<std::size_t>(to - from) + 1);
    qsizetype previous = from;
    for (qsizetype row = from; row < to; ++row) {
        starts.push_back(static_cast<std::uint32_t>(bytes.size()));
        const qsizetype known = reuse && row < column.size() ? unchangedRow(column, row, previous) : -1;
        if (known >= 0) {
            bytes.append(rowBytes(known));
            previous = known + 1;
        } else {
            const TTextArena::Cell cell = cellAt(column, row);
            if (cell.wide)
                folder.appendUpper(column.at(row), bytes);
            else
                folder.appendUpperUtf8(QByteArrayView(cell.bytes, cell.size), bytes);
            bytes.push_back(kRowEnd);
        }
        if (bytes.size() > kMaxBytes)
            return false;
    }
    starts.push_back(static_cast<std::uint32_t>(bytes.size()));
    return true;
}

namespace {

// The number of each distinct offset, by open addressing: a column's rows
// look it up a million times, and the numbers sit next to their keys.
class OffsetNumbers
{
public:
    static constexpr std::uint32_t kNone = ~std::uint32_t{0};

    OffsetNumbers() : slots_(1024, Slot{0, kNone}) {}

    std::uint32_t size() const { return size_; }
    // The offset's number, or kNone.
    std::uint32_t find(TTextArena::Offset offset) const { return slots_[slotOf(offset)].number; }
    void insert(TTextArena::Offset offset, std::uint32_t number)
    {
        if ((size_ + 1) * 2 > slots_.size()) {
            std::vector<Slot> old(slots_.size() * 2, Slot{0, kNone});
            old.swap(slots_);
            for (const Slot &slot : old)
                if (slot.number != kNone)
                    slots_[slotOf(slot.offset)] = slot;
        }
        slots_[slotOf(offset)] = {offset, number};
        ++size_;
    }

private:
    struct Slot
    {
        TTextArena::Offset offset;
        std::uint32_t number;
    };

    // The slot holding the offset, or the empty one where it would go.
    std::size_t slotOf(TTextArena::Offset offset) const
    {
        const std::size_t mask = slots_.size() - 1;
        std::size_t slot = (offset * std::size_t{0x9E3779B97F4A7C15ULL}) >> 20 & mask;
        while (slots_[slot].number != kNone && slots_[slot].offset != offset)
            slot = (slot + 1) & mask;
        return slot;
    }

    std::vector<Slot> slots_;
    std::uint32_t size_ = 0;
};

} // namespace

bool TUpperColumn::buildDistinct(const TSongColumn &column, qsizetype rows, const TCaseFolder &folder)
{
    // A column of names or titles shows on its first rows that nearly every
    // row has a text of its own.
    constexpr qsizetype kSample = 4096;
    std::vector<std::uint32_t> distinctOf(static_cast<std::size_t>(rows));
    Block block;
    OffsetNumbers ids;
    TTextArena::Offset last = 0;
    std::uint32_t lastId = 0;
    for (qsizetype row = 0; row < rows; ++row) {
        const TTextArena::Offset offset = row < column.size() ? column.cell(row) : 0;
        if (row == 0 || offset != last) {
            lastId = ids.find(offset);
            if (lastId == OffsetNumbers::kNone) {
                const bool sampled = row >= kSample && row < 2 * kSample;
                if (ids.size() > (sampled ? row * 7 / 8 : rows / 4))
                    return false;
                lastId = static_cast<std::uint32_t>(block.starts.size());
                ids.insert(offset, lastId);
                block.starts.push_back(static_cast<std::uint32_t>(block.bytes.size()));
                const TTextArena::Cell cell = cellAt(column, row);
                if (cell.wide)
                    folder.appendUpper(column.at(row), block.bytes);
                else
                    folder.appendUpperUtf8(QByteArrayView(cell.bytes, cell.size), block.bytes);
                block.bytes.push_back(kRowEnd);
            }
            last = offset;
        }
        distinctOf[static_cast<std::size_t>(row)] = lastId;
    }
    if (ids.size() > std::max<qsizetype>(rows / 4, 1))
        return false;
    block.starts.push_back(static_cast<std::uint32_t>(block.bytes.size()));
    block_ = std::move(block);
    upper_ = Block();
    upperFirst_ = rows;
    distinctOf_ = std::move(distinctOf);
    return true;
}

void TUpperColumn::rebuild(const TSongColumn &column, qsizetype rows, const TCaseFolder &folder)
{
    // Below this many rows a second thread costs more than it saves.
    constexpr qsizetype kParallelRows = 16384;
    bool fits = true;
    if (!buildDistinct(column, rows, folder)) {
        Block block;
        Block upper;
        const qsizetype middle = rows < kParallelRows ? rows : rows / 2;
        if (middle == rows) {
            fits = buildRows(column, 0, rows, folder, block);
        } else {
            bool upperFits = true;
            runSideBySide([&] { fits = buildRows(column, 0, middle, folder, block); },
                          [&] { upperFits = buildRows(column, middle, rows, folder, upper); });
            fits = fits && upperFits;
        }
        block_ = fits ? std::move(block) : Block();
        upper_ = fits ? std::move(upper) : Block();
        upperFirst_ = middle;
        distinctOf_.clear();
    }
    source_ = column;
    rows_ = rows;
    built_ = true;
    usable_ = fits;
}

void TUpperColumn::reset()
{
    *this = TUpperColumn();
}

std::string_view TUpperColumn::rowBytes(qsizetype row) const
{
    const bool upper = row >= upperFirst_;
    const Block &block = upper ? upper_ : block_;
    const auto k = static_cast<std::size_t>(upper ? row - upperFirst_ : row);
    return std::string_view(block.bytes).substr(block.starts[k], block.starts[k + 1] - block.starts[k]);
}

std::vector<TSearchRow> TUpperColumn::textsContaining(const Block &block, TSearchRow first, std::string_view needle,
                                                      const TSearchRow *from, const TSearchRow *to, TSearchRow end)
{
    std::vector<TSearchRow> found;
    const char *base = block.bytes.data();
    const std::vector<std::uint32_t> &starts = block.starts;
    const std::size_t size = starts[end - first];
    // Each scan starts at the next candidate and runs to the first match
    // anywhere after it, so the block is read at most once in all.
    while (from < to) {
        TSearchRow text = *from - first;
        const std::size_t start = starts[text];
        const void *hit = ::memmem(base + start, size - start, needle.data(), needle.size());
        if (!hit)
            break;
        const auto at = static_cast<std::size_t>(static_cast<const char *>(hit) - base);
        while (starts[text + 1] <= at)
            ++text;
        const TSearchRow row = text + first;
        while (from < to && *from < row)
            ++from;
        if (from < to && *from == row) {
            found.push_back(row);
            ++from;
        }
    }
    return found;
}

std::vector<TSearchRow> TUpperColumn::rowsContaining(std::string_view needle,
                                                     const std::vector<TSearchRow> &candidates, TSearchRow end) const
{
    if (!usable_ || needle.empty())
        return {};
    if (distinctOf_.empty()) {
        const auto split = static_cast<TSearchRow>(upperFirst_);
        const TSearchRow *const begin = candidates.data();
        const TSearchRow *const finish = begin + candidates.size();
        const TSearchRow *const middle = std::lower_bound(begin, finish, split);
        std::vector<TSearchRow> found = textsContaining(block_, 0, needle, begin, middle, std::min(end, split));
        if (middle != finish) {
            const std::vector<TSearchRow> upper = textsContaining(upper_, split, needle, middle, finish, end);
            found.insert(found.end(), upper.begin(), upper.end());
        }
        return found;
    }
    const auto texts = static_cast<TSearchRow>(block_.starts.size() - 1);
    std::vector<TSearchRow> all(texts);
    std::iota(all.begin(), all.end(), TSearchRow{0});
    std::vector<char> holds(texts, 0);
    for (const TSearchRow text : textsContaining(block_, 0, needle, all.data(), all.data() + all.size(), texts))
        holds[text] = 1;
    std::vector<TSearchRow> found;
    for (const TSearchRow row : candidates)
        if (holds[distinctOf_[row]])
            found.push_back(row);
    return found;
}
