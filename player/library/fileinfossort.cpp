#include "options.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QDebug>
#include <QLocale>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <utility>
#include <variant>
#include <vector>

namespace {

constexpr char InconsistentTableWarning[] =
    "Song table columns differ in length; the table is left unsorted";

// Case-folded texts packed into one buffer, so that a sort allocates once
// rather than once per row, and the comparisons walk memory that lies close
// together.
class FoldedKeys
{
public:
    explicit FoldedKeys(const QStringList &texts)
    {
        qsizetype units = 0;
        for (const QString &text : texts)
            units += text.size();
        chars_.reserve(static_cast<std::size_t>(units));
        starts_.reserve(static_cast<std::size_t>(texts.size()) + 1);
        for (const QString &text : texts) {
            starts_.push_back(chars_.size());
            if (std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; })) {
                // Folding ASCII is lowering A to Z, which needs no new string.
                for (const QChar c : text) {
                    const char16_t u = c.unicode();
                    chars_.push_back(u >= u'A' && u <= u'Z' ? static_cast<char16_t>(u - u'A' + u'a') : u);
                }
            } else {
                const QString folded = text.toCaseFolded();
                chars_.insert(chars_.end(), folded.utf16(), folded.utf16() + folded.size());
            }
        }
        starts_.push_back(chars_.size());
        // Texts below the surrogates are also packed four units to a
        // number, so that comparing them is comparing a few integers.
        wordStarts_.reserve(starts_.size());
        for (std::size_t row = 0; row + 1 < starts_.size(); ++row) {
            wordStarts_.push_back(words_.size());
            const QStringView text = key(row);
            if (std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() >= 0xD800; })) {
                wordStarts_.back() = NoWords;
                continue;
            }
            for (qsizetype k = 0; k < text.size(); k += 4) {
                std::uint64_t value = 0;
                for (qsizetype u = k; u < k + 4; ++u)
                    value = (value << 16) | (u < text.size() ? text[u].unicode() : 0u);
                words_.push_back(value);
            }
        }
    }

    int compare(std::size_t a, std::size_t b) const
    {
        const std::size_t wa = wordStarts_[a];
        const std::size_t wb = wordStarts_[b];
        const QStringView ka = key(a);
        const QStringView kb = key(b);
        if (wa == NoWords || wb == NoWords)
            return ka.compare(kb);
        // Below the surrogates, unit order is code point order; a text that
        // is a prefix of another (zero padding included) is the shorter one.
        const std::size_t common = (static_cast<std::size_t>(std::min(ka.size(), kb.size())) + 3) / 4;
        for (std::size_t k = 0; k < common; ++k) {
            if (words_[wa + k] != words_[wb + k])
                return words_[wa + k] < words_[wb + k] ? -1 : 1;
        }
        return ka.size() < kb.size() ? -1 : ka.size() > kb.size() ? 1 : 0;
    }

private:
    static constexpr std::size_t NoWords = ~std::size_t{0};

    QStringView key(std::size_t row) const
    {
        return QStringView(chars_.data() + starts_[row], static_cast<qsizetype>(starts_[row + 1] - starts_[row]));
    }

    std::vector<char16_t> chars_;
    std::vector<std::size_t> starts_;
    std::vector<std::uint64_t> words_;
    std::vector<std::size_t> wordStarts_;
};

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
            keys_.emplace<FoldedKeys>(texts);
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
        if (const auto *folded = std::get_if<FoldedKeys>(&keys_))
            return folded->compare(ua, ub);
        const auto &keys = std::get<std::vector<QCollatorSortKey>>(keys_);
        return keys[ua].compare(keys[ub]);
    }

private:
    std::variant<std::monostate, FoldedKeys, std::vector<QCollatorSortKey>> keys_;
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

// Puts the string of row order[p] at position p for every p. A column
// shared with another copy is copied first, in row order, which is the order
// its strings lie in memory; then the strings are moved along the cycles of
// the permutation without touching their texts or a second array.
void permute(TStringListC &column, const std::vector<int> &order, std::vector<bool> &placed)
{
    QString *items = column.data();
    placed.assign(order.size(), false);
    for (std::size_t start = 0; start < order.size(); ++start) {
        if (placed[start])
            continue;
        QString first = std::move(items[start]);
        std::size_t p = start;
        for (;;) {
            placed[p] = true;
            const auto source = static_cast<std::size_t>(order[p]);
            if (source == start) {
                items[p] = std::move(first);
                break;
            }
            items[p] = std::move(items[source]);
            p = source;
        }
    }
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
    std::vector<bool> placed;
    for (TStringListC *column : columns())
        permute(*column, order, placed);
}
