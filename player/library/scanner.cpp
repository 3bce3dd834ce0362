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

// One file handed to the read-ahead, or read in line: what the walk knew
// of it, and what reading it gave.
struct TLibraryScanner::SongJob final : TReadAheadJob
{
    QString path;
    QByteArray native;
    bool regular = false;
    NameVerdict verdict = NameVerdict::NeedsStatus;
    std::shared_ptr<const TFileFilterInfos> filter;

    bool opened = false;
    int kind = TFileFilterInfos::Rejected;
    QByteArray head;
    TId3Tags tags;
    TagLib::ByteVector tagLibRoom;
};

// The files of one directory listing ahead of the walk. Up to kAhead of the
// songs to come are with the read-ahead at a time; it gets them in batches,
// so its thread is woken once for many files.
class TLibraryScanner::ReadAheadWindow
{
public:
    ReadAheadWindow(TLibraryScanner &scanner, qsizetype files, bool checkDuplicates)
        : scanner_(scanner), jobs_(static_cast<std::size_t>(files)), checkDuplicates_(checkDuplicates)
    {
    }
    ~ReadAheadWindow()
    {
        for (std::unique_ptr<SongJob> &job : jobs_)
            if (job)
                scanner_.keepJob(std::move(job));
    }
    ReadAheadWindow(const ReadAheadWindow &) = delete;
    ReadAheadWindow &operator=(const ReadAheadWindow &) = delete;

    // The job of the file at index, if it was handed over; tops the window up
    // first. path(k) and native(k) give the k-th file's paths.
    template <typename PathOf, typename NativeOf>
    std::unique_ptr<SongJob> take(qsizetype index, const PathOf &path, const NativeOf &native)
    {
        constexpr qsizetype kAhead = 32;
        const auto files = static_cast<qsizetype>(jobs_.size());
        if (queued_ <= kAhead / 2 && next_ < files) {
            next_ = std::max(next_, index);
            std::vector<TReadAheadJob *> batch;
            for (; next_ < files && queued_ < kAhead; ++next_) {
                const QString &name = path(next_);
                if (TFileFilterInfos::isArchiveName(name) || (checkDuplicates_ && scanner_.known_.contains(name)))
                    continue;
                const NameVerdict verdict = scanner_.judgeName(name);
                if (verdict == NameVerdict::Rejected)
                    continue;
                std::unique_ptr<SongJob> job = scanner_.takeJob(name, native(next_), true, verdict);
                batch.push_back(job.get());
                jobs_[static_cast<std::size_t>(next_)] = std::move(job);
                ++queued_;
            }
            scanner_.readAhead_.submit(batch.data(), batch.size());
        }
        std::unique_ptr<SongJob> job = std::move(jobs_[static_cast<std::size_t>(index)]);
        if (job)
            --queued_;
        return job;
    }

private:
    TLibraryScanner &scanner_;
    std::vector<std::unique_ptr<SongJob>> jobs_;
    const bool checkDuplicates_;
    qsizetype next_ = 0;
    qsizetype queued_ = 0;
};

TLibraryScanner::TLibraryScanner(const TFileFilterInfos &filter, const TUnRar *archives, TScanHooks hooks,
                                 QString programDirectory)
    : filter_(filter), archives_(archives), hooks_(std::move(hooks)), programDir_(std::move(programDirectory)),
      readAhead_([](TReadAheadJob &job) { readSong(static_cast<SongJob &>(job)); })
{
}

TLibraryScanner::~TLibraryScanner() = default;

void TLibraryScanner::show(TScanField field, const QString &text) const
{
    if (hooks_.showField)
        hooks_.showField(field, text);
}

void TLibraryScanner::runMessageLoop()
{
    if (hooks_.runMessageLoop)
        hooks_.runMessageLoop();
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
}

