// The tag reader over real formats written by ffmpeg, ID3 variants written
// byte by byte, and damaged tags that must cost neither a crash nor an
// unbounded read.

#include "az_id3tag.h"
#include "mediafixtures.h"
#include "tagstream.h"

#include <taglib/id3v2tag.h>

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace testsupport;

namespace {

const QString kArtist = u"Björk & 坂本龍一"_s;
const QString kTitle = u"Jóga – Мумий Тролль"_s;
const QString kAlbum = u"Sigur Rós, Beyoncé"_s;

// A literal's bytes, zero bytes included.
template <std::size_t N>
QByteArray raw(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

QByteArray synchsafe(quint32 size)
{
    QByteArray out;
    for (int shift = 21; shift >= 0; shift -= 7)
        out.append(static_cast<char>((size >> shift) & 0x7F));
    return out;
}

QByteArray bigEndian(quint32 value, int bytes)
{
    QByteArray out;
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8)
        out.append(static_cast<char>((value >> shift) & 0xFF));
    return out;
}

// An ID3v2 tag of the given version around frames, with header flags.
QByteArray id3Tag(int version, const QByteArray &frames, char flags = 0)
{
    return "ID3" + QByteArray(1, static_cast<char>(version)) + QByteArray(1, '\0') + QByteArray(1, flags)
           + synchsafe(static_cast<quint32>(frames.size())) + frames;
}

QByteArray utf16v23Texts()
{
    return id3Utf16TextFrame("TIT2", kTitle) + id3Utf16TextFrame("TPE1", kArtist) + id3Utf16TextFrame("TALB", kAlbum);
}

// A v2.4 tag with its footer: the header's copy behind the frames.
QByteArray withFooter(const QByteArray &tag)
{
    return tag + "3DI" + tag.mid(3, 7);
}

QByteArray v24Frame(const QByteArray &id, const QByteArray &payload)
{
    return id + synchsafe(static_cast<quint32>(payload.size())) + QByteArray(2, '\0') + payload;
}

QByteArray v22Frame(const QByteArray &id, const QByteArray &payload)
{
    return id + bigEndian(static_cast<quint32>(payload.size()), 3) + payload;
}

QByteArray utf16(const QString &text, bool bigEndianOrder)
{
    QByteArray out;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
        out.append(bigEndianOrder ? high : low).append(bigEndianOrder ? low : high);
    }
    return out;
}

QByteArray picture(int size)
{
    QByteArray data("\x00image/jpeg\x00\x03\x00", 14);
    for (int i = 0; i < size; ++i)
        data.append(static_cast<char>(i % 251 == 0 ? 0xFF : i % 256)); // 0xFF bytes for unsynchronisation
    return data;
}

// ID3v1 at the end of some audio bytes.
QByteArray id3v1(const QByteArray &title, const QByteArray &artist, const QByteArray &album)
{
    const auto field = [](QByteArray text) { text.resize(30, '\0'); return text; };
    return "TAG" + field(title) + field(artist) + field(album) + QByteArray(4 + 30 + 1, '\0');
}

// An APE v2 tag (footer only) with text items.
QByteArray apeTag(const std::vector<std::pair<QByteArray, QString>> &items)
{
    const auto le = [](quint32 v) {
        QByteArray out;
        for (int i = 0; i < 4; ++i)
            out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
        return out;
    };
    QByteArray body;
    for (const auto &[key, value] : items) {
        const QByteArray utf8 = value.toUtf8();
        body += le(static_cast<quint32>(utf8.size())) + le(0) + key + '\0' + utf8;
    }
    return body + "APETAGEX" + le(2000) + le(static_cast<quint32>(body.size() + 32))
           + le(static_cast<quint32>(items.size())) + le(0) + QByteArray(8, '\0');
}

QByteArray unsynchronised(const QByteArray &data)
{
    QByteArray out;
    for (qsizetype i = 0; i < data.size(); ++i) {
        out.append(data.at(i));
        if (static_cast<unsigned char>(data.at(i)) == 0xFF
            && (i + 1 == data.size() || (static_cast<unsigned char>(data.at(i + 1)) & 0xE0) == 0xE0
                || data.at(i + 1) == 0))
            out.append('\0');
    }
    return out;
}

const QByteArray kAudio(6000, '\x55');

