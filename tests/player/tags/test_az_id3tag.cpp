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

TEST_F(Id3Files, HandBuiltTagInAFile)
{
    const QByteArray tag = id3v23Tag({id3Latin1TextFrame("TIT2", "Caf\xE9 \xC4pfel"),
                                      id3Latin1TextFrame("TPE1", "The Band"),
                                      id3Latin1TextFrame("TALB", "First\x01 Album")},
                                     2048);
    const TId3Tags tags = read(write(u"Other - Name.mp3"_s, tag));
    EXPECT_EQ(tags[Id3::TIT2].value, u"Café Äpfel"_s);
    EXPECT_EQ(tags[Id3::TPE1].value, u"The Band"_s);
    EXPECT_EQ(tags[Id3::TALB].value, u"First Album"_s); // the control character is dropped
    EXPECT_TRUE(tags[Id3::TCON].value.isEmpty());
}

TEST_F(Id3Files, ShortUnreadableAndMissingFilesKeepFileNameValues)
{
    // A short file is read as well as a long one; its artist stays the name's.
    const TId3Tags shortTags = read(write(u"Band - Short.mp3"_s, id3v23Tag({id3Latin1TextFrame("TIT2", "Tagged")})));
    EXPECT_EQ(shortTags[Id3::TIT2].value, u"Tagged"_s);
    EXPECT_EQ(shortTags[Id3::TPE1].value, u"Band"_s);

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
    EXPECT_EQ(tags[Id3::TALB].value, u"Café"_s);
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
