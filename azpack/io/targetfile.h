// A restore target written in place: created or truncated when opened, so a
// restore that fails half-way leaves what it had written.
#ifndef AZPACK_IO_TARGETFILE_H
#define AZPACK_IO_TARGETFILE_H

#include "io/fileops.h"

#include <cstdint>
#include <span>

namespace azpack {

class TargetFile {
public:
    explicit TargetFile(FileOps &ops);
    ~TargetFile();
    TargetFile(const TargetFile &) = delete;
    TargetFile &operator=(const TargetFile &) = delete;

    bool open(const char *path);
    bool write(std::span<const std::uint8_t> bytes);
    // Closes and reports whether every write reached the file.
    bool close();

private:
    FileOps &ops_;
    int fd_ = -1;
    bool failed_ = false;
};

} // namespace azpack

#endif
