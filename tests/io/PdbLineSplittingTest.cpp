// How the streaming PDB reader cuts its text into lines (gemmi's way, with a record of where each
// line began and what it wrote) and where it cuts the text in two for two readers.
#include "io/PdbHalfwaySplit.h"
#include "io/PdbLineSplitter.h"

#include <gemmi/input.hpp>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>

namespace {

using HostIO::FindPdbHalfwaySplit;
using HostIO::PdbLineSplitter;

// Random text rich in what changes gemmi's cutting: newlines, NUL bytes (unless left out: the
// splitter then takes another path), bytes above 127, lines longer than 120 bytes.
std::string QuirkyText(std::mt19937& random, bool withNul) {
    std::uniform_int_distribution<int> kind(0, 99), length(0, 300), letter('A', 'Z');
    std::string text;
    const int lines = length(random) / 10 + 1;
    for (int i = 0; i < lines; ++i) {
        const int size = kind(random) < 70 ? length(random) % 90 : length(random);
        for (int j = 0; j < size; ++j) {
            const int k = kind(random);
            text += k < 2 && withNul ? '\0' : k < 4 ? static_cast<char>(0xC3) : static_cast<char>(letter(random));
        }
        if (kind(random) < 95) text += '\n';
    }
    return text;
}

TEST(PdbLineSplitter, CutsAndCopiesLinesAsGemmi) {
    std::mt19937 random(20261209);
    for (int round = 0; round < 3000; ++round) {
        const std::string text = QuirkyText(random, round % 2 == 0);
        gemmi::MemoryStream stream(text.data(), text.size());
        PdbLineSplitter lines(text.data(), text.data() + text.size());
        char theirs[PdbLineSplitter::kBufferBytes] = {}, ours[PdbLineSplitter::kBufferBytes] = {};
        const char* lastEnd = text.data();
        for (int line = 1;; ++line) {
            const std::size_t expected = gemmi::copy_line_from_stream(theirs, PdbLineSplitter::kLineBytes + 1, stream);
            const std::size_t length = lines.Next(ours);
            ASSERT_EQ(length, expected) << "round " << round << ", line " << line;
            if (length == 0 && expected == 0) break;
            ASSERT_EQ(std::string_view(ours, sizeof ours), std::string_view(theirs, sizeof theirs))
                << "round " << round << ", line " << line;
            // Each line starts at or after the end of the one before, and what it wrote came from there.
            ASSERT_GE(lines.LineStart(), lastEnd);
            ASSERT_LE(lines.Written(), PdbLineSplitter::kLineBytes);
            ASSERT_EQ(std::string_view(ours, lines.Written()), std::string_view(lines.LineStart(), lines.Written()));
            lastEnd = lines.LineStart() + lines.Written();
        }
    }
}

// The buffer a reader starting at the split finds equals the one a reader of the whole first
// half leaves, when the two lines before the split were its last and wrote the furthest.
TEST(PdbHalfwaySplit, StartsTheSecondHalfWithTheFirstHalfsBuffer) {
    const std::string atom = "ATOM      1  N   GLY B   1      11.104   6.134  -6.504  1.00  0.00           N  \n";
    const std::string text = atom + atom + "TER\n" + atom + atom + "TER     123      GLY B   1\n" + atom + "END\n";
    const auto split = FindPdbHalfwaySplit(text);
    ASSERT_TRUE(split.has_value());
    const std::size_t secondTer = text.find("TER     123");
    EXPECT_EQ(split->at, text.find('\n', secondTer) + 1);
    EXPECT_EQ(split->lastLines[1], text.data() + secondTer);
    EXPECT_EQ(split->lastLines[0], text.data() + secondTer - atom.size());
    EXPECT_EQ(split->covered, atom.size());

    PdbLineSplitter lines(text.data(), text.data() + split->at);
    char buffer[PdbLineSplitter::kBufferBytes] = {};
    while (lines.Next(buffer) != 0) {
    }
    EXPECT_EQ(std::string_view(split->line, sizeof split->line), std::string_view(buffer, sizeof buffer));
}

TEST(PdbHalfwaySplit, OnlyAfterATerRecordThatGemmiReadsWhole) {
    const std::string atom = "ATOM      1  N   GLY B   1      11.104   6.134  -6.504  1.00  0.00           N  \n";
    // No TER at or after the middle, or nothing after it: no split.
    EXPECT_FALSE(FindPdbHalfwaySplit(atom + "TER\n" + atom + atom + atom).has_value());
    EXPECT_FALSE(FindPdbHalfwaySplit(atom + atom + "TER\n").has_value());
    EXPECT_FALSE(FindPdbHalfwaySplit("").has_value());
    // A TER whose line before holds a NUL byte (gemmi would skip the TER), or a TER longer than
    // gemmi's lines, is passed over for the next.
    const std::string nul = std::string("REMARK \0 x\n", 11);
    const std::string longTer = "TER" + std::string(130, ' ') + "\n";
    for (const std::string& odd : {nul + "TER\n", atom + longTer}) {
        const std::string text = atom + atom + odd + atom + "TER\n" + atom;
        const auto split = FindPdbHalfwaySplit(text);
        ASSERT_TRUE(split.has_value());
        EXPECT_EQ(split->at, text.size() - atom.size());
    }
}

}  // namespace
