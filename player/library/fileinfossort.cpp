#include "options.h"
#include "storedrows.h"
#include "storedtext.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QDebug>
#include <QLocale>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <numeric>
#include <optional>
#include <utility>
#include <vector>

namespace {

constexpr char InconsistentTableWarning[] =
    "Song table columns differ in length; the table is left unsorted";

// Below this many rows a second thread costs more than it saves.
constexpr qsizetype ParallelRows = 2048;

// Case-folded texts of a run of rows packed into one buffer, so that a sort
// allocates once rather than once per row, and the comparisons walk memory
// that lies close together.
class FoldedKeys
{
public:
    // A key as the comparison sees it: the folded text, and its packed form
    // when it has one.
    struct Key
    {
        QStringView text;
        const std::uint64_t *words;
    };

    explicit FoldedKeys(const std::vector<QString> &texts)
    {
        qsizetype units = 0;
        for (const QString &text : texts)
            units += text.size();
        chars_.reserve(static_cast<std::size_t>(units));
        starts_.reserve(texts.size() + 1);
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
            const QStringView text = textOf(row);
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

    Key key(int row) const
    {
        const auto r = static_cast<std::size_t>(row);
        return {textOf(r), wordStarts_[r] == NoWords ? nullptr : words_.data() + wordStarts_[r]};
    }

    static int compare(const Key &a, const Key &b)
    {
        if (!a.words || !b.words)
            return a.text.compare(b.text);
        // Below the surrogates, unit order is code point order; a text that
        // is a prefix of another (zero padding included) is the shorter one.
        const std::size_t common = (static_cast<std::size_t>(std::min(a.text.size(), b.text.size())) + 3) / 4;
        for (std::size_t k = 0; k < common; ++k) {
            if (a.words[k] != b.words[k])
                return a.words[k] < b.words[k] ? -1 : 1;
        }
        return a.text.size() < b.text.size() ? -1 : a.text.size() > b.text.size() ? 1 : 0;
    }

private:
    static constexpr std::size_t NoWords = ~std::size_t{0};

    QStringView textOf(std::size_t row) const
    {
        return QStringView(chars_.data() + starts_[row], static_cast<qsizetype>(starts_[row + 1] - starts_[row]));
    }

    std::vector<char16_t> chars_;
    std::vector<std::size_t> starts_;
    std::vector<std::uint64_t> words_;
    std::vector<std::size_t> wordStarts_;
};

// Collation keys of a run of rows, each computed once, so that sorting
// compares prepared keys instead of collating the raw texts again and again.
// Each run has a collator of its own, as runs are keyed on different threads.
class CollatorKeys
{
public:
    using Key = const QCollatorSortKey *;

    CollatorKeys(const std::vector<QString> &texts, const QLocale &locale)
    {
        QCollator collator(locale);
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        keys_.reserve(texts.size());
        for (const QString &text : texts)
            keys_.push_back(collator.sortKey(text));
    }

    Key key(int row) const { return &keys_[static_cast<std::size_t>(row)]; }
    static int compare(Key a, Key b) { return a->compare(*b); }

private:
    std::vector<QCollatorSortKey> keys_;
};

// The distinct texts of one run of rows in key order, cut into groups of
// equal keys. Equal texts share one key: artists and albums repeat across
// many rows, and titles now and then.
template <class Keys>
class SortedRun
{
public:
    template <class... KeyArgs>
    SortedRun(const TSongColumn &texts, qsizetype first, qsizetype last, const KeyArgs &...keyArgs)
        : first_(first), distinctOf_(static_cast<std::size_t>(last - first)),
          keys_(distinctTexts(texts, first, last), keyArgs...)
    {
        order_.resize(distinctCount_);
        std::iota(order_.begin(), order_.end(), 0);
        std::sort(order_.begin(), order_.end(),
                  [this](int a, int b) { return Keys::compare(keys_.key(a), keys_.key(b)) < 0; });
        distinctRanks_.resize(distinctCount_);
        for (std::size_t p = 0; p < order_.size(); ++p) {
            if (p == 0 || Keys::compare(keys_.key(order_[p - 1]), keys_.key(order_[p])) != 0)
                groupStarts_.push_back(p);
        }
        groupStarts_.push_back(order_.size());
    }

