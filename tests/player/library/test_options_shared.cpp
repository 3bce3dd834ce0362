// Texts shared between rows when a store is read, and the packed sort keys:
// both must give exactly what plain per-row strings would give.
#include "options.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <algorithm>

using namespace Qt::StringLiterals;

inline void PrintTo(const QString &text, std::ostream *os) { *os << '"' << text.toStdString() << '"'; }

namespace {

TEST(OptionsSharedTexts, RepeatedTextsAreSharedAndAnEditChangesOneRowOnly)
{
    const QTemporaryDir dir;
    const QString file = dir.filePath(u"songlist.azl"_s);
    TFileInfos stored;
    for (int i = 0; i < 6; ++i)
        stored.appendRow(u"/m/%1.mp3"_s.arg(i), i % 2 ? u"/m/a.rar"_s : QString(), u"Bänd"_s,
                         u"Song %1"_s.arg(i), i < 3 ? u"First"_s : u"Second"_s);
    stored.saveTable(file);

    TFileInfos table;
    table.loadTable(file);
    ASSERT_EQ(table.count(), 6);
    EXPECT_EQ(table.artist.cell(0), table.artist.cell(5));
    EXPECT_EQ(table.album.cell(3), table.album.cell(4));
    EXPECT_EQ(table.archive.cell(1), table.archive.cell(3));

    // A tag edit overwrites one cell in place, as the grid and AutoTag do.
    table.artist.replace(2, u"Other"_s);
    table.album.replace(2, table.album.at(2) + u" Part"_s);
    table.saveTable(file);
    TFileInfos reloaded;
    reloaded.loadTable(file);
    for (int row = 0; row < 6; ++row) {
        EXPECT_EQ(reloaded.artist.at(row), row == 2 ? u"Other"_s : u"Bänd"_s) << row;
        EXPECT_EQ(reloaded.album.at(row), row == 2 ? u"First Part"_s : stored.album.at(row)) << row;
        EXPECT_EQ(reloaded.archive.at(row), stored.archive.at(row)) << row;
        EXPECT_EQ(reloaded.title.at(row), stored.title.at(row)) << row;
    }
}

TEST(OptionsSharedTexts, PackedSortKeysOrderLikeCaseFoldedTexts)
{
    // Distinct keys, so the order is fully fixed: prefixes of each other,
    // differences past the first packed units, a NUL, letters beyond ASCII,
    // and characters above the surrogates, where code unit order and code
    // point order part.
    const QStringList keys{u"abcd"_s, u"ABCDE"_s, u"abcdefgh"_s, u"abcdefgi"_s, u"abcdefghI"_s,
                           u"ab"_s, QString(u"ab\0c"_s), u"Straße"_s, u"strasse"_s, u"Ωmega"_s,
                           u"\U0001F600 smile"_s, u"\uE000 private"_s, u"\uFFFD"_s, QString(),
                           u"z"_s, u"Zz"_s, u"éclair"_s, u"Éclairs"_s};
    std::vector<QString> expected(keys.cbegin(), keys.cend());
    std::sort(expected.begin(), expected.end(), [](const QString &a, const QString &b) {
        return a.toCaseFolded().compare(b.toCaseFolded()) < 0;
    });
    for (const bool ascending : {true, false}) {
        TFileInfos table;
        for (const QString &key : keys)
            table.appendRow(key, QString(), QString(), key, QString());
        table.sort(SortFlag::Title | (ascending ? SortFlag::Ascending : 0));
        std::vector<QString> order(table.title.cbegin(), table.title.cend());
        if (!ascending)
            std::reverse(order.begin(), order.end());
        EXPECT_EQ(order, expected) << "ascending " << ascending;
        EXPECT_EQ(table.filename, table.title);
    }
}

} // namespace
