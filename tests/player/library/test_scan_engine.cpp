// The library scan on real directory trees: what is walked and added, tags,
// archives, the duplicate test, vanished songs and base directories, drops.

#include "basedirectories.h"
#include "scanner.h"
#include "untunrar.h"

#include "mediafixtures.h"
#include "rar4writer.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <thread>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;
using namespace testsupport;

namespace {

// Bytes that read as a song with the given tags.
QByteArray taggedSong(const QByteArray &artist, const QByteArray &title, const QByteArray &album)
{
    QByteArray bytes = id3v23Tag({id3Latin1TextFrame("TPE1", artist), id3Latin1TextFrame("TIT2", title),
                                  id3Latin1TextFrame("TALB", album)},
                                 1200);
    bytes.append(2000, '\x55');
    return bytes;
}

// Takes the file-permission override away from the calling thread only, so a
// test running as root meets unreadable folders like everybody else.
bool dropPermissionOverride()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    const unsigned mask = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
    data[0].effective &= ~mask;
    return syscall(SYS_capset, &header, data) == 0;
}

class LibraryScan : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home_.isValid());
        filter_.extension = {u".mp3"_s, u".ogg"_s};
        filter_.minimum = {u"0"_s, u"0"_s};
        filter_.maximum = {u"0"_s, u"0"_s};
        unrar_ = std::make_unique<TUnRar>(filter_, home());
        ASSERT_TRUE(unrar_->loadArchiveLibrary(QString::fromLatin1(TUnRar::librarySoname)));
        TScanHooks hooks;
        hooks.showField = [this](TScanField field, const QString &text) { shown_.emplace_back(field, text); };
        hooks.runMessageLoop = [this] { ++loops_; };
        scanner_ = std::make_unique<TLibraryScanner>(filter_, unrar_.get(), hooks, home());
    }

    QString home() const { return home_.path() + u'/'; }
    QString file(const QString &relative, const QByteArray &bytes = QByteArray(3000, 'x')) const
    {
        const QString path = home() + relative;
        QDir().mkpath(path.left(path.lastIndexOf(u'/')));
        EXPECT_TRUE(writeBytes(path, bytes)) << path.toStdString();
        return path;
    }
    QString dir(const QString &relative) const
    {
        const QString path = home() + relative;
        EXPECT_TRUE(QDir().mkpath(path));
        return path;
    }
    static QSet<QString> names(const TFileInfos &table)
    {
        return QSet<QString>(table.filename.begin(), table.filename.end());
    }
    QStringList textsIn(TScanField field) const
    {
        QStringList texts;
        for (const auto &[f, text] : shown_)
            if (f == field)
                texts.append(text);
        return texts;
    }

    QTemporaryDir home_;
    TFileFilterInfos filter_;
    std::unique_ptr<TUnRar> unrar_;
    std::unique_ptr<TLibraryScanner> scanner_;
    std::vector<std::pair<TScanField, QString>> shown_;
    int loops_ = 0;
};

} // namespace

TEST_F(LibraryScan, WalkFollowsTheLinuxMappingOfAttributes)
{
    const QString base = dir(u"music"_s);
    const QString plain = file(u"music/a.mp3"_s);
    const QString deep = file(u"music/x/y/z/deep.ogg"_s);
    const QString hiddenFile = file(u"music/.hidden.mp3"_s);
    file(u"music/.hiddendir/inside.mp3"_s);
    file(u"music/notes.txt"_s);
    file(u"music/noextension"_s);
    const QString readOnlyDir = dir(u"music/readonly"_s);
    const QString inReadOnly = file(u"music/readonly/kept.mp3"_s);
    ASSERT_EQ(chmod(QFile::encodeName(readOnlyDir).constData(), 0555), 0);
    // Links: to a file (added under the link's name), to a folder (not
    // walked), and dangling (passed over).
    const QString outside = file(u"elsewhere/linked.mp3"_s);
    file(u"elsewhere/sub/notwalked.mp3"_s);
    ASSERT_TRUE(QFile::link(outside, base + u"/link.mp3"_s));
    ASSERT_TRUE(QFile::link(home() + u"elsewhere/sub"_s, base + u"/linkdir"_s));
    ASSERT_TRUE(QFile::link(home() + u"gone.mp3"_s, base + u"/dangling.mp3"_s));
    // A FIFO named like a song: opening it would block the scan forever.
    ASSERT_EQ(mkfifo(QFile::encodeName(base + u"/pipe.mp3"_s).constData(), 0644), 0);

    TFileInfos table;
    scanner_->addDirectory(base, table, false);
    EXPECT_EQ(names(table), (QSet<QString>{plain, deep, hiddenFile, inReadOnly, base + u"/link.mp3"_s}));
    EXPECT_TRUE(table.isConsistent());
    for (int row = 0; row < table.count(); ++row)
        EXPECT_TRUE(table.archive.at(row).isEmpty());
    ASSERT_EQ(chmod(QFile::encodeName(readOnlyDir).constData(), 0755), 0);
}

