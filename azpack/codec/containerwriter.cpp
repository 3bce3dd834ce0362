#include "codec/containerwriter.h"

#include "codec/bytes.h"

#include <algorithm>

namespace azpack {

void writeHeader(std::uint8_t *p, const std::vector<Symbol> &symbols, std::uint32_t total)
{
    *p++ = 0x41;
    *p++ = 0x5A;
    putLe32(p, total);
    p += 4;
    for (const Symbol &s : symbols) {
        *p++ = s.length;
        *p++ = s.value;
        putLe32(p, s.code);
        p += 4;
    }
    *p = 0;
}

void appendHeader(std::vector<std::uint8_t> &out, const std::vector<Symbol> &symbols, std::uint32_t total)
{
    const std::size_t start = out.size();
    out.resize(start + headerSize(symbols.size()));
    writeHeader(out.data() + start, symbols, total);
}

BitPacker::BitPacker(const std::vector<Symbol> &symbols)
{
    for (const Symbol &s : symbols) {
        code_[s.value] = s.code;
        length_[s.value] = s.length;
    }
}

bool BitPacker::pack(std::span<const std::uint8_t> input, std::vector<std::uint8_t> &out)
{
    // Words are gathered in a small block on the stack and appended once
    // each: growing `out` by its worst case per block would zero four times
    // the input for nothing.
    constexpr std::size_t block = 4096;
    std::array<std::uint8_t, 4 * (block + 1)> words;
    bool ok = true;
    for (std::size_t offset = 0; offset < input.size() && ok; offset += block) {
        const std::size_t n = std::min(block, input.size() - offset);
        // Each byte closes at most one word.
        std::uint8_t *const end = packTo(input.subspan(offset, n), words.data(), ok);
        out.insert(out.end(), words.data(), end);
    }
    return ok;
}

std::uint8_t *BitPacker::packTo(std::span<const std::uint8_t> input, std::uint8_t *w, bool &ok)
{
    std::uint32_t word = word_;
    unsigned fill = fill_;
    const std::uint8_t *in = input.data();
    const std::size_t n = input.size();
    std::size_t i = 0;
    ok = true;
    for (; i < n; ++i) {
        const unsigned length = length_[in[i]];
        if (length == 0) {
            ok = false;
            break;
        }
        const std::uint32_t code = code_[in[i]];
        word |= code >> fill;
        fill += length;
        if (fill >= 31) {
            // The code's bit that lands in bit 0 is repeated at bit 31 of
            // the next word; a code ending at bit 1 leaves bit 0 clear and
            // the next word empty (code << length is 0).
            putLe32(w, word);
            w += 4;
            fill -= 31;
            word = code << (length - fill);
        }
    }
    packed_ += i;
    word_ = word;
    fill_ = fill;
    return w;
}

std::uint64_t BitPacker::bitsFor(const ByteCounts &counts) const
{
    std::uint64_t bits = 0;
    for (std::size_t v = 0; v < counts.size(); ++v)
        bits += counts[v] * length_[v];
    return bits;
}

void BitPacker::finish(std::vector<std::uint8_t> &out)
{
    const std::size_t base = out.size();
    out.resize(base + 4);
    putLe32(out.data() + base, word_);
    word_ = 0;
    fill_ = 0;
}

} // namespace azpack
