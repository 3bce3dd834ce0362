#include "untunrar.h"

#include "mediafixtures.h"
#include "az_id3tag.h"
#include "tagstream.h"
#include "rar4writer.h"
#include "rar5writer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

#include <sys/resource.h>

using namespace Qt::StringLiterals;
using namespace testsupport;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What listing leaves of a member in the scratch file: the tag window.
// What a listing extracts of a member: its tags at the start, else its
// first 64 KiB.
QByteArray listed(const QByteArray &member)
{
    const QByteArray head = member.left(64 * 1024);
    return head.left(static_cast<qsizetype>(tagHeadLength(head)));
}

// Bytes that read as a tagged song: an ID3v2.3 tag padded past the window,
// then a marker that tells the copies apart.
QByteArray song(const QByteArray &title, const QByteArray &album = {},
                const QByteArray &marker = {}, int size = 3000)
{
    std::vector<QByteArray> frames;
    if (!title.isEmpty())
        frames.push_back(id3Latin1TextFrame("TIT2", title));
    if (!album.isEmpty())
        frames.push_back(id3Latin1TextFrame("TALB", album));
    QByteArray bytes = frames.empty() ? QByteArray(1200, 'u') : id3v23Tag(frames, 1200);
    bytes.append(marker);
    if (bytes.size() < size)
        bytes.append(size - bytes.size(), '\x55');
    return bytes;
}

class UnRarArchives : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home_.isValid());
        ASSERT_TRUE(QDir(home_.path()).mkdir(u"music"_s));
        filter_.extension = {u".mp3"_s, u".ogg"_s};
        filter_.minimum = {u"0"_s, u"1"_s};
        filter_.maximum = {u"0"_s, u"0"_s};
        ASSERT_TRUE(unrar_.loadArchiveLibrary(QString::fromLatin1(TUnRar::librarySoname)));
    }

    QString archive(const QString &name, const std::vector<Rar4Member> &members,
                    const Rar4Options &options = {}) const
    {
        const QString path = home_.filePath(u"music/"_s + name);
        EXPECT_TRUE(writeRar4(path, members, options));
        return path;
    }
    QString scratch() const { return home_.filePath(u"temp.dat"_s); }
    QStringList homeEntries() const
    {
        return QDir(home_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
    bool extract(const QString &arch, const QString &member) const
    {
        return unrar_.extractMember(arch, member, QString(), scratch());
    }

    QTemporaryDir home_;
    TFileFilterInfos filter_;
    TUnRar unrar_{filter_, home_.path() + u'/'};
};

} // namespace

TEST_F(UnRarArchives, ListsAcceptedMembersInOrderWithTagsAndSizes)
{
    const QByteArray third = song("Third Title", "Deep Album", "#3", 5000);
    const QString path = archive(u"collection.rar"_s,
        {{"first.mp3", song("First Title", "Album One", "#1", 3000)},
         {"notes.txt", QByteArray(4000, 'n')},
         {"sub", {}, false, true},
         {"sub\\Some Band - Second.mp3", QByteArray(1500, 'x')},
         {"sub\\deeper\\third.ogg", third},
         {"tiny.ogg", QByteArray(1023, 't')}}); // below the 1 KiB minimum

    const TFileRARInfos rows = unrar_.listArchive(path);
    ASSERT_EQ(rows.count(), 3);
    EXPECT_EQ(rows.filename, QStringList({u"first.mp3"_s, u"sub/Some Band - Second.mp3"_s,
                                          u"sub/deeper/third.ogg"_s}));
    EXPECT_EQ(rows.archive, QStringList({path, path, path}));
    EXPECT_EQ(rows.title, QStringList({u"First Title"_s, u"Second"_s, u"Third Title"_s}));
    EXPECT_EQ(rows.artist, QStringList({QString(), u"Some Band"_s, QString()}));
    EXPECT_EQ(rows.album, QStringList({u"Album One"_s, QString(), u"Deep Album"_s}));
    EXPECT_EQ(rows.sizeColumn, QStringList({u"2"_s, u"1"_s, u"4"_s}));
    // The scratch file holds the start of the last accepted member.
    EXPECT_EQ(readAll(scratch()), listed(third));
    EXPECT_EQ(homeEntries(), QStringList({u"music"_s, u"temp.dat"_s}));
}

