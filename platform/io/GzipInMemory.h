// Inflates gzip data that is whole in memory with libdeflate, which is two to three times as
// fast as zlib's streaming inflate on structure files, into a text of the final size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace HostIO {

enum class GzipInflation {
    Inflated,  // text holds the data of every member
    TooLarge,  // the text would pass the limit
    Refused,   // libdeflate found the data damaged: the caller's own inflater says how
};

/// Inflates the gzip members of data, one after another, into text; bytes after a member that
/// do not start another one are ignored. limit caps the text's size (0: no cap); memory stays
/// within it and the data.
GzipInflation InflateGzipInMemory(const char* data, std::size_t size, std::uint64_t limit, std::string& text);

}  // namespace HostIO
