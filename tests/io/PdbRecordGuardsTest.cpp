// The guards before gemmi's PDB reader: short connection records, old-layout charge columns,
// coordinates that are no numbers; and the hostile inputs that found them, read whole.
#include "io/DecimalField.h"
#include "io/PdbRecordGuards.h"
#include "io/ReadError.h"
#include "io/StructureReader.h"

#include "HostModel/Atom.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/Molecule.h"

#include "IoTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <iomanip>
#include <sstream>
#include <tuple>

namespace {

using namespace HostIO;
using HostModel::Atom;
using HostModel::ChemDoc;
using IoTest::CorpusPath;
using IoTest::ReadText;

std::string AtomLine(int serial, const char* name, const char* residue, int number, double x, const std::string& tail) {
    char line[96];
    std::snprintf(line, sizeof line, "ATOM  %5d %-4s %3s A%4d    %8.3f%8.3f%8.3f  1.00 20.00", serial, name, residue,
                  number, x, 0.0, 0.0);
    return std::string(line) + tail + "\n";
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// ---------------------------------------------------------------------------------------------

struct ConnectionCase {
    std::string record;   // without the line end
    std::string warning;  // expected part of the one warning; empty: none
};

void PrintTo(const ConnectionCase& c, std::ostream* os) { *os << "'" << c.record << "'"; }

class ShortConnections : public ::testing::TestWithParam<ConnectionCase> {};

TEST_P(ShortConnections, ArePaddedTo80ColumnsAndWarnedWhenCutInsideAField) {
    const ConnectionCase& c = GetParam();
    std::string text = "HEADER    TEST\n" + c.record + "\n" + AtomLine(1, "N", "CYS", 6, 1.0, "");
    const auto warnings = GuardPdbRecords(text, "t.pdb");
    const auto lines = Lines(text);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], c.record + std::string(80 - c.record.size(), ' '));
    if (c.warning.empty()) {
        EXPECT_TRUE(warnings.empty()) << warnings.front();
    } else {
        ASSERT_EQ(warnings.size(), 1u);
        EXPECT_EQ(warnings[0].rfind("t.pdb:2: ", 0), 0u) << warnings[0];
        EXPECT_NE(warnings[0].find(c.warning), std::string::npos) << warnings[0];
    }
}

INSTANTIATE_TEST_SUITE_P(
    PdbRecordGuards, ShortConnections,
    ::testing::Values(
        // The record of the hostile input: cut after the first column of the distance.
        ConnectionCase{"SSBOND   37  CD1 L  6ANGpdbIGH (ANGSTROROMS)    0       FEHSTT      FEHSTT1",
                       "SSBOND record ends inside its distance field (columns 74-78)"},
        ConnectionCase{"SSBOND   1 CYS A    6    CYS A   11                          1555   1555  2.0",
                       "inside its distance field"},
        // Trailing blanks trimmed: every field whole, nothing to say.
        ConnectionCase{"SSBOND   1 CYS A    6    CYS A   11                          1555   1555", ""},
        ConnectionCase{"SSBOND   1 CYS A    6    CYS A   11", ""},
        ConnectionCase{"LINK         O   GLY A  45                ZN    ZN A 101     1555   1555  2.",
                       "LINK record ends inside its distance field"},
        ConnectionCase{"LINK         O   GLY A  45                ZN    ZN A 1",
                       "inside its second residue number field"},
        ConnectionCase{"CISPEP   1 GLY A  116    PRO A  117          0       -0.6", "inside its angle field"},
        ConnectionCase{"CISPEP   1 GLY A  116    PRO A  117          0        -0.61", ""}));

TEST(PdbRecordGuards, PaddingKeepsCrLfEndingsAndLongRecordsAlone) {
    const std::string full = "SSBOND   1 CYS A    6    CYS A   11                          1555   1555  2.04  ";
    std::string text = "SSBOND   1 CYS A    6    CYS A   11\r\n" + full + "\n";
    const std::string fullLine = full + "\n";
    EXPECT_TRUE(GuardPdbRecords(text, "t.pdb").empty());
    EXPECT_EQ(text, "SSBOND   1 CYS A    6    CYS A   11" + std::string(45, ' ') + "\r\n" + fullLine);
}