class TagReaderTest : public ::testing::Test
{
protected:
    TId3Tags read(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir_.filePath(name);
        EXPECT_TRUE(writeBytes(path, bytes));
        TId3Tags tags;
        readTags(path, tags);
        return tags;
    }
    QTemporaryDir dir_;
};

void expectTags(const TId3Tags &tags, const QString &artist, const QString &title, const QString &album)
{
    EXPECT_EQ(tags[Id3::TPE1].value, artist);
    EXPECT_EQ(tags[Id3::TIT2].value, title);
    EXPECT_EQ(tags[Id3::TALB].value, album);
}

} // namespace

TEST_F(TagReaderTest, Id3VariantsWrittenByteByByte)
{
    const QByteArray utf8Texts = v24Frame("TIT2", '\x03' + kTitle.toUtf8()) + v24Frame("TPE1", '\x03' + kArtist.toUtf8())
                                 + v24Frame("TALB", '\x03' + kAlbum.toUtf8());
    const QByteArray pictureFirst = id3v23Frame("APIC", picture(5000))
                                    + id3Utf16TextFrame("TIT2", kTitle) + id3Utf16TextFrame("TPE1", kArtist)
                                    + id3Utf16TextFrame("TALB", kAlbum);
    const QByteArray utf16be = v24Frame("TALB", "\x02" + utf16(kAlbum, true))
                               + v24Frame("TPE1", "\x02" + utf16(kArtist, true))
                               + v24Frame("TIT2", "\x02" + utf16(kTitle, true));
    const struct
    {
        const char *name;
        QByteArray bytes;
        QString artist, title, album;
        QString file = u"Band - Name.mp3"_s;
    } rows[] = {
        {"v2.4 UTF-8", id3Tag(4, utf8Texts) + kAudio, kArtist, kTitle, kAlbum},
        {"v2.3 UTF-16, picture first", id3Tag(3, pictureFirst) + kAudio, kArtist, kTitle, kAlbum},
        {"v2.4 other frames ahead",
         id3Tag(4, v24Frame("TRCK", raw("\x03" "7/12")) + v24Frame("COMM", raw("\x03" "eng\x00A comment"))
                       + v24Frame("TXXX", raw("\x03" "REPLAYGAIN_TRACK_GAIN\x00-6.5 dB")) + utf8Texts)
             + kAudio,
         kArtist, kTitle, kAlbum},
        {"v2.4 UTF-16BE, frames in any order", id3Tag(4, utf16be) + kAudio, kArtist, kTitle, kAlbum},
        {"v2.3 unsynchronised", id3Tag(3, unsynchronised(pictureFirst), '\x80') + kAudio, kArtist, kTitle, kAlbum},
        // The extended header counts into the tag's size; the footer does not.
        {"v2.4 extended header", id3Tag(4, synchsafe(6) + raw("\x01\x00") + utf8Texts, '\x40') + kAudio, kArtist,
         kTitle, kAlbum},
        {"v2.4 footer", withFooter(id3Tag(4, utf8Texts, '\x10')) + kAudio, kArtist, kTitle, kAlbum},
        {"v2.3 extended header", id3Tag(3, bigEndian(6, 4) + QByteArray(6, '\0') + pictureFirst, '\x40') + kAudio,
         kArtist, kTitle, kAlbum},
        {"v2.3 extended header with its checksum",
         id3Tag(3, bigEndian(10, 4) + raw("\x80\x00") + QByteArray(8, '\0') + utf16v23Texts(), '\x40') + kAudio, kArtist,
         kTitle, kAlbum},
        {"v2.2 three-letter frames",
         id3Tag(2, v22Frame("TT2", raw("\x00Title Two")) + v22Frame("TP1", raw("\x00Old Band")) + v22Frame("TAL", raw("\x00Old Album")))
             + kAudio,
         u"Old Band"_s, u"Title Two"_s, u"Old Album"_s},
        {"ID3v1 only", kAudio + id3v1("One Title", "One Band", "One Album"), u"One Band"_s, u"One Title"_s,
         u"One Album"_s},
        {"APE ahead of ID3v1", kAudio + apeTag({{"Title", kTitle}, {"Artist", kArtist}}) + id3v1("v1", "v1", "Alb"),
         kArtist, kTitle, u"Alb"_s},
        {"Monkey's Audio with APE", "MAC " + raw("\x96\x0F\x00\x00") + kAudio
             + apeTag({{"Artist", kArtist}, {"Title", kTitle}, {"Album", kAlbum}}),
         kArtist, kTitle, kAlbum, u"Band - Name.ape"_s},
        {"line breaks and control characters",
         id3Tag(3, id3Latin1TextFrame("TIT2", "Line\r\nBreak\x01 ") + id3Latin1TextFrame("TPE1", "A\nB")) + kAudio,
         u"A B"_s, u"Line Break"_s, QString()},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        expectTags(read(row.file, row.bytes), row.artist, row.title, row.album);
    }
}

