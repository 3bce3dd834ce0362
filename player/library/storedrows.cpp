#include "storedrows.h"

#include "storedtext.h"

#include <QString>

#include <algorithm>
#include <cstring>

namespace {

// Archive, artist and album: the columns whose texts repeat.
constexpr std::array<bool, TStoredRows::ColumnsPerRow> Repeating{false, true, true, false, true};

} // namespace

std::uint32_t TLineNumbers::hashOf(QByteArrayView line)
{
    const char *const p = line.data();
    const auto size = static_cast<std::size_t>(line.size());
    std::uint64_t h = size * 0x9E3779B97F4A7C15ULL;
    for (std::size_t i = 0; i < size; i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, p + i, std::min<std::size_t>(8, size - i));
        h = (h ^ word) * 0xFF51AFD7ED558CCDULL;
        h ^= h >> 32;
    }
    return static_cast<std::uint32_t>(h ^ (h >> 29));
}

std::size_t TLineNumbers::slotOf(QByteArrayView line, std::uint32_t hash,
                                 const std::vector<QByteArrayView> &lines) const
{
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const Slot &here = slots_[slot];
        if (here.number == None || (here.hash == hash && lines[here.number] == line))
            return slot;
    }
}

std::uint32_t TLineNumbers::find(QByteArrayView line, const std::vector<QByteArrayView> &lines) const
{
    return slots_[slotOf(line, hashOf(line), lines)].number;
}

void TLineNumbers::insert(QByteArrayView line, std::uint32_t number, const std::vector<QByteArrayView> &lines)
{
    if ((size_ + 1) * 2 > slots_.size()) {
        std::vector<Slot> old(slots_.size() * 2, Slot{0, None});
        old.swap(slots_);
        const std::size_t mask = slots_.size() - 1;
        for (const Slot &slot : old) {
            if (slot.number == None)
                continue;
            std::size_t at = slot.hash & mask;
            while (slots_[at].number != None)
                at = (at + 1) & mask;
            slots_[at] = slot;
        }
    }
    const std::uint32_t hash = hashOf(line);
    slots_[slotOf(line, hash, lines)] = {hash, number};
    ++size_;
}

TTextArena::Offset TStoredRows::add(QByteArrayView line)
{
    if (line.isEmpty())
        return 0;
    // Exact UTF-8 is kept as it is; anything else is what decoding makes
    // of it, as for every stored list.
    return isExactUtf8(line) ? arena_->addUtf8(line) : arena_->add(QString::fromUtf8(line));
}

std::uint32_t TStoredRows::distinctNumber(QByteArrayView line)
{
    const std::uint32_t found = distinct_.find(line, distinctLines_);
    if (found != TLineNumbers::None)
        return found;
    const auto next = static_cast<std::uint32_t>(distinctLines_.size());
    distinctLines_.push_back(line);
    distinct_.insert(line, next, distinctLines_);
    distinctOffsets_.push_back(add(line));
    return next;
}

void TStoredRows::read(QByteArrayView text)
{
    // Room for every row at once: lists that grew by doubling would leave
    // their outgrown buffers behind in this thread's heap. The block needs
    // about what the text itself takes, a header for each line end.
    const auto rows = (countLineEnds(text) + 1) / ColumnsPerRow + 1;
    for (QList<TTextArena::Offset> &column : cells_)
        column.reserve(rows);
    arena_->reserve(static_cast<std::size_t>(text.size()) + 64);
    int column = 0;
    forEachLine(text, [&](QByteArrayView line) {
        const bool repeating = Repeating[static_cast<std::size_t>(column)];
        cells_[static_cast<std::size_t>(column)].append(repeating ? distinctNumber(line) : add(line));
        column = column + 1 == ColumnsPerRow ? 0 : column + 1;
        ++lines_;
    });
}

TStoredRows::Columns TStoredRows::join(TStoredRows &first, TStoredRows &second)
{
    const std::shared_ptr<TTextArena> arena = first.arena_;
    const TTextArena::Offset shift = arena->appendArena(*second.arena_);
    second.arena_.reset();
    arena->squeeze();
    // The second piece's distinct texts that the first has too take the
    // first's; its own ones moved by the shift.
    std::vector<TTextArena::Offset> secondOffsets(second.distinctOffsets_.size());
    for (std::size_t k = 0; k < secondOffsets.size(); ++k) {
        const std::uint32_t found = first.distinct_.find(second.distinctLines_[k], first.distinctLines_);
        const TTextArena::Offset own = second.distinctOffsets_[k];
        secondOffsets[k] = found != TLineNumbers::None ? first.distinctOffsets_[found]
                           : own == 0                      ? 0
                                                           : own + shift;
    }
    Columns columns;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        QList<TTextArena::Offset> cells = std::move(first.cells_[c]);
        const QList<TTextArena::Offset> &more = second.cells_[c];
        const qsizetype firstRows = cells.size();
        cells.resize(firstRows + more.size());
        TTextArena::Offset *const out = cells.data();
        if (Repeating[c]) {
            for (qsizetype row = 0; row < firstRows; ++row)
                out[row] = first.distinctOffsets_[out[row]];
            for (qsizetype row = 0; row < more.size(); ++row)
                out[firstRows + row] = secondOffsets[more.at(row)];
        } else {
            for (qsizetype row = 0; row < more.size(); ++row) {
                const TTextArena::Offset offset = more.at(row);
                out[firstRows + row] = offset == 0 ? 0 : offset + shift;
            }
        }
        columns[c] = TSongColumn(arena, std::move(cells));
    }
    return columns;
}
