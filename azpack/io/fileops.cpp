#include "io/fileops.h"

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace azpack {

ssize_t FileOps::write(int fd, const void *data, std::size_t size) { return ::write(fd, data, size); }

int FileOps::sync(int fd) { return ::fsync(fd); }

int FileOps::close(int fd) { return ::close(fd); }

int FileOps::rename(const char *from, const char *to) { return std::rename(from, to); }

FileOps &FileOps::system()
{
    static FileOps plain;
    return plain;
}

bool writeAll(FileOps &ops, int fd, const void *data, std::size_t size)
{
    const auto *p = static_cast<const unsigned char *>(data);
    while (size > 0) {
        const ssize_t n = ops.write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace azpack
