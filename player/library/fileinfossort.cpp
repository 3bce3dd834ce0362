#include "options.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QDebug>
#include <QLocale>

#include <numeric>
#include <utility>
#include <variant>
#include <vector>

namespace {

constexpr char InconsistentTableWarning[] =
    "Song table columns differ in length; the table is left unsorted";

// Collation keys computed once per sort, so that the quicksort compares
// prepared keys instead of collating the raw texts again and again.
class CollationKeys
{
public:
    explicit CollationKeys(const QStringList &texts)
    {
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        // Sort keys of the C locale ignore the case setting, while its
        // comparison honours it; case-folded texts give the latter's order.
        if (collator.locale().language() == QLocale::C) {
            std::vector<QString> folded;
            folded.reserve(static_cast<std::size_t>(texts.size()));
            for (const QString &text : texts)
                folded.push_back(text.toCaseFolded());
            keys_ = std::move(folded);
        } else {
            std::vector<QCollatorSortKey> keys;
            keys.reserve(static_cast<std::size_t>(texts.size()));
            for (const QString &text : texts)
                keys.push_back(collator.sortKey(text));
            keys_ = std::move(keys);
        }
    }

    // Negative, zero or positive as key a sorts before, with or after key b.
    int compare(int a, int b) const
    {
        const auto ua = static_cast<std::size_t>(a);
        const auto ub = static_cast<std::size_t>(b);
        if (const auto *folded = std::get_if<std::vector<QString>>(&keys_))
            return (*folded)[ua].compare((*folded)[ub]);
        const auto &keys = std::get<std::vector<QCollatorSortKey>>(keys_);
        return keys[ua].compare(keys[ub]);
    }

private:
    std::variant<std::vector<QString>, std::vector<QCollatorSortKey>> keys_;
};

// The table's quicksort, run over a permutation of row numbers: order[p] is
// the original row now standing at position p. Exchanging two entries of the
// permutation is exchanging the two rows, so equal keys end up exactly where
// exchanging whole rows would put them.
class RowQuicksort
{
public:
    RowQuicksort(const CollationKeys &keys, std::vector<int> &order, bool ascending)
        : keys_(keys), order_(order), ascending_(ascending)
    {
    }

    void run(int lo, int hi)
    {
        // The two parts of a partition never touch each other, so the order
        // in which they are sorted does not matter; recursing into the
        // smaller one only bounds the stack depth.
        while (lo < hi) {
            const auto [j, i] = partition(lo, hi);
            if (j - lo < hi - i) {
                run(lo, j);
                lo = i;
            } else {
                run(i, hi);
                hi = j;
            }
        }
    }

private:
    int before(int position, int pivotRow) const
    {
        const int c = keys_.compare(order_[static_cast<std::size_t>(position)], pivotRow);
        return ascending_ ? c : -c;
    }

    std::pair<int, int> partition(int lo, int hi)
    {
        // The pivot is a value: its row keeps its key wherever it moves.
        const int pivotRow = order_[static_cast<std::size_t>(lo + (hi - lo) / 2)];
        int i = lo;
        int j = hi;
        for (;;) {
            while (i < hi && before(i, pivotRow) < 0)
                ++i;
            while (j > lo && before(j, pivotRow) > 0)
                --j;
            if (j < i)
                return {j, i};
            std::swap(order_[static_cast<std::size_t>(i)], order_[static_cast<std::size_t>(j)]);
            ++i;
            --j;
        }
    }

    const CollationKeys &keys_;
    std::vector<int> &order_;
    const bool ascending_;
};

TStringListC permuted(const TStringListC &column, const std::vector<int> &order)
{
    TStringListC result;
    result.reserve(column.size());
    for (const int row : order)
        result.append(column.at(row));
    return result;
}

} // namespace

TStringListC *TFileInfos::sortColumn()
{
    if (sortFlags & SortFlag::Title)
        return &title;
    if (sortFlags & SortFlag::Artist)
        return &artist;
    if (sortFlags & SortFlag::Album)
        return &album;
    if (sortFlags & SortFlag::Filename)
        return &filename;
    if (sortFlags & SortFlag::Archive)
        return &archive;
    return nullptr;
}

void TFileInfos::sort(std::uint8_t newSortFlags)
{
    sortFlags = newSortFlags;
    const TStringListC *key = sortColumn();
    if (!key || count() < 2)
        return;
    if (!isConsistent()) {
        qWarning(InconsistentTableWarning);
        return;
    }
    const CollationKeys keys(*key);
    std::vector<int> order(static_cast<std::size_t>(count()));
    std::iota(order.begin(), order.end(), 0);
    RowQuicksort(keys, order, (sortFlags & SortFlag::Ascending) != 0).run(0, count() - 1);
    for (TStringListC *column : columns())
        *column = permuted(*column, order);
}
