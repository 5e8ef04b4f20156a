// Conversions between the host's narrow (UTF-8) and wide texts, and caseless comparison.
#pragma once

#include "HostApi.h"

#include <string>

namespace Common {

/// Wide text to UTF-8. Unpaired surrogates and values beyond U+10FFFF become U+FFFD.
HOST_API std::string ToSString(const std::wstring& text);

/// UTF-8 to wide text. Malformed byte sequences become U+FFFD, one per offending byte.
HOST_API std::wstring ToWString(const std::string& text);

/// Compares two texts ignoring ASCII letter case: <0, 0 or >0 like strcmp.
HOST_API int CompareNoCase(const std::string& left, const std::string& right);

}  // namespace Common
