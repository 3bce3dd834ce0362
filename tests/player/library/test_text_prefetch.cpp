// A stored library restored ahead of its load is used only while the file
// is the one restored.
#include "options.h"
#include "textprefetch.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

TFileInfos oneSong(const QString &title)
{
    TFileInfos table;
    table.appendRow(u"/music/"_s + title + u".mp3"_s, QString(), u"Sigur Rós"_s, title, u"Ágætis byrjun"_s);
    return table;
}

TEST(TextPrefetch, TheLoadReadsTheFileAsItIsWhenItIsLoaded)
{
    struct Case
    {
        const char *name;
        bool savedAgain;
        bool otherName;
    };
    const Case cases[] = {
        {"unchanged", false, false},
        {"saved after the restore began", true, false},
        {"another file loaded", false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QTemporaryDir dir;
        const QString file = dir.filePath(u"songlist.azl"_s);
        const QString other = dir.filePath(u"other.azl"_s);
        oneSong(u"Svefn-g-englar"_s).saveTable(file);
        oneSong(u"Starálfur"_s).saveTable(other);
        TTextPrefetch ahead(file);
        if (c.savedAgain)
            oneSong(u"Olsen Olsen"_s).saveTable(file);
        const QString loaded = c.otherName ? other : file;
        TFileInfos table;
        table.loadTable(loaded, &ahead);
        TFileInfos expected;
        expected.loadTable(loaded);
        ASSERT_EQ(table.count(), 1);
        EXPECT_EQ(table.title.at(0), expected.title.at(0));
        EXPECT_EQ(table.artist.at(0), u"Sigur Rós"_s);
    }
}

} // namespace
