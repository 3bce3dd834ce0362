#include "io/atomicfile.h"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace azpack {

namespace {
constexpr const char *tempInfix = ".azpack-";
constexpr int nameAttempts = 16;
} // namespace

AtomicFile::AtomicFile(FileOps &ops)
    : ops_(ops)
{
}

AtomicFile::~AtomicFile() { discard(); }

void AtomicFile::discard()
{
    if (fd_ >= 0) {
        ops_.close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

bool AtomicFile::open(const std::string &target)
{
    discard();
    target_ = target;
    failed_ = false;
    std::random_device random;
    for (int attempt = 0; attempt < nameAttempts; ++attempt) {
        // Mode 0666 lets the umask decide, as for a file created in place.
        std::string candidate = target + tempInfix + std::to_string(random());
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            fd_ = fd;
            temp_ = std::move(candidate);
            // A replaced file keeps its permissions.
            struct stat old {};
            if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode))
                ::fchmod(fd_, old.st_mode & 07777);
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

bool AtomicFile::write(std::span<const std::uint8_t> bytes)
{
    if (fd_ < 0 || failed_)
        return false;
    if (!bytes.empty() && !writeAll(ops_, fd_, bytes.data(), bytes.size()))
        failed_ = true;
    return !failed_;
}

bool AtomicFile::commit()
{
    if (fd_ < 0 || failed_) {
        discard();
        return false;
    }
    const bool synced = ops_.sync(fd_) == 0;
    const bool closed = ops_.close(fd_) == 0;
    fd_ = -1;
    if (!synced || !closed || ops_.rename(temp_.c_str(), target_.c_str()) != 0) {
        discard();
        return false;
    }
    temp_.clear();
    return true;
}

} // namespace azpack
