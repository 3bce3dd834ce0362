// Sorting song tables: the exact places the quicksort gives equal keys, the
// choice of key column, and whole rows moving together.
#include "options.h"

#include <gtest/gtest.h>

#include <QCollator>
#include <QLocale>
#include <QRandomGenerator>

#include <functional>
#include <numeric>

using namespace Qt::StringLiterals;

// Readable failure messages for Qt texts.
inline void PrintTo(const QString &text, std::ostream *os) { *os << '"' << text.toStdString() << '"'; }

namespace {

// Row i gets id i in its Filename and id-derived texts in the other columns,
// so a row torn apart by a sort shows up.
TFileInfos tableWithKeys(const QStringList &keys, std::uint8_t keyBit)
{
    TFileInfos table;
    for (int i = 0; i < keys.size(); ++i) {
        const QString id = QString::number(i);
        table.appendRow(id, u"arch"_s + id, u"art"_s + id, u"tit"_s + id, u"alb"_s + id);
    }
    TSongColumn *column = keyBit == SortFlag::Title    ? &table.title
                           : keyBit == SortFlag::Artist ? &table.artist
                           : keyBit == SortFlag::Album  ? &table.album
                                                        : &table.archive;
    *column = TSongColumn(keys);
    return table;
}

QStringList ids(const TFileInfos &table) { return table.filename; }

// The table's quicksort as it runs over whole rows, comparing the texts with
// the collator: the order any faster way of sorting must give exactly.
QStringList quicksortedIds(QStringList texts, bool ascending)
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    QList<int> rows(texts.size());
    std::iota(rows.begin(), rows.end(), 0);
    const std::function<void(int, int)> sort = [&](int lo, int hi) {
        while (lo < hi) {
            const QString pivot = texts.at(lo + (hi - lo) / 2);
            const auto order = [&](int p) {
                const int c = collator.compare(texts.at(p), pivot);
                return ascending ? c : -c;
            };
            int i = lo;
            int j = hi;
            for (;;) {
                while (i < hi && order(i) < 0)
                    ++i;
                while (j > lo && order(j) > 0)
                    --j;
                if (j < i)
                    break;
                texts.swapItemsAt(i, j);
                rows.swapItemsAt(i, j);
                ++i;
                --j;
            }
            sort(lo, j);
            lo = i;
        }
    };
    sort(0, static_cast<int>(texts.size()) - 1);
    QStringList ids;
    for (const int row : rows)
        ids.append(QString::number(row));
    return ids;
}

TEST(OptionsSongTableSort, CaseEqualKeysLandWhereTheQuicksortPutsThem)
{
    const struct {
        QStringList keys;
        std::uint8_t flags;
        QStringList order;
    } cases[] = {
        {{u"b"_s, u"A"_s, u"a"_s}, SortFlag::Title | SortFlag::Ascending, {u"2"_s, u"1"_s, u"0"_s}},
        {{u"b"_s, u"A"_s, u"a"_s}, SortFlag::Title, {u"0"_s, u"2"_s, u"1"_s}},
        {{u"b"_s, u"a"_s, u"B"_s, u"A"_s}, SortFlag::Title | SortFlag::Ascending,
         {u"3"_s, u"1"_s, u"0"_s, u"2"_s}},
        {{u"x"_s, u"X"_s, u"x"_s, u"X"_s}, SortFlag::Artist | SortFlag::Ascending,
         {u"2"_s, u"3"_s, u"0"_s, u"1"_s}},
        {{u"delta"_s, u"Alpha"_s, u"charlie"_s, u"alpha"_s, u"Bravo"_s},
         SortFlag::Album | SortFlag::Ascending, {u"3"_s, u"1"_s, u"4"_s, u"2"_s, u"0"_s}},
        {{u"/b.rar"_s, u"/a.rar"_s, u"/c.rar"_s}, SortFlag::Archive, {u"2"_s, u"0"_s, u"1"_s}},
    };
    for (const auto &c : cases) {
        TFileInfos table = tableWithKeys(c.keys, c.flags & ~SortFlag::Ascending);
        table.sort(c.flags);
        EXPECT_EQ(ids(table), c.order) << qPrintable(c.keys.join(u','));
        EXPECT_EQ(table.sortFlags, c.flags);
        for (int row = 0; row < table.count(); ++row) {
            const QString id = table.filename.at(row);
            const QString key = c.keys.at(id.toInt());
            for (const auto &[column, prefix] : {std::pair{&table.archive, u"arch"_s}, {&table.artist, u"art"_s},
                                                 {&table.title, u"tit"_s}, {&table.album, u"alb"_s}}) {
                const QString cell = column->at(row);
                EXPECT_TRUE(cell == prefix + id || cell == key) << "row " << row << " torn apart";
            }
        }
    }
}

