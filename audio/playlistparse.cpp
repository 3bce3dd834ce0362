#include "playlistparse.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <utility>

namespace audio {

namespace {

constexpr std::string_view kHttpScheme = "http://";
constexpr std::string_view kHttpsScheme = "https://";
constexpr std::string_view kPlsSection = "[playlist]";
constexpr std::string_view kPlsFileKey = "file";
constexpr std::string_view kM3uHeader = "#EXTM3U";
// HLS lists carry these directives; FFmpeg plays them itself, so they are
// not treated as a plain list of station URLs.
constexpr std::string_view kHlsDirective = "#EXT-X-";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

char lower(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (lower(text[i]) != lower(prefix[i]))
            return false;
    }
    return true;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && startsWithNoCase(a, b);
}

std::string_view trim(std::string_view text)
{
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string_view stripBom(std::string_view text)
{
    if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom)
        text.remove_prefix(kUtf8Bom.size());
    return text;
}

// Calls f for each line (without its CR/LF), trimmed.
template <typename F>
void forEachLine(std::string_view text, F &&f)
{
    while (!text.empty()) {
        const std::size_t end = text.find_first_of("\r\n");
        const std::string_view line = text.substr(0, end);
        f(trim(line));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
}

// Audio data holds control bytes almost at once; a playlist never does.
bool looksLikeText(std::string_view head)
{
    return std::none_of(head.begin(), head.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 && c != '\r' && c != '\n' && c != '\t';
    });
}

std::string_view firstEntryLine(std::string_view text)
{
    std::string_view found;
    bool done = false;
    forEachLine(text, [&](std::string_view line) {
        if (done || line.empty() || line.front() == '#')
            return;
        found = line;
        done = true;
    });
    return found;
}

PlaylistKind kindFromContentType(std::string_view contentType)
{
    contentType = trim(contentType.substr(0, contentType.find(';')));
    static constexpr std::pair<std::string_view, PlaylistKind> kTypes[] = {
        {"audio/x-scpls", PlaylistKind::Pls},
        {"audio/scpls", PlaylistKind::Pls},
        {"application/pls+xml", PlaylistKind::Pls},
        {"application/pls", PlaylistKind::Pls},
        {"audio/x-mpegurl", PlaylistKind::M3u},
        {"audio/mpegurl", PlaylistKind::M3u},
        {"application/x-mpegurl", PlaylistKind::M3u},
        {"application/vnd.apple.mpegurl", PlaylistKind::M3u},
    };
    for (const auto &[type, kind] : kTypes) {
        if (equalsNoCase(contentType, type))
            return kind;
    }
    return PlaylistKind::None;
}

} // namespace

bool isHttpUrl(std::string_view url)
{
    return (startsWithNoCase(url, kHttpScheme) && url.size() > kHttpScheme.size())
        || (startsWithNoCase(url, kHttpsScheme) && url.size() > kHttpsScheme.size());
}

PlaylistKind detectPlaylist(std::string_view contentType, std::string_view head)
{
    head = stripBom(head);
    if (!looksLikeText(head))
        return PlaylistKind::None;
    if (head.find(kHlsDirective) != std::string_view::npos)
        return PlaylistKind::None;

    const std::string_view start = trim(head);
    if (startsWithNoCase(start, kPlsSection))
        return PlaylistKind::Pls;
    if (startsWithNoCase(start, kM3uHeader))
        return PlaylistKind::M3u;

    const PlaylistKind byType = kindFromContentType(contentType);
    if (byType != PlaylistKind::None)
        return byType;
    // A bare list of URLs served as text/plain or with no useful type.
    if (isHttpUrl(firstEntryLine(head)))
        return PlaylistKind::M3u;
    return PlaylistKind::None;
}

std::vector<std::string> parsePls(std::string_view text)
{
    std::vector<std::pair<long, std::string>> numbered;
    forEachLine(stripBom(text), [&](std::string_view line) {
        if (!startsWithNoCase(line, kPlsFileKey))
            return;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            return;
        const std::string_view digits = trim(line.substr(kPlsFileKey.size(), eq - kPlsFileKey.size()));
        long number = 0;
        const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
        if (ec != std::errc() || ptr != digits.data() + digits.size() || digits.empty())
            return;
        const std::string_view value = trim(line.substr(eq + 1));
        if (value.empty())
            return;
        const bool known = std::any_of(numbered.begin(), numbered.end(),
                                       [number](const auto &entry) { return entry.first == number; });
        if (!known)
            numbered.emplace_back(number, std::string(value));
    });
    std::stable_sort(numbered.begin(), numbered.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    std::vector<std::string> urls;
    urls.reserve(numbered.size());
    for (auto &entry : numbered)
        urls.push_back(std::move(entry.second));
    return urls;
}

std::vector<std::string> parseM3u(std::string_view text)
{
    std::vector<std::string> urls;
    forEachLine(stripBom(text), [&](std::string_view line) {
        if (line.empty() || line.front() == '#')
            return;
        urls.emplace_back(line);
    });
    return urls;
}

std::vector<std::string> parsePlaylist(PlaylistKind kind, std::string_view text)
{
    switch (kind) {
    case PlaylistKind::Pls:
        return parsePls(text);
    case PlaylistKind::M3u:
        return parseM3u(text);
    case PlaylistKind::None:
        break;
    }
    return {};
}

} // namespace audio