TEST_F(UnRarArchives, ListingExtractsOnlyTheTagWindowAndLetsTheCallerInBetweenMembers)
{
    const QByteArray big = song("Big", "Huge Album", "#b", 3 * 1024 * 1024);
    const struct
    {
        QByteArray name;
        QByteArray data;
        QByteArray scratchAfter; // what the scratch file holds once the member is passed
    } members[] = {
        {"short.mp3", QByteArray(700, 's'), QByteArray(700, 's')}, // shorter than the window
        {"notes.txt", QByteArray(4000, 'n'), QByteArray(700, 's')}, // skipped, nothing written
        {"exact.mp3", QByteArray(1024, 'e'), QByteArray(1024, 'e')},
        {"big.mp3", big, listed(big)},
    };
    std::vector<Rar4Member> rar;
    for (const auto &m : members)
        rar.push_back({m.name, m.data});
    const QString path = archive(u"window.rar"_s, rar);

    QList<QByteArray> seen;
    const TFileRARInfos rows = unrar_.listArchive(path, [&] { seen.append(readAll(scratch())); });
    ASSERT_EQ(seen.size(), std::size(members));
    for (std::size_t i = 0; i < std::size(members); ++i)
        EXPECT_EQ(seen.at(static_cast<qsizetype>(i)), members[i].scratchAfter) << members[i].name.constData();
    EXPECT_EQ(rows.title, QStringList({u"short.mp3"_s, u"exact.mp3"_s, u"Big"_s}));
    EXPECT_EQ(rows.album.at(2), u"Huge Album"_s);
    EXPECT_EQ(rows.sizeColumn.at(2), u"3072"_s);
    // Playback still gets the whole member.
    ASSERT_TRUE(extract(path, u"big.mp3"_s));
    EXPECT_EQ(readAll(scratch()), big);

    // The program may close while the call-back lets events through: the
    // listing then ends with what it has.
    int calls = 0;
    const TFileRARInfos cut = unrar_.listArchive(path, [&] {
        ++calls;
        unrar_.freeArchiveLibrary();
    });
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(cut.filename, QStringList{u"short.mp3"_s});
}

TEST_F(UnRarArchives, Rar5ArchivesListAndExtractTheSameWay)
{
    const QByteArray second = song("Second", "Five", "#2");
    const QString path = home_.filePath(u"music/five.rar"_s);
    ASSERT_TRUE(writeRar5(path, {{"Band - One.mp3", QByteArray(2048, 'o')},
                                 {"sub", {}, true},
                                 {"sub/two.mp3", second},
                                 {"sub/readme.txt", QByteArray(10, 'r')},
                                 {u"Motörhead - Café.ogg"_s.toUtf8(), QByteArray(1024, 'm')}}));
    const TFileRARInfos rows = unrar_.listArchive(path);
    EXPECT_EQ(rows.filename,
              QStringList({u"Band - One.mp3"_s, u"sub/two.mp3"_s, u"Motörhead - Café.ogg"_s}));
    EXPECT_EQ(rows.title, QStringList({u"One"_s, u"Second"_s, u"Café"_s}));
    EXPECT_EQ(rows.artist, QStringList({u"Band"_s, QString(), u"Motörhead"_s}));
    EXPECT_EQ(rows.album, QStringList({QString(), u"Five"_s, QString()}));
    EXPECT_EQ(rows.sizeColumn, QStringList({u"2"_s, u"2"_s, u"1"_s}));
    ASSERT_TRUE(extract(path, u"Motörhead - Café.ogg"_s));
    EXPECT_EQ(readAll(scratch()), QByteArray(1024, 'm'));
    ASSERT_TRUE(extract(path, u"Band - One.mp3"_s));
    EXPECT_EQ(readAll(scratch()), QByteArray(2048, 'o'));
}

