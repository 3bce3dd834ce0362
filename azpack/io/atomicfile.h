// A save that never destroys the previous file: the bytes go to a temporary
// file beside the target, which replaces the target only once every write
// and the flush to disk succeeded. Without commit() the temporary file is
// removed and the target stays as it was.
#ifndef AZPACK_IO_ATOMICFILE_H
#define AZPACK_IO_ATOMICFILE_H

#include "io/fileops.h"

#include <cstdint>
#include <span>
#include <string>

namespace azpack {

class AtomicFile {
public:
    explicit AtomicFile(FileOps &ops);
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    // Creates the temporary file in the target's directory; false when the
    // directory is missing or not writable.
    bool open(const std::string &target);
    bool write(std::span<const std::uint8_t> bytes);
    // Flushes, closes and renames over the target. False on any failure.
    bool commit();

    const std::string &tempPath() const { return temp_; }

private:
    FileOps &ops_;
    std::string target_;
    std::string temp_;
    int fd_ = -1;
    bool failed_ = false;

    void discard();
};

} // namespace azpack

#endif
