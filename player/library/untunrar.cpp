#include "untunrar.h"

#include "az_id3tag.h"
#include "tagstream.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <dlfcn.h>
#include <sys/types.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace {

// libarchive's objects stay opaque; only pointers to them cross the calls.
struct Archive;
struct ArchiveEntry;

// Results of libarchive's calls.
constexpr int kArchiveEof = 1;
constexpr int kArchiveOk = 0;
constexpr int kArchiveWarn = -20;
constexpr int kArchiveFailed = -25;

constexpr std::size_t kReadBlockSize = 64 * 1024;
// What a listing first reads of a member: most tags without a picture fit.
constexpr qsizetype kFirstHeadSize = 64 * 1024;
constexpr int kKiBShift = 10;
// The new copy is written beside the destination under this suffix.
constexpr char kNewFileSuffix[] = ".new.XXXXXX";

constexpr char kOpenFailedWarning[] = "Archive %s cannot be opened: %s";
constexpr char kHeaderFailedWarning[] = "Archive %s: reading stopped after member \"%s\": %s";
constexpr char kFirstHeaderFailedWarning[] = "Archive %s: no member can be read: %s";
constexpr char kDataFailedWarning[] = "Archive %s: member \"%s\" cannot be read: %s";
constexpr char kEncryptedWarning[] =
    "Archive %s: member \"%s\" is encrypted and cannot be extracted";
constexpr char kWriteFailedWarning[] = "Cannot write %s: %s";

template <typename Function>
bool bind(void *handle, const char *name, Function &function)
{
    function = reinterpret_cast<Function>(::dlsym(handle, name));
    return function != nullptr;
}

} // namespace

struct TUnRar::Binding
{
    void *handle = nullptr;
    Archive *(*readNew)() = nullptr;
    int (*supportRar)(Archive *) = nullptr;
    int (*supportRar5)(Archive *) = nullptr;
    int (*openFilename)(Archive *, const char *, std::size_t) = nullptr;
    int (*nextHeader)(Archive *, ArchiveEntry **) = nullptr;
    const char *(*pathnameUtf8)(ArchiveEntry *) = nullptr;
    const char *(*pathname)(ArchiveEntry *) = nullptr;
    std::int64_t (*entrySize)(ArchiveEntry *) = nullptr;
    int (*isEncrypted)(ArchiveEntry *) = nullptr;
    ssize_t (*readData)(Archive *, void *, std::size_t) = nullptr;
    int (*addPassphrase)(Archive *, const char *) = nullptr;
    const char *(*errorString)(Archive *) = nullptr;
    int (*readFree)(Archive *) = nullptr;

    Binding() = default;
    Binding(const Binding &) = delete;
    Binding &operator=(const Binding &) = delete;
    ~Binding()
    {
        if (handle)
            ::dlclose(handle);
    }

    bool bindAll()
    {
        return bind(handle, "archive_read_new", readNew)
               && bind(handle, "archive_read_support_format_rar", supportRar)
               && bind(handle, "archive_read_support_format_rar5", supportRar5)
               && bind(handle, "archive_read_open_filename", openFilename)
               && bind(handle, "archive_read_next_header", nextHeader)
               && bind(handle, "archive_entry_pathname_utf8", pathnameUtf8)
               && bind(handle, "archive_entry_pathname", pathname)
               && bind(handle, "archive_entry_size", entrySize)
               && bind(handle, "archive_entry_is_encrypted", isEncrypted)
               && bind(handle, "archive_read_data", readData)
               && bind(handle, "archive_read_add_passphrase", addPassphrase)
               && bind(handle, "archive_error_string", errorString)
               && bind(handle, "archive_read_free", readFree);
    }
};

// One opened archive, walked header by header.
class TUnRar::Reader
{
public:
    struct Member
    {
        QString name;
        quint64 size = 0;
        bool encrypted = false;
        // False when libarchive could read the header but not the data.
        bool readable = true;
    };

    Reader(std::shared_ptr<const Binding> binding, const QString &path)
        : binding_(std::move(binding)), lib_(*binding_), path_(path)
    {
        open(false);
    }
    ~Reader() { close(); }
    Reader(const Reader &) = delete;
    Reader &operator=(const Reader &) = delete;

    bool isOpen() const { return archive_ != nullptr; }