TEST_F(UnRarArchives, ExtractMemberMatchesTheExactName)
{
    const QByteArray wanted = song("Wanted", {}, "#w");
    const QString path = archive(u"a.rar"_s, {{"cd1\\song.mp3", song("Other", {}, "#o")},
                                              {"cd2\\song.mp3", wanted},
                                              {"cd2\\later.mp3", song("Later")}});
    ASSERT_TRUE(extract(path, u"cd2/song.mp3"_s));
    EXPECT_EQ(readAll(scratch()), wanted);

    EXPECT_FALSE(extract(path, u"CD2/song.mp3"_s));
    EXPECT_FALSE(extract(path, u"song.mp3"_s));
    EXPECT_FALSE(extract(path, u"cd2\\song.mp3"_s));
    EXPECT_EQ(readAll(scratch()), wanted);

    // A folder given separately is joined with the file name.
    const QString other = home_.filePath(u"elsewhere"_s);
    ASSERT_TRUE(QDir().mkpath(other));
    ASSERT_TRUE(unrar_.extractMember(path, u"cd2/later.mp3"_s, other, u"copy.bin"_s));
    EXPECT_EQ(readAll(other + u"/copy.bin"_s), song("Later"));
}

TEST_F(UnRarArchives, NoAcceptedMemberAddsNothingAndWritesNothing)
{
    const QString path = archive(u"docs.rar"_s, {{"readme.txt", QByteArray(100, 'r')},
                                                 {"cover.jpg", QByteArray(5000, 'j')},
                                                 {"song.mp3.txt", QByteArray(5000, 's')}});
    EXPECT_EQ(unrar_.listArchive(path).count(), 0);
    EXPECT_FALSE(QFile::exists(scratch()));
}

TEST_F(UnRarArchives, ARepeatedNameDoesNotEndTheListing)
{
    // libarchive folds a header that repeats the previous name into that
    // member (as for a member continued from the previous volume); what
    // matters is that the members after it are still listed.
    const QString path = archive(u"dup.rar"_s, {{"same.mp3", song("Copy One", {}, "#1")},
                                                {"same.mp3", song("Copy Two", {}, "#2")},
                                                {"after.mp3", song("After")},
                                                {"same.mp3", song("Copy Three", {}, "#3")},
                                                {"last.mp3", song("Last")}});
    const TFileRARInfos rows = unrar_.listArchive(path);
    EXPECT_EQ(rows.filename,
              QStringList({u"same.mp3"_s, u"after.mp3"_s, u"same.mp3"_s, u"last.mp3"_s}));
    EXPECT_EQ(rows.title, QStringList({u"Copy One"_s, u"After"_s, u"Copy Three"_s, u"Last"_s}));
    // Playback finds the first member of that name.
    ASSERT_TRUE(extract(path, u"same.mp3"_s));
    EXPECT_EQ(readAll(scratch()), song("Copy One", {}, "#1"));
}

TEST_F(UnRarArchives, MissingAndDamagedArchives)
{
    EXPECT_EQ(unrar_.listArchive(home_.filePath(u"music/gone.rar"_s)).count(), 0);
    EXPECT_FALSE(extract(home_.filePath(u"music/gone.rar"_s), u"a.mp3"_s));

    const QString garbage = home_.filePath(u"music/garbage.rar"_s);
    ASSERT_TRUE(writeBytes(garbage, QByteArray(4096, '\x7E')));
    EXPECT_EQ(unrar_.listArchive(garbage).count(), 0);
    EXPECT_FALSE(QFile::exists(scratch()));

    // A broken header CRC in the second member ends reading there.
    const QByteArray first = song("Intact", {}, "#1");
    QByteArray bytes = buildRar4({{"one.mp3", first}, {"two.mp3", song("Two")}});
    const qsizetype second = bytes.indexOf("two.mp3") - 32;
    ASSERT_GT(second, 0);
    bytes[second] = static_cast<char>(bytes[second] ^ 0x5A);
    const QString badHeader = home_.filePath(u"music/badheader.rar"_s);
    ASSERT_TRUE(writeBytes(badHeader, bytes));
    const TFileRARInfos rows = unrar_.listArchive(badHeader);
    EXPECT_EQ(rows.filename, QStringList({u"one.mp3"_s}));
    EXPECT_EQ(readAll(scratch()), listed(first));
}