TEST(OptionsSongTableSort, KeyColumnAndNumberState)
{
    // Title wins over Artist when both bits are set.
    TFileInfos table = tableWithKeys({u"b"_s, u"c"_s, u"a"_s}, SortFlag::Title);
    table.artist = TStringListC{u"z"_s, u"y"_s, u"x"_s};
    table.sort(SortFlag::Title | SortFlag::Artist | SortFlag::Ascending);
    EXPECT_EQ(ids(table), (QStringList{u"2"_s, u"0"_s, u"1"_s}));

    for (const std::uint8_t flags : {std::uint8_t{0x02}, std::uint8_t{0x03}, std::uint8_t{0x00}}) {
        table.sort(flags);
        EXPECT_EQ(ids(table), (QStringList{u"2"_s, u"0"_s, u"1"_s}));
        EXPECT_EQ(table.sortFlags, flags);
    }

    TFileInfos tiny;
    tiny.sort(SortFlag::Filename | SortFlag::Ascending);
    EXPECT_EQ(tiny.sortFlags, SortFlag::Filename | SortFlag::Ascending);
    tiny.appendRow(u"only"_s, {}, {}, {}, {});
    tiny.sort(SortFlag::Filename);
    EXPECT_EQ(tiny.filename, QStringList{u"only"_s});
}

TEST(OptionsSongTableSort, LargeTablesComeOutOrderedAndWhole)
{
    QRandomGenerator random(7);
    QStringList keys;
    for (int i = 0; i < 3000; ++i) {
        QString word;
        for (int n = random.bounded(1, 4); n > 0; --n)
            word += QChar(char16_t((random.bounded(2) ? u'a' : u'A') + random.bounded(4)));
        keys.append(word);
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    for (const std::uint8_t direction : {SortFlag::Ascending, std::uint8_t{0}}) {
        TFileInfos table = tableWithKeys(keys, SortFlag::Title);
        table.sort(SortFlag::Title | direction);
        QList<bool> seen(keys.size(), false);
        for (int row = 0; row < table.count(); ++row) {
            const int id = table.filename.at(row).toInt();
            EXPECT_EQ(table.title.at(row), keys.at(id));
            EXPECT_EQ(table.album.at(row), u"alb"_s + table.filename.at(row));
            seen[id] = true;
            if (row > 0) {
                const int c = collator.compare(table.title.at(row - 1), table.title.at(row));
                EXPECT_TRUE(direction ? c <= 0 : c >= 0) << row;
            }
        }
        EXPECT_FALSE(seen.contains(false));
    }
}

} // namespace

namespace {

TEST(OptionsSongTableSort, BigTablesPlaceEqualKeysAsTheRowQuicksortDoes)
{
    // Few distinct texts in many spellings, so that most keys have equals,
    // in a table big enough to be keyed in parts.
    const QStringList words{u"Über"_s, u"uber"_s, u"UEBER"_s, u"café"_s, u"Cafe"_s, u"zebra"_s, u"Zebra"_s,
                            u"Ångström"_s, u"a"_s, u"A"_s, u"10"_s, u"9"_s, u"\U0001F3B5 note"_s, QString()};
    QRandomGenerator random(11);
    QStringList keys;
    for (int i = 0; i < 6000; ++i) {
        QString text = words.at(random.bounded(static_cast<int>(words.size())));
        if (random.bounded(3) == 0)
            text += u' ' + words.at(random.bounded(static_cast<int>(words.size())));
        keys.append(text);
    }
    const QLocale previous;
    for (const QLocale &locale : {QLocale::c(), QLocale(QLocale::German, QLocale::Germany),
                                  QLocale(QLocale::Swedish, QLocale::Sweden)}) {
        QLocale::setDefault(locale);
        for (const bool ascending : {true, false}) {
            TFileInfos table = tableWithKeys(keys, SortFlag::Artist);
            table.sort(SortFlag::Artist | (ascending ? SortFlag::Ascending : 0));
            EXPECT_EQ(ids(table), quicksortedIds(keys, ascending)) << qPrintable(locale.name()) << ascending;
        }
    }
    QLocale::setDefault(previous);
}

} // namespace
