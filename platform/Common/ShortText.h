// Copying the short texts of fixed-column records (atom names, residue columns) into a record
// put together in memory: a call of memcpy per field cost more than the copy.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

namespace Common {

/// size bytes of text at out; returns the end. Up to 16 bytes are two overlapping copies of a
/// constant size, made in registers.
inline char* WriteShortText(char* out, const char* text, std::size_t size) {
    if (size >= 8) {
        if (size > 16) {
            std::memcpy(out, text, size);
        } else {
            std::memcpy(out, text, 8);
            std::memcpy(out + size - 8, text + size - 8, 8);
        }
    } else if (size >= 4) {
        std::memcpy(out, text, 4);
        std::memcpy(out + size - 4, text + size - 4, 4);
    } else if (size > 0) {
        // 1 to 3 bytes: the first, the middle and the last cover them all.
        out[0] = text[0];
        out[size / 2] = text[size / 2];
        out[size - 1] = text[size - 1];
    }
    return out + size;
}

inline char* WriteShortText(char* out, const std::string& text) { return WriteShortText(out, text.data(), text.size()); }

}  // namespace Common
