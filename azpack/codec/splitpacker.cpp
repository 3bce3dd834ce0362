#include "codec/splitpacker.h"

#include "codec/bytes.h"
#include "codec/containerwriter.h"
#include "codec/twothreads.h"

namespace azpack {

SplitPacker::SplitPacker(std::span<const std::uint8_t> input, std::size_t split)
    : first_(input.first(split))
    , second_(input.subspan(split))
{
}

SplitPacker::SplitPacker(std::span<const std::uint8_t> input)
    : SplitPacker(input, input.size() >= splitMinimum ? input.size() / 2 : input.size())
{
}

void SplitPacker::count(SymbolTable &table)
{
    const auto countFirst = [this] { firstCounts_ = SymbolTable::count(first_); };
    const auto countSecond = [this] { secondCounts_ = SymbolTable::count(second_); };
    if (second_.empty())
        countFirst();
    else
        runSideBySide(countFirst, countSecond);
    table.addCounted(first_, firstCounts_);
    table.addCounted(second_, secondCounts_);
}

std::uint64_t SplitPacker::containerSize(const std::vector<Symbol> &symbols) const
{
    const BitPacker packer(symbols);
    const std::uint64_t bits = packer.bitsFor(firstCounts_) + packer.bitsFor(secondCounts_);
    // A word per 31 bits, plus the one being filled at the end.
    return headerSize(symbols.size()) + 4 * (bits / 31 + 1);
}

bool SplitPacker::write(const std::vector<Symbol> &symbols, std::uint8_t *out) const
{
    writeHeader(out, symbols, static_cast<std::uint32_t>(first_.size() + second_.size()));
    std::uint8_t *const data = out + headerSize(symbols.size());
    BitPacker first(symbols);
    BitPacker second(symbols);
    const std::uint64_t firstBits = first.bitsFor(firstCounts_);
    std::uint8_t *const meeting = data + 4 * (firstBits / 31);
    second.startAt(static_cast<unsigned>(firstBits % 31));

    bool firstOk = true;
    bool secondOk = true;
    std::uint8_t *end = meeting;
    const auto packFirst = [&] { first.packTo(first_, data, firstOk); };
    const auto packSecond = [&] { end = second.packTo(second_, meeting, secondOk); };
    if (second_.empty())
        packFirst();
    else
        runSideBySide(packFirst, packSecond);
    if (!firstOk || !secondOk)
        return false;
    putLe32(end, second.pendingWord());
    // The first half's last bits are the top of the word the second half
    // began; the second half left them 0.
    putLe32(meeting, getLe32(meeting) | first.pendingWord());
    return true;
}

} // namespace azpack
