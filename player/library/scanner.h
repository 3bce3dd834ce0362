#pragma once

// The library scan: walks directory trees and adds every accepted music file
// and every archive's accepted members to a song table. It knows nothing of
// widgets; progress goes out through two small call-backs, and the caller
// decides how often drawing really happens.

#include "az_id3tag.h"
#include "options.h"
#include "tagreadahead.h"

#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class TUnRar;

extern const QString kSongListFileName;      // "songlist.azl"
extern const QString kDeletingMissingText;   // "Deleting no more existing files from list.."

// The display fields the scan reports its progress in.
enum class TScanField { Nr, Interpret, Title, Album, Time };

struct TScanHooks
{
    // Shows a text in one of the display fields; an empty text clears it.
    std::function<void(TScanField field, const QString &text)> showField;
    // Lets the message loop run once.
    std::function<void()> runMessageLoop;
};

class TLibraryScanner
{
public:
    // archives may be null: archives then add nothing. The scratch file for
    // archive members and "songlist.azl" lie in programDirectory.
    TLibraryScanner(const TFileFilterInfos &filter, const TUnRar *archives, TScanHooks hooks,
                    QString programDirectory = programDir());
    ~TLibraryScanner();
    TLibraryScanner(const TLibraryScanner &) = delete;
    TLibraryScanner &operator=(const TLibraryScanner &) = delete;

    // Adds a music file, or an archive's accepted members; nothing for other
    // paths. With checkDuplicates a path that equals an entry of the table's
    // Filename or Archive column is known and skipped.
    void addFile(const QString &path, TFileInfos &table, bool checkDuplicates);
    // Walks the tree below the directory depth first, in listing order, and
    // adds each file. Hidden directories and links to directories are not
    // walked; device files, FIFOs and sockets are passed over. A directory
    // that cannot be opened is skipped with a warning.
    void addDirectory(const QString &directory, TFileInfos &table, bool checkDuplicates);
    // addDirectory for each base directory in list order, then saves the
    // table to "songlist.azl".
    void scanDirectories(const TStringListC &baseDirectories, TFileInfos &table, bool checkDuplicates);
    // Deletes the rows whose file (or, for a member, whose archive) is gone.
    void removeMissingSongs(TFileInfos &table);
    // Adds one dropped path to table. On the Musiclist tab the path (or a
    // file's folder) becomes a base directory when no base directory covers
    // it, and known songs are skipped. True when baseDirectories changed.
    bool addDroppedPath(const QString &path, TStringListC &baseDirectories, TFileInfos &table,
                        bool onMusiclistTab);

    QString songListFile() const { return programDir_ + kSongListFileName; }

    // Files handed to addFile by the walks so far (also those judged no song).
    qint64 filesSeen() const { return filesSeen_; }

private:
    class KnownPaths;

    void show(TScanField field, const QString &text) const;
    void runMessageLoop();
    void clearSongFields() const;
    void walk(const QString &directory, TFileInfos &table, bool checkDuplicates);
    // What the file name alone tells about a path.
    enum class NameVerdict { Rejected, AnySize, NeedsStatus };
    struct SongJob;
    class ReadAheadWindow;

    // native is the path in the file system's encoding, when the caller has
    // it; regular tells that a walk found a regular file there; ahead is
    // the file's job when the walk handed it to the read-ahead.
    void addNewFile(const QString &path, TFileInfos &table, const QByteArray *native = nullptr,
                    bool regular = false, SongJob *ahead = nullptr);
    // Judges a file like classifyFile does and, for a song, reads its tags.
    // Runs on either thread; touches nothing but the job.
    static void readSong(SongJob &job);
    // A job for the next file, with the room an earlier one grew, judged by
    // the filter of the moment.
    std::unique_ptr<SongJob> takeJob(const QString &path, QByteArray native, bool regular, NameVerdict verdict);
    void keepJob(std::unique_ptr<SongJob> job);
    void appendSong(TFileInfos &table, const QString &path, const TId3Tags &tags);
    NameVerdict judgeName(const QString &path);
    void showRowCount(const TFileInfos &table) const;

    const TFileFilterInfos &filter_;
    const TUnRar *archives_;
    const TScanHooks hooks_;
    const QString programDir_;
    std::vector<std::unique_ptr<SongJob>> spareJobs_;
    // Reused for every file, so judging one allocates nothing.
    QByteArray nativePath_;
    // The verdicts on the extensions met so far, for the filter they were
    // judged by; most libraries hold only a few kinds of file.
    struct ExtensionVerdict
    {
        QString extension;
        NameVerdict verdict;
    };
    std::vector<ExtensionVerdict> verdicts_;
    // Shared with the jobs judged by it, which the read-ahead thread reads.
    std::shared_ptr<const TFileFilterInfos> judgedFilter_;
    // The paths of the table being filled, kept while a walk with the
    // duplicate check runs, so each test is one hash lookup.
    const TFileInfos *knownTable_ = nullptr;
    QSet<QString> known_;
    qint64 filesSeen_ = 0;
    // Last, so that it stops before the jobs it may read go.
    TTagReadAhead readAhead_;
};
