// The streaming PDB reader against gemmi's reader, the reference: every corpus PDB file and the
// hand-made cases of pdb-stream-cases/ build the same tree both ways, under each option that
// changes what is kept, and a file the stream declines is read with gemmi's message.
#include "io/GemmiStructureReader.h"
#include "io/PdbRecordGuards.h"
#include "io/PdbStreamReader.h"
#include "io/ReadError.h"

#include "IoTestSupport.h"
#include "support/ModelReadOutline.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using HostIO::AltlocChoice;
using HostIO::ReadOptions;

std::string CaseText(const std::string& file) {
    return IoTest::ReadText(std::string(VOLTRA_PDB_STREAM_CASES_DIR) + "/" + file);
}

ReadOptions Options(int model, AltlocChoice altloc = AltlocChoice::First) {
    ReadOptions options;
    options.model = model;
    options.altloc = altloc;
    return options;
}

// The outline of the model read, or the error's message.
template <typename Read>
std::string Outcome(Read read) {
    try {
        return VoltraTest::OutlineModelRead(read());
    } catch (const HostIO::ReadError& e) {
        return std::string("error: ") + e.what();
    }
}

std::string Streamed(const std::string& text, const std::string& name, const ReadOptions& options,
                     HostIO::PdbReadThreads threads = HostIO::PdbReadThreads::BySize) {
    return Outcome([&] { return HostIO::ReadPdbStreaming(text, name, options, "default-label", nullptr, threads); });
}

std::string ThroughGemmi(const std::string& text, const std::string& name, const ReadOptions& options) {
    return Outcome([&] { return HostIO::ReadPdbThroughGemmi(text, name, options, "default-label"); });
}

// "" when a and b are equal, else their first differing lines.
std::string FirstDifference(const std::string& a, const std::string& b) {
    if (a == b) return std::string();
    std::size_t at = 0;
    while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
    const std::size_t newline = at == 0 ? std::string::npos : a.rfind('\n', at - 1);
    const std::size_t from = newline == std::string::npos ? 0 : newline + 1;
    return "stream: " + a.substr(from, a.find('\n', from) - from) +
           "\ngemmi:  " + b.substr(from, b.find('\n', from) - from);
}

// The same outcome both ways, for the first model and for models 1 to 3, each conformer choice.
void ExpectSameEveryWay(const std::string& raw, const std::string& name) {
    std::string text = raw;
    HostIO::GuardPdbRecords(text, name);
    for (const AltlocChoice altloc : {AltlocChoice::First, AltlocChoice::HighestOccupancy}) {
        for (int model = 0; model <= 3; ++model) {
            const ReadOptions options = Options(model, altloc);
            const std::string streamed = Streamed(text, name, options);
            if (model == 0) {
                EXPECT_EQ(streamed.rfind("error", 0), std::string::npos) << name << ": " << streamed;
            }
            EXPECT_EQ(FirstDifference(streamed, ThroughGemmi(text, name, options)), "")
                << name << ", model " << model << ", altloc choice " << static_cast<int>(altloc);
        }
    }
}

TEST(PdbStreamReader, CorpusFilesBuildAsThroughGemmi) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(VOLTRA_CORPUS_DIR)) {
        if (entry.path().extension() == ".pdb") files.push_back(entry.path().string());
    }
    ASSERT_GE(files.size(), 9u);
    for (const std::string& path : files) ExpectSameEveryWay(IoTest::ReadText(path), path);
}

TEST(PdbStreamReader, EdgeCasesBuildAsThroughGemmi) {
    std::size_t cases = 0;
    for (const auto& entry : std::filesystem::directory_iterator(VOLTRA_PDB_STREAM_CASES_DIR)) {
        if (entry.path().extension() != ".pdb") continue;
        ExpectSameEveryWay(IoTest::ReadText(entry.path().string()), entry.path().filename().string());
        ++cases;
    }
    EXPECT_EQ(cases, 13u);
}

