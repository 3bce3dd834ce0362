// The file-type filter: both tests at their limits, extensions, broken
// filter files, and where the program's directory is.
#include "options.h"

#include "azpack.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdlib>
#include <unistd.h>

using namespace Qt::StringLiterals;

// Readable failure messages for Qt texts.
inline void PrintTo(const QString &text, std::ostream *os) { *os << '"' << text.toStdString() << '"'; }

namespace {

class OptionsFilterTest : public ::testing::Test
{
protected:
    QString path(const QString &name) const { return dir_.filePath(name); }

    TFileFilterInfos filterOf(const QStringList &lines)
    {
        TStringListC(lines).SaveToFile(path(u"filetypes.azi"_s));
        TFileFilterInfos filter;
        filter.loadFilter(path(u"filetypes.azi"_s));
        return filter;
    }

    QString fileOfSize(const QString &name, qint64 bytes)
    {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        EXPECT_TRUE(file.resize(bytes));
        return file.fileName();
    }

    QTemporaryDir dir_;
};

TEST_F(OptionsFilterTest, FileSizeLimits)
{
    TFileFilterInfos open = filterOf({u".mp3"_s, u"100"_s, u"0"_s});
    EXPECT_EQ(open.classifyFile(fileOfSize(u"a.mp3"_s, 102399)), 0);
    EXPECT_EQ(open.classifyFile(fileOfSize(u"b.mp3"_s, 102400)), 1);
    EXPECT_EQ(open.classifyFile(fileOfSize(u"c.mp3"_s, qint64{3} << 32)), 1);

    TFileFilterInfos capped = filterOf({u".mp3"_s, u"100"_s, u"5000"_s});
    EXPECT_EQ(capped.classifyFile(fileOfSize(u"d.mp3"_s, 5000 * 1024)), 1);
    EXPECT_EQ(capped.classifyFile(fileOfSize(u"e.mp3"_s, 5001 * 1024 - 1)), 1);
    EXPECT_EQ(capped.classifyFile(fileOfSize(u"f.mp3"_s, 5001 * 1024)), 0);
    // "00" is the number zero but not the no-limit text.
    TFileFilterInfos zeroes = filterOf({u".mp3"_s, u"0"_s, u"00"_s});
    EXPECT_EQ(zeroes.classifyFile(fileOfSize(u"g.mp3"_s, 1023)), 1);
    EXPECT_EQ(zeroes.classifyFile(fileOfSize(u"h.mp3"_s, 1024)), 0);
}

TEST_F(OptionsFilterTest, ExtensionsAndKindsOfPath)
{
    TFileFilterInfos filter = filterOf({u".wav"_s, u"0"_s, u"0"_s, u".mp3"_s, u"0"_s, u"0"_s});
    EXPECT_EQ(filter.classifyFile(fileOfSize(u"LOUD.MP3"_s, 10)), 1);
    EXPECT_EQ(filter.classifyFile(fileOfSize(u"Set.Rar"_s, 0)), 3);
    EXPECT_EQ(filterOf({}).classifyFile(path(u"Set.Rar"_s)), 3) << "archives need no entry";
    EXPECT_EQ(filter.classifyFile(fileOfSize(u"mp3"_s, 10)), 0);
    EXPECT_EQ(filter.classifyFile(fileOfSize(u"song.flac"_s, 10)), 0);
    EXPECT_EQ(filter.classifyFile(path(u"missing.mp3"_s)), 0);
    ASSERT_TRUE(QDir(dir_.path()).mkpath(u"folder.mp3/in.dir"_s));
    EXPECT_EQ(filter.classifyFile(path(u"folder.mp3"_s)), 0);
    EXPECT_EQ(filter.classifyFile(fileOfSize(u"folder.mp3/in.dir/noext"_s, 10)), 0);
    EXPECT_EQ(filter.classifyFile(fileOfSize(u".mp3"_s, 10)), 1);
    // A blank extension line is a broken entry, not a type for bare names.
    TFileFilterInfos blank = filterOf({QString(), u"0"_s, u"0"_s});
    EXPECT_EQ(blank.classifyFile(path(u"mp3"_s)), 0);
    EXPECT_FALSE(blank.acceptsMember(u"README"_s, 1));
}

TEST_F(OptionsFilterTest, LastMatchingEntryDecidesOnDisk)
{
    TFileFilterInfos filter = filterOf({u".mp3"_s, u"0"_s, u"0"_s, u".mp3"_s, u"200"_s, u"0"_s});
    EXPECT_EQ(filter.classifyFile(fileOfSize(u"a.mp3"_s, 150 * 1024)), 0);
    EXPECT_TRUE(filter.acceptsMember(u"a.mp3"_s, 150)) << "members pass any matching entry";
}

TEST_F(OptionsFilterTest, UnreadableFileIsSkipped)
{
    TFileFilterInfos filter = filterOf({u".mp3"_s, u"0"_s, u"0"_s});
    const QString locked = fileOfSize(u"locked.mp3"_s, 2048);
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::WriteOwner));
    if (geteuid() != 0) {
        EXPECT_EQ(filter.classifyFile(locked), 0);
        return;
    }
    // Root reads every plain file, but not a write-only kernel attribute.
    const QString writeOnly = u"/sys/bus/cpu/uevent"_s;
    if (!QFileInfo(writeOnly).isFile() || QFile(writeOnly).open(QIODevice::ReadOnly))
        GTEST_SKIP() << "no file here that root cannot read";
    ASSERT_TRUE(QFile::link(writeOnly, path(u"attribute.mp3"_s)));
    EXPECT_EQ(filter.classifyFile(path(u"attribute.mp3"_s)), 0);
}