TEST_F(UnRarArchives, BadMemberDataNeverReachesTheScratchFile)
{
    const QByteArray good = song("Good", {}, "#g");
    const QString goodArchive = archive(u"good.rar"_s, {{"good.mp3", good}});
    ASSERT_TRUE(extract(goodArchive, u"good.mp3"_s));

    // Cut off inside the first kilobyte of the member's data: reading fails
    // before the tag window is complete.
    const QByteArray whole =
        buildRar4({{"Band - Cut.mp3", song("Cut", {}, "#c", 200000)}}, {false, false});
    const QString truncated = home_.filePath(u"music/truncated.rar"_s);
    ASSERT_TRUE(writeBytes(truncated, whole.left(whole.size() - 200000 + 500)));
    EXPECT_FALSE(extract(truncated, u"Band - Cut.mp3"_s));
    EXPECT_EQ(readAll(scratch()), good);

    // Listed from its own name, not from the scratch file of another member.
    const TFileRARInfos rows = unrar_.listArchive(truncated);
    ASSERT_EQ(rows.count(), 1);
    EXPECT_EQ(rows.title.at(0), u"Cut"_s);
    EXPECT_EQ(rows.artist.at(0), u"Band"_s);
    EXPECT_EQ(readAll(scratch()), good);
    // No half-written file is left behind under any name.
    EXPECT_EQ(homeEntries(), QStringList({u"music"_s, u"temp.dat"_s}));
}

TEST_F(UnRarArchives, AFullDiskLeavesTheScratchFileAsItWas)
{
    const QByteArray small = song("Small", {}, "#s");
    const QString path = archive(u"big.rar"_s, {{"small.mp3", small},
                                                {"Band - Huge.mp3", song("Huge", {}, "#h", 400000)}});
    ASSERT_TRUE(extract(path, u"small.mp3"_s));

    // A file size limit stands in for a disk that fills up part way.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 100000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool extracted = extract(path, u"Band - Huge.mp3"_s);
    const TFileRARInfos rows = unrar_.listArchive(path);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(extracted);
    ASSERT_EQ(rows.count(), 2);
    // Listing needs no more room than the tag window, so the huge member's
    // tags are read although the whole member would not fit.
    EXPECT_EQ(rows.title, QStringList({u"Small"_s, u"Huge"_s}));
    EXPECT_EQ(readAll(scratch()), listed(song("Huge", {}, "#h", 400000)));
    EXPECT_EQ(homeEntries(), QStringList({u"music"_s, u"temp.dat"_s}));
}

TEST_F(UnRarArchives, EncryptedMembersKeepTheirRowButAreNeverExtracted)
{
    const QByteArray raw = song("Raw Bytes", {}, "#s");
    const QByteArray plain = song("Plain", {}, "#p");
    const QString path = archive(u"locked.rar"_s, {{"Locked Band - Secret.mp3", raw, true},
                                                   {"plain.mp3", plain},
                                                   {"Other - Hidden.mp3", raw, true}});
    const TFileRARInfos rows = unrar_.listArchive(path);
    EXPECT_EQ(rows.filename, QStringList({u"Locked Band - Secret.mp3"_s, u"plain.mp3"_s,
                                          u"Other - Hidden.mp3"_s}));
    EXPECT_EQ(rows.title, QStringList({u"Secret"_s, u"Plain"_s, u"Hidden"_s}));
    EXPECT_EQ(rows.artist, QStringList({u"Locked Band"_s, QString(), u"Other"_s}));
    EXPECT_EQ(readAll(scratch()), listed(plain));

    EXPECT_FALSE(extract(path, u"Locked Band - Secret.mp3"_s));
    EXPECT_FALSE(extract(path, u"Other - Hidden.mp3"_s));
    EXPECT_EQ(readAll(scratch()), listed(plain));
    ASSERT_TRUE(extract(path, u"plain.mp3"_s));

    // A later encrypted member alone does not stop the plain ones either.
    const QString mixed = archive(u"mixed.rar"_s, {{"open.mp3", song("Open")},
                                                   {"Shut - Away.mp3", raw, true}});
    EXPECT_EQ(unrar_.listArchive(mixed).title, QStringList({u"Open"_s, u"Away"_s}));
    EXPECT_EQ(readAll(scratch()), listed(song("Open")));
}

