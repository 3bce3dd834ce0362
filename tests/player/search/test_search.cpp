// The search over a song table: the term reader's rules, the cases users
// meet (case folding, AND within one column, where texts, quoted terms), and
// the cached search agreeing with the plain scan on random tables and queries
// while the table changes under it.

#include "az_search.h"

#include <gtest/gtest.h>

#include <random>

using namespace Qt::StringLiterals;

namespace {

TEST(SearchTerms, AreReadWithTheReadersRules)
{
    struct Case
    {
        QString query;
        QStringList terms;
    };
    const Case cases[] = {
        {u"PINK \"THE WALL\""_s, {u"PINK"_s, u"THE WALL"_s}},
        // The rest "A" is too short to be read.
        {u"ROCK A"_s, {u"ROCK"_s}},
        {u"A ROCK"_s, {u"A"_s, u"ROCK"_s}},
        // Two adjacent quotes give an empty term, which ends the terms.
        {u"ROCK \"\" POP"_s, {u"ROCK"_s}},
        {u"\"\" ROCK"_s, {}},
        {u"  ROCK   POP  "_s, {u"ROCK"_s, u"POP"_s}},
        {u"   "_s, {}},
        {u"X"_s, {}},
        {u"\"THE WALL"_s, {u"THE WALL"_s}},
        {u"ROCK\"N\"ROLL"_s, {u"ROCK\"N\"ROLL"_s}},
        {u"\"A\"B"_s, {u"A"_s}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.query.toStdString());
        EXPECT_EQ(readTerms(c.query), c.terms);
    }
}

TFileInfos library()
{
    TFileInfos table;
    table.appendRow(u"/music/ROCK/intro.mp3"_s, {}, u"Band"_s, u"Intro"_s, u"Live"_s);
    table.appendRow(u"/music/a.mp3"_s, {}, u"Someone"_s, u"Hard Rock"_s, u"Best"_s);
    table.appendRow(u"/music/b.mp3"_s, {}, u"Alpha"_s, u"Beta"_s, u"One"_s);
    table.appendRow(u"/music/alpha and beta.mp3"_s, {}, u"X"_s, u"Y"_s, u"Z"_s);
    table.appendRow(u"/music/c.mp3"_s, {}, u"Mötley"_s, u"Äpfel"_s, u"Straße"_s);
    table.appendRow(u"cd1/wall.mp3"_s, u"/music/box.rar"_s, u"Pink Floyd"_s, u"The Wall"_s, u"The Wall"_s);
    table.appendRow(u"/music/d.mp3"_s, {}, u"artist"_s, u"Artist Song"_s, u"Q"_s);
    table.appendRow(u"/music/e.mp3"_s, {}, u"Other"_s, u"Wall of the Sound"_s, u"W"_s);
    return table;
}

TEST(Search, FindsEachRowOnceInTheTablesOrder)
{
    using namespace SearchMode;
    struct Case
    {
        QString query;
        QString where;
        int mode;
        QList<int> rows;
    };
    const Case cases[] = {
        // Case is ignored, in a title and in a path.
        {u"rock"_s, u"All"_s, EntireString, {0, 1}},
        {u"ä"_s, u"All"_s, EntireString, {4}},
        {u"ÄPFEL"_s, u"Title"_s, EntireString, {4}},
        {u"mötley"_s, u"Artist"_s, AllTerms, {4}},
        {u"STRASSE"_s, u"Album"_s, EntireString, {4}},
        // AND needs all terms in one column; OR takes any.
        {u"alpha beta"_s, u"All"_s, AllTerms, {3}},
        {u"alpha beta"_s, u"All"_s, AnyTerm, {2, 3}},
        // One character: a substring, no term at all (every row), no term to find.
        {u"q"_s, u"All"_s, EntireString, {6}},
        {u"q"_s, u"All"_s, AllTerms, {0, 1, 2, 3, 4, 5, 6, 7}},
        {u"q"_s, u"All"_s, AnyTerm, {}},
        // Only the exact item texts select their columns; anything else is Title.
        {u"band"_s, u"Artist"_s, EntireString, {0}},
        {u"band"_s, u"artist"_s, EntireString, {}},
        {u"song"_s, u"anywhere"_s, EntireString, {6}},
        {u"box"_s, u"Archive Filename"_s, EntireString, {5}},
        {u"box"_s, u"Filename"_s, EntireString, {}},
        // Found in Filename, Archive, Title and Album: listed once.
        {u"wall"_s, u"All"_s, EntireString, {5, 7}},
        // Quotes make one term of two words.
        {u"the wall"_s, u"Title"_s, AllTerms, {5, 7}},
        {u"\"the wall\""_s, u"Title"_s, AllTerms, {5}},
        {u"rock a"_s, u"All"_s, AnyTerm, {0, 1}},
        {u"\"\" rock"_s, u"All"_s, AnyTerm, {}},
        // An empty query, or a mode outside the three, as entire string.
        {u""_s, u"All"_s, EntireString, {}},
        {u"pink"_s, u"All"_s, 7, {5}},
    };
    const TFileInfos table = library();
    TSongSearch search;
    for (const Case &c : cases) {
        SCOPED_TRACE(QString(c.query + u" in "_s + c.where + u" mode "_s + QString::number(c.mode)).toStdString());
        QStringList expected;
        for (const int row : c.rows)
            expected.append(table.filename.at(row));
        for (const TFileInfos &found : {search.search(table, c.query, c.where, c.mode),
                                        searchByScan(table, c.query, c.where, c.mode)}) {
            EXPECT_EQ(found.filename, expected);
            EXPECT_TRUE(found.isConsistent());
            EXPECT_EQ(found.sortFlags, SortFlag::Ascending | SortFlag::Number);
        }
    }
}

// Texts from a small alphabet, so that queries hit: letters in both cases
// with umlauts, the sharp s, the dotted and dotless i, spaces and quotes,
// a character beyond the basic plane, and a lone surrogate.
class RandomTexts
{
public:
    explicit RandomTexts(std::uint32_t seed) : random_(seed) {}