TEST_F(LibraryScan, UnreadableFolderIsSkippedAndTheScanGoesOnAndSaves)
{
    const QString base = dir(u"music"_s);
    const QString before = file(u"music/a/one.mp3"_s);
    file(u"music/locked/hidden.mp3"_s);
    const QString after = file(u"music/z/two.mp3"_s);
    const QString locked = base + u"/locked"_s;
    ASSERT_EQ(chmod(QFile::encodeName(locked).constData(), 0), 0);
    // A base directory that is gone, listed first, does not stop the others.
    const TStringListC bases{home() + u"vanished"_s, base};

    bool dropped = false;
    TFileInfos table;
    std::thread worker([&] {
        dropped = dropPermissionOverride();
        scanner_->scanDirectories(bases, table, false);
    });
    worker.join();
    ASSERT_EQ(chmod(QFile::encodeName(locked).constData(), 0755), 0);
    ASSERT_TRUE(dropped);
    EXPECT_EQ(names(table), (QSet<QString>{before, after}));
    TFileInfos saved;
    saved.loadTable(home() + kSongListFileName);
    EXPECT_EQ(saved.filename, table.filename);
}

TEST_F(LibraryScan, EachScanJudgesNamesAndSizesByTheFilterOfTheMoment)
{
    const QString base = dir(u"music"_s);
    QMap<QString, QString> paths;
    for (const char *name : {"small.mp3", "big.mp3", "LOUD.MP3", "small.ogg", "big.ogg", "small.wav", "big.wav",
                             "notes.txt"}) {
        const QString key = QString::fromLatin1(name);
        paths[key] = file(u"music/"_s + key, QByteArray(key.startsWith(u"big"_s) ? 3000 : 1000, 'x'));
    }
    // The same scanner meets each filter in turn; the lists are changed in
    // place, as an edit of the file types does.
    const struct {
        QStringList minimum;
        QStringList maximum;
        QStringList songs;
    } cases[] = {
        {{u"0"_s, u"2"_s, u"0"_s}, {u"0"_s, u"0"_s, u"1"_s},
         {u"small.mp3"_s, u"big.mp3"_s, u"LOUD.MP3"_s, u"big.ogg"_s, u"small.wav"_s}},
        {{u"2"_s, u"0"_s, u"0"_s}, {u"0"_s, u"0"_s, u"0"_s},
         {u"big.mp3"_s, u"small.ogg"_s, u"big.ogg"_s, u"small.wav"_s, u"big.wav"_s}},
        {{u"0"_s, u"0"_s, u"x"_s}, {u"1"_s, u"0"_s, u"0"_s}, {u"small.mp3"_s, u"LOUD.MP3"_s, u"small.ogg"_s,
                                                             u"big.ogg"_s}},
    };
    filter_.extension = {u".mp3"_s, u".ogg"_s, u".wav"_s};
    filter_.minimum = {u"0"_s, u"0"_s, u"0"_s};
    filter_.maximum = {u"0"_s, u"0"_s, u"0"_s};
    for (const auto &c : cases) {
        for (qsizetype k = 0; k < 3; ++k) {
            filter_.minimum[k] = c.minimum.at(k);
            filter_.maximum[k] = c.maximum.at(k);
        }
        TFileInfos table;
        scanner_->addDirectory(base, table, false);
        QSet<QString> expected;
        for (const QString &song : c.songs)
            expected.insert(paths.value(song));
        EXPECT_EQ(names(table), expected) << qPrintable(c.minimum.join(u',') + u' ' + c.maximum.join(u','));
    }
}

