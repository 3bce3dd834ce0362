// Sorting song tables: the exact places the quicksort gives equal keys, the
// choice of key column, and whole rows moving together.
#include "options.h"

#include <gtest/gtest.h>

#include <QCollator>
#include <QRandomGenerator>

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
    TStringListC *column = keyBit == SortFlag::Title    ? &table.title
                           : keyBit == SortFlag::Artist ? &table.artist
                           : keyBit == SortFlag::Album  ? &table.album
                                                        : &table.archive;
    *column = TStringListC(keys);
    return table;
}

QStringList ids(const TFileInfos &table) { return table.filename; }

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