TEST_F(TagReaderTest, TodaysFormatsWrittenByFfmpeg)
{
    if (!ffmpegAvailable())
        GTEST_SKIP() << "ffmpeg not available";
    const struct
    {
        QString name;
        QStringList output;
    } rows[] = {
        {u"a.mp3"_s, {u"-c:a"_s, u"libmp3lame"_s, u"-id3v2_version"_s, u"4"_s}},
        {u"b.flac"_s, {u"-c:a"_s, u"flac"_s}},
        {u"c.ogg"_s, {u"-c:a"_s, u"libvorbis"_s}},
        {u"d.opus"_s, {u"-c:a"_s, u"libopus"_s}},
        {u"e.oga"_s, {u"-c:a"_s, u"flac"_s, u"-f"_s, u"ogg"_s}},
        {u"f.m4a"_s, {u"-c:a"_s, u"aac"_s}},
        {u"g.wma"_s, {u"-c:a"_s, u"wmav2"_s}},
        {u"h.wav"_s, {u"-c:a"_s, u"pcm_s16le"_s}},
        {u"i.aiff"_s, {u"-c:a"_s, u"pcm_s16be"_s, u"-write_id3v2"_s, u"1"_s}},
        {u"j.wv"_s, {u"-c:a"_s, u"wavpack"_s}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name.toStdString());
        const QString path = dir_.filePath(row.name);
        QString error;
        ASSERT_TRUE(writeTaggedMedia(path, {kTitle, kArtist, kAlbum}, row.output, 0.3, &error)) << error.toStdString();
        TId3Tags tags;
        readTags(path, tags);
        expectTags(tags, kArtist, kTitle, kAlbum);
    }
}