TEST_F(LibraryScan, SongsTakeTheirTagsOrTheirFileNames)
{
    const QString tagged = file(u"m/tagged.mp3"_s, taggedSong("The Artist", "The Title", "The Album"));
    const QString named = file(u"m/Some Band - Some Song.mp3"_s);
    TFileInfos table;
    scanner_->addFile(tagged, table, false);
    scanner_->addFile(named, table, false);
    scanner_->addFile(home() + u"m/missing.mp3"_s, table, false);
    ASSERT_EQ(table.count(), 2);
    EXPECT_EQ(table.artist, (QStringList{u"The Artist"_s, u"Some Band"_s}));
    EXPECT_EQ(table.title.at(0), u"The Title"_s);
    EXPECT_EQ(table.album.at(0), u"The Album"_s);
    EXPECT_TRUE(table.title.at(1).startsWith(u"Some Song"_s));
    EXPECT_TRUE(table.album.at(1).isEmpty());
}

TEST_F(LibraryScan, FileMadeByFfmpegGetsItsTags)
{
    if (!ffmpegAvailable())
        GTEST_SKIP() << "the ffmpeg tool is needed";
    const QString path = home() + u"real.mp3"_s;
    QString error;
    ASSERT_TRUE(writeTaggedMp3(path, {u"Real Title"_s, u"Real Artist"_s, u"Real Album"_s}, 0.3, 3, &error))
        << error.toStdString();
    TFileInfos table;
    scanner_->addFile(path, table, true);
    ASSERT_EQ(table.count(), 1);
    EXPECT_EQ(table.artist.at(0), u"Real Artist"_s);
    EXPECT_EQ(table.title.at(0), u"Real Title"_s);
    EXPECT_EQ(table.album.at(0), u"Real Album"_s);
}

TEST_F(LibraryScan, ProgressShowsEachFileAndItsRowNumberAndLetsTheLoopRun)
{
    const QString song = file(u"p/song.mp3"_s);
    const QString archive = home() + u"p/pack.rar"_s;
    ASSERT_TRUE(writeRar4(archive, {{"m1.mp3", QByteArray(3000, 'a')}, {"m2.ogg", QByteArray(3000, 'b')}}));
    TFileInfos table;
    table.appendRow(u"/old.mp3"_s, {}, {}, {}, {});
    scanner_->addFile(song, table, false);
    EXPECT_EQ(textsIn(TScanField::Title).last(), song);
    EXPECT_EQ(textsIn(TScanField::Nr).last(), u"#2"_s);
    EXPECT_EQ(loops_, 1);
    scanner_->addFile(archive, table, false);
    EXPECT_EQ(textsIn(TScanField::Title).last(), archive);
    EXPECT_EQ(textsIn(TScanField::Nr).last(), u"#4"_s);
    // Before the archive, after each of its two members, and after it.
    EXPECT_EQ(loops_, 5);
    EXPECT_EQ(table.count(), 4);
    // Each file first blanks the three song fields.
    EXPECT_EQ(textsIn(TScanField::Interpret), (QStringList{QString(), QString()}));

    shown_.clear();
    scanner_->scanDirectories({}, table, true);
    EXPECT_EQ(textsIn(TScanField::Time), QStringList{QString()});
    EXPECT_TRUE(QFile::exists(home() + kSongListFileName));
}

TEST_F(LibraryScan, EachMessageLoopSeesTheRowsBeforeItsFileAndAWalkInsideItReadsItsOwnSongs)
{
    // Songs whose title is their own name, so a tag read from the wrong
    // file shows; more of them than the read-ahead holds at a time.
    const QString outer = dir(u"outer"_s);
    for (int i = 0; i < 70; ++i) {
        const QByteArray name = QByteArray::number(1000 + i);
        file(u"outer/%1/%2.mp3"_s.arg(i % 3).arg(1000 + i), taggedSong("A", name, "B"));
    }
    file(u"outer/notes.txt"_s);
    const QString inner = dir(u"inner"_s);
    for (int i = 0; i < 5; ++i)
        file(u"inner/%1.mp3"_s.arg(2000 + i), taggedSong("A", QByteArray::number(2000 + i), "B"));
    const auto titleOf = [](const QString &path) { return path.section(u'/', -1).section(u'.', 0, 0); };

    for (const int nestedAt : {0, 1, 40}) {
        SCOPED_TRACE(nestedAt);
        TFileInfos outerTable, innerTable;
        QString shown;
        // Per message loop: the file shown and the rows its table held.
        std::vector<std::pair<QString, qsizetype>> loops;
        std::unique_ptr<TLibraryScanner> scanner;
        int depth = 0;
        TScanHooks hooks;
        hooks.showField = [&shown](TScanField field, const QString &text) {
            if (field == TScanField::Title)
                shown = text;
        };
        hooks.runMessageLoop = [&] {
            const bool inside = shown.startsWith(inner);
            loops.emplace_back(shown, inside ? innerTable.count() : outerTable.count());
            if (depth == 0 && static_cast<int>(loops.size()) == nestedAt) {
                ++depth;
                scanner->addDirectory(inner, innerTable, false);
                --depth;
            }
        };
        scanner = std::make_unique<TLibraryScanner>(filter_, unrar_.get(), hooks, home());
        scanner->addDirectory(outer, outerTable, false);

        ASSERT_EQ(outerTable.count(), 70);
        ASSERT_EQ(innerTable.count(), nestedAt ? 5 : 0);
        for (const TFileInfos *table : {&outerTable, &innerTable})
            for (qsizetype row = 0; row < table->count(); ++row)
                EXPECT_EQ(table->title.at(row), titleOf(table->filename.at(row)));
        ASSERT_EQ(loops.size(), static_cast<std::size_t>(70 + innerTable.count()));
        for (const auto &[path, rows] : loops) {
            const TFileInfos &table = path.startsWith(inner) ? innerTable : outerTable;
            EXPECT_EQ(table.filename.indexOf(path), rows) << qPrintable(path);
        }
    }
}

