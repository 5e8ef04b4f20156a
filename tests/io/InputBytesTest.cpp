// Whole inputs: gzip recognised by content, concatenated members, streamed decompression under
// the size limit, and text checks.
#include "IoTestSupport.h"

#include "io/InputBytes.h"
#include "io/ReadError.h"

#include <gtest/gtest.h>

#include <cstdint>

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

// Sets the process-wide limit for one test and puts the default back.
class LimitOf {
public:
    explicit LimitOf(std::uint64_t bytes, const std::string& hint = {}) { HostIO::SetInputSizeLimit(bytes, hint); }
    ~LimitOf() { HostIO::SetInputSizeLimit(HostIO::kDefaultInputSizeLimit); }
};

std::string ReadFailure(const std::string& path) {
    try {
        HostIO::ReadInputBytes(path);
    } catch (const HostIO::ReadError& e) {
        return e.what();
    }
    return {};
}

TEST(InputLimit, RefusesPastTheLimitAndReadsUpToIt) {
    const std::string text = ReadText(CorpusPath("1AJJ.pdb"));  // 58,968 bytes
    ScratchFile gz("limit.pdb.gz", Gzip(text));
    ScratchFile plain("limit.pdb", text);
    {
        LimitOf limit(text.size());
        EXPECT_EQ(HostIO::ReadInputBytes(gz.Path()).text, text);
        EXPECT_EQ(HostIO::ReadInputBytes(plain.Path()).text, text);
    }
    {
        LimitOf limit(text.size() - 1, "raise it so");
        EXPECT_EQ(ReadFailure(gz.Path()), gz.Path() + ": expands past 58967 bytes (raise it so)");
        EXPECT_EQ(ReadFailure(plain.Path()), plain.Path() + ": larger than 58967 bytes (raise it so)");
        EXPECT_THROW(HostIO::InflateIfCompressed(Gzip(text), "x.gz"), HostIO::ReadError);
        EXPECT_THROW(HostIO::InflateIfCompressed(text, "x.pdb"), HostIO::ReadError);
    }
    {
        LimitOf none(0);
        EXPECT_EQ(HostIO::ReadInputBytes(gz.Path()).text, text);
    }
}

TEST(InputLimit, BombIsRefusedAfterTheLimitNotAtTheEnd) {
    // 1 GiB of zeros in about 1 MB: refused after 8 MiB of output, so this takes milliseconds
    // and little memory; decompressing it whole would take the gigabyte.
    std::string member = Gzip(std::string(std::size_t{64} << 20, '\0'));
    std::string bomb;
    for (int i = 0; i < 16; ++i) bomb += member;
    ScratchFile file("bomb.gz", bomb);
    LimitOf limit(std::uint64_t{8} << 20);
    EXPECT_EQ(ReadFailure(file.Path()), file.Path() + ": expands past 8388608 bytes");
}

TEST(InputBytes, LargeTextCrossesBlocksUnchanged) {
    // More than two of the reader's 64 MiB blocks, with a pattern that shows any misplaced byte.
    std::string text(std::size_t{130} << 20, ' ');
    for (std::size_t i = 0; i < text.size(); i += 4093) text[i] = static_cast<char>('A' + (i / 4093) % 26);
    ScratchFile gz("large.gz", Gzip(text));
    const auto input = HostIO::ReadInputBytes(gz.Path());
    EXPECT_TRUE(input.compressed);
    EXPECT_TRUE(input.text == text);
    ScratchFile plain("large.txt", text);
    EXPECT_TRUE(HostIO::ReadInputBytes(plain.Path()).text == text);
}

// Whole gzip files are inflated in memory, sized from the last member's trailer; these cases
// make that size wrong or the data end oddly.
TEST(GzipInMemory, MembersOfEverySizeAndTrailingBytesInflateAsGzipDoes) {
    const std::string large = ReadText(CorpusPath("1AJJ.pdb"));
    struct Case {
        const char* what;
        std::string packed;
        std::string text;
    };
    const Case cases[] = {
        // The trailer gives 7 bytes; the text is some hundred kilobytes.
        {"large member, then a small one", Gzip(large) + Gzip(large) + Gzip("END   \n"), large + large + "END   \n"},
        {"empty member between", Gzip("A\n") + Gzip("") + Gzip("B\n"), "A\nB\n"},
        {"bytes after the last member", Gzip(large) + std::string("\0\0junk", 6), large},
    };
    for (const Case& c : cases) {
        ScratchFile file("members.gz", c.packed);
        EXPECT_TRUE(HostIO::ReadInputBytes(file.Path()).text == c.text) << c.what;
        EXPECT_TRUE(HostIO::InflateIfCompressed(c.packed, "members.gz").text == c.text) << c.what;
    }
}

TEST(GzipInMemory, LimitHoldsWhenTheTrailerUnderstatesTheText) {
    // The last member's trailer says 2 bytes; the first member alone passes the limit.
    const std::string packed = Gzip(std::string(std::size_t{1} << 20, 'x')) + Gzip("y\n");
    LimitOf limit(std::uint64_t{1} << 19);
    ScratchFile file("understated.gz", packed);
    EXPECT_EQ(ReadFailure(file.Path()), file.Path() + ": expands past 524288 bytes");
}

TEST(InputBytes, DamagedGzipIsNamedAsSuch) {
    const std::string packed = Gzip(ReadText(CorpusPath("1AJJ.pdb")));
    struct Case {
        const char* what;
        std::string bytes;
        const char* message;
    };
    std::string corrupt = packed;
    corrupt[packed.size() / 2] ^= 0x55;
    corrupt[packed.size() / 2 + 1] ^= 0x55;
    const Case cases[] = {
        {"magic only", "\x1f\x8b", "x.gz: truncated gzip data: the compressed stream ends early"},
        {"cut in half", packed.substr(0, packed.size() / 2),
         "x.gz: truncated gzip data: the compressed stream ends early"},
        {"cut before the trailer", packed.substr(0, packed.size() - 4),
         "x.gz: truncated gzip data: the compressed stream ends early"},
    };
    for (const Case& c : cases) {
        try {
            HostIO::InflateIfCompressed(c.bytes, "x.gz");
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const HostIO::ReadError& e) {
            EXPECT_STREQ(e.what(), c.message) << c.what;
        }
    }
    try {
        HostIO::InflateIfCompressed(corrupt, "x.gz");
        ADD_FAILURE() << "corrupt data accepted";
    } catch (const HostIO::ReadError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("x.gz: corrupt gzip data", 0), 0u) << e.what();
    }
}

TEST(ReadError, MessageLeadsWithItsLocation) {
    EXPECT_STREQ(HostIO::ReadError("a.pdb", 12, "bad").what(), "a.pdb:12: bad");
    EXPECT_STREQ(HostIO::ReadError("a.cif", 7, 3, "bad").what(), "a.cif:7:3: bad");
    EXPECT_STREQ(HostIO::ReadError("a.pdb", "bad").what(), "a.pdb: bad");
    EXPECT_STREQ(HostIO::ReadError("a.pdb", 0, 5, "bad").what(), "a.pdb: bad");
}

}  // namespace