TEST_F(TagReaderTest, DamagedTagsGiveWhatCanBeReadAndNoCrash)
{
    const QByteArray title = id3Latin1TextFrame("TIT2", "Kept");
    const struct
    {
        const char *name;
        QByteArray bytes;
        QString title;
    } rows[] = {
        {"tag size beyond the file", raw("ID3\x03\x00\x00") + synchsafe(0x0FFFFFFF) + title + kAudio, u"Kept"_s},
        {"frame claiming gigabytes", id3Tag(3, title + raw("TALB\x7F\xFF\xFF\xFF\x00\x00\x00") + QByteArray(50, 'x')),
         u"Kept"_s},
        {"endless padding", id3Tag(3, QByteArray(200000, '\0')) + kAudio, u"Name"_s},
        {"truncated frame", id3Tag(3, title + raw("TPE1\x00\x00\x00\x40\x00\x00\x00Ab")).left(40), u"Kept"_s},
        {"zero-size frames", id3Tag(3, QByteArray("TPE1\x00\x00\x00\x00\x00\x00", 10).repeated(30) + title),
         u"Name"_s},
        {"header only", QByteArray("ID3\x04\x00\x00", 6), u"Name"_s},
        {"v2.3 extended header claiming gigabytes", id3Tag(3, raw("\x7F\xFF\xFF\xFF\x00\x00") + title, '\x40'), u"Name"_s},
        {"v2.3 extended header cut short", id3Tag(3, raw("\x00\x00"), '\x40'), u"Name"_s},
        {"ID3v1 marker alone", QByteArray("TAG"), u"Name"_s},
        {"APE footer claiming more than the file", kAudio + "APETAGEX" + QByteArray("\xD0\x07\x00\x00\xFF\xFF\xFF\x7F"
                                                                             "\xFF\xFF\x00\x00\x00\x00\x00\x00",
                                                                             16) + QByteArray(8, '\0'),
         u"Name"_s},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const TId3Tags tags = read(u"Band - Name.mp3"_s, row.bytes);
        EXPECT_EQ(tags[Id3::TIT2].value, row.title);
    }
    const struct
    {
        const char *name;
        QString file;
        QByteArray bytes;
    } others[] = {
        {"FLAC block beyond the file", u"x.flac"_s, "fLaC\x84\xFF\xFF\xFF" + kAudio},
        {"Ogg page with a broken table", u"x.ogg"_s, "OggS" + QByteArray(22, '\0') + "\xFF" + QByteArray(300, '\xFF')},
        {"MP4 atom of size zero and one", u"x.m4a"_s, QByteArray("\x00\x00\x00\x01" "ftyp\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 16) + kAudio},
        {"RIFF chunk claiming gigabytes", u"x.wav"_s, "RIFF\xFF\xFF\xFF\x7FWAVEid3 \xFF\xFF\xFF\x7F" + kAudio},
    };
    for (const auto &row : others) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(read(row.file, row.bytes)[Id3::TIT2].value, row.file);
    }
}

TEST_F(TagReaderTest, AHugeClaimReadsNoMoreThanTheBudget)
{
    // A sparse file of 64 MiB whose tag claims 256 MiB.
    const QString path = dir_.filePath(u"huge.mp3"_s);
    ASSERT_TRUE(writeBytes(path, raw("ID3\x03\x00\x00") + synchsafe(0x0FFFFFFF) + id3Latin1TextFrame("TIT2", "Kept")));
    ASSERT_TRUE(QFile(path).resize(64LL << 20));
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    ASSERT_GE(fd, 0);
    QByteArray head;
    readFileHead(fd, head);
    constexpr long long kBudget = 1 << 20;
    TTagStream stream(head, fd, 64LL << 20, kBudget);
    TBareTagFile file(&stream);
    const TagLib::ID3v2::Tag tag(&file, 0);
    EXPECT_EQ(tag.title(), TagLib::String("Kept"));
    EXPECT_LE(stream.bytesReadBeyondHead(), kBudget);
    ::close(fd);
}

TEST(TagHeadLength, TellsWhereTheTagsAtTheStartEnd)
{
    const QByteArray id3 = id3Tag(4, QByteArray(500, '\0'));
    const QByteArray flac = "fLaC" + QByteArray("\x00\x00\x00\x22", 4) + QByteArray(34, '\0')
                            + QByteArray("\x84\x00\x01\x00", 4) + QByteArray(256, 'c');
    const QByteArray mp4 = bigEndian(16, 4) + "ftypM4A " + bigEndian(0, 4) + bigEndian(1000, 4) + "moov";
    const struct
    {
        const char *name;
        QByteArray head;
        long long length;
    } rows[] = {
        {"ID3v2", id3.left(64), 510},
        {"ID3v2 header cut", id3.left(6), 10},
        {"FLAC, every block seen", flac, flac.size()},
        {"FLAC, next block header unseen", flac.left(20), 4 + 4 + 34 + 4},
        {"MP4 moov after ftyp", mp4, 16 + 1000},
        {"MP4 audio first", bigEndian(16, 4) + "ftypM4A " + bigEndian(0, 4) + bigEndian(99, 4) + "mdat", 24},
        {"anything else", QByteArray(100, 'z'), 100},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(tagHeadLength(row.head), row.length);
    }
}

TEST_F(TagReaderTest, AHeadIsReadAsFarAsTheTagsAtTheStartReach)
{
    const QByteArray padded = id3Tag(3, id3Latin1TextFrame("TIT2", "T") + QByteArray(1100, '\0'));
    const struct
    {
        const char *name;
        QByteArray bytes;
        qsizetype head;
        bool whole;
    } rows[] = {
        {"tag longer than the first block", padded + kAudio, padded.size(), false},
        {"tag longer than the most a head takes", id3Tag(3, id3v23Frame("APIC", picture(6000))) + kAudio, tagHeadSize,
         false},
        {"no tag at the start", kAudio, 1024, false},
        {"file shorter than the first block", kAudio.left(500), 500, true},
        {"tag claiming more than the file", padded.left(10) + kAudio.left(700), 710, true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const QString path = dir_.filePath(u"head.mp3"_s);
        ASSERT_TRUE(writeBytes(path, row.bytes));
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        ASSERT_GE(fd, 0);
        QByteArray head("left from the file before");
        EXPECT_EQ(readFileHead(fd, head), row.whole);
        ::close(fd);
        EXPECT_EQ(head, row.bytes.left(row.head));
    }
}
