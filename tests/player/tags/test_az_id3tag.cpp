#include "az_id3tag.h"
#include "mediafixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace testsupport;

namespace {

// A tag window of exactly 1024 bytes: "ID3" at the start, the given bytes at
// a 1-based position, zero bytes elsewhere, read as spaces.
QByteArray windowWith(const QByteArray &bytes, int position)
{
    QByteArray raw(id3WindowSize, '\0');
    raw.replace(0, 3, "ID3");
    raw.replace(position - 1, bytes.size(), bytes);
    return tagWindow(raw.left(id3WindowSize));
}

TId3Tags decoded(const QByteArray &window, const QString &fileName = u"x.mp3"_s)
{
    TId3Tags tags;
    tagsFromFileName(fileName, tags);
    decodeTagWindow(window, tags);
    return tags;
}

class Id3Files : public ::testing::Test
{
protected:
    QString path(const QString &name) const { return dir_.filePath(name); }
    QString write(const QString &name, const QByteArray &bytes) const
    {
        const QString p = path(name);
        EXPECT_TRUE(writeBytes(p, bytes));
        return p;
    }
    static TId3Tags read(const QString &p)
    {
        TId3Tags tags;
        readTags(p, tags);
        return tags;
    }
    QTemporaryDir dir_;
};

} // namespace

TEST(Id3FileNames, SplitsAtTheFirstDashWithAThreeLetterExtension)
{
    const auto band = splitArtistTitle(u"Some Band - A Song.mp3"_s);
    ASSERT_TRUE(band);
    EXPECT_EQ(band->artist, u"Some Band"_s);
    EXPECT_EQ(band->title, u"A Song"_s);

    const auto several = splitArtistTitle(u"A - B - C.mp3"_s);
    ASSERT_TRUE(several);
    EXPECT_EQ(several->artist, u"A"_s);
    EXPECT_EQ(several->title, u"B - C"_s);

    const auto tight = splitArtistTitle(u"Artist-Title.mp3"_s);
    ASSERT_TRUE(tight);
    EXPECT_EQ(tight->artist, u"Artist"_s);
    EXPECT_EQ(tight->title, u"Title"_s);
}

TEST(Id3FileNames, EdgesOfTheSplit)
{
    // Spaces before the extension's dot stay; the title may be empty.
    EXPECT_EQ(splitArtistTitle(u"A -  Song  .ogg"_s)->title, u"Song  "_s);
    const auto noTitle = splitArtistTitle(u"Band -   .mp3"_s);
    ASSERT_TRUE(noTitle);
    EXPECT_EQ(noTitle->artist, u"Band"_s);
    EXPECT_TRUE(noTitle->title.isEmpty());
    const auto dashFirst = splitArtistTitle(u"-Song.mp3"_s);
    ASSERT_TRUE(dashFirst);
    EXPECT_TRUE(dashFirst->artist.isEmpty());
    EXPECT_EQ(dashFirst->title, u"Song"_s);
    // A dash inside the extension leaves nothing for the title.
    const auto inExtension = splitArtistTitle(u"Band.m-3"_s);
    ASSERT_TRUE(inExtension);
    EXPECT_EQ(inExtension->artist, u"Band.m"_s);
    EXPECT_TRUE(inExtension->title.isEmpty());
}

TEST(Id3FileNames, NamesThatDoNotSplit)
{
    EXPECT_FALSE(splitArtistTitle(u"Some Band - A Song.flac"_s));
    EXPECT_FALSE(splitArtistTitle(u"Some Band - A Song"_s));
    EXPECT_FALSE(splitArtistTitle(u"No Dash Here.mp3"_s));
    EXPECT_FALSE(splitArtistTitle(u"A - B.m.3"_s));
    EXPECT_FALSE(splitArtistTitle(u"-.mp"_s));
    EXPECT_FALSE(splitArtistTitle(u".mp"_s));
    EXPECT_FALSE(splitArtistTitle(QString()));
}