    std::size_t groups() const { return groupStarts_.size() - 1; }
    typename Keys::Key groupKey(std::size_t group) const { return keys_.key(order_[groupStarts_[group]]); }

    // Gives every text of the group the rank.
    void rank(std::size_t group, int rank)
    {
        for (std::size_t p = groupStarts_[group]; p < groupStarts_[group + 1]; ++p)
            distinctRanks_[static_cast<std::size_t>(order_[p])] = rank;
    }

    // Hands the ranks of the texts on to the rows of the run.
    void rankRows(std::vector<int> &ranks) const
    {
        for (std::size_t k = 0; k < distinctOf_.size(); ++k)
            ranks[static_cast<std::size_t>(first_) + k] = distinctRanks_[static_cast<std::size_t>(distinctOf_[k])];
    }

private:
    // Equal texts have equal records, and mostly equal offsets.
    std::vector<QString> distinctTexts(const TSongColumn &texts, qsizetype first, qsizetype last)
    {
        std::vector<QString> distinct;
        std::vector<QByteArrayView> records;
        TLineNumbers seen;
        TTextArena::Offset previous = 0;
        std::uint32_t previousNumber = 0;
        for (qsizetype row = first; row < last; ++row) {
            const TTextArena::Offset offset = texts.cell(row);
            if (row == first || offset != previous) {
                const QByteArrayView record = texts.rawCell(row).record;
                previousNumber = seen.find(record, records);
                if (previousNumber == TLineNumbers::None) {
                    previousNumber = static_cast<std::uint32_t>(records.size());
                    records.push_back(record);
                    seen.insert(record, previousNumber, records);
                    distinct.push_back(texts.at(row));
                }
                previous = offset;
            }
            distinctOf_[static_cast<std::size_t>(row - first)] = static_cast<int>(previousNumber);
        }
        distinctCount_ = distinct.size();
        return distinct;
    }

