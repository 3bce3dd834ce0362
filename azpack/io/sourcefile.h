// A source file opened read-only. Only regular files count as sources.
#ifndef AZPACK_IO_SOURCEFILE_H
#define AZPACK_IO_SOURCEFILE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace azpack {

struct FileBytes {
    std::unique_ptr<std::uint8_t[]> data;
    std::size_t size = 0;

    std::span<const std::uint8_t> view() const { return {data.get(), size}; }
};

class SourceFile {
public:
    SourceFile() = default;
    ~SourceFile();
    SourceFile(const SourceFile &) = delete;
    SourceFile &operator=(const SourceFile &) = delete;

    bool open(const char *path);
    // Size taken by seeking to the end; false when seeking fails.
    bool size(std::uint64_t &bytes);
    bool rewind();
    // Bytes read (0 at the end), or -1 on a read error.
    long read(std::uint8_t *buffer, std::size_t capacity);
    // Reads from the current position to the end.
    bool readAll(std::vector<std::uint8_t> &bytes);
    // Reads the whole file with one read of the size it has now; a file that
    // grows meanwhile is still read to its end. The bytes are not zeroed
    // first, so each page is touched once.
    bool readWhole(FileBytes &bytes);

private:
    int fd_ = -1;
};

} // namespace azpack

#endif