TEST(Id3FileNames, BareFileNameCutsAtEitherDelimiter)
{
    EXPECT_EQ(bareFileName(u"D:\\Music\\Some Band - A Song.mp3"_s), u"Some Band - A Song.mp3"_s);
    EXPECT_EQ(bareFileName(u"/home/u/music/a.mp3"_s), u"a.mp3"_s);
    EXPECT_EQ(bareFileName(u"cd2\\sub/b.ogg"_s), u"b.ogg"_s);
    EXPECT_EQ(bareFileName(u"sub/cd2\\c.ogg"_s), u"c.ogg"_s);
    EXPECT_EQ(bareFileName(u"plain.mp3"_s), u"plain.mp3"_s);
    EXPECT_EQ(bareFileName(u"dir/"_s), QString());
}

TEST(Id3FileNames, ValuesFromNamesKeepTheirCharacters)
{
    TId3Tags tags;
    tagsFromFileName(u"/music/Motörhead - Café été.mp3"_s, tags);
    EXPECT_EQ(tags[Id3::TPE1].value, u"Motörhead"_s);
    EXPECT_EQ(tags[Id3::TIT2].value, u"Café été"_s);
    EXPECT_TRUE(tags[Id3::TALB].value.isEmpty());

    tagsFromFileName(u"/music/Some Band - A Song.flac"_s, tags);
    EXPECT_TRUE(tags[Id3::TPE1].value.isEmpty());
    EXPECT_EQ(tags[Id3::TIT2].value, u"Some Band - A Song.flac"_s);
}

TEST(Id3TextDecoding, CleanTextKeepsPrintableAsciiAndSixLetters)
{
    static constexpr char raw[] = "ab\x01\x1F\x7F" "c\xC4\xD6\xDC\xE4\xF6\xFC\xE9\xFF~  ";
    const QByteArray window(raw, sizeof raw - 1);
    ASSERT_EQ(window.size(), 17);
    EXPECT_EQ(cleanText(window, 1, 17), QByteArray("abc\xC4\xD6\xDC\xE4\xF6\xFC~"));
    EXPECT_EQ(cleanText(window, 2, 1), QByteArray("b"));
    EXPECT_TRUE(cleanText(window, 1, 0).isEmpty());
    EXPECT_TRUE(cleanText(window, 1, -5).isEmpty());
    // Positions beyond either end of the window are skipped.
    EXPECT_EQ(cleanText(window, 15, 100), QByteArray("~"));
    EXPECT_EQ(cleanText(window, -1, 4), QByteArray("ab"));
    EXPECT_TRUE(cleanText(window, 40, 3).isEmpty());
    // Trailing spaces go, leading and inner ones stay.
    EXPECT_EQ(cleanText(QByteArray("  a b   "), 1, 8), QByteArray("  a b"));
    EXPECT_TRUE(cleanText(QByteArray("    "), 1, 4).isEmpty());
}

TEST(Id3TextDecoding, NarrowTextTakesOddPositions)
{
    EXPECT_EQ(narrowText("H e l l o"), QByteArray("Hello"));
    EXPECT_EQ(narrowText("Ab"), QByteArray("A"));
    EXPECT_EQ(narrowText("A"), QByteArray("A"));
    EXPECT_TRUE(narrowText(QByteArray()).isEmpty());
}

TEST(Id3Window, WorkedExampleEncodingZero)
{
    const QByteArray frame("TIT2\x00\x00\x00\x06\x00\x00\x00Hello", 16);
    const TId3Tags tags = decoded(windowWith(frame, 100));
    EXPECT_EQ(tags[Id3::TIT2].position, 100);
    EXPECT_EQ(tags[Id3::TIT2].value, u"Hello"_s);
    EXPECT_EQ(tags[Id3::TALB].position, 0);
}

TEST(Id3Window, Utf16WithByteOrderMark)
{
    const TId3Tags tags = decoded(windowWith(id3Utf16TextFrame("TPE1", u"Hello"_s), 37));
    EXPECT_EQ(tags[Id3::TPE1].value, u"Hello"_s);
    EXPECT_EQ(tags[Id3::TPE1].position, 37);
    const TId3Tags umlaut = decoded(windowWith(id3Utf16TextFrame("TALB", u"Über Ärger"_s), 11));
    EXPECT_EQ(umlaut[Id3::TALB].value, u"Über Ärger"_s);
}

