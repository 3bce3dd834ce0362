// Compressed string lists and the song table's store layout, checked on the
// bytes azpack restores.
#include "options.h"

#include "azpack.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <limits>

using namespace Qt::StringLiterals;

// Readable failure messages for Qt texts.
inline void PrintTo(const QString &text, std::ostream *os) { *os << '"' << text.toStdString() << '"'; }

namespace {

class OptionsStoreTest : public ::testing::Test
{
protected:
    QString path(const QString &name) const { return dir_.filePath(name); }

    static QByteArray restored(const QString &file)
    {
        const char *text = uncompressFileToString(QFile::encodeName(file).constData());
        return text ? QByteArray(text) : QByteArray();
    }

    static void writeRaw(const QString &file, const QByteArray &bytes)
    {
        ASSERT_TRUE(compressString(bytes.constData(), QFile::encodeName(file).constData()));
    }

    static TFileInfos tableOf(const QList<QStringList> &rows)
    {
        TFileInfos table;
        for (const QStringList &r : rows)
            table.appendRow(r.at(0), r.at(1), r.at(2), r.at(3), r.at(4));
        return table;
    }

    static QList<QStringList> rowsOf(const TFileInfos &table)
    {
        QList<QStringList> rows;
        for (int i = 0; i < table.count(); ++i)
            rows.append({table.filename.at(i), table.archive.at(i), table.artist.at(i),
                         table.title.at(i), table.album.at(i)});
        return rows;
    }