TEST(PdbRecordGuards, NulInsideARecordIsReplacedUpToWhereGemmiResumes) {
    // gemmi ends the record at the NUL and skips to the end of the line after its 120-byte window.
    std::string text = std::string("SSBOND   1 CYS A    6") + '\0' + "junk\n" + AtomLine(1, "N", "CYS", 6, 1.0, "");
    const auto warnings = GuardPdbRecords(text, "t.pdb");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0],
              "t.pdb:1: SSBOND record is cut by a NUL byte after column 21; read as if padded with "
              "blanks to 80 columns");
    EXPECT_EQ(text.find('\0'), std::string::npos);
    EXPECT_EQ(text.substr(0, 81), "SSBOND   1 CYS A    6" + std::string(59, ' ') + "\n");
}

TEST(PdbRecordGuards, ManyCutRecordsAreCountedAfterTheFirstTen) {
    std::string text;
    for (int i = 0; i < 25; ++i) text += "SSBOND   1 CYS A    6    CYS A   1\n";
    const auto warnings = GuardPdbRecords(text, "t.pdb");
    ASSERT_EQ(warnings.size(), 11u);
    EXPECT_EQ(warnings.back(), "15 more connection record(s) cut short, read as if padded with blanks");
}

// ---------------------------------------------------------------------------------------------

struct ChargeCase {
    std::string columns79to80;
    bool kept;
};

void PrintTo(const ChargeCase& c, std::ostream* os) { *os << "'" << c.columns79to80 << "'"; }

class ChargeColumns : public ::testing::TestWithParam<ChargeCase> {};

