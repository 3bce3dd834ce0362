#include "codec/symboltable.h"

namespace azpack {

ByteCounts SymbolTable::count(std::span<const std::uint8_t> bytes)
{
    // Four histograms break the store-to-load chain on runs of equal bytes.
    std::array<std::array<std::uint32_t, 256>, 4> hist{};
    const std::size_t n = bytes.size();
    const std::uint8_t *p = bytes.data();
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        ++hist[0][p[i]];
        ++hist[1][p[i + 1]];
        ++hist[2][p[i + 2]];
        ++hist[3][p[i + 3]];
    }
    for (; i < n; ++i)
        ++hist[0][p[i]];

    ByteCounts counts{};
    for (std::size_t v = 0; v < counts.size(); ++v)
        counts[v] = std::uint64_t{hist[0][v]} + hist[1][v] + hist[2][v] + hist[3][v];
    return counts;
}

void SymbolTable::addCounted(std::span<const std::uint8_t> bytes, const ByteCounts &counts)
{
    int fresh = 0;
    for (std::size_t v = 0; v < counts.size(); ++v) {
        if (counts[v] != 0 && index_[v] < 0)
            ++fresh;
    }
    const std::size_t n = bytes.size();
    const std::uint8_t *p = bytes.data();

    // Values new in this chunk enter the table in the order they first occur;
    // the scan stops as soon as the last of them was seen.
    for (std::size_t j = 0; fresh > 0 && j < n; ++j) {
        const std::uint8_t v = p[j];
        if (index_[v] < 0) {
            index_[v] = static_cast<std::int16_t>(symbols_.size());
            Symbol s;
            s.value = v;
            symbols_.push_back(s);
            --fresh;
        }
    }
    for (std::size_t v = 0; v < counts.size(); ++v) {
        if (counts[v] != 0)
            symbols_[static_cast<std::size_t>(index_[v])].count += static_cast<std::int64_t>(counts[v]);
    }
    total_ += n;
}

} // namespace azpack
