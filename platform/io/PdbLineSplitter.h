// The lines of PDB text as gemmi 0.5.7 cuts them: MemoryStream::gets and copy_line_from_stream,
// step for step, so that the quirks the reader must share with gemmi's stay the same: a line
// is cut at its first 120 bytes and the rest skipped up to a newline, a NUL byte or a byte
// above 127; a line holding a NUL byte has the line after it skipped; each line is copied over
// the one before, leaving that one's bytes beyond its end. It also tells where each line began
// and how many bytes of the buffer it wrote, which gemmi's stream does not.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace HostIO {

class PdbLineSplitter {
public:
    /// Whether gemmi copies line (its bytes with the newline) whole and skips nothing after it:
    /// at most kLineBytes with its newline, no NUL byte. Its next line starts right after it,
    /// whatever came before, so a text may be cut there.
    static bool IsPlainLine(std::string_view line) {
        return !line.empty() && line.size() <= kLineBytes && line.back() == '\n' &&
               line.find('\0') == std::string_view::npos;
    }

    /// gemmi's longest record: PdbReadOptions::max_line_length at most.
    static constexpr std::size_t kLineBytes = 120;
    /// A line buffer: the line's bytes, its NUL, and room as gemmi's.
    static constexpr std::size_t kBufferBytes = kLineBytes + 2;

    PdbLineSplitter(const char* begin, const char* end)
        : cur_(begin),
          end_(end),
          holdsNul_(std::memchr(begin, '\0', static_cast<std::size_t>(end - begin)) != nullptr) {}

    /// Copies the next line into line (kBufferBytes) and returns its length up to a NUL byte,
    /// as copy_line_from_stream does; 0 at the end of the text.
    std::size_t Next(char* line) {
        if (cur_ >= end_) return 0;
        lineStart_ = cur_;
        std::size_t size = kLineBytes;
        if (size > static_cast<std::size_t>(end_ - cur_)) size = static_cast<std::size_t>(end_ - cur_);
        const auto* newline = static_cast<const char*>(std::memchr(cur_, '\n', size));
        const std::size_t copied = newline != nullptr ? static_cast<std::size_t>(newline - cur_) + 1 : size;
        std::memcpy(line, cur_, copied);
        line[copied] = '\0';
        cur_ += copied;
        written_ = copied;
        // A text without NUL bytes, the usual one, spares the search for one in every line.
        const std::size_t length = holdsNul_ ? std::strlen(line) : copied;
        if (length > 0 && line[length - 1] != '\n') {
            // gemmi's getc returns the byte as a (signed) char: a byte above 127 stops the skip.
            for (int c = GetChar(); c > 0 && c != '\n'; c = GetChar()) {
            }
        }
        return length;
    }

    /// Whether the whole text has been cut into lines. Next also returns 0 for a line starting
    /// with a NUL byte, where gemmi's reader stops though text follows.
    bool AtEnd() const { return cur_ >= end_; }
    /// Where the last line began in the text.
    const char* LineStart() const { return lineStart_; }
    /// The bytes the last line copied into the buffer (its NUL comes after them).
    std::size_t Written() const { return written_; }

private:
    int GetChar() { return cur_ < end_ ? static_cast<int>(*cur_++) : EOF; }

    const char* cur_;
    const char* const end_;
    const bool holdsNul_;
    const char* lineStart_ = nullptr;
    std::size_t written_ = 0;
};

}  // namespace HostIO