TEST_F(LibraryScan, FilesReadAheadAreJudgedByTheFilterOfTheirTurn)
{
    // A message loop that changes the filter; the files after it were
    // already handed to the read-ahead by then.
    const QString base = dir(u"turn"_s);
    for (int i = 0; i < 40; ++i)
        file(u"turn/%1.mp3"_s.arg(100 + i), taggedSong("A", QByteArray::number(100 + i), "B"));
    struct Change
    {
        const char *what;
        QStringList minimum;
        qsizetype rows;
    };
    // Each change comes in the message loop of the 11th song, which is taken
    // still.
    const Change changes[] = {
        {"mp3 no longer taken", {}, 11},
        {"mp3 only from 2 KiB on", {u"2"_s, u"0"_s}, 40},
        {"mp3 only from 9 KiB on", {u"9"_s, u"0"_s}, 11},
    };
    for (const Change &change : changes) {
        SCOPED_TRACE(change.what);
        TFileFilterInfos filter = filter_;
        int loops = 0;
        TScanHooks hooks;
        hooks.runMessageLoop = [&] {
            if (++loops != 11)
                return;
            if (change.minimum.isEmpty()) {
                filter.extension = {u".ogg"_s};
                filter.minimum = filter.maximum = {u"0"_s};
            } else {
                filter.minimum = change.minimum;
            }
        };
        TLibraryScanner scanner(filter, nullptr, hooks, home());
        TFileInfos table;
        scanner.addDirectory(base, table, false);
        ASSERT_EQ(table.count(), change.rows);
        for (qsizetype row = 0; row < table.count(); ++row)
            EXPECT_TRUE(table.filename.at(row).endsWith(u"/%1.mp3"_s.arg(table.title.at(row))));
    }
}

TEST_F(LibraryScan, ArchivesAddTheirMembersAndAKnownArchiveIsSkippedWhole)
{
    const QString base = dir(u"music"_s);
    const QString archive = base + u"/pack.rar"_s;
    ASSERT_TRUE(writeRar4(archive, {{"CD1\\one.mp3", taggedSong("A", "One", "Alb")},
                                    {"readme.txt", QByteArray(100, 't')},
                                    {"two.mp3", QByteArray(3000, 'b')}}));
    TFileInfos table;
    scanner_->addDirectory(base, table, true);
    ASSERT_EQ(table.count(), 2);
    EXPECT_EQ(table.archive, (QStringList{archive, archive}));
    EXPECT_EQ(table.title.at(0), u"One"_s);
    EXPECT_TRUE(table.filename.at(1).endsWith(u"two.mp3"_s));

    // New members in an archive already listed are not looked for...
    ASSERT_TRUE(writeRar4(archive, {{"CD1\\one.mp3", taggedSong("A", "One", "Alb")},
                                    {"two.mp3", QByteArray(3000, 'b')},
                                    {"three.mp3", QByteArray(3000, 'c')}}));
    scanner_->addDirectory(base, table, true);
    EXPECT_EQ(table.count(), 2);
    // ...until a full scan lists it afresh.
    TFileInfos fresh;
    scanner_->addDirectory(base, fresh, false);
    EXPECT_EQ(fresh.count(), 3);
}

