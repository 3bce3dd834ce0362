// The compact song columns: every text comes back exactly as it went in,
// whatever its script, and the store and restore of a table give what a
// plain list of strings gives.
#include "options.h"
#include "songcolumn.h"
#include "storedtext.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace Qt::StringLiterals;

inline void PrintTo(const QString &text, std::ostream *os) { *os << '"' << text.toStdString() << '"'; }

namespace {

// Texts of every kind a cell may hold: scripts, characters beyond the basic
// plane, lone surrogates (no UTF-8 form), byte-order marks, line breaks, NUL
// and other control characters, and lengths around the header's steps.
QStringList awkwardTexts()
{
    return {QString(),
            u"Plain ASCII"_s,
            u"Motörhead – Ångström"_s,
            u"Ωμέγα Київ"_s,
            u"東京事変 한국어"_s,
            u"مرحبا עברית"_s,
            u"\U0001F3B8 guitar \U0001D11E"_s,
            QString(QChar(0xD834)) + u"lone high"_s,
            u"lone low"_s + QChar(0xDD1E),
            QString(QChar(0xDD1E)) + QChar(0xD834),
            QString(QChar(0xFEFF)) + u"mark in front"_s,
            u"mark"_s + QChar(0xFEFF) + u"inside"_s,
            QString(u"nul\0inside"_s),
            u"line\r\nbreaks\rand\nmore"_s,
            u"\t\x01\x1F\x7F controls"_s,
            QString(63, u'a'),
            QString(64, u'b'),
            QString(8191, u'c') + u"é"_s,
            QString(70000, u'ß')};
}

TEST(SongColumn, EveryTextComesBackExactlyAfterAppendCopyAndEdit)
{
    const QStringList texts = awkwardTexts();
    TSongColumn column;
    for (const QString &text : texts)
        column.append(text);
    ASSERT_EQ(column, texts);

    // A column with a block of its own copies the texts; one sharing the
    // block takes the numbers.
    TSongColumn other{u"own text"_s};
    TSongColumn shared;
    for (qsizetype row = 0; row < column.size(); ++row) {
        other.appendCell(column, row);
        shared.appendCell(column, row);
    }
    EXPECT_FALSE(other.sharesArena(column));
    EXPECT_TRUE(shared.sharesArena(column));
    EXPECT_EQ(other.toList(), QStringList{u"own text"_s} + texts);
    EXPECT_EQ(shared, column);
    EXPECT_EQ(shared.cells(), column.cells());

    // An edit of one table leaves the other tables sharing the block alone.
    for (qsizetype row = 0; row < texts.size(); ++row)
        shared.replace(row, texts.at(texts.size() - 1 - row));
    EXPECT_EQ(column, texts);
    QStringList reversed(texts.crbegin(), texts.crend());
    EXPECT_EQ(shared, reversed);
}

TEST(SongColumn, StoredTableMatchesTheStoreOfPlainStrings)
{
    const QTemporaryDir dir;
    const QStringList texts = awkwardTexts();
    // Rows cut from the texts so that every text lands in every column.
    TFileInfos table;
    TStringListC plain;
    for (qsizetype row = 0; row < texts.size(); ++row) {
        QStringList cells;
        for (qsizetype column = 0; column < 5; ++column)
            cells.append(texts.at((row + column) % texts.size()));
        table.appendRow(cells.at(0), cells.at(1), cells.at(2), cells.at(3), cells.at(4));
        plain.append(cells);
    }
    for (const bool reload : {false, true}) {
        SCOPED_TRACE(reload ? "after a reload" : "as built");
        const QString tableFile = dir.filePath(u"table.azl"_s);
        const QString plainFile = dir.filePath(u"plain.azl"_s);
        table.saveTable(tableFile);
        ASSERT_TRUE(plain.SaveToFile(plainFile));
        QList<QByteArray> tableLines;
        QList<QByteArray> plainLines;
        forEachStoredLine(tableFile, [&](QByteArrayView line) { tableLines.append(line.toByteArray()); });
        forEachStoredLine(plainFile, [&](QByteArrayView line) { plainLines.append(line.toByteArray()); });
        ASSERT_EQ(tableLines.size(), plainLines.size());
        for (qsizetype line = 0; line < tableLines.size(); ++line)
            ASSERT_EQ(tableLines.at(line), plainLines.at(line)) << line;

        TFileInfos loaded;
        loaded.loadTable(tableFile);
        TStringListC plainLoaded;
        plainLoaded.LoadFromFile(plainFile);
        ASSERT_EQ(loaded.count(), texts.size());
        for (int row = 0; row < loaded.count(); ++row) {
            const QStringList got{loaded.filename.at(row), loaded.archive.at(row), loaded.artist.at(row),
                                  loaded.title.at(row), loaded.album.at(row)};
            EXPECT_EQ(got, plainLoaded.mid(row * 5, 5)) << row;
        }
        // Both as they came back: the decoder drops a leading byte-order mark.
        table = loaded;
        plain = plainLoaded;
    }
}

// Byte sequences a stored file may hold, valid or not.
QList<QByteArray> storedByteCases()
{
    return {

        "",
        "ascii only",
        "caf\xC3\xA9",
        "\xE6\x9D\xB1\xE4\xBA\xAC",
        "\xF0\x9F\x8E\xB8",
        "\xF4\x8F\xBF\xBF",          // the last code point
        "\xF4\x90\x80\x80",          // past it
        "\xC0\xAF",                  // overlong slash
        "\xC1\xBF",
        "\xE0\x80\xAF",              // overlong, three bytes
        "\xF0\x80\x80\xAF",          // overlong, four bytes
        "\xED\xA0\x80",              // an encoded surrogate
        "\xED\x9F\xBF",              // just below the surrogates
        "\xEF\xBB\xBF" "front mark", // dropped by the decoder
        "mark \xEF\xBB\xBF inside",
        "\xEF\xBF\xBE",              // a noncharacter
        "cut \xC3",
        "cut \xE6\x9D",
        "\x80 stray continuation",
        "\xFE\xFF",
        "\xC3\x28",
        "\xF8\x88\x80\x80\x80"
    };
}

TEST(SongColumn, ExactUtf8IsWhatDecodingGivesBackByteForByte)
{
    for (const QByteArray &bytes : storedByteCases())
        EXPECT_EQ(isExactUtf8(bytes), QString::fromUtf8(bytes).toUtf8() == bytes) << bytes.toHex().constData();
}

TEST(SongColumn, DamagedUtf8LoadsAsEveryStoredListDecodesIt)
{
    const QTemporaryDir dir;
    const QString file = dir.filePath(u"songlist.azl"_s);
    const QList<QByteArray> lines = storedByteCases();
    QByteArray text;
    // Each line five times at different places, so that it meets several
    // columns.
    for (int shift = 0; shift < 5; ++shift)
        for (qsizetype line = 0; line < lines.size(); ++line)
            text += lines.at((line + shift) % lines.size()) + "\r\n";
    ASSERT_TRUE(storeText(text, file));
    TFileInfos table;
    table.loadTable(file);
    TStringListC plain;
    plain.LoadFromFile(file);
    ASSERT_EQ(table.count() * 5, plain.size());
    for (int row = 0; row < table.count(); ++row) {
        const QStringList got{table.filename.at(row), table.archive.at(row), table.artist.at(row),
                              table.title.at(row), table.album.at(row)};
        EXPECT_EQ(got, plain.mid(row * 5, 5)) << row;
    }
}

} // namespace
