#include "progresslog.h"

#include <charconv>

namespace azpack {

ProgressLog::ProgressLog(std::FILE *out)
    : out_(out)
{
}

void ProgressLog::text(std::string_view part)
{
    if (out_ && !part.empty())
        std::fwrite(part.data(), 1, part.size(), out_);
}

void ProgressLog::number(std::uint64_t value)
{
    // Plain decimal digits, whatever the locale.
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    text(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
}

void ProgressLog::endLine(std::string_view last)
{
    text(last);
    if (out_) {
        std::fputc('\n', out_);
        std::fflush(out_);
    }
}

} // namespace azpack