TEST_F(OptionsFilterTest, ArchiveMembers)
{
    TFileFilterInfos filter = filterOf({u".mp3"_s, u"100"_s, u"5000"_s, u".ogg"_s, u"10"_s, u"0"_s});
    EXPECT_FALSE(filter.acceptsMember(u"cd1\\Song.MP3"_s, 99));
    EXPECT_TRUE(filter.acceptsMember(u"cd1\\Song.MP3"_s, 100));
    EXPECT_TRUE(filter.acceptsMember(u"cd1/Song.mp3"_s, 5000));
    EXPECT_FALSE(filter.acceptsMember(u"Song.mp3"_s, 5001));
    EXPECT_TRUE(filter.acceptsMember(u"a.ogg"_s, qint64{1} << 40));
    EXPECT_FALSE(filter.acceptsMember(u"inner.rar"_s, 500));
    EXPECT_FALSE(filter.acceptsMember(u"v1.0\\readme"_s, 500));
}

TEST_F(OptionsFilterTest, BrokenFilterFilesKeepCompleteEntries)
{
    TFileFilterInfos filter;
    filter.loadFilter(path(u"missing.azi"_s));
    EXPECT_TRUE(filter.extension.isEmpty());
    EXPECT_EQ(filter.classifyFile(fileOfSize(u"a.mp3"_s, 4096)), 0);

    filter = filterOf({u".mp3"_s, u"0"_s, u"0"_s, u".ogg"_s, u"0"_s});
    EXPECT_EQ(filter.extension, QStringList{u".mp3"_s});
    EXPECT_EQ(filter.maximum, QStringList{u"0"_s});
    EXPECT_EQ(filter.classifyFile(path(u"a.mp3"_s)), 1);
    EXPECT_FALSE(filter.acceptsMember(u"b.ogg"_s, 10));

    TStringListC().SaveToFile(path(u"empty.azi"_s));
    filter.loadFilter(path(u"empty.azi"_s));
    EXPECT_TRUE(filter.extension.isEmpty() && filter.minimum.isEmpty() && filter.maximum.isEmpty());
}