TEST_F(UnRarArchives, NothingFromAnArchiveBecomesAPathOnDisk)
{
    const QString path = archive(u"evil.rar"_s, {{"..\\..\\escape.mp3", song("Up")},
                                                 {"/tmp/absolute.mp3", song("Abs")}});
    const TFileRARInfos rows = unrar_.listArchive(path);
    EXPECT_EQ(rows.title, QStringList({u"Up"_s, u"Abs"_s}));
    EXPECT_EQ(homeEntries(), QStringList({u"music"_s, u"temp.dat"_s}));
    EXPECT_EQ(QDir(home_.filePath(u"music"_s)).entryList(QDir::Files), QStringList{u"evil.rar"_s});
    EXPECT_FALSE(QFile::exists(u"/tmp/absolute.mp3"_s) && readAll(u"/tmp/absolute.mp3"_s) == song("Abs"));
}

TEST_F(UnRarArchives, UnwritableScratchFolderListsFromNames)
{
    const QString path = archive(u"a.rar"_s, {{"Band - Name.mp3", song("Tagged")}});
    TUnRar nowhere(filter_, home_.filePath(u"missing/"_s));
    ASSERT_TRUE(nowhere.loadArchiveLibrary(QString::fromLatin1(TUnRar::librarySoname)));
    const TFileRARInfos rows = nowhere.listArchive(path);
    EXPECT_EQ(rows.title, QStringList{u"Name"_s});
    EXPECT_FALSE(nowhere.extractMember(path, u"Band - Name.mp3"_s, QString(), nowhere.scratchFile()));
}

TEST_F(UnRarArchives, ReplacedArchiveWithoutTheMemberLeavesTheScratchFile)
{
    const QString path = archive(u"swap.rar"_s, {{"song.mp3", song("Old", {}, "#old")}});
    ASSERT_TRUE(extract(path, u"song.mp3"_s));
    const QByteArray before = readAll(scratch());
    archive(u"swap.rar"_s, {{"other.mp3", song("New", {}, "#new")}});
    EXPECT_FALSE(extract(path, u"song.mp3"_s));
    EXPECT_EQ(readAll(scratch()), before);
}

TEST_F(UnRarArchives, ReplacingTheScratchFileKeepsAnOpenReadersData)
{
    const QByteArray playing = song("Playing", {}, "#playing", 200000);
    const QByteArray later = song("Listed", {}, "#listed", 150000);
    const QString path = archive(u"two.rar"_s, {{"playing.mp3", playing}, {"listed.mp3", later}});
    ASSERT_TRUE(extract(path, u"playing.mp3"_s));

    QFile reader(scratch());
    ASSERT_TRUE(reader.open(QIODevice::ReadOnly));
    QByteArray seen = reader.read(1000);
    unrar_.listArchive(path); // replaces the scratch file twice, the last start stays
    seen += reader.readAll();
    EXPECT_EQ(seen, playing);
    EXPECT_EQ(readAll(scratch()), listed(later));
}

TEST_F(UnRarArchives, DeleteScratchFile)
{
    unrar_.deleteScratchFile(); // nothing there: no effect
    ASSERT_TRUE(writeBytes(scratch(), "x"));
    unrar_.deleteScratchFile();
    EXPECT_FALSE(QFile::exists(scratch()));
}

TEST_F(UnRarArchives, WithoutTheLibraryArchivesAddNothing)
{
    const QString path = archive(u"a.rar"_s, {{"a.mp3", song("A")}});
    ASSERT_TRUE(writeBytes(scratch(), "kept"));

    unrar_.freeArchiveLibrary();
    EXPECT_FALSE(unrar_.archiveLibraryLoaded());
    EXPECT_EQ(unrar_.listArchive(path).count(), 0);
    EXPECT_FALSE(extract(path, u"a.mp3"_s));
    EXPECT_EQ(readAll(scratch()), QByteArray("kept"));

    EXPECT_FALSE(unrar_.loadArchiveLibrary(home_.filePath(u"libarchive.so.13"_s)));
    // A real library without the archive functions.
    EXPECT_FALSE(unrar_.loadArchiveLibrary(u"libz.so.1"_s));
    EXPECT_FALSE(unrar_.archiveLibraryLoaded());

    // The environment names the file to load.
    ASSERT_EQ(::setenv(TUnRar::libraryVariable, "/nonexistent/libarchive.so.13", 1), 0);
    EXPECT_FALSE(unrar_.loadArchiveLibrary());
    ASSERT_EQ(::setenv(TUnRar::libraryVariable, TUnRar::librarySoname, 1), 0);
    EXPECT_TRUE(unrar_.loadArchiveLibrary());
    ::unsetenv(TUnRar::libraryVariable);
    EXPECT_EQ(unrar_.listArchive(path).count(), 1);
}

