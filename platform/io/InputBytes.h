// The whole text of a structure input: a file or standard input, plain or gzip-compressed,
// read and decompressed as a stream under a size limit, so that a small file that expands to
// gigabytes is refused before it fills the memory.
#pragma once

#include "HostApi.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace HostIO {

struct InputBytes {
    std::string text;         // uncompressed bytes, exactly as stored
    bool compressed = false;  // the input was gzip data
};

/// Name under which standard input appears in messages and labels.
HOST_API extern const char* const kStandardInputName;

/// The limit on an input's bytes (after decompression) unless set otherwise: 512 MiB, about
/// six million atoms of PDB text and more than any entry of the PDB archive.
constexpr std::uint64_t kDefaultInputSizeLimit = std::uint64_t{512} << 20;

/// Sets the limit for every later read of this process; 0 removes it. hint, when not empty,
/// is added to the refusal in parentheses (how the user may raise the limit).
HOST_API void SetInputSizeLimit(std::uint64_t bytes, const std::string& hint = {});
HOST_API std::uint64_t GetInputSizeLimit();

/// Reads the file at path, or standard input for "-", and inflates gzip data, which is recognised
/// by its magic bytes whatever the name. Memory stays within the limit and a few buffers. Throws
/// ReadError (naming path) when the file cannot be opened or read, the gzip data is corrupt or
/// truncated, or the text would pass the limit: "<path>: expands past N bytes" for gzip data,
/// "<path>: larger than N bytes" for plain data.
HOST_API InputBytes ReadInputBytes(const std::string& path);

/// Inflates bytes when they start with the gzip magic; displayName is for messages. Throws
/// ReadError as ReadInputBytes does.
HOST_API InputBytes InflateIfCompressed(std::string bytes, const std::string& displayName);

/// Throws ReadError unless text can be a structure file: not empty or blank, and not binary
/// (a NUL byte, or many control characters, in its first 64 KiB).
HOST_API void CheckStructureText(std::string_view text, const std::string& displayName);

}  // namespace HostIO