TEST_F(OptionsFilterTest, NonDecimalLimitsAcceptNothing)
{
    const QString file = fileOfSize(u"a.mp3"_s, 4096);
    for (const auto &[low, high] : {std::pair{u"1O"_s, u"0"_s}, {u"0"_s, u"5 000"_s}, {u" 1"_s, u"0"_s},
                                    {u"0"_s, QString()}, {u"0x1"_s, u"0"_s}, {u"0"_s, u"99999999999999999999"_s}}) {
        TFileFilterInfos filter = filterOf({u".mp3"_s, low, high, u".ogg"_s, u"0"_s, u"0"_s});
        EXPECT_EQ(filter.classifyFile(file), 0) << qPrintable(low) << '/' << qPrintable(high);
        EXPECT_FALSE(filter.acceptsMember(u"a.mp3"_s, 4));
        EXPECT_TRUE(filter.acceptsMember(u"a.ogg"_s, 4));
    }
    EXPECT_EQ(filterOf({u".mp3"_s, u"-5"_s, u"4"_s}).classifyFile(file), 1);
}

TEST(OptionsDeliveredFilter, HoldsTodaysTypesWithUsableLimits)
{
    // The default store files are built beside the test programs.
    QString bin = qEnvironmentVariable("MELODECK_BIN_DIR");
    if (bin.isEmpty())
        bin = QFileInfo(QFile::symLinkTarget(u"/proc/self/exe"_s)).absolutePath();
    const QString file = bin + u"/filetypes.azi"_s;
    ASSERT_TRUE(QFileInfo::exists(file)) << "build the default store files first";
    TFileFilterInfos filter;
    filter.loadFilter(file);
    QStringList types = filter.extension;
    types.sort();
    EXPECT_EQ(types, (QStringList{u".aac"_s, u".aif"_s, u".aiff"_s, u".ape"_s, u".flac"_s, u".m4a"_s, u".mp2"_s,
                                  u".mp3"_s, u".oga"_s, u".ogg"_s, u".opus"_s, u".wav"_s, u".wma"_s, u".wv"_s}));
    for (const QString &type : types) {
        EXPECT_TRUE(filter.acceptsMember(u"song"_s + type, 4096)) << qPrintable(type);
        EXPECT_FALSE(filter.acceptsMember(u"click"_s + type, 1)) << qPrintable(type);
    }
}

TEST(OptionsLowerExtension, OnlyTheFileNameAndOnlyAsciiLetters)
{
    EXPECT_EQ(lowerExtension(u"/a/B.Tar.GZ"_s), u".gz"_s);
    EXPECT_EQ(lowerExtension(u"/a.b/noext"_s), QString());
    EXPECT_EQ(lowerExtension(u"a.b\\noext"_s), QString());
    EXPECT_EQ(lowerExtension(u"Ä.MP3"_s), u".mp3"_s);
    EXPECT_EQ(lowerExtension(u"x.ÄB"_s), u".Äb"_s);
    EXPECT_EQ(lowerExtension(u"end."_s), u"."_s);
}

TEST(OptionsProgramDir, HomeVariableOrTheProgramsDirectory)
{
    const QByteArray saved = qgetenv("MELODECK_HOME");
    qputenv("MELODECK_HOME", "/tmp/melodeck-home");
    EXPECT_EQ(programDir(), u"/tmp/melodeck-home/"_s);
    qputenv("MELODECK_HOME", "/tmp/melodeck-home/");
    EXPECT_EQ(programDir(), u"/tmp/melodeck-home/"_s);
    qunsetenv("MELODECK_HOME");
    const QString dir = programDir();
    EXPECT_TRUE(dir.endsWith(u'/'));
    if (const QString bin = qEnvironmentVariable("MELODECK_BIN_DIR"); !bin.isEmpty()) {
        EXPECT_EQ(QFileInfo(dir).canonicalFilePath(), QFileInfo(bin).canonicalFilePath());
    }
    EXPECT_TRUE(QFileInfo::exists(dir + u"library_test_options_filter"_s));
    if (!saved.isNull())
        qputenv("MELODECK_HOME", saved);
}

} // namespace
