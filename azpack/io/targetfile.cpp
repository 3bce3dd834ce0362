#include "io/targetfile.h"

#include <fcntl.h>

namespace azpack {

TargetFile::TargetFile(FileOps &ops)
    : ops_(ops)
{
}

TargetFile::~TargetFile() { close(); }

bool TargetFile::open(const char *path)
{
    fd_ = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    failed_ = false;
    return fd_ >= 0;
}

bool TargetFile::write(std::span<const std::uint8_t> bytes)
{
    if (fd_ < 0 || failed_)
        return false;
    if (!bytes.empty() && !writeAll(ops_, fd_, bytes.data(), bytes.size()))
        failed_ = true;
    return !failed_;
}

bool TargetFile::close()
{
    if (fd_ < 0)
        return !failed_;
    if (ops_.close(fd_) != 0)
        failed_ = true;
    fd_ = -1;
    return !failed_;
}

} // namespace azpack