// What each case is there for shows in the tree both readers build.
TEST(PdbStreamReader, EdgeCasesHoldWhatTheyAreFor) {
    struct Case {
        const char* file;
        int model;
        AltlocChoice altloc;
        std::vector<std::string> expected;  // pieces of the outline
    };
    const std::vector<Case> cases = {
        {"multi_model.pdb", 2, AltlocChoice::First, {"models 2, read 2", "atoms 18,", "molecule '1MOD'"}},
        {"multi_model.pdb", 0, AltlocChoice::First, {"models 2, read 1", "atoms 19,"}},
        {"implicit_models.pdb", 2, AltlocChoice::First, {"models 2, read 2", "atoms 13,"}},
        {"altlocs.pdb", 0, AltlocChoice::First, {"amino-acid 'SER6'", "altloc atoms dropped 9, residues dropped 1"}},
        {"altlocs.pdb", 0, AltlocChoice::HighestOccupancy, {"amino-acid 'THR6'"}},
        {"ter_inside.pdb", 0, AltlocChoice::First, {"residue 'HOH101' type 'HOH' number 101 icode 0 chain id 'A'"}},
        {"repeated_chain.pdb",
         0,
         AltlocChoice::First,
         {"residues 6,", "amino-acid 'PRO4' type 'PRO' number 4 icode 0 chain id 'B'"}},
        {"hybrid36.pdb", 0, AltlocChoice::First, {"number 10000 icode 0 chain id 'AB'", "number 9999 "}},
        {"icodes.pdb", 0, AltlocChoice::First, {"residues 4,", "'CYS52A'", "'CYS52B'"}},
        {"elements_blank.pdb",
         0,
         AltlocChoice::First,
         {"atom 'CA' #16 Z 20 ", "atom '1HB' #7 Z 1 ", "atom 'HD21' #8 Z 1 ", "atom 'C210' #9 Z 6 ",
          "atom 'XQ' #19 Z 0 ", "atom 'Na+' #20 Z 11 "}},
        {"waters_no_header.pdb", 0, AltlocChoice::First, {"molecule 'default-label'", "chain 'Water'"}},
        {"header_late.pdb", 0, AltlocChoice::First, {"molecule '9ZZZ'"}},
        {"end_early_crlf.pdb", 0, AltlocChoice::First, {"atoms 13,", "residues 2,"}},
        {"segments.pdb", 0, AltlocChoice::First, {"residues 3,"}},
        // A residue met again after others joins the first of its number, rising or not.
        {"residue_order.pdb", 0, AltlocChoice::First, {"residues 8,", "atoms 30,"}},
    };
    for (const Case& c : cases) {
        std::string text = CaseText(c.file);
        HostIO::GuardPdbRecords(text, c.file);
        const std::string outline = Streamed(text, c.file, Options(c.model, c.altloc));
        for (const std::string& piece : c.expected) {
            EXPECT_NE(outline.find(piece), std::string::npos) << c.file << " lacks \"" << piece << "\":\n" << outline;
        }
    }
}

// Files gemmi refuses: the stream declines them at gemmi's line, and the program's read gives
// gemmi's message.
TEST(PdbStreamReader, DeclinedFilesReadWithGemmisMessages) {
    const std::string atom = "ATOM      1  N   PRO A   4      -0.169   7.698  13.415  1.00 22.81           N  \n";
    const std::string anisou = "ANISOU    1  N   PRO A   4     2406   1892   1614    198    519   -328       N\n";
    const std::vector<std::string> texts = {
        "REMARK\n" + atom + atom.substr(0, 40) + "\n",                               // too short to be correct
        "MODEL        1\n" + atom + "MODEL        2\n" + atom,                       // MODEL without ENDMDL
        "MODEL        1\n" + atom + "ENDMDL\nMODEL        1\n" + atom + "ENDMDL\n",  // model given twice
        "MODEL        2\n" + atom + "ENDMDL\n" + atom,  // the next model would be "2" again
        anisou + atom,                                  // ANISOU before any atom
        atom + "TER\n" + anisou,                        // ANISOU after TER
        atom + anisou + anisou,                         // two ANISOU records for one atom
        // A cell angle gemmi refuses (found by fuzzing).
        "CRYST1   53.450   53.450   26.760   0.00  90.00 120.00 H 3           9          \n" + atom,
        "data_1ABC\n" + atom,  // mmCIF
    };
    for (const std::string& text : texts) {
        int streamLine = -1;
        try {
            HostIO::ReadPdbStreaming(text, "bad.pdb", Options(0), "bad");
        } catch (const HostIO::ReadError& e) {
            streamLine = e.GetLine();
        }
        std::string reference;
        int referenceLine = -2;
        try {
            HostIO::ReadPdbThroughGemmi(text, "bad.pdb", Options(0), "bad");
        } catch (const HostIO::ReadError& e) {
            reference = e.what();
            referenceLine = e.GetLine();
        }
        EXPECT_EQ(streamLine, referenceLine) << text;
        std::string programs;
        try {
            HostIO::ReadGemmiModel(text, "bad.pdb", HostIO::StructureFormat::Pdb, Options(0), "bad");
        } catch (const HostIO::ReadError& e) {
            programs = e.what();
        }
        EXPECT_FALSE(reference.empty()) << text;
        EXPECT_EQ(programs, reference) << text;
    }
}

