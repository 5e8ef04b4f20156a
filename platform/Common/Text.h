// Text helpers of the host: ASCII case folding and white-space fields. Structure files, template
// files and user options are ASCII where case matters, so folding touches A-Z and a-z only,
// whatever the locale; other bytes (UTF-8 included) compare as they are.
#pragma once

#include "HostApi.h"

#include <string>
#include <string_view>
#include <vector>

namespace Common {

constexpr char ToLowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char ToUpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
constexpr bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

/// text with A-Z folded to a-z: the key under which CompareNoCase's equal texts are equal.
HOST_API std::string ToLowerAscii(std::string_view text);
/// text with a-z raised to A-Z.
HOST_API std::string ToUpperAscii(std::string_view text);

/// Compares two texts ignoring ASCII letter case: <0, 0 or >0 like strcasecmp in the C locale.
HOST_API int CompareNoCase(std::string_view left, std::string_view right);
HOST_API bool EqualsNoCase(std::string_view left, std::string_view right);
HOST_API bool StartsWithNoCase(std::string_view text, std::string_view prefix);
HOST_API bool EndsWithNoCase(std::string_view text, std::string_view suffix);

/// The white-space separated fields of text (blank, tab, CR, LF, FF, VT), as views into it.
HOST_API std::vector<std::string_view> SplitFields(std::string_view text);

}  // namespace Common
