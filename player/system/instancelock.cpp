#include "instancelock.h"

#include <QByteArray>
#include <QFile>
#include <QtGlobal>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
const QString kLockFileName = u"Melodeck.lock"_s;
const QString kFallbackPrefix = u"/tmp/melodeck-"_s;

// A directory is private when it is a real directory (no symbolic link),
// belongs to us and gives nobody else any access.
bool isPrivateDirectory(const QByteArray &path, bool repairMode)
{
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
        return false;
    if ((info.st_mode & 077) == 0)
        return true;
    return repairMode && ::chmod(path.constData(), 0700) == 0;
}
} // namespace

QString instanceDirectory()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isPrivateDirectory(runtime, false))
        return QFile::decodeName(runtime);

    const QString fallback = kFallbackPrefix + QString::number(::geteuid());
    const QByteArray encoded = QFile::encodeName(fallback);
    if (::mkdir(encoded.constData(), 0700) != 0 && errno != EEXIST) {
        qWarning("Melodeck: cannot create %s: %s", encoded.constData(), std::strerror(errno));
        return {};
    }
    // Our own directory with loose rights is tightened; anything else (a
    // directory of another user, a link planted in /tmp) is refused.
    if (!isPrivateDirectory(encoded, true)) {
        qWarning("Melodeck: %s is not a private directory of this user; running without the single-instance check",
                 encoded.constData());
        return {};
    }
    return fallback;
}

TInstanceLock::TInstanceLock(const QString &directory)
    : path_(directory + u'/' + kLockFileName)
{
}

TInstanceLock::~TInstanceLock()
{
    if (fd_ >= 0)
        ::close(fd_); // closing drops the lock; the file stays for the next start
}

TInstanceLock::Result TInstanceLock::acquire()
{
    if (fd_ >= 0)
        return Result::Acquired;
    const QByteArray encoded = QFile::encodeName(path_);
    const int fd = ::open(encoded.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        qWarning("Melodeck: cannot open the instance lock %s: %s", encoded.constData(), std::strerror(errno));
        return Result::Failed;
    }
    int rc = 0;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK)
            return Result::HeldElsewhere;
        qWarning("Melodeck: cannot lock %s: %s", encoded.constData(), std::strerror(error));
        return Result::Failed;
    }
    fd_ = fd;
    // The process id is for people looking at the file; the lock is the flock.
    const QByteArray pid = QByteArray::number(static_cast<qint64>(::getpid())) + '\n';
    if (::ftruncate(fd_, 0) == 0) {
        const ssize_t written = ::write(fd_, pid.constData(), static_cast<size_t>(pid.size()));
        Q_UNUSED(written);
    }
    return Result::Acquired;
}
