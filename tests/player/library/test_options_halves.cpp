// Big song tables are stored and read in two halves side by side: the result
// must be exactly what one pass over the whole table gives, wherever the cut
// falls between the halves.
#include "options.h"

#include "azpack.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

// Enough rows, and enough text, for both the store and the read to be cut.
constexpr int Rows = 6000;

QByteArray restored(const QString &file)
{
    const char *text = uncompressFileToString(QFile::encodeName(file).constData());
    return text ? QByteArray(text) : QByteArray();
}

// Cells of every length around the eight-unit steps, letters beyond ASCII at
// every position, pairs of surrogates and lone ones (which take fewer bytes
// than the room kept for them), and line breaks and NULs inside.
QString cell(QRandomGenerator &random)
{
    static const QStringList pieces{u"a"_s, u"Love "_s, u"ü"_s, u"Ελ"_s, u"\U0001F3B5"_s, u"\r"_s,
                                    u"\n"_s, QString(QChar(u'\0')), u"/home/user/Music/"_s, u"x.mp3"_s,
                                    QString(QChar(0xd800))};
    QString text;
    for (int n = random.bounded(7); n > 0; --n)
        text += pieces.at(random.bounded(static_cast<int>(pieces.size())));
    return text;
}

TEST(OptionsTableHalves, StoredBytesAreThoseOfOnePassOverTheRows)
{
    const QTemporaryDir dir;
    const QString file = dir.filePath(u"songlist.azl"_s);
    QRandomGenerator random(11);
    TFileInfos table;
    QByteArray expected;
    for (int row = 0; row < Rows; ++row) {
        QStringList cells;
        for (int column = 0; column < 5; ++column) {
            cells.append(cell(random));
            // Each entry on its own: a lone surrogate never pairs across.
            QStringEncoder utf8(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
            QByteArray bytes = utf8(cells.last());
            expected += bytes.replace('\r', ' ').replace('\n', ' ').replace('\0', ' ') + "\r\n";
        }
        table.appendRow(cells.at(0), cells.at(1), cells.at(2), cells.at(3), cells.at(4));
    }
    table.saveTable(file);
    EXPECT_EQ(restored(file), expected);
}

// Tens of megabytes of room are mapped from the system rather than taken
// from the heap; the halves must still meet without a gap.
TEST(OptionsTableHalves, ATableOfTensOfMegabytesIsStoredWhole)
{
    const QTemporaryDir dir;
    const QString file = dir.filePath(u"songlist.azl"_s);
    const QString wide(400, u'ä');
    const QByteArray wideBytes = wide.toUtf8() + "\r\n";
    TFileInfos table;
    QByteArray expected;
    for (int row = 0; row < Rows; ++row) {
        table.appendRow(QString::number(row) + wide, wide, wide, wide, wide);
        expected += QByteArray::number(row) + wideBytes + wideBytes + wideBytes + wideBytes + wideBytes;
    }
    table.saveTable(file);
    const QByteArray text = restored(file);
    EXPECT_EQ(text.size(), expected.size());
    EXPECT_TRUE(text == expected);
}

TEST(OptionsTableHalves, ReadingGivesTheRowsOfOnePassAndSharesTextsAcrossTheCut)
{
    const QTemporaryDir dir;
    const QString file = dir.filePath(u"songlist.azl"_s);
    struct Case {
        const char *name;
        QByteArray lineEnd;
        int extraLines; // a torn row at the end
    };
    const QList<Case> cases{{"CR LF", "\r\n", 0}, {"LF", "\n", 0}, {"lone CR", "\r", 3},
                            {"mixed", "", 4}, {"mixed, whole rows", "", 0}, {"CR LF, torn", "\r\n", 2}};
    for (const Case &c : cases) {
        QRandomGenerator random(7);
        QByteArray text;
        const int lineCount = Rows * 5 + c.extraLines;
        for (int line = 0; line < lineCount; ++line) {
            const int column = line % 5;
            if (column == 2)
                text += "Bänd " + QByteArray::number(random.bounded(30));
            else if (column != 1 || line % 3 == 0)
                text += "entry " + QByteArray::number(line) + " " + QByteArray(random.bounded(9), 'x');
            static const QList<QByteArray> ends{"\r\n", "\n", "\r"};
            text += c.lineEnd.isEmpty() ? ends.at(random.bounded(3)) : c.lineEnd;
        }
        ASSERT_TRUE(compressString(text.constData(), QFile::encodeName(file).constData()));

        TStringListC expected;
        expected.setText(QString::fromUtf8(text));
        TFileInfos table;
        table.appendRow(u"stale"_s, {}, {}, {}, {});
        table.loadTable(file);
        // A lone CR before an empty line's LF makes one line break of both.
        const int rows = static_cast<int>(expected.size() / 5);
        ASSERT_GT(rows, Rows * 9 / 10) << c.name;
        ASSERT_EQ(table.count(), rows) << c.name;
        ASSERT_TRUE(table.isConsistent()) << c.name;
        for (int row = 0; row < rows; ++row) {
            const QStringList got{table.filename.at(row), table.archive.at(row), table.artist.at(row),
                                  table.title.at(row), table.album.at(row)};
            ASSERT_EQ(got, expected.mid(row * 5, 5)) << c.name << ", row " << row;
        }
        // Equal artists of the first and the last rows are one string.
        for (int row = rows - 1; row >= 0; --row) {
            if (table.artist.at(row) == table.artist.at(0)) {
                EXPECT_GT(row, rows / 2) << c.name;
                EXPECT_EQ(table.artist.cell(row), table.artist.cell(0)) << c.name;
                break;
            }
        }
    }
}

} // namespace
