// Counts and packs a whole input held in memory, its two halves on two
// threads. The first half's counts tell, before anything is packed, at which
// word and bit the second half's codes begin, so both halves are packed
// straight into place and only the word where they meet is merged. The
// container is the one that packing the input in one run gives.
#ifndef AZPACK_CODEC_SPLITPACKER_H
#define AZPACK_CODEC_SPLITPACKER_H

#include "codec/symboltable.h"

#include <cstdint>
#include <span>
#include <vector>

namespace azpack {

class SplitPacker {
public:
    // Below this size one thread does it all: starting a second one would
    // cost more than it saves.
    static constexpr std::size_t splitMinimum = std::size_t{1} << 18;

    // The second half starts at `split`; input.size() packs in one run.
    SplitPacker(std::span<const std::uint8_t> input, std::size_t split);
    // Splits in the middle when the input is large enough.
    explicit SplitPacker(std::span<const std::uint8_t> input);

    // Counts both halves and adds them to `table` in input order.
    void count(SymbolTable &table);

    // The exact container size for the codes derived in `symbols`.
    std::uint64_t containerSize(const std::vector<Symbol> &symbols) const;

    // Writes the whole container, containerSize() bytes, to `out`. False
    // when a byte has no code.
    bool write(const std::vector<Symbol> &symbols, std::uint8_t *out) const;

private:
    std::span<const std::uint8_t> first_;
    std::span<const std::uint8_t> second_;
    ByteCounts firstCounts_{};
    ByteCounts secondCounts_{};
};

} // namespace azpack

#endif