    // The next member; nothing at libarchive's end of archive or on an error
    // that ends reading. Only the first member decides on the password.
    std::optional<Member> next()
    {
        ArchiveEntry *entry = nullptr;
        const int result = lib_.nextHeader(archive_, &entry);
        if (result == kArchiveEof)
            return std::nullopt;
        if ((result != kArchiveOk && result != kArchiveWarn && result != kArchiveFailed)
            || !entry) {
            if (first_)
                qWarning(kFirstHeaderFailedWarning, qUtf8Printable(path_), qUtf8Printable(error()));
            else
                qWarning(kHeaderFailedWarning, qUtf8Printable(path_), qUtf8Printable(previous_),
                         qUtf8Printable(error()));
            return std::nullopt;
        }
        Member member;
        if (const char *utf8 = lib_.pathnameUtf8(entry))
            member.name = QString::fromUtf8(utf8);
        else if (const char *raw = lib_.pathname(entry))
            member.name = QString::fromLocal8Bit(raw);
        const std::int64_t size = lib_.entrySize(entry);
        member.size = size > 0 ? static_cast<quint64>(size) : 0;
        member.encrypted = lib_.isEncrypted(entry) > 0;
        member.readable = result != kArchiveFailed && !member.encrypted;
        if (first_ && member.encrypted && !withPassword_) {
            // libarchive takes a passphrase only before the archive is
            // opened, so start over with it.
            close();
            if (!open(true))
                return std::nullopt;
            return next();
        }
        first_ = false;
        previous_ = member.name;
        if (member.encrypted)
            qWarning(kEncryptedWarning, qUtf8Printable(path_), qUtf8Printable(member.name));
        return member;
    }

    // Writes the current member's data to destination through a new file in
    // the same folder that is renamed over it only when complete, so a
    // reader that still has the old file open keeps its data. No fsync: the
    // scratch file need not survive a crash.
    bool extractTo(const QString &destination)
    {
        return writeAtomically(destination, [this, &destination](QTemporaryFile &out) {
            std::array<char, kReadBlockSize> buffer{};
            for (;;) {
                const ssize_t got = readData(buffer.data(), buffer.size());
                if (got <= 0)
                    return got == 0;
                if (out.write(buffer.data(), got) != got) {
                    qWarning(kWriteFailedWarning, qUtf8Printable(destination),
                             qUtf8Printable(out.errorString()));
                    return false;
                }
            }
        });
    }

    // Writes bytes to destination the same way.
    bool writeTo(const QString &destination, const QByteArray &bytes)
    {
        return writeAtomically(destination, [&bytes, &destination](QTemporaryFile &out) {
            if (out.write(bytes) == bytes.size())
                return true;
            qWarning(kWriteFailedWarning, qUtf8Printable(destination), qUtf8Printable(out.errorString()));
            return false;
        });
    }

    // Reads the start of the current member that holds its tags into head,
    // as far as the bytes read tell where they end, and never more than
    // memberTagHeadLimit.
    bool extractTagHead(QByteArray &head)
    {
        head.resize(0);
        if (!readInto(head, kFirstHeadSize))
            return false;
        for (;;) {
            const long long wanted = tagHeadLength(head);
            if (wanted <= head.size()) {
                head.truncate(static_cast<qsizetype>(wanted)); // the audio after the tags is not needed
                return true;
            }
            if (head.size() < kFirstHeadSize || head.size() >= memberTagHeadLimit)
                return true;
            // Whole steps, so that tags made of many small blocks cost a few
            // passes over the head rather than one per block.
            const qsizetype had = head.size();
            const auto want = static_cast<qsizetype>(
                std::min<long long>(std::max<long long>(wanted, had + kFirstHeadSize), memberTagHeadLimit));
            if (!readInto(head, want))
                return false;
            if (head.size() == had)
                return true;
        }
    }

    // Reads more of the current member into bytes until it holds upTo bytes
    // or the member ends. The unread rest of a member is skipped by the next
    // header read. False on a read error.
    bool readInto(QByteArray &bytes, qsizetype upTo)
    {
        while (bytes.size() < upTo) {
            const qsizetype had = bytes.size();
            bytes.resize(upTo);
            const ssize_t got = readData(bytes.data() + had, static_cast<std::size_t>(upTo - had));
            bytes.resize(had + std::max<ssize_t>(got, 0));
            if (got <= 0)
                return got == 0;
        }
        return true;
    }

private:
    bool open(bool withPassword)
    {
        withPassword_ = withPassword;
        archive_ = lib_.readNew();
        if (!archive_)
            return false;
        lib_.supportRar(archive_);
        lib_.supportRar5(archive_);
        if (withPassword)
            lib_.addPassphrase(archive_, archivePassword);
        const QByteArray encoded = QFile::encodeName(path_);
        if (lib_.openFilename(archive_, encoded.constData(), kReadBlockSize) != kArchiveOk) {
            qWarning(kOpenFailedWarning, qUtf8Printable(path_), qUtf8Printable(error()));
            close();
            return false;
        }
        return true;
    }

