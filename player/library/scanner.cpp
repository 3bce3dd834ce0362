#include "scanner.h"

#include "basedirectories.h"
#include "untunrar.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

const QString kSongListFileName = u"songlist.azl"_s;
const QString kDeletingMissingText = u"Deleting no more existing files from list.."_s;

namespace {

constexpr char CannotOpenDirectoryWarning[] = "Cannot open directory %s for the scan; it is skipped";

struct DirCloser
{
    void operator()(DIR *dir) const { closedir(dir); }
};

enum class EntryKind { Walk, Add, Skip };

bool statIs(const QByteArray &path, mode_t type, bool followLinks)
{
    struct stat info {};
    const int rc = followLinks ? stat(path.constData(), &info) : lstat(path.constData(), &info);
    return rc == 0 && (info.st_mode & S_IFMT) == type;
}

// Real directories are walked unless hidden; regular files and links to
// them are added (hidden ones too); links to directories, devices, FIFOs and
// sockets are passed over.
EntryKind judge(const dirent &entry, const QByteArray &childPath)
{
    unsigned char type = entry.d_type;
    if (type == DT_UNKNOWN) {
        struct stat info {};
        if (lstat(childPath.constData(), &info) != 0)
            return EntryKind::Skip;
        type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG
             : S_ISLNK(info.st_mode) ? DT_LNK : DT_FIFO;
    }
    switch (type) {
    case DT_DIR:
        return entry.d_name[0] == '.' ? EntryKind::Skip : EntryKind::Walk;
    case DT_REG:
        return EntryKind::Add;
    case DT_LNK:
        return statIs(childPath, S_IFREG, true) ? EntryKind::Add : EntryKind::Skip;
    default:
        return EntryKind::Skip;
    }
}

bool fileExists(const QString &path)
{
    return !path.isEmpty() && statIs(QFile::encodeName(path), S_IFREG, true);
}

// The extension of the path's file name, dot included, as lowerExtension
// finds it but without lowering or copying it.
QStringView extensionOf(const QString &path)
{
    const qsizetype nameStart = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\')) + 1;
    const qsizetype dot = path.lastIndexOf(u'.');
    return dot < nameStart ? QStringView() : QStringView(path).mid(dot);
}

// True when the extension, its letters A to Z lowered, is the lowered one.
bool sameExtension(QStringView extension, const QString &lowered)
{
    if (extension.size() != lowered.size())
        return false;
    for (qsizetype k = 0; k < extension.size(); ++k) {
        const char16_t u = extension[k].unicode();
        const char16_t l = u >= u'A' && u <= u'Z' ? static_cast<char16_t>(u - u'A' + u'a') : u;
        if (l != lowered[k].unicode())
            return false;
    }
    return true;
}

// Judging many extensions is cheap, keeping them is not.
constexpr std::size_t MaxKeptVerdicts = 64;

} // namespace

// Builds the set of known paths once for the outermost operation on a table
// and drops it when that operation ends.
class TLibraryScanner::KnownPaths
{
public:
    KnownPaths(TLibraryScanner &scanner, const TFileInfos &table, bool wanted)
        : scanner_(scanner)
    {
        if (!wanted || scanner_.knownTable_ == &table)
            return;
        owner_ = true;
        previous_ = scanner_.knownTable_;
        previousSet_ = std::move(scanner_.known_);
        scanner_.known_.clear();
        scanner_.known_.reserve(table.count() * 2);
        for (const QString &name : table.filename)
            scanner_.known_.insert(name);
        for (const QString &name : table.archive)
            if (!name.isEmpty())
                scanner_.known_.insert(name);
        scanner_.knownTable_ = &table;
    }
    ~KnownPaths()
    {
        if (!owner_)
            return;
        scanner_.knownTable_ = previous_;
        scanner_.known_ = std::move(previousSet_);
    }
    KnownPaths(const KnownPaths &) = delete;
    KnownPaths &operator=(const KnownPaths &) = delete;

private:
    TLibraryScanner &scanner_;
    bool owner_ = false;
    const TFileInfos *previous_ = nullptr;
    QSet<QString> previousSet_;
};