TEST(Id3Window, DroppedLowByteThrowsThePairsOutOfStep)
{
    // é's low byte is dropped; its high byte (a space) and every following
    // high byte are taken instead of the letters.
    const TId3Tags tags = decoded(windowWith(id3Utf16TextFrame("TIT2", u"Café Noir"_s), 11));
    EXPECT_EQ(tags[Id3::TIT2].value, u"Caf     "_s);
}

TEST(Id3Window, OnlyTheLowestSizeByteCounts)
{
    // Size 0x0105: five bytes are taken, four of them text.
    QByteArray big("TALB\x00\x00\x01\x05\x00\x00\x00", 11);
    big.append(QByteArray(260, 'x'));
    EXPECT_EQ(decoded(windowWith(big, 20))[Id3::TALB].value, QString(4, u'x'));
    // Size 0x0100: the zero byte reads as a space, 32, so 31 bytes are taken.
    QByteArray round("TALB\x00\x00\x01\x00\x00\x00\x00", 11);
    round.append(QByteArray(255, 'y'));
    EXPECT_EQ(decoded(windowWith(round, 20))[Id3::TALB].value, QString(31, u'y'));
    // Size 1: no text at all.
    const QByteArray one("TALB\x00\x00\x00\x01\x00\x00\x00Zed", 14);
    ASSERT_EQ(one.size(), 14);
    EXPECT_TRUE(decoded(windowWith(one, 20))[Id3::TALB].value.isEmpty());
}

TEST(Id3Window, OtherEncodingsKeepTheFileNameValues)
{
    const QByteArray utf8("TIT2\x00\x00\x00\x06\x00\x00\x03Hello", 16);
    const TId3Tags tags = decoded(windowWith(utf8, 50), u"Band - Song.mp3"_s);
    EXPECT_EQ(tags[Id3::TIT2].position, 50);
    EXPECT_EQ(tags[Id3::TIT2].value, u"Song"_s);
    EXPECT_EQ(tags[Id3::TPE1].value, u"Band"_s);
}

TEST(Id3Window, WithoutTheMarkerNothingIsSearched)
{
    QByteArray raw(id3WindowSize, '\0');
    raw.replace(100, 16, QByteArray("TIT2\x00\x00\x00\x06\x00\x00\x00Hello", 16));
    const TId3Tags tags = decoded(tagWindow(raw), u"Band - Song.mp3"_s);
    EXPECT_EQ(tags[Id3::TIT2].value, u"Song"_s);
    EXPECT_EQ(tags[Id3::TIT2].position, 0);
    // The marker is case-sensitive.
    raw.replace(0, 3, "id3");
    EXPECT_EQ(decoded(tagWindow(raw))[Id3::TIT2].value, u"x.mp3"_s);
}

TEST(Id3Window, FirstOccurrenceWinsEvenInsideAnotherFrame)
{
    // A comment whose text mentions TALB comes before the real album frame.
    QByteArray bytes = id3Latin1TextFrame("COMM", "see TALB here");
    const int albumAt = 40 + static_cast<int>(bytes.size());
    bytes.append(id3Latin1TextFrame("TALB", "Real Album"));
    const TId3Tags tags = decoded(windowWith(bytes, 40));
    EXPECT_EQ(tags[Id3::TALB].position, 40 + 10 + 1 + 4);
    EXPECT_NE(tags[Id3::TALB].position, albumAt);
    EXPECT_NE(tags[Id3::TALB].value, u"Real Album"_s);
}

TEST(Id3Window, OwnerTextsArePrivateFrameValues)
{
    // "PeakValue" is found in a PRIV frame's owner text and decoded by the
    // same offsets, relative to its own length.
    QByteArray owner("PeakValue", 9);
    owner.append(QByteArray("\x00\x00\x00\x07\x00\x00\x00" "abcdef", 13));
    const TId3Tags tags = decoded(windowWith(owner, 300));
    EXPECT_EQ(tags[Id3::PeakValue].position, 300);
    EXPECT_EQ(tags[Id3::PeakValue].value, u"abcdef"_s);
}

