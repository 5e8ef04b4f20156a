// Where PDB text may be cut in two for two readers at once: right after a TER record near the
// middle, which ends any part, so that the second half starts with no part open. The second
// reader must start with gemmi's line buffer as the lines before the cut leave it; the split
// gives the buffer as the last two lines leave it, and the first reader checks at the cut that
// these two were its last lines and that no line before wrote further into the buffer.
#pragma once

#include "io/PdbLineSplitter.h"

#include <cstddef>
#include <optional>
#include <string_view>

namespace HostIO {

struct PdbHalfwaySplit {
    std::size_t at = 0;                             // the second half's first byte
    const char* lastLines[2] = {};                  // where the first half's last two lines begin
    char line[PdbLineSplitter::kBufferBytes] = {};  // the line buffer as those two lines leave it
    std::size_t covered = 0;                        // bytes of the buffer they wrote
};

/// The split after the first TER record at or after the middle of text that, like the line
/// before it, gemmi reads whole (at most 120 bytes with the newline, no NUL byte) and that has
/// text after it; none in a text without one.
std::optional<PdbHalfwaySplit> FindPdbHalfwaySplit(std::string_view text);

}  // namespace HostIO