TLibraryScanner::TLibraryScanner(const TFileFilterInfos &filter, const TUnRar *archives, TScanHooks hooks,
                                 QString programDirectory)
    : filter_(filter), archives_(archives), hooks_(std::move(hooks)), programDir_(std::move(programDirectory))
{
}

void TLibraryScanner::show(TScanField field, const QString &text) const
{
    if (hooks_.showField)
        hooks_.showField(field, text);
}

void TLibraryScanner::runMessageLoop()
{
    if (!hooks_.runMessageLoop)
        return;
    ++loopDepth_;
    hooks_.runMessageLoop();
    --loopDepth_;
}

void TLibraryScanner::clearSongFields() const
{
    show(TScanField::Interpret, QString());
    show(TScanField::Title, QString());
    show(TScanField::Album, QString());
}

void TLibraryScanner::showRowCount(const TFileInfos &table) const
{
    show(TScanField::Nr, u'#' + QString::number(table.count()));
}

void TLibraryScanner::addFile(const QString &path, TFileInfos &table, bool checkDuplicates)
{
    const KnownPaths scope(*this, table, checkDuplicates);
    if (checkDuplicates && known_.contains(path))
        return;
    addNewFile(path, table);
    finishPendingSong();
}

void TLibraryScanner::addNewFile(const QString &path, TFileInfos &table, const QByteArray *native, bool regular)
{
    std::unique_ptr<TTagJob> job = takeJob();
    const int kind = probe(path, native, regular, *job);
    // The file before goes into its table first; judging this one showed
    // nothing and ran no message loop, so nothing can tell the order apart.
    finishPendingSong();
    // A walk inside the message loop while the worker reads a song of the
    // walk outside reads its own songs here, one after the other.
    const bool inLine = kind == TFileFilterInfos::Song && pendingTable_;
    if (kind == TFileFilterInfos::Song && !inLine) {
        // The tags are read from here on, while this song is shown and the
        // next file is found and opened. Nothing sees them before its row
        // goes in, and whatever runs in the message loop finds the table
        // as it was before this song. The row is certain to follow, so the
        // duplicate check knows it now.
        job->path = path;
        pendingTable_ = &table;
        pendingDepth_ = loopDepth_;
        tagWorker_.start(std::move(job));
        if (knownTable_ == &table)
            known_.insert(path);
    }
    clearSongFields();
    switch (kind) {
    case TFileFilterInfos::Song: {
        show(TScanField::Title, path);
        // The row goes in whole, once its tags are read, so the table's
        // columns never differ in length while the message loop runs.
        show(TScanField::Nr, u'#' + QString::number(table.count() + 1));
        runMessageLoop();
        if (inLine) {
            readTagsFrom(path, {job->head, job->fd, job->size, &job->tagLibRoom}, job->tags);
            appendSong(table, path, job->tags);
            if (knownTable_ == &table)
                known_.insert(path);
        }
        break;
    }
    case TFileFilterInfos::Archive: {
        show(TScanField::Title, path);
        runMessageLoop();
        if (archives_) {
            // A big archive keeps the window responsive between its members.
            const TFileRARInfos members = archives_->listArchive(path, [this] { runMessageLoop(); });
            table.appendColumns(members);
            if (knownTable_ == &table) {
                for (const QString &name : members.filename)
                    known_.insert(name);
            }
        }
        if (knownTable_ == &table)
            known_.insert(path);
        showRowCount(table);
        runMessageLoop();
        break;
    }
    default:
        break;
    }
    if (job)
        keepJob(std::move(job));
}

std::unique_ptr<TTagJob> TLibraryScanner::takeJob()
{
    if (spareJobs_.empty())
        return std::make_unique<TTagJob>();
    std::unique_ptr<TTagJob> job = std::move(spareJobs_.back());
    spareJobs_.pop_back();
    return job;
}