TEST_P(ChargeColumns, FormalChargesStayOthersAreBlankedWithOneWarning) {
    const ChargeCase& c = GetParam();
    const std::string tail = "           N" + c.columns79to80;  // columns 67-80
    std::string text = AtomLine(1, "N", "GLY", 1, 1.0, tail) + AtomLine(2, "CA", "GLY", 1, 2.4, tail);
    const std::string before = text;
    const auto warnings = GuardPdbRecords(text, "old.pdb");
    if (c.kept) {
        EXPECT_EQ(text, before);
        EXPECT_TRUE(warnings.empty());
    } else {
        const auto lines = Lines(text);
        for (const std::string& line : lines) EXPECT_EQ(line.substr(78), "  ") << line;
        ASSERT_EQ(warnings.size(), 1u);
        EXPECT_EQ(warnings[0].rfind("old.pdb:1: columns 79-80 ('", 0), 0u) << warnings[0];
        EXPECT_NE(warnings[0].find("the charge fields of 2 atom record(s) were ignored"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(PdbRecordGuards, ChargeColumns,
                         ::testing::Values(ChargeCase{"  ", true}, ChargeCase{"1+", true}, ChargeCase{"2-", true},
                                           ChargeCase{"+1", true}, ChargeCase{"86", false}, ChargeCase{" 5", false},
                                           ChargeCase{"5 ", false}, ChargeCase{"AB", false}));

// ---------------------------------------------------------------------------------------------

struct CoordinateCase {
    std::string field;  // 8 columns
    std::string message;
};

void PrintTo(const CoordinateCase& c, std::ostream* os) { *os << "'" << c.field << "'"; }

class BadCoordinates : public ::testing::TestWithParam<CoordinateCase> {};

TEST_P(BadCoordinates, AreRefusedWithTheFileAndLine) {
    const CoordinateCase& c = GetParam();
    std::string line = AtomLine(2, "CA", "GLY", 1, 1.0, "           C");
    line.replace(38, 8, c.field);  // y, columns 39-46
    std::string text = AtomLine(1, "N", "GLY", 1, 0.0, "           N") + line;
    try {
        GuardPdbRecords(text, "bad.pdb");
        FAIL() << "no error for '" << c.field << "'";
    } catch (const ReadError& e) {
        EXPECT_EQ(std::string(e.what()), "bad.pdb:2: " + c.message);
    }
    // The reader gives the same error and leaves the document alone.
    ChemDoc doc;
    try {
        ReadStructureFromMemory(doc, text, "bad.pdb");
        FAIL() << "no error for '" << c.field << "'";
    } catch (const ReadError& e) {
        EXPECT_EQ(e.GetLine(), 2);
    }
    EXPECT_EQ(doc.GetTreeRoot()->GetNumChildren(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    PdbRecordGuards, BadCoordinates,
    ::testing::Values(CoordinateCase{"     nan", "y coordinate 'nan' is not a finite number"},
                      CoordinateCase{"    -inf", "y coordinate '-inf' is not a finite number"},
                      // The hostile input's value: finite as a double, infinite as a float.
                      CoordinateCase{"  15.e83", "y coordinate '15.e83' lies beyond 1e6 Å from the origin"},
                      CoordinateCase{"   1e300", "y coordinate '1e300' lies beyond 1e6 Å from the origin"},
                      CoordinateCase{"-2000000", "y coordinate '-2000000' lies beyond 1e6 Å from the origin"},
                      // A point in the eighth column leaves seven integer digits.
                      CoordinateCase{"1000001.", "y coordinate '1000001.' lies beyond 1e6 Å from the origin"},
                      CoordinateCase{"-1234567", "y coordinate '-1234567' lies beyond 1e6 Å from the origin"}));

// Fields of numbers' characters are judged without being read where the value surely passes;
// every field must be judged as its value read in full would be.
TEST(PdbRecordGuards, CoordinatesAreJudgedAsTheirValues) {
    const std::string alphabet = "0123456789 -+.eEnaif";
    std::uint64_t state = 88172645463325252ull;  // xorshift: the same fields every run
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    std::vector<std::string> fields = {"999999.9", "-99999.9", "1000000.", "  -0.000", "......9.", "+-.1    "};
    for (int k = 0; k < 20000; ++k) {
        std::string field(8, ' ');
        // Mostly digits, blanks and points, so that both kinds of field are common.
        const std::size_t letters = k % 4 == 0 ? alphabet.size() : 14;
        for (char& c : field) c = alphabet[next() % letters];
        fields.push_back(field);
    }
    for (const std::string& field : fields) {
        std::string text = AtomLine(1, "CA", "GLY", 1, 0.0, "");
        text.replace(30, 8, field);
        const bool accepted = IsAcceptedCoordinate(ReadDecimalField(field.data(), 8));
        bool passed = true;
        try {
            GuardPdbRecords(text, "t.pdb");
        } catch (const ReadError&) {
            passed = false;
        }
        EXPECT_EQ(passed, accepted) << "'" << field << "'";
    }
}

TEST(PdbRecordGuards, RecordsAfterEndAreNotLookedAt) {
    std::string text = AtomLine(1, "N", "GLY", 1, 0.0, "") + "END\n" + AtomLine(2, "CA", "GLY", 1, 1.0, "");
    text.replace(text.rfind("   1.000"), 8, "     nan");
    EXPECT_NO_THROW(GuardPdbRecords(text, "t.pdb"));
}

// The dry run reads a large text in two halves at once; its answer must be the one-pass guard's:
// mend (the guard changes the text), clean, or the guard's error with its line. An error after
// the first record to mend is the guard's alone (the dry run answers "mend" before it).
TEST(PdbRecordGuards, DryRunInHalvesAnswersAsTheWholeGuard) {
    const int lines = 70000;  // about 4.7 MB: read in halves
    std::string clean;
    for (int i = 1; i <= lines; ++i) clean += AtomLine(i % 100000, "CA", "GLY", i % 10000, 1.0 + i % 7, "");
    auto lineStart = [&](int line) { return static_cast<std::size_t>(line - 1) * clean.find('\n') + line - 1; };
    auto withNan = [&](std::string text, int line) { return text.replace(lineStart(line) + 30, 8, "     nan"); };
    auto withBadCharge = [&](std::string text, int line) {
        return text.insert(lineStart(line) + clean.find('\n'), "            XX");  // columns 79-80 hold no charge
    };
    auto withEnd = [&](std::string text, int line) { return text.insert(lineStart(line), "END\n"); };
    auto withNulLine = [&](std::string text, int line) { return text.insert(lineStart(line), std::string("\0\n", 2)); };
    auto outcome = [](auto answer) {
        try {
            return answer();
        } catch (const ReadError& e) {
            return std::string("error: ") + e.what();
        }
    };
    auto wholeGuard = [&](const std::string& text) {
        return outcome([&] {
            std::string copy = text;
            GuardPdbRecords(copy, "big.pdb");
            return std::string(copy == text ? "clean" : "mend");
        });
    };
    auto dryRun = [&](const std::string& text) {
        return outcome([&] { return std::string(PdbRecordsNeedMending(text, "big.pdb") ? "mend" : "clean"); });
    };
    // Edits at the late line first, so that the early ones do not move it.
    const int late = lines - 10, early = 10;
    const std::string errorLate = "error: big.pdb:69990:", errorEarly = "error: big.pdb:10:";
    const std::vector<std::tuple<const char*, std::string, std::string>> texts = {
        {"clean", clean, "clean"},
        {"an error in the second half", withNan(clean, late), errorLate},
        {"errors in both halves", withNan(withNan(clean, late), early), errorEarly},
        {"mending in the second half", withBadCharge(clean, late), "mend"},
        {"mending later, an error in the first half", withNan(withBadCharge(clean, late), early), errorEarly},
        {"END in the first half, an error after", withEnd(withNan(clean, late), early), "clean"},
        {"a NUL line in the first half, an error after", withNulLine(withNan(clean, late), early), "clean"},
    };
    for (const auto& [what, text, expected] : texts) {
        ASSERT_GT(text.size(), std::size_t{4} << 20) << what;
        const std::string answer = dryRun(text);
        EXPECT_EQ(answer.substr(0, expected.size()), expected) << what << ": " << answer;
        EXPECT_EQ(answer, wholeGuard(text)) << what;
    }
    // Mending comes first: the dry run leaves the later error to the guard.
    EXPECT_EQ(dryRun(withBadCharge(withNan(clean, late), early)), "mend");
}

// ---------------------------------------------------------------------------------------------
// The pre-1996 layout: an ID code in columns 73-76 and a line number in 77-80, no element
// columns. Made from a corpus file, whose own reading is the oracle.

std::string ToOldLayout(const std::string& text, const std::string& idCode) {
    std::string out;
    int number = 0;
    for (std::string line : Lines(text)) {
        ++number;
        line.resize(72, ' ');
        std::ostringstream tail;
        tail << idCode << std::setw(4) << number;
        out += line + tail.str() + "\n";
    }
    return out;
}

TEST(PdbQuirks, 1BX8_OldLayoutWithIdCodeAndLineNumbersReads) {
    const std::string original = ReadText(CorpusPath("1BX8.pdb"));
    const std::string old = ToOldLayout(original, "1BX8");
    ChemDoc expectedDoc, doc;
    const auto expected = ReadStructureFromMemory(expectedDoc, original, "1BX8.pdb");
    const auto result = ReadStructureFromMemory(doc, old, "1BX8-old.pdb");

    int firstAtomLine = 0;
    const auto lines = Lines(old);
    for (std::size_t i = 0; i < lines.size() && firstAtomLine == 0; ++i) {
        if (lines[i].rfind("ATOM", 0) == 0 || lines[i].rfind("HETATM", 0) == 0) firstAtomLine = static_cast<int>(i) + 1;
    }
    std::size_t chargeWarnings = 0;
    for (const std::string& w : result.warnings) {
        if (w.find("hold no formal charge") == std::string::npos) continue;
        ++chargeWarnings;
        EXPECT_EQ(w.rfind("1BX8-old.pdb:" + std::to_string(firstAtomLine) + ": columns 79-80 (", 0), 0u) << w;
    }
    EXPECT_EQ(chargeWarnings, 1u);

    ASSERT_EQ(result.atomCount, expected.atomCount);
    EXPECT_EQ(result.residueCount, expected.residueCount);
    EXPECT_EQ(result.bondCount, expected.bondCount);
    HostModel::DescendentIterator a(expected.molecule, Atom::classType), b(result.molecule, Atom::classType);
    std::size_t differentElements = 0;
    while (auto* x = a.GetNext()) {
        const auto& want = static_cast<const Atom&>(*x);
        const auto& got = static_cast<const Atom&>(*b.GetNext());
        EXPECT_EQ(got.GetLabel(), want.GetLabel());
        EXPECT_EQ(got.GetPosition().x, want.GetPosition().x);
        EXPECT_EQ(got.GetPosition().z, want.GetPosition().z);
        differentElements += got.GetAtomicNumber() != want.GetAtomicNumber();
    }
    EXPECT_EQ(differentElements, 0u);
}

// ---------------------------------------------------------------------------------------------
// Inputs that made the reader misbehave: the shared hostile corpus and the reproducers kept
// from fuzzing. Their first byte chose the format in the fuzz harness (0: PDB, 1: mmCIF, 2:
// PQR, modulo 3); the rest is the file. Each must be read or refused with a ReadError.

std::vector<std::string> HostileFiles() {
    std::vector<std::string> files;
    for (const char* dir : {VOLTRA_HOSTILE_DIR, VOLTRA_REPRODUCER_DIR}) {
        if (!std::filesystem::is_directory(dir)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            if (entry.path().extension() != ".md") files.push_back(entry.path().string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(HostileInputs, AreReadOrRefusedNeverCrash) {
    const auto files = HostileFiles();
    ASSERT_GE(files.size(), 3u);
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        const std::string bytes = ReadText(path);
        ASSERT_FALSE(bytes.empty());
        ReadOptions options;
        const StructureFormat formats[] = {StructureFormat::Pdb, StructureFormat::Mmcif, StructureFormat::Pqr};
        options.format = formats[static_cast<unsigned char>(bytes[0]) % 3];
        ChemDoc doc;
        try {
            const auto result = ReadStructureFromMemory(doc, bytes.substr(1), "hostile", options);
            EXPECT_GT(result.atomCount, 0u);
        } catch (const ReadError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("hostile", 0), 0u) << e.what();
        }
    }
}

TEST(HostileInputs, KnownOnesGiveTheirMessages) {
    const std::string dir = VOLTRA_HOSTILE_DIR;
    ChemDoc doc;
    EXPECT_THROW(ReadStructureFromMemory(doc, ReadText(dir + "/short_ssbond.bin").substr(1), "short_ssbond.pdb"),
                 ReadError);
    const auto overflow =
        ReadStructureFromMemory(doc, ReadText(dir + "/ssbond_overflow.bin").substr(1), "ssbond_overflow.pdb");
    EXPECT_EQ(overflow.warnings.at(0),
              "ssbond_overflow.pdb:67: SSBOND record ends inside its distance field (columns 74-78); read as if "
              "padded with blanks to 80 columns");
    try {
        ReadStructureFromMemory(doc, ReadText(dir + "/nan_coordinates.bin").substr(1), "nan_coordinates.pdb");
        FAIL();
    } catch (const ReadError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "nan_coordinates.pdb:86: x coordinate '15.e83' lies beyond 1e6 Å from the origin");
    }
}

}  // namespace
