#include "casefolder.h"

#include <cstdint>
#include <cstring>

namespace {

void appendUnit(char16_t c, std::string &out)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

} // namespace

TCaseFolder::TCaseFolder(const QLocale &locale)
    : locale_(locale)
{
    for (char16_t c = 0; c < kTableEnd; ++c) {
        const QString upper = locale_.toUpper(QString(QChar(c)));
        const bool alone = upper.size() == 1 && upper.at(0).unicode() < kTableEnd;
        table_[c] = alone ? upper.at(0).unicode() : kNotAlone;
    }
    plainAscii_ = true;
    for (char16_t c = 0; c < 0x80; ++c) {
        const char16_t plain = c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 0x20) : c;
        plainAscii_ = plainAscii_ && table_[c] == plain;
    }
}

QString TCaseFolder::upper(const QString &text) const
{
    QString result(text.size(), Qt::Uninitialized);
    QChar *to = result.data();
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        if (unit >= kTableEnd || table_[unit] == kNotAlone)
            return locale_.toUpper(text);
        *to++ = QChar(table_[unit]);
    }
    return result;
}

void TCaseFolder::appendUpper(const QString &text, std::string &out) const
{
    // Table characters take at most two bytes each.
    const std::size_t start = out.size();
    out.resize(start + 2 * static_cast<std::size_t>(text.size()));
    char *to = out.data() + start;
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        const char16_t upper = unit < kTableEnd ? table_[unit] : kNotAlone;
        if (upper == kNotAlone) {
            out.resize(start);
            appendSearchBytes(locale_.toUpper(text), out);
            return;
        }
        if (upper < 0x80) {
            *to++ = static_cast<char>(upper);
        } else {
            *to++ = static_cast<char>(0xC0 | (upper >> 6));
            *to++ = static_cast<char>(0x80 | (upper & 0x3F));
        }
    }
    out.resize(static_cast<std::size_t>(to - out.data()));
}

namespace {

// Upper-cases the leading ASCII of [from, from + size) into to, eight bytes
// at a time where it can, the way a locale that maps a to z alone onto A to
// Z does; returns how many bytes it took.
std::size_t upperAsciiPrefix(const char *from, std::size_t size, char *to)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, from + i, 8);
        if (word & kHigh)
            break;
        // High bit of each byte: at least 'a', and above 'z'.
        const std::uint64_t fromA = word + kOnes * (0x80 - 'a');
        const std::uint64_t pastZ = word + kOnes * (0x80 - 'z' - 1);
        word ^= ((fromA & ~pastZ) & kHigh) >> 2;
        std::memcpy(to + i, &word, 8);
    }
    for (; i < size; ++i) {
        const auto c = static_cast<unsigned char>(from[i]);
        if (c >= 0x80)
            break;
        to[i] = static_cast<char>(c >= 'a' && c <= 'z' ? c - 0x20 : c);
    }
    return i;
}

} // namespace

void TCaseFolder::appendUpperUtf8(QByteArrayView utf8, std::string &out) const
{
    // Table characters are one or two bytes long and stay so upper-cased.
    // Where ASCII stays ASCII no character grows, so the text is copied
    // once and upper-cased in place, the writing never ahead of the reading.
    const std::size_t start = out.size();
    const auto size = static_cast<std::size_t>(utf8.size());
    const char *from = utf8.data();
    if (plainAscii_) {
        out.append(from, size);
        from = out.data() + start;
    } else {
        out.resize(start + 2 * size);
    }
    char *to = out.data() + start;
    const char *const end = from + size;
    while (from < end) {
        if (plainAscii_) {
            const std::size_t ascii = upperAsciiPrefix(from, static_cast<std::size_t>(end - from), to);
            from += ascii;
            to += ascii;
            if (from == end)
                break;
        }
        char16_t unit = static_cast<unsigned char>(*from);
        if (unit >= 0x80) {
            if (unit < 0xC0 || unit >= 0xE0 || from + 1 == end) {
                unit = kTableEnd;
            } else {
                unit = static_cast<char16_t>(((unit & 0x1F) << 6) | (from[1] & 0x3F));
                ++from;
            }
        }
        ++from;
        const char16_t upper = unit < kTableEnd ? table_[unit] : kNotAlone;
        if (upper == kNotAlone) {
            out.resize(start);
            appendSearchBytes(locale_.toUpper(QString::fromUtf8(utf8)), out);
            return;
        }
        if (upper < 0x80) {
            *to++ = static_cast<char>(upper);
        } else {
            *to++ = static_cast<char>(0xC0 | (upper >> 6));
            *to++ = static_cast<char>(0x80 | (upper & 0x3F));
        }
    }
    out.resize(static_cast<std::size_t>(to - out.data()));
}

TextForm TCaseFolder::formOf(const char *utf8, std::size_t size) const
{
    if (!plainAscii_)
        return TextForm::Other;
    constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
    const auto *bytes = reinterpret_cast<const unsigned char *>(utf8);
    bool latin = false;
    std::size_t i = 0;
    while (i < size) {
        for (std::uint64_t word; i + 8 <= size; i += 8) {
            std::memcpy(&word, bytes + i, 8);
            if (word & kHigh)
                break;
        }
        while (i < size && bytes[i] < 0x80)
            ++i;
        if (i == size)
            break;
        const unsigned lead = bytes[i];
        if (lead < 0xC2 || lead >= 0xE0 || i + 1 == size || (bytes[i + 1] & 0xC0) != 0x80)
            return TextForm::Other;
        const auto c = static_cast<char16_t>(((lead & 0x1F) << 6) | (bytes[i + 1] & 0x3F));
        const char16_t upper = upperLatin(c);
        // Upper cases beyond the table or down to ASCII change the length
        // or meet an ASCII needle.
        if (upper == kNotAlone || upper < 0x80)
            return TextForm::Other;
        latin = true;
        i += 2;
    }
    return latin ? TextForm::Latin : TextForm::Ascii;
}

void appendSearchBytes(QStringView text, std::string &out)
{
    for (const QChar c : text)
        appendUnit(c.unicode(), out);
}