    QString text(int maxLength)
    {
        static const QString alphabet = u"abAB äÄöÖßiIİı\"é"_s + QChar(0xD834) + QChar(0xDD1E) + QChar(0xD834);
        QString result;
        const int length = below(maxLength + 1);
        for (int i = 0; i < length; ++i)
            result.append(alphabet.at(below(static_cast<int>(alphabet.size()))));
        return result;
    }
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

private:
    std::mt19937 random_;
};

void changeTable(TFileInfos &table, RandomTexts &random)
{
    std::array<TSongColumn *, 5> columns{&table.filename, &table.archive, &table.artist, &table.title,
                                          &table.album};
    switch (random.below(5)) {
    case 0: // a tag edit
        if (table.count() > 0)
            columns.at(static_cast<std::size_t>(random.below(5)))->replace(random.below(table.count()), random.text(6));
        break;
    case 1:
        table.deleteRow(static_cast<std::uint32_t>(random.below(table.count() + 1)));
        break;
    case 2:
        table.appendRow(random.text(8), random.text(3), random.text(6), random.text(6), random.text(6));
        break;
    case 3:
        table.sort(SortFlag::Title | SortFlag::Ascending);
        break;
    default: // a reload: equal texts in a new block
        for (TSongColumn *column : columns)
            *column = TSongColumn(column->toList());
        break;
    }
}

TEST(Search, CachedSearchAgreesWithThePlainScanWhileTheTableChanges)
{
    const QStringList wheres = SearchWhere::Items + QStringList{u"artist"_s, u"elsewhere"_s};
    for (const QString &localeName : {u"C"_s, u"de_DE"_s, u"tr_TR"_s}) {
        SCOPED_TRACE(localeName.toStdString());
        QLocale::setDefault(QLocale(localeName));
        RandomTexts random(20240611);
        TFileInfos table;
        for (int row = 0; row < 60; ++row)
            table.appendRow(random.text(8), random.text(3), random.text(6), random.text(6), random.text(6));
        TSongSearch search;
        for (int round = 0; round < 400; ++round) {
            if (random.below(3) == 0)
                changeTable(table, random);
            const QString query = random.text(5);
            const QString &where = wheres.at(random.below(static_cast<int>(wheres.size())));
            const int mode = random.below(4);
            const TFileInfos fast = search.search(table, query, where, mode);
            const TFileInfos plain = searchByScan(table, query, where, mode);
            ASSERT_EQ(fast.filename, plain.filename) << round << ' ' << qPrintable(query) << ' ' << mode;
            ASSERT_EQ(fast.archive, plain.archive);
            ASSERT_EQ(fast.artist, plain.artist);
            ASSERT_EQ(fast.title, plain.title);
            ASSERT_EQ(fast.album, plain.album);
        }
    }
    QLocale::setDefault(QLocale::c());
}

// A table big enough to be searched in two halves side by side, whose
// artists, albums and archives repeat so that those columns are searched once
// per distinct text; edits between the searches change a few rows.
TEST(Search, BigTablesAgreeWithThePlainScan)
{
    RandomTexts random(20261209);
    QStringList artists;
    QStringList albums;
    for (int k = 0; k < 12; ++k)
        artists.append(random.text(6));
    for (int k = 0; k < 40; ++k)
        albums.append(random.text(6));
    TFileInfos table;
    for (int row = 0; row < 20000; ++row)
        table.appendRow(random.text(8), random.below(10) == 0 ? albums.at(random.below(40)) : QString(),
                        artists.at(random.below(12)), random.text(6), albums.at(random.below(40)));
    struct Case
    {
        QString query;
        QString where;
        int mode;
    };
    const QList<Case> cases{
        {artists.at(3), SearchWhere::All, SearchMode::EntireString},
        {albums.at(7), SearchWhere::Album, SearchMode::EntireString},
        {u"ä"_s, SearchWhere::All, SearchMode::EntireString},
        {u"b a"_s, SearchWhere::All, SearchMode::AllTerms},
        {u"ß \"I ı\""_s, SearchWhere::Artist, SearchMode::AnyTerm},
        {u"é"_s, SearchWhere::Archive, SearchMode::AnyTerm},
        {u"ab"_s, SearchWhere::Title, SearchMode::EntireString},
    };
    TSongSearch search;
    for (int round = 0; round < 3; ++round) {
        for (const Case &c : cases) {
            SCOPED_TRACE(QString(c.query + u" in "_s + c.where).toStdString());
            const TFileInfos fast = search.search(table, c.query, c.where, c.mode);
            const TFileInfos plain = searchByScan(table, c.query, c.where, c.mode);
            ASSERT_EQ(fast.filename, plain.filename) << round;
            ASSERT_EQ(fast.artist, plain.artist) << round;
            ASSERT_EQ(fast.album, plain.album) << round;
        }
        table.artist.replace(random.below(table.count()), random.text(6));
        table.album.replace(random.below(table.count()), albums.at(0) + u"b"_s);
        table.deleteRow(static_cast<std::uint32_t>(random.below(table.count())));
    }
}

} // namespace

