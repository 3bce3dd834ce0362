#include "cellscan.h"

#include <bit>
#include <cstring>

namespace {

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHigh = 0x8080808080808080ULL;

unsigned char foldAscii(unsigned char c)
{
    return static_cast<unsigned char>(static_cast<unsigned>(c - 'a') < 26u ? c - 0x20 : c);
}

// Up to eight bytes from at, zeros past end.
std::uint64_t wordAt(const unsigned char *at, std::size_t left)
{
    std::uint64_t word = 0;
    std::memcpy(&word, at, left < 8 ? left : 8);
    return word;
}

} // namespace

TNeedle::TNeedle(std::string bytes, const TCaseFolder &folder)
    : bytes_(std::move(bytes)), folder_(&folder)
{
    reach_ = Reach::AsciiAndLatin;
    for (std::size_t i = 0; i < bytes_.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes_[i]);
        if (c < 0x80)
            continue;
        // Two-byte units from U+0250 on start with 0xC9 and beyond 0x90.
        const bool small = c < 0xC9 || (c == 0xC9 && i + 1 < bytes_.size()
                                         && static_cast<unsigned char>(bytes_[i + 1]) < 0x90);
        if (c >= 0xE0 || !small) {
            reach_ = Reach::Neither;
            break;
        }
        reach_ = Reach::LatinOnly;
        ++i;
    }
    const auto first = static_cast<unsigned char>(bytes_.empty() ? 0 : bytes_.front());
    firstAscii_ = first < 0x80;
    const bool letter = first >= 'A' && first <= 'Z';
    mask_ = letter ? kOnes * 0x20 : 0;
    pattern_ = kOnes * (letter ? first | 0x20u : first);
}

template <bool latin>
bool TNeedle::startsAt(const unsigned char *at, const unsigned char *end) const
{
    const auto *n = reinterpret_cast<const unsigned char *>(bytes_.data());
    const unsigned char *const nEnd = n + bytes_.size();
    while (n < nEnd) {
        if (at == end)
            return false;
        const unsigned char c = *at;
        if (!latin || c < 0x80) {
            if (foldAscii(c) != *n)
                return false;
            ++at;
            ++n;
            continue;
        }
        // A Latin text's non-ASCII characters take two bytes, upper-cased too.
        if (at + 1 == end || n + 1 == nEnd)
            return false;
        const char16_t upper = folder_->upperLatin(static_cast<char16_t>(((c & 0x1F) << 6) | (at[1] & 0x3F)));
        if (n[0] != (0xC0 | (upper >> 6)) || n[1] != (0x80 | (upper & 0x3F)))
            return false;
        at += 2;
        n += 2;
    }
    return true;
}

template <bool latin>
bool TNeedle::foundIn(const char *bytes, std::size_t size) const
{
    // Upper-casing keeps the length of these texts, so a match covers as
    // many bytes of the cell as the needle has.
    if (size < bytes_.size())
        return false;
    const auto *const text = reinterpret_cast<const unsigned char *>(bytes);
    const unsigned char *const end = text + size;
    const std::size_t last = size - bytes_.size();
    for (std::size_t i = 0; i <= last; i += 8) {
        const std::uint64_t word = wordAt(text + i, size - i);
        std::uint64_t starts;
        if (firstAscii_) {
            // A zero byte marks the first byte; bytes above a true zero may
            // be marked falsely, which the check below turns down.
            const std::uint64_t x = (word | mask_) ^ pattern_;
            starts = (x - kOnes) & ~x & kHigh;
        } else {
            // Leading bytes of two-byte characters: 0b11xxxxxx.
            starts = word & (word << 1) & kHigh;
        }
        while (starts) {
            const std::size_t at = i + static_cast<std::size_t>(std::countr_zero(starts)) / 8;
            if (at > last)
                break;
            if (startsAt<latin>(text + at, end))
                return true;
            starts &= starts - 1;
        }
    }
    return false;
}

void TNeedle::scanCells(const TSongColumn &column, const std::uint8_t *forms, const TSearchRow *from,
                        const TSearchRow *to, std::vector<TSearchRow> &found,
                        std::vector<TSearchRow> &other) const
{
    static_assert(std::endian::native == std::endian::little, "the byte marks are read from the low end");
    constexpr auto kAscii = static_cast<std::uint8_t>(TextForm::Ascii);
    constexpr auto kLatin = static_cast<std::uint8_t>(TextForm::Latin);
    for (; from < to; ++from) {
        const TSearchRow row = *from;
        const std::uint8_t form = forms[row];
        if (form == kAscii) {
            if (reach_ == Reach::AsciiAndLatin) {
                const TTextArena::Cell cell = column.rawCell(row);
                if (foundIn<false>(cell.bytes, cell.size))
                    found.push_back(row);
            }
        } else if (form == kLatin) {
            if (reach_ != Reach::Neither) {
                const TTextArena::Cell cell = column.rawCell(row);
                // Against an ASCII needle the two-byte characters, all of
                // whose bytes are 0x80 and above, upper-cased or not, never
                // match: folding ASCII is enough.
                if (reach_ == Reach::LatinOnly ? foundIn<true>(cell.bytes, cell.size)
                                               : foundIn<false>(cell.bytes, cell.size))
                    found.push_back(row);
            }
        } else {
            other.push_back(row);
        }
    }
}
