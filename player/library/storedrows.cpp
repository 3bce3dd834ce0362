#include "storedrows.h"

#include "storedtext.h"

#include <QString>

namespace {

// Archive, artist and album: the columns whose texts repeat.
constexpr std::array<bool, TStoredRows::ColumnsPerRow> Repeating{false, true, true, false, true};

} // namespace

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
    const auto found = distinct_.constFind(line);
    if (found != distinct_.cend())
        return found.value();
    const auto next = static_cast<std::uint32_t>(distinctLines_.size());
    distinct_.insert(line, next);
    distinctLines_.push_back(line);
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
        const auto found = first.distinct_.constFind(second.distinctLines_[k]);
        const TTextArena::Offset own = second.distinctOffsets_[k];
        secondOffsets[k] = found != first.distinct_.cend() ? first.distinctOffsets_[found.value()]
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
