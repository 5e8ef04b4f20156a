#include "io/PdbHalfwaySplit.h"

#include <algorithm>
#include <cstring>

namespace HostIO {

std::optional<PdbHalfwaySplit> FindPdbHalfwaySplit(std::string_view text) {
    for (std::size_t from = text.size() / 2;;) {
        const std::size_t newline = text.find("\nTER", from);
        if (newline == std::string_view::npos) return std::nullopt;
        from = newline + 1;
        const std::size_t terEnd = text.find('\n', from);
        if (terEnd == std::string_view::npos || terEnd + 1 >= text.size()) return std::nullopt;
        // rfind's npos + 1 is 0: the line before is the text's first.
        const std::size_t previousStart = newline == 0 ? 0 : text.rfind('\n', newline - 1) + 1;
        const std::string_view previous = text.substr(previousStart, from - previousStart);
        const std::string_view ter = text.substr(from, terEnd + 1 - from);
        if (!PdbLineSplitter::IsPlainLine(previous) || !PdbLineSplitter::IsPlainLine(ter)) continue;
        // A TER record as gemmi tells one (is_record_type3): the fourth byte a blank, a tab or
        // the line's end; "TER0" or "TERE" is another record, which ends no part.
        if (ter.size() < 4 || ((static_cast<unsigned char>(ter[3]) & ~0x20u) & ~0xfu) != 0) continue;
        PdbHalfwaySplit split;
        split.at = terEnd + 1;
        split.lastLines[0] = previous.data();
        split.lastLines[1] = ter.data();
        for (const std::string_view line : {previous, ter}) {
            std::memcpy(split.line, line.data(), line.size());
            split.line[line.size()] = '\0';
        }
        split.covered = std::max(previous.size(), ter.size());
        return split;
    }
}

}  // namespace HostIO