    QTemporaryDir dir_;
};

TEST(OptionsStringListText, LineBreakVariantsAndNul)
{
    const struct {
        QString text;
        QStringList lines;
    } cases[] = {
        {u"a\r\nb\r\n"_s, {u"a"_s, u"b"_s}},
        {u"a\rb\nc"_s, {u"a"_s, u"b"_s, u"c"_s}},
        {u"\r\n\r\n"_s, {QString(), QString()}},
        {u"a\n\r"_s, {u"a"_s, QString()}},
        {u"a\r\r\nb"_s, {u"a"_s, QString(), u"b"_s}},
        {u"\n"_s, {QString()}},
        {QString(), {}},
        {QStringView(u"a\nb\0c\nd", 7).toString(), {u"a"_s, u"b"_s}},
        {QStringView(u"\0a\r\n", 4).toString(), {}},
    };
    for (const auto &c : cases) {
        TStringListC list{u"stale"_s};
        list.setText(c.text);
        EXPECT_EQ(list, c.lines) << qPrintable(c.text);
    }
    const TStringListC list{u"a"_s, QString(), u"b"_s};
    EXPECT_EQ(list.text(), u"a\r\n\r\nb\r\n"_s);
    EXPECT_EQ(TStringListC().text(), QString());
}

TEST_F(OptionsStoreTest, ListIsStoredAsUtf8AndRestored)
{
    const TStringListC list{u"Motörhead"_s, QString(), u"Ελληνικά"_s};
    ASSERT_TRUE(list.SaveToFile(path(u"l.azl"_s)));
    EXPECT_EQ(restored(path(u"l.azl"_s)), QByteArray("Mot\xc3\xb6rhead\r\n\r\n") + u"Ελληνικά"_s.toUtf8() + "\r\n");
    TStringListC back;
    back.LoadFromFile(path(u"l.azl"_s));
    EXPECT_EQ(back, list);
}

TEST_F(OptionsStoreTest, InvalidUtf8AndDamagedFilesLoadSafely)
{
    writeRaw(path(u"latin1.azl"_s), "caf\xe9\r\nok\r\n");
    TStringListC list;
    list.LoadFromFile(path(u"latin1.azl"_s));
    EXPECT_EQ(list, (QStringList{u"caf\uFFFD"_s, u"ok"_s}));

    QFile junk(path(u"junk.azl"_s));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("XY\x05\x00\x00\x00garbage", 13);
    junk.close();
    list.LoadFromFile(path(u"junk.azl"_s));
    EXPECT_TRUE(list.isEmpty());

    list = {u"x"_s};
    list.LoadFromFile(path(u"missing.azl"_s));
    EXPECT_TRUE(list.isEmpty());
}

TEST_F(OptionsStoreTest, LineBreaksInsideEntriesNeverShiftRows)
{
    TFileInfos table = tableOf({{u"/m/a.mp3"_s, QString(), u"Art\nist"_s, u"Ti\r\ntle"_s, u"x"_s},
                                {u"/m/b.mp3"_s, QString(), u"B"_s, u"T"_s, u"y"_s}});
    table.saveTable(path(u"s.azl"_s));
    TFileInfos back;
    back.loadTable(path(u"s.azl"_s));
    ASSERT_EQ(back.count(), 2);
    EXPECT_EQ(back.artist.at(0), u"Art ist"_s);
    EXPECT_EQ(back.title.at(0), u"Ti  tle"_s);
    EXPECT_EQ(back.album.at(1), u"y"_s);
}

TEST_F(OptionsStoreTest, StoreLayoutFiveLinesPerRow)
{
    const TFileInfos table = tableOf({{u"/music/Some Band - A Song.mp3"_s, QString(), u"Some Band"_s, u"A Song"_s, QString()},
                                      {u"cd2/Other Song.mp3"_s, u"/music/Collection.rar"_s, QString(), u"Other Song"_s, u"Best Of"_s}});
    table.saveTable(path(u"songlist.azl"_s));
    EXPECT_EQ(restored(path(u"songlist.azl"_s)),
              QByteArray("/music/Some Band - A Song.mp3\r\n\r\nSome Band\r\nA Song\r\n\r\n"
                         "cd2/Other Song.mp3\r\n/music/Collection.rar\r\n\r\nOther Song\r\nBest Of\r\n"));
    TFileInfos back;
    back.sortFlags = 0x45;
    back.appendRow(u"old"_s, {}, {}, {}, {});
    back.loadTable(path(u"songlist.azl"_s));
    EXPECT_EQ(rowsOf(back), rowsOf(table));
    EXPECT_EQ(back.sortFlags, 0x45) << "sortFlags are not part of the store";
}

TEST_F(OptionsStoreTest, EmptyRowsAndEmptyTables)
{
    const TFileInfos blanks = tableOf({{u"/a.mp3"_s, {}, {}, {}, {}}, {{}, {}, {}, {}, {}}});
    blanks.saveTable(path(u"b.azl"_s));
    EXPECT_EQ(restored(path(u"b.azl"_s)), QByteArray("/a.mp3\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n"));
    TFileInfos back;
    back.loadTable(path(u"b.azl"_s));
    EXPECT_EQ(rowsOf(back), rowsOf(blanks));

    TFileInfos().saveTable(path(u"e.azl"_s));
    EXPECT_EQ(QFileInfo(path(u"e.azl"_s)).size(), 0);
    back.loadTable(path(u"e.azl"_s));
    EXPECT_EQ(back.count(), 0);
    EXPECT_TRUE(back.isConsistent());
}

TEST_F(OptionsStoreTest, IncompleteTailIsDroppedWithoutShiftingColumns)
{
    writeRaw(path(u"torn.azl"_s), "f1\r\na1\r\nr1\r\nt1\r\nb1\r\nf2\r\na2\r\nr2\r\nt2\r\nb2\r\nf3\r\na3\r\n");
    TFileInfos table;
    table.loadTable(path(u"torn.azl"_s));
    EXPECT_EQ(rowsOf(table), (QList<QStringList>{{u"f1"_s, u"a1"_s, u"r1"_s, u"t1"_s, u"b1"_s},
                                                 {u"f2"_s, u"a2"_s, u"r2"_s, u"t2"_s, u"b2"_s}}));
}

TEST(OptionsSongTable, RowOperations)
{
    TFileInfos table;
    EXPECT_EQ(table.sortFlags, 3);
    table.deleteRow(0);
    EXPECT_EQ(table.count(), 0);
    for (const char16_t *name : {u"a", u"b", u"c"})
        table.appendRow(QString::fromUtf16(name), u"ar"_s, u"at"_s, u"ti"_s, u"al"_s);
    table.deleteRow(3);
    table.deleteRow(std::numeric_limits<std::uint32_t>::max());
    EXPECT_EQ(table.count(), 3);
    table.deleteRow(1);
    EXPECT_EQ(table.filename, (QStringList{u"a"_s, u"c"_s}));
    EXPECT_TRUE(table.isConsistent());

    table.appendRowFrom(table, 1);
    table.appendRowFrom(table, 3);
    table.appendRowFrom(table, -1);
    EXPECT_EQ(table.filename, (QStringList{u"a"_s, u"c"_s, u"c"_s}));
    table.appendColumns(table);
    EXPECT_EQ(table.count(), 6);
    EXPECT_TRUE(table.isConsistent());

    TFileInfos copy;
    copy.sortFlags = 0x21;
    copy.assign(table);
    EXPECT_EQ(copy.filename, table.filename);
    EXPECT_EQ(copy.album, table.album);
    EXPECT_EQ(copy.sortFlags, 0x21);
    copy.clear();
    EXPECT_EQ(copy.count(), 0);
    EXPECT_TRUE(copy.archive.isEmpty() && copy.album.isEmpty());
    EXPECT_EQ(copy.sortFlags, 0x21);

    TFileRARInfos rar;
    rar.appendRow(u"m.mp3"_s, u"/x.rar"_s, {}, {}, {});
    rar.sizeColumn.append(u"12"_s);
    table.appendColumns(rar);
    EXPECT_EQ(table.archive.last(), u"/x.rar"_s);
    rar.clear();
    EXPECT_TRUE(rar.sizeColumn.isEmpty());
    EXPECT_EQ(rar.count(), 0);
}

} // namespace
