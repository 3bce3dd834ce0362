// Reads and checks a container's header.
#ifndef AZPACK_CODEC_HEADERREADER_H
#define AZPACK_CODEC_HEADERREADER_H

#include <cstdint>
#include <span>
#include <vector>

namespace azpack {

struct TableEntry {
    std::uint8_t length = 0;
    std::uint8_t value = 0;
    std::uint32_t code = 0;
};

struct Header {
    std::uint32_t total = 0;
    std::vector<TableEntry> entries;
    std::size_t dataOffset = 0; // first data word
};

// False (a header error) on a wrong magic, a table cut short before its end
// byte, a total of 2^31 or more, more than 256 entries, or a code length
// above 31, none of which a writer of the format produces.
bool readHeader(std::span<const std::uint8_t> container, Header &header);

// Every restored byte takes at least one code bit and a data word carries 31,
// so a total beyond that is damage; checked before a buffer of that size is
// allocated.
bool dataCanHold(const Header &header, std::size_t containerSize);

} // namespace azpack

#endif
