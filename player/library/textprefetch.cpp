#include "textprefetch.h"

#include "azpack.h"

#include <QFile>

#include <cstring>
#include <sys/stat.h>
#include <system_error>

TTextPrefetch::TTextPrefetch(const QString &fileName)
    : fileName_(fileName)
    , identity_(identityOf(fileName))
{
    try {
        thread_ = std::thread([this, nativeName = QFile::encodeName(fileName)] { restore(nativeName); });
    } catch (const std::system_error &) {
    }
}

TTextPrefetch::~TTextPrefetch()
{
    if (!thread_.joinable())
        return;
    {
        const std::lock_guard lock(mutex_);
        released_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

TTextPrefetch::Identity TTextPrefetch::identityOf(const QString &fileName)
{
    struct stat status{};
    if (::stat(QFile::encodeName(fileName).constData(), &status) != 0)
        return {};
    return {true, status.st_dev, status.st_ino, status.st_size,
            static_cast<long long>(status.st_mtim.tv_sec) * 1000000000LL + status.st_mtim.tv_nsec};
}

void TTextPrefetch::restore(const QByteArray &nativeName)
{
    // azpack keeps the text it hands out until its next call on the same
    // thread, so this thread stays until the text is no longer needed.
    const char *restored = uncompressFileToString(nativeName.constData());
    std::unique_lock lock(mutex_);
    text_ = restored ? QByteArrayView(restored, static_cast<qsizetype>(std::strlen(restored))) : QByteArrayView();
    restored_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return released_; });
    lock.unlock();
    uncompressFileToString(nullptr);
}

bool TTextPrefetch::take(const QString &fileName, QByteArrayView &text)
{
    if (!thread_.joinable() || fileName != fileName_ || !identity_.exists)
        return false;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return restored_; });
    // Checked after the restore: a save during it renamed a new file over
    // the one being read.
    if (identityOf(fileName) != identity_)
        return false;
    text = text_;
    return true;
}
