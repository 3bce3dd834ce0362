// Restores bytes from the data words with a lookup table over the next bits,
// falling back to a bit-by-bit walk for long codes. Gives the same bytes as
// walking the decode tree one bit at a time.
#ifndef AZPACK_CODEC_DECODER_H
#define AZPACK_CODEC_DECODER_H

#include "codec/decodetree.h"

#include <cstdint>
#include <span>
#include <vector>

namespace azpack {

class Decoder {
public:
    // `data` starts at the first data word; a trailing partial word is ignored.
    Decoder(const DecodeTree &tree, std::span<const std::uint8_t> data);

    // Restores up to `n` bytes into `out` and returns how many it restored.
    // Stops early on damage: the data ends while bytes remain, or a code leads
    // to a missing child (also a root without codes). failed() tells.
    std::size_t decode(std::uint8_t *out, std::size_t n);

    bool failed() const { return failed_; }

private:
    static constexpr unsigned tableBits = 12;

    const std::vector<DecodeTree::Node> &nodes_;
    // Per prefix of tableBits bits: the first code's byte (bits 0-7) and
    // length (bits 16-19) when it ends within the prefix, else length 0 and
    // deeper_ holds the node the walk continues from (-1: a missing child).
    // When a second code also ends within the prefix, its byte (bits 8-15),
    // the length of both (bits 20-23) and a pair flag (bit 24) follow, so the
    // usual short codes come two at a time.
    std::vector<std::uint32_t> table_;
    std::vector<std::int32_t> deeper_;

    // Walks from the root over the low `bits` bits of `prefix`; returns the
    // code length and sets `value`, or 0 when no leaf is reached within them
    // (then `node` is where the walk stopped, -1 for a missing child).
    unsigned walk(std::uint32_t prefix, unsigned bits, std::uint8_t &value, std::int32_t &node) const;
    const std::uint8_t *data_;
    std::size_t words_;
    std::size_t next_ = 0;       // next word to load
    std::uint64_t bits_ = 0;     // stream bits, left-aligned
    unsigned count_ = 0;         // valid bits in bits_
    bool failed_ = false;

    void buildTable();
    void refill();
    // The fast path while data and room are plentiful: whole words into
    // the window and two table steps per word, until a code is longer than
    // the table. Returns the new count of bytes done.
    std::size_t decodeBulk(std::uint8_t *out, std::size_t n, std::size_t done);
    bool decodeSlow(std::uint32_t prefix, std::uint8_t &value);
};

} // namespace azpack

#endif
