// The system calls that put bytes on disk. The export layer always uses
// FileOps::system(); tests derive from FileOps to make a write, a flush or
// the final rename fail on purpose.
#ifndef AZPACK_IO_FILEOPS_H
#define AZPACK_IO_FILEOPS_H

#include <cstddef>
#include <sys/types.h>

namespace azpack {

class FileOps {
public:
    virtual ~FileOps() = default;
    virtual ssize_t write(int fd, const void *data, std::size_t size);
    virtual int sync(int fd);
    virtual int close(int fd);
    virtual int rename(const char *from, const char *to);

    // The plain system calls; stateless, shared by every call.
    static FileOps &system();
};

// Writes all of `size` bytes, retrying partial writes and interruptions.
bool writeAll(FileOps &ops, int fd, const void *data, std::size_t size);

} // namespace azpack

#endif