void TLibraryScanner::addNewFile(const QString &path, TFileInfos &table, const QByteArray *native, bool regular,
                                 SongJob *ahead)
{
    const NameVerdict verdict = judgeName(path);
    SongJob *job = ahead;
    // What the message loop of an earlier file changed in the filter, the
    // file handed over before that was not judged by.
    if (job && (job->verdict != verdict || job->filter != judgedFilter_)) {
        readAhead_.withdraw(*job);
        job = nullptr;
    }
    std::unique_ptr<SongJob> own;
    int kind = TFileFilterInfos::Rejected;
    if (verdict != NameVerdict::Rejected) {
        if (!job) {
            own = takeJob(path, native ? *native : QFile::encodeName(path), regular, verdict);
            job = own.get();
        }
        readAhead_.wait(*job);
        // The plain judgement gives every other answer, such as an archive
        // that cannot be read.
        kind = job->opened ? job->kind : filter_.classifyFile(path);
    }
    clearSongFields();
    switch (kind) {
    case TFileFilterInfos::Song: {
        // The row is certain to follow, so a walk inside the message loop
        // already knows it as a duplicate.
        if (knownTable_ == &table)
            known_.insert(path);
        show(TScanField::Title, path);
        // The row goes in once the message loop has run, so whatever runs
        // there finds the table as it was before this song.
        show(TScanField::Nr, u'#' + QString::number(table.count() + 1));
        runMessageLoop();
        appendSong(table, path, job->tags);
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
    if (own)
        keepJob(std::move(own));
}

std::unique_ptr<TLibraryScanner::SongJob> TLibraryScanner::takeJob(const QString &path, QByteArray native,
                                                                    bool regular, NameVerdict verdict)
{
    std::unique_ptr<SongJob> job;
    if (spareJobs_.empty()) {
        job = std::make_unique<SongJob>();
    } else {
        job = std::move(spareJobs_.back());
        spareJobs_.pop_back();
    }
    job->path = path;
    job->native = std::move(native);
    job->regular = regular;
    job->verdict = verdict;
    job->filter = judgedFilter_;
    return job;
}

void TLibraryScanner::keepJob(std::unique_ptr<SongJob> job)
{
    // A window's worth is in use at a time, more only while a walk runs
    // inside the message loop.
    constexpr std::size_t kKeptJobs = 64;
    readAhead_.withdraw(*job);
    job->filter.reset();
    if (spareJobs_.size() < kKeptJobs)
        spareJobs_.push_back(std::move(job));
}

void TLibraryScanner::appendSong(TFileInfos &table, const QString &path, const TId3Tags &tags)
{
    table.appendRow(path, QString(), tags[Id3::TPE1].value, tags[Id3::TIT2].value, tags[Id3::TALB].value);
}

TLibraryScanner::NameVerdict TLibraryScanner::judgeName(const QString &path)
{
    if (!judgedFilter_ || filter_.extension != judgedFilter_->extension || filter_.minimum != judgedFilter_->minimum
        || filter_.maximum != judgedFilter_->maximum) {
        verdicts_.clear();
        judgedFilter_ = std::make_shared<const TFileFilterInfos>(filter_);
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

void TLibraryScanner::readSong(SongJob &job)
{
    // At most one open, one status call and one read per file: the size that
    // judges the file and the first bytes that hold its tags come from the
    // same opened file. A regular file whose size does not matter needs no
    // status call. Non-blocking, so that a FIFO given by name cannot hang
    // the scan; regular files read the same either way.
    job.head.resize(0);
    job.kind = TFileFilterInfos::Rejected;
    const int fd = ::open(job.native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    job.opened = fd >= 0;
    if (fd < 0)
        return;
    const bool anySize = job.regular && job.verdict == NameVerdict::AnySize;
    struct stat info {};
    if (anySize)
        job.kind = TFileFilterInfos::Song;
    else if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
        job.kind = job.filter->classifySized(job.path, static_cast<qint64>(info.st_size));
    if (job.kind == TFileFilterInfos::Song) {
        // The file stays open for its tags, which may lie beyond the head.
        // A file the walk took without a status call is asked for its size
        // only if its tags need it; a short read already tells it.
        const bool whole = readFileHead(fd, job.head);
        const qint64 size = whole ? job.head.size() : anySize ? -1 : static_cast<qint64>(info.st_size);
        readTagsFrom(job.path, {job.head, fd, size, &job.tagLibRoom}, job.tags);
    }
    ::close(fd);
}

void TLibraryScanner::addDirectory(const QString &directory, TFileInfos &table, bool checkDuplicates)
{
    const KnownPaths scope(*this, table, checkDuplicates);
    walk(directory, table, checkDuplicates);
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
    // The files among the children, for the read-ahead.
    std::vector<qsizetype> files;
    for (qsizetype k = 0; k < static_cast<qsizetype>(children.size()); ++k)
        if (children[static_cast<std::size_t>(k)].kind == EntryKind::Add)
            files.push_back(k);
    const auto fileChild = [&](qsizetype file) -> const Child & {
        return children[static_cast<std::size_t>(files[static_cast<std::size_t>(file)])];
    };
    ReadAheadWindow window(*this, static_cast<qsizetype>(files.size()), checkDuplicates);
    const auto pathOf = [&](qsizetype file) -> const QString & { return fileChild(file).path; };
    const auto nativeOf = [&](qsizetype file) {
        QByteArray native = encodedPrefix;
        native.append(names.constData() + fileChild(file).name);
        return native;
    };
    qsizetype file = 0;
    for (const Child &child : children) {
        childPath.resize(0);
        childPath.append(encodedPrefix).append(names.constData() + child.name);
        if (child.kind == EntryKind::Walk) {
            walk(child.path, table, checkDuplicates);
            continue;
        }
        ++filesSeen_;
        std::unique_ptr<SongJob> job = window.take(file++, pathOf, nativeOf);
        if (!(checkDuplicates && known_.contains(child.path)))
            addNewFile(child.path, table, &childPath, true, job.get());
        if (job)
            keepJob(std::move(job));
    }
}

void TLibraryScanner::scanDirectories(const TStringListC &baseDirectories, TFileInfos &table,
                                      bool checkDuplicates)
{
    {
        const KnownPaths scope(*this, table, checkDuplicates);
        for (const QString &directory : baseDirectories)
            walk(directory, table, checkDuplicates);
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
