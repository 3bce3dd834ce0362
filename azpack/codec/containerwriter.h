// Writes the container: magic, total, code table, then the input's codes
// packed 31 bits to a 32-bit word.
#ifndef AZPACK_CODEC_CONTAINERWRITER_H
#define AZPACK_CODEC_CONTAINERWRITER_H

#include "codec/symboltable.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace azpack {

// Writes magic, total, the code table and the end-of-table byte at `out`,
// which has room for headerSize() bytes.
void writeHeader(std::uint8_t *out, const std::vector<Symbol> &symbols, std::uint32_t total);

// Appends magic, total, the code table and the end-of-table byte.
void appendHeader(std::vector<std::uint8_t> &out, const std::vector<Symbol> &symbols, std::uint32_t total);

// Header size in bytes for n table entries.
constexpr std::uint64_t headerSize(std::size_t n) { return 6 * static_cast<std::uint64_t>(n) + 7; }

class BitPacker {
public:
    explicit BitPacker(const std::vector<Symbol> &symbols);

    // Appends the words completed by `input` to `out`. False when a byte has
    // no code in the table (the input changed since it was counted).
    bool pack(std::span<const std::uint8_t> input, std::vector<std::uint8_t> &out);

    // Appends the word being filled, also when it holds no bits.
    void finish(std::vector<std::uint8_t> &out);

    // Packs `input` straight to `out`, which has room for every word it
    // completes (one per 31 bits of codes), and returns the end of the words
    // written. False in `ok` as for pack().
    std::uint8_t *packTo(std::span<const std::uint8_t> input, std::uint8_t *out, bool &ok);

    // Continues as if `fill` bits of codes from elsewhere were already in
    // the word being filled; those bits stay 0 here, to be merged in later.
    void startAt(unsigned fill)
    {
        word_ = 0;
        fill_ = fill;
    }

    // The word being filled: the bits finish() would write.
    std::uint32_t pendingWord() const { return word_; }

    // The bits that codes for these counts take up.
    std::uint64_t bitsFor(const ByteCounts &counts) const;

    std::uint64_t packedBytes() const { return packed_; }

private:
    std::array<std::uint32_t, 256> code_{};
    std::array<std::uint8_t, 256> length_{};
    std::uint32_t word_ = 0;
    unsigned fill_ = 0;
    std::uint64_t packed_ = 0;
};

} // namespace azpack

#endif