// An error after parts of the model were built: the read starts again through gemmi and ends
// with its message.
TEST(PdbStreamReader, ErrorAfterBuiltPartsIsGemmis) {
    std::string text = CaseText("multi_model.pdb");
    // After the TER that ends the model's one part.
    text.insert(text.find("ENDMDL"), "ATOM     99  CA  PRO A   9       1.000\n");
    std::string programs;
    std::string reference;
    try {
        HostIO::ReadGemmiModel(text, "cut.pdb", HostIO::StructureFormat::Pdb, Options(0), "cut");
    } catch (const HostIO::ReadError& e) {
        programs = e.what();
    }
    try {
        HostIO::ReadPdbThroughGemmi(text, "cut.pdb", Options(0), "cut");
    } catch (const HostIO::ReadError& e) {
        reference = e.what();
    }
    EXPECT_NE(reference.find("too short"), std::string::npos) << reference;
    EXPECT_EQ(programs, reference);
}

// With the records read on a second thread beside the build: the same trees, the same errors.
TEST(PdbStreamReader, ReadingBesideTheBuildChangesNothing) {
    std::vector<std::string> paths;
    for (const char* folder : {VOLTRA_CORPUS_DIR, VOLTRA_PDB_STREAM_CASES_DIR}) {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.path().extension() == ".pdb") paths.push_back(entry.path().string());
        }
    }
    ASSERT_GE(paths.size(), 21u);
    for (const std::string& path : paths) {
        std::string text = IoTest::ReadText(path);
        HostIO::GuardPdbRecords(text, path);
        for (const AltlocChoice altloc : {AltlocChoice::First, AltlocChoice::HighestOccupancy}) {
            for (int model = 0; model <= 3; ++model) {
                const ReadOptions options = Options(model, altloc);
                const std::string one = Streamed(text, path, options, HostIO::PdbReadThreads::One);
                for (const auto threads : {HostIO::PdbReadThreads::Two, HostIO::PdbReadThreads::TwoReaderMakes,
                                           HostIO::PdbReadThreads::TwoBuilderMakes, HostIO::PdbReadThreads::Halves}) {
                    EXPECT_EQ(FirstDifference(Streamed(text, path, options, threads), one), "")
                        << path << ", model " << model << ", threads " << static_cast<int>(threads);
                }
            }
        }
    }
}

// Many parts, one atom each, numbered from first: the builder works through a queue of them.
std::string ManyParts(int parts, int first = 1) {
    std::string text;
    char line[100];
    for (int i = first; i < first + parts; ++i) {
        std::snprintf(line, sizeof line, "HETATM%5d  O   HOH W%4d    %8.3f%8.3f%8.3f  1.00 20.00           O  \nTER\n",
                      i % 100000, i % 10000, 1.0 + i % 50, 2.0, 3.0);
        text += line;
    }
    return text;
}

TEST(PdbStreamReader, ErrorsBesideTheBuildComeInReadingOrder) {
    using HostIO::PdbReadThreads;
    const std::string tooShort = "ATOM      1  N   PRO A   4      -0.169\n";
    const std::string farAway =
        "HETATM    1  O   HOH W   1    99999999   2.000   3.000  1.00 20.00           O  \nTER\n";
    const std::vector<std::string> texts = {
        // The reader's error, after thousands of parts were queued and built.
        ManyParts(50000) + tooShort + ManyParts(10),
        // The builder's error (a coordinate past 1e6 Å) with a reader's error further down:
        // the builder's comes first, as when each part is built where it ends.
        ManyParts(20000) + farAway + ManyParts(20000) + tooShort,
        // The builder fails on the first part while the reader has far to go.
        farAway + ManyParts(200000),
    };
    const std::string fine = ManyParts(60000);
    const std::string fineOne = Streamed(fine, "queue.pdb", Options(0), PdbReadThreads::One);
    for (const auto threads : {PdbReadThreads::Two, PdbReadThreads::TwoReaderMakes, PdbReadThreads::TwoBuilderMakes,
                               PdbReadThreads::Halves}) {
        for (const std::string& text : texts) {
            const std::string one = Streamed(text, "queue.pdb", Options(0), PdbReadThreads::One);
            EXPECT_EQ(one.rfind("error: ", 0), 0u) << one.substr(0, 200);
            EXPECT_EQ(Streamed(text, "queue.pdb", Options(0), threads), one) << static_cast<int>(threads);
        }
        EXPECT_EQ(FirstDifference(Streamed(fine, "queue.pdb", Options(0), threads), fineOne), "");
    }
}

