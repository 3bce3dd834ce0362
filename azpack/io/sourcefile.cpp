#include "io/sourcefile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace azpack {

SourceFile::~SourceFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool SourceFile::open(const char *path)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

bool SourceFile::size(std::uint64_t &bytes)
{
    const off_t end = ::lseek(fd_, 0, SEEK_END);
    if (end < 0)
        return false;
    bytes = static_cast<std::uint64_t>(end);
    return true;
}

bool SourceFile::rewind() { return ::lseek(fd_, 0, SEEK_SET) == 0; }

long SourceFile::read(std::uint8_t *buffer, std::size_t capacity)
{
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, capacity);
        if (n < 0 && errno == EINTR)
            continue;
        return static_cast<long>(n);
    }
}

bool SourceFile::readAll(std::vector<std::uint8_t> &bytes)
{
    constexpr std::size_t chunk = 1 << 16;
    bytes.clear();
    for (;;) {
        const std::size_t used = bytes.size();
        bytes.resize(used + chunk);
        const long n = read(bytes.data() + used, chunk);
        if (n < 0) {
            bytes.clear();
            return false;
        }
        bytes.resize(used + static_cast<std::size_t>(n));
        if (n == 0)
            return true;
    }
}

bool SourceFile::readWhole(FileBytes &bytes)
{
    std::uint64_t expected = 0;
    if (!size(expected) || !rewind())
        return false;
    // One spare byte tells a file that grew since it was measured.
    std::size_t capacity = static_cast<std::size_t>(expected) + 1;
    auto data = std::make_unique_for_overwrite<std::uint8_t[]>(capacity);
    std::size_t used = 0;
    for (;;) {
        if (used == capacity) {
            const std::size_t larger = capacity * 2;
            auto grown = std::make_unique_for_overwrite<std::uint8_t[]>(larger);
            std::memcpy(grown.get(), data.get(), used);
            data = std::move(grown);
            capacity = larger;
        }
        const long n = read(data.get() + used, capacity - used);
        if (n < 0)
            return false;
        if (n == 0)
            break;
        used += static_cast<std::size_t>(n);
    }
    bytes.data = std::move(data);
    bytes.size = used;
    return true;
}

} // namespace azpack
