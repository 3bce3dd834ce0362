#include "codec/decoder.h"

#include "codec/bytes.h"

namespace azpack {

namespace {

// Table entry: kind in bits 31..30, length in bits 29..24, then the byte
// value (leaf) or the node to continue from (deeper).
constexpr std::uint32_t kindLeaf = 0u;
constexpr std::uint32_t kindDeeper = 1u;
constexpr std::uint32_t kindBroken = 2u;

constexpr std::uint32_t makeEntry(std::uint32_t kind, unsigned length, std::uint32_t payload)
{
    return (kind << 30) | (static_cast<std::uint32_t>(length) << 24) | payload;
}
constexpr std::uint32_t entryKind(std::uint32_t e) { return e >> 30; }
constexpr unsigned entryLength(std::uint32_t e) { return (e >> 24) & 0x3fu; }
constexpr std::uint32_t entryPayload(std::uint32_t e) { return e & 0xffffffu; }

} // namespace

Decoder::Decoder(const DecodeTree &tree, std::span<const std::uint8_t> data)
    : nodes_(tree.nodes())
    , data_(data.data())
    , words_(data.size() / 4)
{
    buildTable();
}

void Decoder::buildTable()
{
    table_.resize(std::size_t{1} << tableBits);
    for (std::uint32_t prefix = 0; prefix < table_.size(); ++prefix) {
        std::int32_t node = 0;
        unsigned used = 0;
        std::uint32_t entry = 0;
        bool done = false;
        while (!done) {
            const DecodeTree::Node &n = nodes_[static_cast<std::size_t>(node)];
            if (n.left < 0) {
                // A leaf; the root itself would restore bytes from no bits.
                entry = used == 0 ? makeEntry(kindBroken, 0, 0) : makeEntry(kindLeaf, used, n.value);
                done = true;
            } else if (used == tableBits) {
                entry = makeEntry(kindDeeper, used, static_cast<std::uint32_t>(node));
                done = true;
            } else {
                const bool left = (prefix >> (tableBits - 1 - used)) & 1u;
                node = left ? n.left : n.right;
                ++used;
                if (node < 0) {
                    entry = makeEntry(kindBroken, used, 0);
                    done = true;
                }
            }
        }
        table_[prefix] = entry;
    }
}

void Decoder::refill()
{
    // Bit 0 of every word repeats the next word's first bit or is 0: skip it.
    while (count_ <= 33 && next_ < words_) {
        const std::uint64_t w = getLe32(data_ + 4 * next_) >> 1;
        bits_ |= w << (33 - count_);
        count_ += 31;
        ++next_;
    }
}

bool Decoder::decodeSlow(std::uint32_t entry, std::uint8_t &value)
{
    if (entryKind(entry) != kindDeeper || count_ < tableBits)
        return false;
    bits_ <<= tableBits;
    count_ -= tableBits;
    std::int32_t node = static_cast<std::int32_t>(entryPayload(entry));
    while (nodes_[static_cast<std::size_t>(node)].left >= 0) {
        if (count_ == 0) {
            refill();
            if (count_ == 0)
                return false;
        }
        const bool left = (bits_ >> 63) != 0;
        bits_ <<= 1;
        --count_;
        const DecodeTree::Node &n = nodes_[static_cast<std::size_t>(node)];
        node = left ? n.left : n.right;
        if (node < 0)
            return false;
    }
    value = nodes_[static_cast<std::size_t>(node)].value;
    return true;
}

std::size_t Decoder::decode(std::uint8_t *out, std::size_t n)
{
    std::size_t done = 0;
    while (done < n && !failed_) {
        if (count_ < 32)
            refill();
        const std::uint32_t entry = table_[bits_ >> (64 - tableBits)];
        const unsigned length = entryLength(entry);
        if (entryKind(entry) == kindLeaf && length <= count_) {
            out[done++] = static_cast<std::uint8_t>(entryPayload(entry));
            bits_ <<= length;
            count_ -= length;
            continue;
        }
        std::uint8_t value = 0;
        if (!decodeSlow(entry, value)) {
            failed_ = true;
            break;
        }
        out[done++] = value;
    }
    return done;
}

} // namespace azpack