void TLibraryScanner::keepJob(std::unique_ptr<TTagJob> job)
{
    // Two are in use at a time (one read, one judged), more only while a
    // walk runs inside the message loop.
    constexpr std::size_t kKeptJobs = 4;
    job->closeFile();
    job->size = -1;
    if (spareJobs_.size() < kKeptJobs)
        spareJobs_.push_back(std::move(job));
}

void TLibraryScanner::finishPendingSong()
{
    if (!pendingTable_ || pendingDepth_ != loopDepth_)
        return;
    TFileInfos &table = *std::exchange(pendingTable_, nullptr);
    std::unique_ptr<TTagJob> job = tagWorker_.finish();
    appendSong(table, job->path, job->tags);
    keepJob(std::move(job));
}

void TLibraryScanner::appendSong(TFileInfos &table, const QString &path, const TId3Tags &tags)
{
    table.appendRow(path, QString(), tags[Id3::TPE1].value, tags[Id3::TIT2].value, tags[Id3::TALB].value);
}

TLibraryScanner::NameVerdict TLibraryScanner::judgeName(const QString &path)
{
    if (filter_.extension != judgedFilter_.extension || filter_.minimum != judgedFilter_.minimum
        || filter_.maximum != judgedFilter_.maximum) {
        verdicts_.clear();
        judgedFilter_ = filter_;
    }
    const QStringView extension = extensionOf(path);
    for (const ExtensionVerdict &known : verdicts_) {
        if (sameExtension(extension, known.extension))
            return known.verdict;
    }
    // A name no entry of the filter has is no song, whatever the file; an
    // entry that takes the smallest and the largest sizes takes every size
    // between them.
    const QString lowered = lowerExtension(path);
    NameVerdict verdict = NameVerdict::NeedsStatus;
    if (lowered.isEmpty() || (!filter_.extension.contains(lowered) && !TFileFilterInfos::isArchiveName(path)))
        verdict = NameVerdict::Rejected;
    else if (filter_.classifySized(path, 0) == TFileFilterInfos::Song
             && filter_.classifySized(path, std::numeric_limits<qint64>::max()) == TFileFilterInfos::Song)
        verdict = NameVerdict::AnySize;
    if (verdicts_.size() < MaxKeptVerdicts)
        verdicts_.push_back({lowered, verdict});
    return verdict;
}

int TLibraryScanner::probe(const QString &path, const QByteArray *native, bool regular, TTagJob &job)
{
    // At most one open, one status call and one read per file: the size that
    // judges the file and the first bytes that hold its tags come from the
    // same opened file. A name the filter rejects needs no file at all, and
    // a regular file whose size does not matter no status call. Non-blocking,
    // so that a FIFO given by name cannot hang the scan; regular files read
    // the same either way.
    job.head.resize(0);
    const NameVerdict verdict = judgeName(path);
    if (verdict == NameVerdict::Rejected)
        return TFileFilterInfos::Rejected;
    if (!native) {
        nativePath_ = QFile::encodeName(path);
        native = &nativePath_;
    }
    const int fd = ::open(native->constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        // The plain judgement gives every other answer, such as an archive
        // that cannot be read.
        return filter_.classifyFile(path);
    }
    int kind = TFileFilterInfos::Rejected;
    struct stat info {};
    if (regular && verdict == NameVerdict::AnySize)
        kind = TFileFilterInfos::Song;
    else if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
        kind = filter_.classifySized(path, static_cast<qint64>(info.st_size));
    if (kind == TFileFilterInfos::Song) {
        // The file stays open for its tags, which may lie beyond the head.
        const bool whole = readFileHead(fd, job.head);
        job.fd = fd;
        // A file the walk took without a status call is asked for its size
        // only if its tags need it; a short read already tells it.
        if (whole)
            job.size = job.head.size();
        else
            job.size = regular && verdict == NameVerdict::AnySize ? -1 : static_cast<qint64>(info.st_size);
    } else {
        ::close(fd);
    }
    return kind;
}

void TLibraryScanner::addDirectory(const QString &directory, TFileInfos &table, bool checkDuplicates)
{
    const KnownPaths scope(*this, table, checkDuplicates);
    walk(directory, table, checkDuplicates);
    finishPendingSong();
}