    const qsizetype first_;
    // Row first_ + k has the text distinctOf_[k].
    std::vector<int> distinctOf_;
    std::size_t distinctCount_ = 0;
    const Keys keys_;
    std::vector<int> order_;
    std::vector<std::size_t> groupStarts_;
    std::vector<int> distinctRanks_;
};

// Each row's place among the distinct keys of the column: rows with equal
// keys share a rank, and ranks order as the keys do. The two halves of the
// rows are keyed and sorted on two threads, then merged group by group.
template <class Keys, class... KeyArgs>
std::vector<int> keyRanks(const TSongColumn &texts, const KeyArgs &...keyArgs)
{
    const qsizetype rows = texts.size();
    std::vector<int> ranks(static_cast<std::size_t>(rows));
    if (rows < ParallelRows) {
        SortedRun<Keys> all(texts, 0, rows, keyArgs...);
        for (std::size_t g = 0; g < all.groups(); ++g)
            all.rank(g, static_cast<int>(g));
        all.rankRows(ranks);
        return ranks;
    }
    const qsizetype middle = rows / 2;
    std::optional<SortedRun<Keys>> lower;
    std::optional<SortedRun<Keys>> upper;
    // A failure on either side surfaces here, once both halves have stopped.
    std::exception_ptr lowerFailure;
    std::exception_ptr upperFailure;
    runSideBySide(
        [&] {
            try {
                lower.emplace(texts, 0, middle, keyArgs...);
            } catch (...) {
                lowerFailure = std::current_exception();
            }
        },
        [&] {
            try {
                upper.emplace(texts, middle, rows, keyArgs...);
            } catch (...) {
                upperFailure = std::current_exception();
            }
        });
    for (const std::exception_ptr &failure : {lowerFailure, upperFailure})
        if (failure)
            std::rethrow_exception(failure);

    int rank = 0;
    std::size_t a = 0;
    std::size_t b = 0;
    while (a < lower->groups() && b < upper->groups()) {
        const int c = Keys::compare(lower->groupKey(a), upper->groupKey(b));
        if (c <= 0)
            lower->rank(a++, rank);
        if (c >= 0)
            upper->rank(b++, rank);
        ++rank;
    }
    for (; a < lower->groups(); ++a)
        lower->rank(a, rank++);
    for (; b < upper->groups(); ++b)
        upper->rank(b, rank++);
    lower->rankRows(ranks);
    upper->rankRows(ranks);
    return ranks;
}

std::vector<int> keyRanks(const TSongColumn &texts)
{
    // The collator follows the collation locale, which may differ from the
    // default locale; the helper thread gets the same one.
    const QCollator collator;
    const QLocale locale = collator.locale();
    // Sort keys of the C locale ignore the case setting, while its
    // comparison honours it; case-folded texts give the latter's order.
    if (locale.language() == QLocale::C)
        return keyRanks<FoldedKeys>(texts);
    return keyRanks<CollatorKeys>(texts, locale);
}

// A row of the permutation with its key's rank beside it, so that the
// quicksort compares integers lying next to the rows it moves.
struct RankedRow
{
    int rank;
    int row;
};

// The table's quicksort, run over a permutation of row numbers: order[p].row
// is the original row now standing at position p. Exchanging two entries of
// the permutation is exchanging the two rows, so equal keys end up exactly
// where exchanging whole rows would put them.
template <bool Ascending>
class RowQuicksort
{
public:
    explicit RowQuicksort(std::vector<RankedRow> &order) : order_(order) {}

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
    static bool before(int rank, int pivot) { return Ascending ? rank < pivot : rank > pivot; }

    std::pair<int, int> partition(int lo, int hi)
    {
        RankedRow *const rows = order_.data();
        // The pivot is a value: its row keeps its key wherever it moves.
        const int pivot = rows[lo + (hi - lo) / 2].rank;
        int i = lo;
        int j = hi;
        for (;;) {
            while (i < hi && before(rows[i].rank, pivot))
                ++i;
            while (j > lo && before(pivot, rows[j].rank))
                --j;
            if (j < i)
                return {j, i};
            std::swap(rows[i], rows[j]);
            ++i;
            --j;
        }
    }

    std::vector<RankedRow> &order_;
};

// Puts the cell of row order[p] at position p for every p.
void permute(TSongColumn &column, const std::vector<RankedRow> &order)
{
    const QList<TTextArena::Offset> &cells = column.cells();
    QList<TTextArena::Offset> sorted(cells.size());
    TTextArena::Offset *const out = sorted.data();
    const TTextArena::Offset *const in = cells.constData();
    for (std::size_t p = 0; p < order.size(); ++p)
        out[p] = in[order[p].row];
    column.cells() = std::move(sorted);
}

} // namespace

TSongColumn *TFileInfos::sortColumn()
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
    const TSongColumn *key = sortColumn();
    if (!key || count() < 2)
        return;
    if (!isConsistent()) {
        qWarning(InconsistentTableWarning);
        return;
    }
    std::vector<RankedRow> order(static_cast<std::size_t>(count()));
    {
        const std::vector<int> ranks = keyRanks(*key);
        for (std::size_t p = 0; p < order.size(); ++p)
            order[p] = {ranks[p], static_cast<int>(p)};
    }
    if (sortFlags & SortFlag::Ascending)
        RowQuicksort<true>(order).run(0, count() - 1);
    else
        RowQuicksort<false>(order).run(0, count() - 1);
    for (TSongColumn *column : columns())
        permute(*column, order);
}
