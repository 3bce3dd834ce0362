#pragma once

// Pure parsing of web-radio playlist texts (.pls and .m3u/.m3u8) into the
// list of entry URLs they name, in order.

#include <string>
#include <string_view>
#include <vector>

namespace audio {

enum class PlaylistKind { None, Pls, M3u };

// Decides from the Content-Type (may be empty) and the first bytes of the body
// whether the answer is a playlist rather than audio.
PlaylistKind detectPlaylist(std::string_view contentType, std::string_view head);

// Entries of a [playlist] text: File1=..., File2=... ordered by their number.
std::vector<std::string> parsePls(std::string_view text);

// Entries of an m3u text: every non-empty line that is not a comment/directive.
std::vector<std::string> parseM3u(std::string_view text);

std::vector<std::string> parsePlaylist(PlaylistKind kind, std::string_view text);

// True for http:// and https:// URLs (case-insensitive scheme).
bool isHttpUrl(std::string_view url);

} // namespace audio
