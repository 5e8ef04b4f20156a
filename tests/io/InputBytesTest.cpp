// Whole inputs: gzip recognised by content, concatenated members, and text checks.
#include "IoTestSupport.h"

#include "io/InputBytes.h"
#include "io/ReadError.h"

#include <gtest/gtest.h>

namespace {

using namespace IoTest;

TEST(InputBytes, GzipIsRecognisedByItsMagicWhateverTheName) {
    const std::string text = ReadText(CorpusPath("1AJJ.pdb"));
    ScratchFile file("named-plain.pdb", Gzip(text));
    const auto input = HostIO::ReadInputBytes(file.Path());
    EXPECT_TRUE(input.compressed);
    EXPECT_EQ(input.text, text);

    const auto plain = HostIO::ReadInputBytes(CorpusPath("1AJJ.pdb"));
    EXPECT_FALSE(plain.compressed);
    EXPECT_EQ(plain.text, text);
}

TEST(InputBytes, ConcatenatedGzipMembersFormOneText) {
    const auto input = HostIO::InflateIfCompressed(Gzip("HEADER 1\n") + Gzip("ATOM 2\n"), "two.gz");
    EXPECT_EQ(input.text, "HEADER 1\nATOM 2\n");
}

TEST(InputBytes, TextCheckAcceptsStrayControlCharacters) {
    std::string text = ReadText(CorpusPath("1AJJ.pdb"));
    text[100] = '\x1a';
    EXPECT_NO_THROW(HostIO::CheckStructureText(text, "x.pdb"));
    std::string binary(2000, '\x02');
    try {
        HostIO::CheckStructureText(binary, "x.bin");
        FAIL() << "binary data passed";
    } catch (const HostIO::ReadError& e) {
        EXPECT_STREQ(e.what(), "x.bin: binary data, not a structure file (byte 0x02 at offset 0)");
    }
}

TEST(ReadError, MessageLeadsWithItsLocation) {
    EXPECT_STREQ(HostIO::ReadError("a.pdb", 12, "bad").what(), "a.pdb:12: bad");
    EXPECT_STREQ(HostIO::ReadError("a.cif", 7, 3, "bad").what(), "a.cif:7:3: bad");
    EXPECT_STREQ(HostIO::ReadError("a.pdb", "bad").what(), "a.pdb: bad");
    EXPECT_STREQ(HostIO::ReadError("a.pdb", 0, 5, "bad").what(), "a.pdb: bad");
}

}  // namespace
