// The whole text of a structure input: a file or standard input, plain or gzip-compressed.
#pragma once

#include "HostApi.h"

#include <string>

namespace HostIO {

struct InputBytes {
    std::string text;         // uncompressed bytes, exactly as stored
    bool compressed = false;  // the input was gzip data
};

/// Name under which standard input appears in messages and labels.
HOST_API extern const char* const kStandardInputName;

/// Reads the file at path, or standard input for "-", and inflates gzip data, which is recognised
/// by its magic bytes whatever the name. Throws ReadError (naming path) when the file cannot be
/// opened or read, or the gzip data is corrupt or truncated.
HOST_API InputBytes ReadInputBytes(const std::string& path);

/// Inflates bytes when they start with the gzip magic; displayName is for messages. Throws ReadError.
HOST_API InputBytes InflateIfCompressed(std::string bytes, const std::string& displayName);

/// Throws ReadError unless text can be a structure file: not empty or blank, and not binary
/// (a NUL byte, or many control characters, in its first 64 KiB).
HOST_API void CheckStructureText(const std::string& text, const std::string& displayName);

}  // namespace HostIO
