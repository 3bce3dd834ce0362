#include "storedrows.h"

namespace {

// Which of the shared columns a line's column is, or -1.
constexpr std::array<int, TStoredRows::ColumnsPerRow> SharedSlot{-1, 0, 1, -1, 2};

} // namespace

void TStoredRows::read(QByteArrayView text)
{
    // Room for every row at once: lists that grew by doubling would leave
    // their outgrown buffers behind in this thread's heap.
    const auto rows = static_cast<std::size_t>((countLineEnds(text) + 1) / ColumnsPerRow + 1);
    filenames_.reserve(static_cast<qsizetype>(rows));
    titles_.reserve(static_cast<qsizetype>(rows));
    for (std::vector<std::uint32_t> &column : shared_)
        column.reserve(rows);
    int column = 0;
    forEachLine(text, [&](QByteArrayView line) {
        if (const int slot = SharedSlot[static_cast<std::size_t>(column)]; slot >= 0)
            shared_[static_cast<std::size_t>(slot)].push_back(sharedIndex(line));
        else
            (column == 0 ? filenames_ : titles_).append(QString::fromUtf8(line));
        column = column + 1 == ColumnsPerRow ? 0 : column + 1;
        ++lines_;
    });
}

std::uint32_t TStoredRows::sharedIndex(QByteArrayView utf8)
{
    const auto found = distinct_.constFind(utf8);
    if (found != distinct_.cend())
        return found.value();
    const auto next = static_cast<std::uint32_t>(distinctUtf8_.size());
    distinct_.insert(utf8, next);
    distinctUtf8_.push_back(utf8);
    return next;
}

void TStoredRows::appendTo(const std::array<TStringListC *, ColumnsPerRow> &columns, TTextPool &pool)
{
    std::vector<QString> texts;
    texts.reserve(distinctUtf8_.size());
    for (const QByteArrayView utf8 : distinctUtf8_)
        texts.push_back(pool.text(utf8));
    for (std::size_t column = 0; column < SharedSlot.size(); ++column) {
        TStringListC &target = *columns[column];
        if (const int slot = SharedSlot[column]; slot >= 0) {
            const std::vector<std::uint32_t> &indexes = shared_[static_cast<std::size_t>(slot)];
            target.reserve(target.size() + static_cast<qsizetype>(indexes.size()));
            for (const std::uint32_t index : indexes)
                target.append(texts[index]);
        } else {
            TStringListC &own = column == 0 ? filenames_ : titles_;
            if (target.isEmpty()) {
                target.swap(own);
            } else {
                target.reserve(target.size() + own.size());
                target.append(std::move(own));
            }
        }
    }
}