TEST(Id3Window, FramesCutOffByTheWindowEndDoNotCrash)
{
    // The id sits so close to the end that the encoding byte is outside.
    const TId3Tags tags = decoded(windowWith("TIT2\x00\x00", 1019), u"A - B.mp3"_s);
    EXPECT_EQ(tags[Id3::TIT2].position, 1019);
    EXPECT_EQ(tags[Id3::TIT2].value, u"B"_s);
    // Encoding byte inside, text running past the end: only what is inside.
    const QByteArray late("TALB\x00\x00\x00\x20\x00\x00\x00Tail", 15);
    EXPECT_EQ(decoded(windowWith(late.left(14), 1011))[Id3::TALB].value, u"Tai"_s);
}

TEST_F(Id3Files, HandBuiltTagInAFile)
{
    const QByteArray tag = id3v23Tag({id3Latin1TextFrame("TIT2", "Caf\xE9 \xC4pfel"),
                                      id3Latin1TextFrame("TPE1", "The Band"),
                                      id3Latin1TextFrame("TALB", "First\x01 Album")},
                                     2048);
    const TId3Tags tags = read(write(u"Other - Name.mp3"_s, tag));
    EXPECT_EQ(tags[Id3::TIT2].value, u"Caf Äpfel"_s); // é dropped, Ä kept
    EXPECT_EQ(tags[Id3::TPE1].value, u"The Band"_s);
    EXPECT_EQ(tags[Id3::TALB].value, u"First Album"_s);
    EXPECT_TRUE(tags[Id3::TCON].value.isEmpty());
    EXPECT_EQ(tags[Id3::TIT2].position, 11);
}

TEST_F(Id3Files, ShortUnreadableAndMissingFilesKeepFileNameValues)
{
    const QByteArray tag = id3v23Tag({id3Latin1TextFrame("TIT2", "Tagged")});
    ASSERT_LT(tag.size(), id3WindowSize);
    TId3Tags shortTags = read(write(u"Band - Short.mp3"_s, tag));
    EXPECT_EQ(shortTags[Id3::TIT2].value, u"Short"_s);
    EXPECT_EQ(shortTags[Id3::TPE1].value, u"Band"_s);
    EXPECT_EQ(shortTags[Id3::TIT2].position, 0);

    // Exactly 1024 bytes is enough.
    const QByteArray full = id3v23Tag({id3Latin1TextFrame("TIT2", "Tagged")}, 1024);
    ASSERT_EQ(full.size(), id3WindowSize);
    EXPECT_EQ(read(write(u"Band - Full.mp3"_s, full))[Id3::TIT2].value, u"Tagged"_s);

    EXPECT_EQ(read(path(u"Band - Gone.mp3"_s))[Id3::TIT2].value, u"Gone"_s);
    ASSERT_TRUE(QDir(dir_.path()).mkdir(u"Band - Folder.mp3"_s));
    EXPECT_EQ(read(path(u"Band - Folder.mp3"_s))[Id3::TIT2].value, u"Folder"_s);

    const QString locked = write(u"Band - Locked.mp3"_s, id3v23Tag(
        {id3Latin1TextFrame("TIT2", "Hidden")}, 2048));
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::Permissions()));
    if (::geteuid() != 0) { // root reads it anyway
        EXPECT_EQ(read(locked)[Id3::TIT2].value, u"Locked"_s);
    }
}

TEST_F(Id3Files, FfmpegWritesEncodingZeroForAscii)
{
    if (!ffmpegAvailable())
        GTEST_SKIP() << "ffmpeg not available";
    const QString p = path(u"tone.mp3"_s);
    QString error;
    ASSERT_TRUE(writeTaggedMp3(p, {u"Plain Title"_s, u"Plain Artist"_s, u"Plain Album"_s}, 0.3,
                               3, &error))
        << error.toStdString();
    const TId3Tags tags = read(p);
    EXPECT_EQ(tags[Id3::TIT2].value, u"Plain Title"_s);
    EXPECT_EQ(tags[Id3::TPE1].value, u"Plain Artist"_s);
    EXPECT_EQ(tags[Id3::TALB].value, u"Plain Album"_s);
}

