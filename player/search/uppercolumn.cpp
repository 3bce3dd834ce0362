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
                             std::uint8_t *forms, Kept &kept) const
{
    const bool reuse = built_ && usable_ && distinctOf_.empty();
    std::string &bytes = kept.block.bytes;
    std::vector<std::uint32_t> &starts = kept.block.starts;
    qsizetype previous = from;
    for (qsizetype row = from; row < to; ++row) {
        const qsizetype known = reuse && row < column.size() ? unchangedRow(column, row, previous) : -1;
        TTextArena::Cell cell{};
        TextForm form;
        if (known >= 0) {
            form = static_cast<TextForm>(forms_[static_cast<std::size_t>(known)]);
            previous = known + 1;
        } else {
            cell = cellAt(column, row);
            form = cell.wide ? TextForm::Other : folder.formOf(cell.bytes, cell.size);
        }
        forms[row] = static_cast<std::uint8_t>(form);
        if (form != TextForm::Other)
            continue;
        starts.push_back(static_cast<std::uint32_t>(bytes.size()));
        kept.rows.push_back(static_cast<TSearchRow>(row));
        if (known >= 0) {
            bytes.append(keptBytes(known));
        } else {
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
    forms_.clear();
    kept_ = {};
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
        std::vector<std::uint8_t> forms(static_cast<std::size_t>(rows));
        std::array<Kept, 2> kept;
        const qsizetype middle = rows < kParallelRows ? rows : rows / 2;
        if (middle == rows) {
            fits = buildRows(column, 0, rows, folder, forms.data(), kept[0]);
            kept[1].block.starts.push_back(0);
        } else {
            bool upperFits = true;
            runSideBySide([&] { fits = buildRows(column, 0, middle, folder, forms.data(), kept[0]); },
                          [&] { upperFits = buildRows(column, middle, rows, folder, forms.data(), kept[1]); });
            fits = fits && upperFits;
        }
        forms_ = fits ? std::move(forms) : std::vector<std::uint8_t>();
        kept_ = fits ? std::move(kept) : std::array<Kept, 2>();
        upperFirst_ = middle;
        block_ = Block();
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

std::string_view TUpperColumn::keptBytes(qsizetype row) const
{
    const Kept &kept = kept_[row >= upperFirst_ ? 1 : 0];
    const auto k = static_cast<std::size_t>(
        std::lower_bound(kept.rows.begin(), kept.rows.end(), static_cast<TSearchRow>(row)) - kept.rows.begin());
    const std::vector<std::uint32_t> &starts = kept.block.starts;
    return std::string_view(kept.block.bytes).substr(starts[k], starts[k + 1] - starts[k]);
}

std::vector<TSearchRow> TUpperColumn::textsContaining(const Block &block, std::string_view needle,
                                                      const TSearchRow *from, const TSearchRow *to, TSearchRow end)
{
    std::vector<TSearchRow> found;
    const char *base = block.bytes.data();
    const std::vector<std::uint32_t> &starts = block.starts;
    const std::size_t size = starts[end];
    // Each scan starts at the next candidate and runs to the first match
    // anywhere after it, so the block is read at most once in all.
    while (from < to) {
        TSearchRow text = *from;
        const std::size_t start = starts[text];
        const void *hit = ::memmem(base + start, size - start, needle.data(), needle.size());
        if (!hit)
            break;
        const auto at = static_cast<std::size_t>(static_cast<const char *>(hit) - base);
        while (starts[text + 1] <= at)
            ++text;
        while (from < to && *from < text)
            ++from;
        if (from < to && *from == text) {
            found.push_back(text);
            ++from;
        }
    }
    return found;
}

std::vector<TSearchRow> TUpperColumn::rowsOfHalf(const Kept &kept, const TNeedle &needle, const TSearchRow *from,
                                                 const TSearchRow *to) const
{
    std::vector<TSearchRow> found;
    std::vector<TSearchRow> other;
    needle.scanCells(source_, forms_.data(), from, to, found, other);
    if (other.empty())
        return found;
    // The rows of form Other are a part of the kept rows, in the same order.
    std::vector<TSearchRow> texts;
    texts.reserve(other.size());
    auto next = kept.rows.begin();
    for (const TSearchRow row : other) {
        next = std::lower_bound(next, kept.rows.end(), row);
        texts.push_back(static_cast<TSearchRow>(next - kept.rows.begin()));
    }
    std::vector<TSearchRow> keptFound =
        textsContaining(kept.block, needle.bytes(), texts.data(), texts.data() + texts.size(), texts.back() + 1);
    for (TSearchRow &text : keptFound)
        text = kept.rows[text];
    std::vector<TSearchRow> all(found.size() + keptFound.size());
    std::merge(found.begin(), found.end(), keptFound.begin(), keptFound.end(), all.begin());
    return all;
}

std::vector<TSearchRow> TUpperColumn::rowsContaining(const TNeedle &needle,
                                                     const std::vector<TSearchRow> &candidates, TSearchRow end) const
{
    if (!usable_ || needle.bytes().empty())
        return {};
    if (distinctOf_.empty()) {
        const auto split = static_cast<TSearchRow>(upperFirst_);
        const TSearchRow *const begin = candidates.data();
        const TSearchRow *const finish = std::lower_bound(begin, begin + candidates.size(), end);
        const TSearchRow *const middle = std::lower_bound(begin, finish, split);
        std::vector<TSearchRow> found = rowsOfHalf(kept_[0], needle, begin, middle);
        if (middle != finish) {
            const std::vector<TSearchRow> upper = rowsOfHalf(kept_[1], needle, middle, finish);
            found.insert(found.end(), upper.begin(), upper.end());
        }
        return found;
    }
    const auto texts = static_cast<TSearchRow>(block_.starts.size() - 1);
    std::vector<TSearchRow> all(texts);
    std::iota(all.begin(), all.end(), TSearchRow{0});
    std::vector<char> holds(texts, 0);
    for (const TSearchRow text : textsContaining(block_, needle.bytes(), all.data(), all.data() + all.size(), texts))
        holds[text] = 1;
    std::vector<TSearchRow> found;
    for (const TSearchRow row : candidates)
        if (holds[distinctOf_[row]])
            found.push_back(row);
    return found;
}