    // libarchive's read of the current member's data, warning on errors.
    ssize_t readData(char *into, std::size_t size)
    {
        const ssize_t got = lib_.readData(archive_, into, size);
        if (got < 0)
            qWarning(kDataFailedWarning, qUtf8Printable(path_), qUtf8Printable(previous_),
                     qUtf8Printable(error()));
        return got;
    }

    template <typename Fill>
    static bool writeAtomically(const QString &destination, const Fill &fill)
    {
        QTemporaryFile out(destination + QLatin1StringView(kNewFileSuffix));
        if (!out.open()) {
            qWarning(kWriteFailedWarning, qUtf8Printable(destination),
                     qUtf8Printable(out.errorString()));
            return false;
        }
        if (!fill(out))
            return false;
        if (!out.flush()) {
            qWarning(kWriteFailedWarning, qUtf8Printable(destination),
                     qUtf8Printable(out.errorString()));
            return false;
        }
        out.close();
        if (::rename(QFile::encodeName(out.fileName()).constData(),
                     QFile::encodeName(destination).constData())
            != 0) {
            qWarning(kWriteFailedWarning, qUtf8Printable(destination), std::strerror(errno));
            return false; // the temporary file removes itself
        }
        out.setAutoRemove(false); // it is the destination now
        return true;
    }

    void close()
    {
        if (archive_)
            lib_.readFree(archive_);
        archive_ = nullptr;
    }

    QString error() const
    {
        const char *text = archive_ ? lib_.errorString(archive_) : nullptr;
        return text ? QString::fromUtf8(text) : QString();
    }

    const std::shared_ptr<const Binding> binding_;
    const Binding &lib_;
    const QString path_;
    Archive *archive_ = nullptr;
    bool first_ = true;
    bool withPassword_ = false;
    QString previous_;
};

TUnRar::TUnRar(const TFileFilterInfos &filter, QString programDirectory)
    : filter_(filter), programDir_(std::move(programDirectory))
{
}

TUnRar::~TUnRar() = default;

bool TUnRar::loadArchiveLibrary()
{
    const QString chosen = qEnvironmentVariable(libraryVariable);
    return loadArchiveLibrary(chosen.isEmpty() ? QString::fromLatin1(librarySoname) : chosen);
}

bool TUnRar::loadArchiveLibrary(const QString &libraryFile)
{
    freeArchiveLibrary();
    auto binding = std::make_unique<Binding>();
    binding->handle = ::dlopen(QFile::encodeName(libraryFile).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!binding->handle || !binding->bindAll())
        return false;
    binding_ = std::shared_ptr<const Binding>(std::move(binding));
    return true;
}

void TUnRar::freeArchiveLibrary()
{
    binding_.reset();
}

TFileRARInfos TUnRar::listArchive(const QString &archivePath,
                                  const std::function<void()> &betweenMembers) const
{
    TFileRARInfos rows;
    if (!binding_)
        return rows;
    Reader reader(binding_, archivePath);
    if (!reader.isOpen())
        return rows;
    const QString scratch = scratchFile();
    QByteArray head;
    while (const auto member = reader.next()) {
        const quint64 sizeKiB = member->size >> kKiBShift;
        if (!member->name.isEmpty()
            && filter_.acceptsMember(member->name, static_cast<qint64>(sizeKiB))) {
            TId3Tags tags;
            if (member->readable && reader.extractTagHead(head) && reader.writeTo(scratch, head))
                readSongTags(member->name, archivePath, tags, scratch);
            else
                tagsFromFileName(member->name, tags); // never another member's tags
            rows.appendRow(member->name, archivePath, tags[Id3::TPE1].value, tags[Id3::TIT2].value,
                           tags[Id3::TALB].value);
            rows.sizeColumn.append(QString::number(sizeKiB));
        } // libarchive skips the unread data of other members itself
        if (betweenMembers) {
            betweenMembers();
            if (!binding_)
                break;
        }
    }
    return rows;
}

bool TUnRar::extractMember(const QString &archivePath, const QString &member,
                           const QString &folder, const QString &file) const
{
    if (!binding_)
        return false;
    Reader reader(binding_, archivePath);
    if (!reader.isOpen())
        return false;
    const QString destination = folder.isEmpty() ? file : QDir(folder).filePath(file);
    while (const auto current = reader.next()) {
        if (current->name == member)
            return current->readable && reader.extractTo(destination);
    }
    return false;
}

void TUnRar::deleteScratchFile() const
{
    QFile::remove(scratchFile());
}
