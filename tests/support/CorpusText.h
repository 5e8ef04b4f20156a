// Test support: the text of a corpus file, inflated when it is gzip-compressed.
#pragma once

#include <zlib.h>

#include <stdexcept>
#include <string>

namespace VoltraTest {

/// zlib's gz functions read plain files as they are, so one reader serves both kinds.
inline std::string ReadMaybeGzipped(const std::string& path) {
    gzFile file = gzopen(path.c_str(), "rb");
    if (!file) throw std::runtime_error("cannot open " + path);
    std::string text;
    char buffer[1 << 16];
    int n;
    while ((n = gzread(file, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
    gzclose(file);
    if (n < 0) throw std::runtime_error("cannot read " + path);
    return text;
}

}  // namespace VoltraTest