TEST_F(LibraryScan, DuplicateTestComparesWholeEntries)
{
    const QString longer = file(u"d/a.mp3.mp3"_s);
    const QString shorter = file(u"d/a.mp3"_s);
    TFileInfos table;
    scanner_->addFile(longer, table, true);
    // A path that is only part of a known one is new.
    scanner_->addFile(shorter, table, true);
    EXPECT_EQ(table.filename, (QStringList{longer, shorter}));
    // Both are known now, also through a whole directory walk.
    scanner_->addFile(shorter, table, true);
    scanner_->addDirectory(home() + u"d"_s, table, true);
    EXPECT_EQ(table.count(), 2);
    // Comparison is case-sensitive.
    const QString upper = file(u"d/A.MP3"_s);
    scanner_->addDirectory(home() + u"d"_s, table, true);
    EXPECT_EQ(table.filename.last(), upper);
    EXPECT_EQ(table.count(), 3);
    // Without the check the same file goes in again.
    scanner_->addFile(shorter, table, false);
    EXPECT_EQ(table.count(), 4);
}

TEST_F(LibraryScan, AFileNamedInTheArchiveColumnCountsAsKnown)
{
    const QString archive = file(u"k/old.rar"_s);
    TFileInfos table;
    table.appendRow(u"member.mp3"_s, archive, {}, {}, {});
    scanner_->addFile(archive, table, true);
    EXPECT_EQ(table.count(), 1);
    EXPECT_EQ(loops_, 0);
}

TEST_F(LibraryScan, RefreshWithNothingChangedSavesTheSameRows)
{
    const QString base = dir(u"lib"_s);
    for (int i = 0; i < 30; ++i)
        file(u"lib/f%1/song%2.mp3"_s.arg(i % 4).arg(i), taggedSong("Ar", QByteArray::number(i), "Al"));
    ASSERT_TRUE(writeRar4(base + u"/pack.rar"_s, {{"m.mp3", QByteArray(3000, 'm')}}));
    TFileInfos table;
    scanner_->scanDirectories({base}, table, false);
    ASSERT_EQ(table.count(), 31);
    QFile first(home() + kSongListFileName);
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    const QByteArray savedBefore = first.readAll();
    first.close();

    TFileInfos reloaded;
    reloaded.loadTable(home() + kSongListFileName);
    scanner_->removeMissingSongs(reloaded);
    scanner_->scanDirectories({base}, reloaded, true);
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    EXPECT_EQ(first.readAll(), savedBefore);
    EXPECT_EQ(reloaded.filename, table.filename);
    EXPECT_EQ(reloaded.title, table.title);

    // A new file on a later refresh is appended behind the known rows.
    const QString added = file(u"lib/f9/new.mp3"_s);
    scanner_->scanDirectories({base}, reloaded, true);
    EXPECT_EQ(reloaded.count(), 32);
    EXPECT_EQ(reloaded.filename.last(), added);
}

TEST_F(LibraryScan, VanishedSongsLeaveButArchiveRowsStayWhileTheArchiveExists)
{
    const QString kept = file(u"v/kept.mp3"_s);
    const QString gone = file(u"v/gone.mp3"_s);
    const QString archive = file(u"v/pack.rar"_s);
    const QString folder = dir(u"v/folder.mp3"_s);
    TFileInfos table;
    table.appendRow(gone, {}, u"g"_s, {}, {});
    table.appendRow(kept, {}, u"k"_s, {}, {});
    table.appendRow(u"no/such/member.mp3"_s, archive, u"m"_s, {}, {});
    table.appendRow(gone, {}, u"g2"_s, {}, {});
    table.appendRow(u"x.mp3"_s, home() + u"v/missing.rar"_s, u"x"_s, {}, {});
    table.appendRow(folder, {}, u"f"_s, {}, {});
    table.appendRow(u"http://radio"_s, {}, u"r"_s, {}, {});
    ASSERT_TRUE(QFile::remove(gone));
    scanner_->removeMissingSongs(table);
    EXPECT_EQ(table.artist, (QStringList{u"k"_s, u"m"_s}));
    EXPECT_EQ(table.filename, (QStringList{kept, u"no/such/member.mp3"_s}));
    EXPECT_TRUE(table.isConsistent());
    EXPECT_EQ(textsIn(TScanField::Title).last(), kDeletingMissingText);
    EXPECT_EQ(loops_, 1);
}

