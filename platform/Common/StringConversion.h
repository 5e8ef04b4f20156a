// Conversions between the host's narrow (UTF-8) and wide texts.
#pragma once

#include "HostApi.h"

#include <string>

namespace Common {

/// Wide text to UTF-8. U+DC80..U+DCFF give back the bytes 0x80..0xFF that ToWString escaped
/// there; other unpaired surrogates and values beyond U+10FFFF become U+FFFD.
HOST_API std::string ToSString(const std::wstring& text);

/// UTF-8 to wide text. Each byte that is not part of a valid sequence becomes U+DC00 + byte, so
/// ToSString(ToWString(bytes)) == bytes for every byte sequence (file names are bytes).
HOST_API std::wstring ToWString(const std::string& text);

}  // namespace Common