TEST(CaseFolder, TellsWhichTextsUpperCaseInPlace)
{
    using enum TextForm;
    struct Case
    {
        QString locale;
        QString text;
        TextForm form;
    };
    const Case cases[] = {
        {u"C"_s, u""_s, Ascii},
        {u"C"_s, u"Summer rain, 1999 (live)"_s, Ascii},
        {u"C"_s, u"Über café ÿ ɏ"_s, Latin},
        // Upper cases that take another length, or fall into ASCII.
        {u"C"_s, u"Straße"_s, Other},
        {u"C"_s, u"Kırmızı"_s, Other},
        {u"C"_s, u"ſun"_s, Other},
        // From U+0250 on, and beyond two bytes.
        {u"C"_s, u"ɐ"_s, Other},
        {u"C"_s, u"€uro"_s, Other},
        {u"de_DE"_s, u"Über"_s, Latin},
        // Where i upper-cases to İ no text is taken in place.
        {u"tr_TR"_s, u"abc"_s, Other},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(QString(c.locale + u' ' + c.text).toStdString());
        const QByteArray utf8 = c.text.toUtf8();
        EXPECT_EQ(TCaseFolder(QLocale(c.locale)).formOf(utf8.constData(), static_cast<std::size_t>(utf8.size())),
                  c.form);
    }
}

// Cells scanned in place (ASCII of lengths around the eight-byte steps,
// two-byte letters) and cells searched in their upper-cased copies (letters
// whose upper case changes length or lands in ASCII, three-byte characters,
// texts kept as UTF-16), in one half and in two, against needles of ASCII
// and beyond.
TEST(Search, InPlaceAndCopiedCellsAgreeWithThePlainScan)
{
    const QStringList cells{
        u"summer"_s, u"A long summer rain falls"_s, u"xxxxxxxsummer"_s, u"xxxxxxxxsumme"_s, u"SUMMER"_s,
        u"Über den Wolken"_s, u"über"_s, u"Café über Summer"_s, u"ÿes"_s, u"naïve AbcÉ"_s,
        u"Kırmızı"_s, u"ſummer"_s, u"Straße"_s, u"İstanbul"_s, u"istanbul"_s,
        u"€uro"_s, u"ɐbc ɏbc"_s, QChar(0xD834) + u"summer"_s, u""_s, u"@`[{"_s,
    };
    const QStringList queries{
        u"summer"_s, u"xsummer"_s, u"summe"_s, u"r"_s, u"er"_s, u"s"_s, u"über"_s, u"Ü"_s, u"é"_s, u"i"_s,
        u"İ"_s, u"ı"_s, u"ss"_s, u"ÿ"_s, u"€"_s, u"ɐ"_s, u"Ɏbc"_s, u"ımı"_s, u"é abc"_s, u"`"_s, u"{"_s,
    };
    for (const QString &localeName : {u"C"_s, u"tr_TR"_s}) {
        QLocale::setDefault(QLocale(localeName));
        for (const int rows : {static_cast<int>(cells.size()), 17000}) {
            TFileInfos table;
            for (int row = 0; row < rows; ++row) {
                const QString &cell = cells.at(row % cells.size());
                table.appendRow(rows > cells.size() ? cell + u' ' + QString::number(row) : cell, {}, {}, cell, {});
            }
            TSongSearch search;
            for (const QString &query : queries) {
                for (const QString &where : {SearchWhere::Filename, SearchWhere::Title}) {
                    SCOPED_TRACE(
                        QString(localeName + u' ' + QString::number(rows) + u' ' + query + u' ' + where).toStdString());
                    const TFileInfos fast = search.search(table, query, where, SearchMode::EntireString);
                    ASSERT_EQ(fast.filename,
                              searchByScan(table, query, where, SearchMode::EntireString).filename);
                }
            }
        }
    }
    QLocale::setDefault(QLocale::c());
}