TEST_F(UnRarArchives, SolidRar4KeepsWhatLibarchiveCouldRead)
{
    // libarchive 3.6 reads the first member of a solid RAR 4 archive and then
    // gives up; the rows read so far stand and the rest fails quietly.
    const QByteArray first = song("Solid First", {}, "#a");
    const QString path = archive(u"solid.rar"_s,
        {{"a.mp3", first}, {"b.mp3", song("B")}, {"c.mp3", song("C")}}, {true, true});
    const TFileRARInfos rows = unrar_.listArchive(path);
    ASSERT_GE(rows.count(), 1);
    EXPECT_EQ(rows.title.at(0), u"Solid First"_s);
    EXPECT_EQ(readAll(scratch()), listed(first));
    if (rows.count() == 3) {
        EXPECT_TRUE(extract(path, u"c.mp3"_s)); // a newer libarchive reads it all
    } else {
        EXPECT_FALSE(extract(path, u"c.mp3"_s));
        EXPECT_EQ(readAll(scratch()), listed(first));
    }
}

TEST_F(UnRarArchives, MembersGiveTheTagsAtTheirStartWithinTheCap)
{
    filter_.extension = {u".mp3"_s, u".flac"_s, u".ogg"_s};
    filter_.minimum = {u"0"_s, u"0"_s, u"0"_s};
    filter_.maximum = {u"0"_s, u"0"_s, u"0"_s};
    const QByteArray title = QByteArray("\x03", 1) + u"Jóga – 坂本龍一"_s.toUtf8();
    QByteArray cover(300 * 1024, '\x11');
    QByteArray behindPicture = id3v23Tag({id3v23Frame("APIC", QByteArray("\x00image/png\x00\x03\x00", 13) + cover),
                                          id3v23Frame("TIT2", title)});
    behindPicture[3] = 4; // the frame sizes are below 128 per byte, so version 4 reads the same
    // A tag that claims 200 MiB: the listing stops at the cap.
    QByteArray lying("ID3\x03\x00\x00\x00\x5F\x40\x00", 10);
    lying.append(QByteArray(2 * memberTagHeadLimit, 'x'));
    struct
    {
        QByteArray name;
        QByteArray data;
        QString title;
        qsizetype extracted;
    } members[] = {
        {"picture first.mp3", behindPicture + QByteArray(100000, 'a'), u"Jóga – 坂本龍一"_s, behindPicture.size()},
        {"Band - Lying.mp3", lying, u"Lying"_s, memberTagHeadLimit},
    };
    QString error;
    if (ffmpegAvailable()) {
        for (const char *name : {"real.flac", "real.ogg"}) {
            const QString file = home_.filePath(QString::fromLatin1(name));
            ASSERT_TRUE(writeTaggedMedia(file, {u"Sigur Rós"_s, {}, {}}, {}, 2.0, &error)) << error.toStdString();
            QFile in(file);
            ASSERT_TRUE(in.open(QIODevice::ReadOnly));
            const QByteArray data = in.readAll();
            const QByteArray nameBytes(name);
            const qsizetype tags = static_cast<qsizetype>(tagHeadLength(data.left(64 * 1024)));
            ASSERT_LT(tags, data.size());
            std::vector<Rar4Member> one{{nameBytes, data}};
            const QString path = archive(QString::fromLatin1(name) + u".rar"_s, one);
            const TFileRARInfos rows = unrar_.listArchive(path);
            ASSERT_EQ(rows.count(), 1) << name;
            EXPECT_EQ(rows.title.at(0), u"Sigur Rós"_s) << name;
            EXPECT_EQ(readAll(scratch()).size(), tags) << name;
        }
    }
    for (const auto &m : members) {
        SCOPED_TRACE(m.name.constData());
        const QString path = archive(u"tagged.rar"_s, {{m.name, m.data}});
        const TFileRARInfos rows = unrar_.listArchive(path);
        ASSERT_EQ(rows.count(), 1);
        EXPECT_EQ(rows.title.at(0), m.title);
        EXPECT_EQ(readAll(scratch()).size(), m.extracted);
    }
}
