// Byte statistics of an input: one entry per distinct byte value, in the order
// of first appearance. The position of an entry is its symbol index.
#ifndef AZPACK_CODEC_SYMBOLTABLE_H
#define AZPACK_CODEC_SYMBOLTABLE_H

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace azpack {

struct Symbol {
    std::uint8_t value = 0;
    std::int64_t count = 0;
    std::uint8_t length = 0;  // code length in bits, 1..31 once derived
    std::uint32_t code = 0;   // code bits left-aligned: first bit is bit 31
};

// How often each byte value occurs in a piece of input.
using ByteCounts = std::array<std::uint64_t, 256>;

class SymbolTable {
public:
    // The container's 32-bit total must stay below 2^31.
    static constexpr std::uint64_t maxTotal = 0x7fffffffu;

    // Counts one more piece of the input; may be called once per chunk.
    void add(std::span<const std::uint8_t> bytes) { addCounted(bytes, count(bytes)); }

    // The counts of a piece alone; they touch no table, so the pieces of
    // one input can be counted on several threads at once.
    static ByteCounts count(std::span<const std::uint8_t> bytes);

    // Adds a piece whose counts are already known, as add() would. Pieces
    // must come in input order: the order of first appearance is the
    // symbol order, and with it the container's table.
    void addCounted(std::span<const std::uint8_t> bytes, const ByteCounts &counts);

    std::uint64_t total() const { return total_; }
    bool tooLarge() const { return total_ > maxTotal; }
    const std::vector<Symbol> &symbols() const { return symbols_; }
    std::vector<Symbol> &symbols() { return symbols_; }

private:
    std::vector<Symbol> symbols_;
    std::array<std::int16_t, 256> index_ = filledIndex();
    std::uint64_t total_ = 0;

    static constexpr std::array<std::int16_t, 256> filledIndex()
    {
        std::array<std::int16_t, 256> a{};
        a.fill(-1);
        return a;
    }
};

} // namespace azpack

#endif