TEST_F(Id3Files, FfmpegWritesEncodingOneForOtherText)
{
    if (!ffmpegAvailable())
        GTEST_SKIP() << "ffmpeg not available";
    const QString p = path(u"Name - Fallback.mp3"_s);
    QString error;
    ASSERT_TRUE(writeTaggedMp3(p, {u"Äpfel und Öl"_s, u"Müller"_s, u"Café"_s}, 0.3, 3, &error))
        << error.toStdString();
    const TId3Tags tags = read(p);
    EXPECT_EQ(tags[Id3::TIT2].value, u"Äpfel und Öl"_s);
    EXPECT_EQ(tags[Id3::TPE1].value, u"Müller"_s);
    EXPECT_EQ(tags[Id3::TALB].value, u"Caf"_s);
}

TEST_F(Id3Files, UntaggedRealFileTakesItsName)
{
    if (!ffmpegAvailable())
        GTEST_SKIP() << "ffmpeg not available";
    const QString p = path(u"Some Band - A Song.wav"_s);
    ASSERT_TRUE(writeWav(p));
    const TId3Tags tags = read(p);
    EXPECT_EQ(tags[Id3::TPE1].value, u"Some Band"_s);
    EXPECT_EQ(tags[Id3::TIT2].value, u"A Song"_s);
}

TEST_F(Id3Files, SongTagsOfArchiveMembersComeFromTheScratchFile)
{
    const QString scratch = path(u"temp.dat"_s);
    ASSERT_TRUE(writeBytes(scratch, id3v23Tag({id3Latin1TextFrame("TIT2", "From Tag"),
                                               id3Latin1TextFrame("TALB", "Album")}, 1500)));
    TId3Tags tags;
    readSongTags(u"cd1/Band - Name.mp3"_s, u"/m/a.rar"_s, tags, scratch);
    EXPECT_EQ(tags[Id3::TIT2].value, u"From Tag"_s);
    EXPECT_EQ(tags[Id3::TALB].value, u"Album"_s);
    EXPECT_TRUE(tags[Id3::TPE1].value.isEmpty());

    // Without a title frame the member's own name gives the title, not "temp.dat".
    ASSERT_TRUE(writeBytes(scratch, id3v23Tag({id3Latin1TextFrame("TALB", "Only Album")}, 1500)));
    readSongTags(u"cd1\\Band - Name.mp3"_s, u"/m/a.rar"_s, tags, scratch);
    EXPECT_EQ(tags[Id3::TIT2].value, u"Name"_s);
    EXPECT_EQ(tags[Id3::TPE1].value, u"Band"_s);
    EXPECT_EQ(tags[Id3::TALB].value, u"Only Album"_s);

    readSongTags(u"cd1/untitled.flac"_s, u"/m/a.rar"_s, tags, scratch);
    EXPECT_EQ(tags[Id3::TIT2].value, u"untitled.flac"_s);
    EXPECT_TRUE(tags[Id3::TPE1].value.isEmpty());

    ASSERT_TRUE(QFile::remove(scratch));
    readSongTags(u"X - Y.mp3"_s, u"/m/a.rar"_s, tags, scratch);
    EXPECT_EQ(tags[Id3::TIT2].value, u"Y"_s);
    EXPECT_EQ(tags[Id3::TPE1].value, u"X"_s);
}

TEST_F(Id3Files, SongTagsOfPlainFilesReadTheFileItself)
{
    const QString song = write(u"Band - Plain.mp3"_s,
                               id3v23Tag({id3Latin1TextFrame("TPE1", "Tagged Band")}, 1100));
    // A scratch file that must not be looked at.
    const QString scratch = write(u"temp.dat"_s,
                                  id3v23Tag({id3Latin1TextFrame("TPE1", "Wrong")}, 1100));
    TId3Tags tags;
    readSongTags(song, QString(), tags, scratch);
    EXPECT_EQ(tags[Id3::TPE1].value, u"Tagged Band"_s);
    EXPECT_EQ(tags[Id3::TIT2].value, u"Plain"_s);
}
