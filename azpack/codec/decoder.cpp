#include "codec/decoder.h"

#include "codec/bytes.h"

namespace azpack {

Decoder::Decoder(const DecodeTree &tree, std::span<const std::uint8_t> data)
    : nodes_(tree.nodes())
    , data_(data.data())
    , words_(data.size() / 4)
{
    buildTable();
}

unsigned Decoder::walk(std::uint32_t prefix, unsigned bits, std::uint8_t &value, std::int32_t &node) const
{
    node = 0;
    unsigned used = 0;
    for (;;) {
        const DecodeTree::Node &n = nodes_[static_cast<std::size_t>(node)];
        if (n.left < 0) {
            // A leaf. The root itself would restore bytes from no bits: that
            // stays a broken entry.
            value = n.value;
            if (used == 0)
                node = -1;
            return used;
        }
        if (used == bits)
            return 0;
        const bool left = (prefix >> (bits - 1 - used)) & 1u;
        node = left ? n.left : n.right;
        ++used;
        if (node < 0)
            return 0;
    }
}

void Decoder::buildTable()
{
    table_.assign(std::size_t{1} << tableBits, 0);
    deeper_.assign(table_.size(), -1);
    for (std::uint32_t prefix = 0; prefix < table_.size(); ++prefix) {
        std::uint8_t first = 0;
        std::int32_t node = 0;
        const unsigned length = walk(prefix, tableBits, first, node);
        if (length == 0) {
            deeper_[prefix] = node;
            continue;
        }
        std::uint32_t entry = first | (length << 16);
        if (length < tableBits) {
            std::uint8_t second = 0;
            std::int32_t unused = 0;
            const unsigned rest = tableBits - length;
            const unsigned length2 = walk(prefix & ((1u << rest) - 1), rest, second, unused);
            if (length2 != 0)
                entry |= (static_cast<std::uint32_t>(second) << 8) | ((length + length2) << 20) | (1u << 24);
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

bool Decoder::decodeSlow(std::uint32_t prefix, std::uint8_t &value)
{
    if (((table_[prefix] >> 16) & 0xfu) != 0) {
        // A leaf whose code runs past the end of the data.
        return false;
    }
    std::int32_t node = deeper_[prefix];
    if (node < 0 || count_ < tableBits)
        return false;
    bits_ <<= tableBits;
    count_ -= tableBits;
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

namespace {

// One table step: writes the entry's one or two bytes and returns the bits
// they took, or 0 (writing nothing) for a code longer than the table.
inline unsigned tableStep(std::uint32_t e, std::uint8_t *out, std::size_t &done)
{
    if (e >> 24) {
        out[done] = static_cast<std::uint8_t>(e);
        out[done + 1] = static_cast<std::uint8_t>(e >> 8);
        done += 2;
        return (e >> 20) & 0xfu;
    }
    const unsigned length = (e >> 16) & 0xfu;
    if (length != 0)
        out[done++] = static_cast<std::uint8_t>(e);
    return length;
}

} // namespace

std::size_t Decoder::decodeBulk(std::uint8_t *out, std::size_t n, std::size_t done)
{
    // The window gets one word whenever it holds 33 bits or fewer, so two
    // table steps of at most tableBits each always find their bits in it.
    static_assert(2 * tableBits <= 34);
    const std::uint32_t *const table = table_.data();
    std::uint64_t bits = bits_;
    unsigned count = count_;
    std::size_t next = next_;
    // Each table step gives at most two bytes.
    while (n - done >= 4 && next + 1 < words_) {
        for (int word = 0; word < 2 && count <= 33; ++word) {
            bits |= static_cast<std::uint64_t>(getLe32(data_ + 4 * next) >> 1) << (33 - count);
            count += 31;
            ++next;
        }
        bool stuck = false;
        for (int step = 0; step < 2; ++step) {
            const unsigned length = tableStep(table[bits >> (64 - tableBits)], out, done);
            if (length == 0) {
                // A long or broken code: the careful path takes it.
                stuck = true;
                break;
            }
            bits <<= length;
            count -= length;
        }
        if (stuck)
            break;
    }
    bits_ = bits;
    count_ = count;
    next_ = next;
    return done;
}

std::size_t Decoder::decode(std::uint8_t *out, std::size_t n)
{
    std::size_t done = 0;
    const std::uint32_t *table = table_.data();
    while (done < n && !failed_) {
        done = decodeBulk(out, n, done);
        refill();
        // While a whole prefix is in the window, short codes come straight
        // from the table, two at a time where both fit.
        std::uint64_t bits = bits_;
        unsigned count = count_;
        while (count >= tableBits && n - done >= 2) {
            const unsigned length = tableStep(table[bits >> (64 - tableBits)], out, done);
            if (length == 0)
                break;
            bits <<= length;
            count -= length;
        }
        bits_ = bits;
        count_ = count;
        if (done == n)
            break;
        if (n - done >= 2 && count_ < tableBits && next_ < words_)
            continue; // the window ran low: load more and go on quickly
        refill();
        // One code at a time: the last byte, near the end of the data, or a
        // long or broken code.
        const auto prefix = static_cast<std::uint32_t>(bits_ >> (64 - tableBits));
        const std::uint32_t e = table[prefix];
        const unsigned length = (e >> 16) & 0xfu;
        if (length != 0 && length <= count_) {
            out[done++] = static_cast<std::uint8_t>(e);
            bits_ <<= length;
            count_ -= length;
            continue;
        }
        std::uint8_t value = 0;
        if (!decodeSlow(prefix, value)) {
            failed_ = true;
            break;
        }
        out[done++] = value;
    }
    return done;
}

} // namespace azpack