TEST_F(LibraryScan, BaseDirectoriesThatVanishedAreDropped)
{
    const QString one = dir(u"one"_s);
    const QString two = dir(u"two"_s);
    const QString notDir = file(u"plain.txt"_s);
    TStringListC list{home() + u"gone1"_s, one, home() + u"gone2"_s, home() + u"gone3"_s, notDir, two};
    EXPECT_TRUE(removeMissingDirectories(list));
    EXPECT_EQ(list, (TStringListC{one, two}));
    EXPECT_FALSE(removeMissingDirectories(list));

    saveBaseDirectories(list, home());
    EXPECT_EQ(loadBaseDirectories(home()), list);
    QFile::remove(baseDirectoriesFile(home()));
    EXPECT_TRUE(loadBaseDirectories(home()).isEmpty());
}

TEST(LibraryScanBaseDirectories, NewBaseDirectoryMeansNotCoveredByOne)
{
    const TStringListC list{QString(), u"/data/music"_s, u"/mnt/usb/"_s};
    EXPECT_FALSE(isNewBaseDirectory(u"/data/music"_s, list));
    EXPECT_FALSE(isNewBaseDirectory(u"/data/music/rock/old"_s, list));
    EXPECT_FALSE(isNewBaseDirectory(u"/mnt/usb/x"_s, list));
    // Only a name that begins with the same characters: another folder.
    EXPECT_TRUE(isNewBaseDirectory(u"/data/music2"_s, list));
    EXPECT_TRUE(isNewBaseDirectory(u"/data/Music/rock"_s, list));
    EXPECT_TRUE(isNewBaseDirectory(u"/data"_s, list));
    EXPECT_TRUE(isNewBaseDirectory(u"/srv"_s, {}));
    EXPECT_FALSE(isNewBaseDirectory(u"/anything"_s, {u"/"_s}));

    EXPECT_EQ(directoryPart(u"/data/music/a.mp3"_s), u"/data/music"_s);
    EXPECT_EQ(directoryPart(u"/a.mp3"_s), u"/"_s);
    EXPECT_EQ(withoutTrailingSlash(u"/data/music//"_s), u"/data/music"_s);
    EXPECT_EQ(withoutTrailingSlash(u"/"_s), u"/"_s);
}

TEST_F(LibraryScan, DropsOnTheMusiclistTabAddBaseDirectoriesAndSkipKnownSongs)
{
    const QString base = dir(u"Music"_s);
    const QString known = file(u"Music/known.mp3"_s);
    const QString below = file(u"Music/sub/below.mp3"_s);
    const QString sibling = file(u"Music2/other.mp3"_s);
    const QString single = file(u"Loose/single.mp3"_s);
    TStringListC bases{base};
    TFileInfos musiclist;
    musiclist.appendRow(known, {}, {}, {}, {});

    // Below a base directory: scanned, not added, known songs skipped.
    EXPECT_FALSE(scanner_->addDroppedPath(base + u"/sub/"_s, bases, musiclist, true));
    EXPECT_FALSE(scanner_->addDroppedPath(base, bases, musiclist, true));
    EXPECT_EQ(musiclist.filename, (QStringList{known, below}));
    EXPECT_EQ(bases, TStringListC{base});
    // A folder whose name merely begins with the base directory's path.
    EXPECT_TRUE(scanner_->addDroppedPath(home() + u"Music2"_s, bases, musiclist, true));
    EXPECT_EQ(bases, (TStringListC{base, home() + u"Music2"_s}));
    // A single file makes its folder a base directory.
    EXPECT_TRUE(scanner_->addDroppedPath(single, bases, musiclist, true));
    EXPECT_EQ(bases.last(), home() + u"Loose"_s);
    EXPECT_EQ(musiclist.filename, (QStringList{known, below, sibling, single}));
}

TEST_F(LibraryScan, DropsOnAnotherTabOnlyFillThatTable)
{
    const QString base = dir(u"Music"_s);
    const QString song = file(u"Music/a.mp3"_s);
    const QString outside = file(u"Else/b.mp3"_s);
    TStringListC bases{base};
    TFileInfos playlist;
    playlist.appendRow(song, {}, {}, {}, {});
    EXPECT_FALSE(scanner_->addDroppedPath(base, bases, playlist, false));
    EXPECT_FALSE(scanner_->addDroppedPath(outside, bases, playlist, false));
    EXPECT_FALSE(scanner_->addDroppedPath(home() + u"Else"_s, bases, playlist, false));
    // No duplicate check away from the Musiclist.
    EXPECT_EQ(playlist.filename, (QStringList{song, song, outside, outside}));
    EXPECT_EQ(bases, TStringListC{base});
}
