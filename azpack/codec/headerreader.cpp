#include "codec/headerreader.h"

#include "codec/bytes.h"

namespace azpack {

namespace {
constexpr std::uint32_t maxTotal = 0x7fffffffu;
constexpr std::size_t maxEntries = 256;
constexpr unsigned maxLength = 31;
constexpr std::size_t entrySize = 6;
} // namespace

bool readHeader(std::span<const std::uint8_t> container, Header &header)
{
    header = Header{};
    const std::size_t size = container.size();
    const std::uint8_t *p = container.data();
    if (size < 6 || p[0] != 0x41 || p[1] != 0x5A)
        return false;
    header.total = getLe32(p + 2);
    if (header.total > maxTotal)
        return false;
    std::size_t pos = 6;
    for (;;) {
        if (pos >= size)
            return false;
        const std::uint8_t length = p[pos];
        if (length == 0)
            break;
        if (size - pos < entrySize || length > maxLength || header.entries.size() >= maxEntries)
            return false;
        header.entries.push_back({length, p[pos + 1], getLe32(p + pos + 2)});
        pos += entrySize;
    }
    header.dataOffset = pos + 1;
    return true;
}

bool dataCanHold(const Header &header, std::size_t containerSize)
{
    const std::uint64_t words = (containerSize - header.dataOffset) / 4;
    return std::uint64_t{header.total} <= words * 31;
}

} // namespace azpack