// Read in halves, the second half's reader starts from the state the first half usually leaves.
// Where the first half leaves another one, or stops, the outcome must still be the one-thread
// read's, errors and their line numbers included.
// A text whose middle falls on the line before a "TER0" record, so that the first "TER" after
// the middle is that one.
std::string RecordLikeTerAtTheMiddle(const std::string& atom) {
    const std::string before = ManyParts(1500) + atom;
    for (int parts = 1500; parts > 0; --parts) {
        const std::string text = before + "TER0\n" + atom + ManyParts(parts, 2000);
        const std::size_t middle = text.size() / 2;
        if (middle >= before.size() - atom.size() && middle < before.size()) return text;
    }
    ADD_FAILURE() << "no text has its middle before the TER0 record";
    return before;
}

TEST(PdbStreamReader, ReadingInHalvesChangesNothing) {
    using HostIO::PdbReadThreads;
    const std::string atom = "ATOM      1  N   GLY B   1      11.104   6.134  -6.504  1.00  0.00           N  \n";
    const std::string model1 = "MODEL        1\n", model2 = "MODEL        2\n", endmdl = "ENDMDL\n";
    const std::string longRemark = "REMARK   " + std::string(105, '7') + "\n";
    const std::vector<std::pair<const char*, std::string>> texts = {
        {"plain", ManyParts(3000)},
        {"a second model in the first half", model1 + ManyParts(800) + endmdl + model2 + ManyParts(1500) + endmdl},
        {"a second model in the second half", model1 + ManyParts(1500) + endmdl + model2 + ManyParts(800) + endmdl},
        {"END in the first half", ManyParts(1000) + "END\n" + ManyParts(2000)},
        {"END in the second half", ManyParts(2000) + "END\n" + ManyParts(1000)},
        // gemmi stops at a line starting with a NUL byte as at END.
        {"a NUL line in the first half", ManyParts(1000) + std::string("\0 x\n", 4) + ManyParts(2000)},
        {"a NUL line in the second half", ManyParts(2000) + std::string("\0 x\n", 4) + ManyParts(1000)},
        {"a line longer than the ones before the split", longRemark + ManyParts(3000)},
        {"HEADER after the split",
         ManyParts(3000) + "HEADER    LATE ENTRY                              09-DEC-26   9XYZ\n"},
        {"a NUL byte before the middle TER",
         ManyParts(1500) + std::string("REMARK \0x\n", 11) + "TER\n" + ManyParts(1500)},
        {"a chain going on after the middle", ManyParts(1500) + atom + "TER\n" + atom + ManyParts(1500)},
        {"the reader's error in the second half", ManyParts(3000) + "ATOM      1  N   PRO A   4      -0.169\n"},
        {"an ANISOU record first after the split", ManyParts(1500) + "ANISOU\n" + ManyParts(1500)},
        {"a MODEL record inside the second half's model", ManyParts(1500) + model2 + ManyParts(1500)},
        // "TER0" is no TER record: the residue after it is the one before it.
        {"a record like TER where the text is cut", RecordLikeTerAtTheMiddle(atom)},
    };
    for (const auto& [what, text] : texts) {
        for (int model = 0; model <= 2; ++model) {
            const std::string one = Streamed(text, "halves.pdb", Options(model), PdbReadThreads::One);
            EXPECT_EQ(FirstDifference(Streamed(text, "halves.pdb", Options(model), PdbReadThreads::Halves), one), "")
                << what << ", model " << model;
        }
    }
    // The second half's error names the line counted from the file's start.
    const std::string late = Streamed(texts[11].second, "halves.pdb", Options(0), PdbReadThreads::Halves);
    EXPECT_NE(late.find("halves.pdb:6001:"), std::string::npos) << late;
}

}  // namespace