void TLibraryScanner::walk(const QString &directory, TFileInfos &table, bool checkDuplicates)
{
    const QByteArray encoded = QFile::encodeName(directory);
    const std::unique_ptr<DIR, DirCloser> listing(opendir(encoded.constData()));
    if (!listing) {
        qWarning(CannotOpenDirectoryWarning, encoded.constData());
        return;
    }
    const QString prefix = directory + u'/';
    const QByteArray encodedPrefix = encoded + '/';
    // The listing is read in full before descending, so only one directory
    // handle per level stays open for as short as possible. The names in
    // the file system's encoding lie in one buffer, end to end.
    struct Child
    {
        QString path;
        qsizetype name;
        EntryKind kind;
    };
    std::vector<Child> children;
    QByteArray names;
    QByteArray &childPath = nativePath_;
    while (const dirent *entry = readdir(listing.get())) {
        const char *name = entry->d_name;
        if ((name[0] == '.' && name[1] == 0) || (name[0] == '.' && name[1] == '.' && name[2] == 0))
            continue;
        childPath.resize(0);
        childPath.append(encodedPrefix).append(name);
        const EntryKind kind = judge(*entry, childPath);
        if (kind == EntryKind::Skip)
            continue;
        children.push_back({prefix + QFile::decodeName(name), names.size(), kind});
        names.append(name, static_cast<qsizetype>(std::strlen(name)) + 1);
    }
    for (const Child &child : children) {
        childPath.resize(0);
        childPath.append(encodedPrefix).append(names.constData() + child.name);
        if (child.kind == EntryKind::Walk) {
            walk(child.path, table, checkDuplicates);
            continue;
        }
        ++filesSeen_;
        if (checkDuplicates && known_.contains(child.path))
            continue;
        addNewFile(child.path, table, &childPath, true);
    }
}

void TLibraryScanner::scanDirectories(const TStringListC &baseDirectories, TFileInfos &table,
                                      bool checkDuplicates)
{
    {
        const KnownPaths scope(*this, table, checkDuplicates);
        for (const QString &directory : baseDirectories)
            walk(directory, table, checkDuplicates);
        finishPendingSong();
    }
    clearSongFields();
    show(TScanField::Time, QString());
    runMessageLoop();
    table.saveTable(songListFile());
}

void TLibraryScanner::removeMissingSongs(TFileInfos &table)
{
    clearSongFields();
    show(TScanField::Time, QString());
    show(TScanField::Title, kDeletingMissingText);
    runMessageLoop();
    // One pass that moves the kept rows down, instead of deleting rows one by
    // one, which would cost rows times table size.
    qsizetype kept = 0;
    const qsizetype rows = table.count();
    for (qsizetype row = 0; row < rows; ++row) {
        const QString &archive = table.archive.at(row);
        const bool stays = archive.isEmpty() ? fileExists(table.filename.at(row)) : fileExists(archive);
        if (!stays)
            continue;
        if (kept != row) {
            for (TSongColumn *column : {&table.filename, &table.archive, &table.artist, &table.title,
                                         &table.album})
                column->cells()[kept] = column->cells().at(row);
        }
        ++kept;
    }
    for (TSongColumn *column : {&table.filename, &table.archive, &table.artist, &table.title, &table.album})
        column->cells().resize(kept);
}

bool TLibraryScanner::addDroppedPath(const QString &path, TStringListC &baseDirectories, TFileInfos &table,
                                     bool onMusiclistTab)
{
    bool changed = false;
    if (QFileInfo(path).isDir()) {
        const QString directory = withoutTrailingSlash(path);
        if (onMusiclistTab && isNewBaseDirectory(directory, baseDirectories)) {
            baseDirectories.append(directory);
            changed = true;
        }
        addDirectory(directory, table, onMusiclistTab);
    } else {
        const QString directory = directoryPart(path);
        if (onMusiclistTab && !directory.isEmpty() && isNewBaseDirectory(directory, baseDirectories)) {
            baseDirectories.append(directory);
            changed = true;
        }
        addFile(path, table, onMusiclistTab);
    }
    return changed;
}
