// The program's PQR output: exact records, white-space separation at any field size, every atom
// written, the Missing remark, ATOM versus HETATM, insertion codes.
#include "AppDocuments.h"
#include "PqrWriter.h"
#include "ProgramOutputs.h"

#include "HostModel/DescendentIterator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using namespace AppTest;
using HostModel::AminoAcid;
using HostModel::AminoAcidChain;
using HostModel::Chain;
using HostModel::NucleicAcidChain;
using HostModel::Nucleotide;
using HostModel::Residue;

std::string Pqr(const HostModel::ChemDoc& doc, const std::string& description = "Charges and radii: test") {
    std::ostringstream out;
    VoltraApp::WritePqr(out, doc, description);
    return out.str();
}

std::string RecordLines(const std::string& pqr) {
    std::istringstream in(pqr);
    std::string line;
    std::string records;
    while (std::getline(in, line)) {
        if (line.rfind("REMARK", 0) != 0) records += line + "\n";
    }
    return records;
}

std::size_t CountAtoms(const HostModel::ChemDoc& doc) {
    std::size_t count = 0;
    HostModel::DescendentIterator atoms(doc.GetTreeRoot(), HostModel::Atom::classType);
    while (atoms.GetNext()) ++count;
    return count;
}

// Polymer residues, a residue with an insertion code, a ligand, a nucleotide and an atom that
// belongs to no residue; one atom without any Voltra property, one left "Missing".
void AddMixedContent(HostModel::Molecule& molecule) {
    auto& a = molecule.Add(std::make_unique<AminoAcidChain>("A"));
    auto& ala = AddResidue<AminoAcid>(a, "ALA", 12);
    Assign(AddAtom(ala, "N", 7, {1.0, -2.5, 10.25}), -0.3f, "Default", 1.55f, "Default");
    Assign(AddAtom(ala, "HB21", 1, {0.125, 0.5, -0.75}), 0.05f, "Default", 1.0f, "Default");
    AddAtom(ala, "CB", 6, {2, 2, 2});  // no Voltra property at all
    auto& gly = AddResidue<AminoAcid>(a, "GLY", 12, "A");
    Assign(AddAtom(gly, "N", 7, {-1000.5, 12, 0}), -0.4f, "Default", 1.5f, "Default");
    auto& ligands = molecule.Add(std::make_unique<Chain>("A"));
    auto& sulfate = AddResidue<Residue>(ligands, "SO4", 100);
    Assign(AddAtom(sulfate, "S", 16, {3, 3, 3}), 0.0f, "Missing", 1.8f, "Default");
    auto& b = molecule.Add(std::make_unique<NucleicAcidChain>("B"));
    auto& da = AddResidue<Nucleotide>(b, "DA", 1);
    Assign(AddAtom(da, "P", 15, {4, 4, 4}), 1.0f, "Amber", 1.9f, "Default");
    Assign(AddAtom(molecule, "ZN", 30, {6, 6, 6}), 2.0f, "Default", 1.2f, "HST");
}

struct MixedDocument {
    HostModel::ChemDoc doc;
    MixedDocument() { AddMixedContent(AddMolecule(doc, "M")); }
};

TEST(PqrWriter, GoldenRecords) {
    MixedDocument sample;
    EXPECT_EQ(RecordLines(Pqr(sample.doc)),
              "ATOM       1  N    ALA A   12       1.000   -2.500   10.250  -0.3000  1.5500\n"
              "ATOM       2 HB21  ALA A   12       0.125    0.500   -0.750   0.0500  1.0000\n"
              "ATOM       3  CB   ALA A   12       2.000    2.000    2.000   0.0000  0.0000\n"
              "ATOM       4  N    GLY A  12A    -1000.500   12.000    0.000  -0.4000  1.5000\n"
              "HETATM     5  S    SO4 A  100       3.000    3.000    3.000   0.0000  1.8000\n"
              "ATOM       6  P     DA B    1       4.000    4.000    4.000   1.0000  1.9000\n"
              "HETATM     7  ZN   UNK    0       6.000    6.000    6.000   2.0000  1.2000\n");
}

TEST(PqrWriter, RemarksCountTheMissingAtoms) {
    MixedDocument sample;
    const std::vector<std::string> remarks = PqrRemarks(Pqr(sample.doc, "Charges and radii: Parse, charges zeroed"));
    ASSERT_GE(remarks.size(), 2u);
    EXPECT_EQ(remarks[0], "REMARK   1 PQR file written by voltra");
    EXPECT_EQ(remarks[1], "REMARK   1 Charges and radii: Parse, charges zeroed");
    // CB has no Source at all and S a "Missing" charge: both are counted.
    EXPECT_EQ(
        remarks.back(),
        "REMARK   5 2 of 7 atoms have a charge or radius left Missing; they are written with the values they have");
    const VoltraApp::PqrStats stats = VoltraApp::CountPqrAtoms(sample.doc);
    EXPECT_EQ(stats.atoms, 7u);
    EXPECT_EQ(stats.missing, 2u);
}

TEST(PqrWriter, RemarksOfAnEmptyDocument) {
    HostModel::ChemDoc doc;
    const std::string pqr = Pqr(doc);
    EXPECT_TRUE(ParsePqrRecords(pqr).empty());
    EXPECT_EQ(
        PqrRemarks(pqr).back(),
        "REMARK   5 0 of 0 atoms have a charge or radius left Missing; they are written with the values they have");
}

TEST(PqrWriter, RecordKindFollowsTheResidueClass) {
    MixedDocument sample;
    std::string kinds;
    for (const PqrRecord& record : ParsePqrRecords(Pqr(sample.doc))) kinds += record.record == "ATOM" ? 'A' : 'H';
    // Amino acids and nucleotides are ATOM; the ligand residue and the loose ion HETATM.
    EXPECT_EQ(kinds, "AAAAHAH");
}

TEST(PqrWriter, InsertionCodesFollowTheResidueNumber) {
    HostModel::ChemDoc doc;
    auto& molecule = AddMolecule(doc, "M");
    auto& chain = molecule.Add(std::make_unique<AminoAcidChain>("A"));
    AddAtom(AddResidue<AminoAcid>(chain, "GLY", 52), "CA", 6);
    AddAtom(AddResidue<AminoAcid>(chain, "GLY", 52, "A"), "CA", 6);
    AddAtom(AddResidue<AminoAcid>(chain, "SER", -3, "B"), "CA", 6);
    AddAtom(AddResidue<AminoAcid>(chain, "ASP", 1, "Z"), "CA", 6);
    // A residue type ending in the digits of its number must not confuse the code with the name.
    AddAtom(AddResidue<Residue>(chain, "1PE", 1), "C1", 6);
    AddAtom(AddResidue<Residue>(chain, "1PE", 1, "C"), "C1", 6);
    // A label the reader would not make: the number alone.
    AddAtom(chain.Add(std::make_unique<Residue>("Ligand", 7, "LIG")), "C1", 6);
    std::vector<std::string> numbers;
    for (const PqrRecord& record : ParsePqrRecords(Pqr(doc))) numbers.push_back(record.residueNumber);
    EXPECT_EQ(numbers, (std::vector<std::string>{"52", "52A", "-3B", "1Z", "1", "1C", "7"}));
}

// Fixed columns run out at serial 99,999, at -999.999 Å and with chain ids of more than one
// character; the records stay split by white space all the same.
TEST(PqrWriter, FieldsStaySeparatedWhenTheyOutgrowTheirColumns) {
    HostModel::ChemDoc doc;
    auto& molecule = AddMolecule(doc, "Big");
    auto& chain = molecule.Add(std::make_unique<AminoAcidChain>("ABCD"));
    auto& residue = AddResidue<AminoAcid>(chain, "LYS", 123456);
    constexpr std::size_t kAtoms = 100003;
    for (std::size_t i = 0; i < kAtoms; ++i) {
        const double t = static_cast<double>(i);
        AddAtom(residue, i % 2 ? "NZ" : "HZ31", i % 2 ? 7 : 1, {-1000.0 - t * 0.125, -99999.5 + t, t * 0.001});
    }
    HostModel::DescendentIterator atoms(doc.GetTreeRoot(), HostModel::Atom::classType);
    std::size_t index = 0;
    while (HostModel::Object* atom = atoms.GetNext()) {
        if (index++ % 1000 == 0)
            Assign(static_cast<HostModel::Atom&>(*atom), -12.3456f, "Default", 123.4567f, "Default");
    }

    const std::string pqr = Pqr(doc);
    std::vector<PqrRecord> records;
    ASSERT_NO_THROW(records = ParsePqrRecords(pqr));
    ASSERT_EQ(records.size(), kAtoms);
    for (std::size_t i = 0; i < kAtoms; ++i) {
        const PqrRecord& r = records[i];
        const double t = static_cast<double>(i);
        SCOPED_TRACE(r.text);
        ASSERT_EQ(r.serial, static_cast<long>(i + 1));
        ASSERT_EQ(r.atomName, i % 2 ? "NZ" : "HZ31");
        ASSERT_EQ(r.residueName, "LYS");
        ASSERT_EQ(r.chain, "");  // APBS reads one-character chain ids only
        ASSERT_EQ(r.residueNumber, "123456");
        ASSERT_NEAR(r.x, -1000.0 - t * 0.125, 0.0005);
        ASSERT_NEAR(r.y, -99999.5 + t, 0.0005);
        ASSERT_NEAR(r.z, t * 0.001, 0.0005);
        ASSERT_NEAR(r.charge, i % 1000 == 0 ? -12.3456 : 0.0, 0.00005);
        ASSERT_NEAR(r.radius, i % 1000 == 0 ? 123.4567 : 0.0, 0.00005);
    }
}

TEST(PqrWriter, WritesEveryAtomOfEveryMolecule) {
    HostModel::ChemDoc doc;
    auto& first = AddMolecule(doc, "First");
    auto& chain = first.Add(std::make_unique<AminoAcidChain>("A"));
    auto& ala = AddResidue<AminoAcid>(chain, "ALA", 1);
    for (const char* name : {"N", "CA", "C", "O", "CB"})
        Assign(AddAtom(ala, name, 6), 0.1f, "Default", 1.7f, "Default");
    AddAtom(first, "FE", 26);  // a ligand atom outside any residue, without properties
    auto& hidden = AddMolecule(doc, "Hidden");
    AddAtom(AddResidue<Residue>(hidden.Add(std::make_unique<Chain>("W")), "HOH", 5), "O", 8);
    hidden.SetVisible(false);

    const std::vector<PqrRecord> records = ParsePqrRecords(Pqr(doc));
    ASSERT_EQ(records.size(), CountAtoms(doc));
    EXPECT_EQ(records[5].atomName, "FE");
    EXPECT_EQ(records[5].residueName, "UNK");
    EXPECT_EQ(records[6].atomName, "O");
    for (std::size_t i = 0; i < records.size(); ++i) EXPECT_EQ(records[i].serial, static_cast<long>(i + 1));
}

// An atom label too long for the record buffer takes a second formatting path. It must write the
// same fields: "UNK" and "0" for an atom outside any residue, and coordinates with 3 decimals.
// Today that path writes the empty residue name as nothing (the record loses a field, so every
// reader splitting on white space shifts the coordinates into the wrong columns) and writes the
// numbers with the stream's default six significant digits (12345.678 becomes 12345.7).
TEST(PqrWriter, OverlongLabelsKeepEveryField) {
    HostModel::ChemDoc doc;
    auto& molecule = AddMolecule(doc, "M");
    Assign(AddAtom(molecule, std::string(300, 'C'), 6, {12345.678, -2.5, 0.125}), 0.25f, "Default", 1.7f, "Default");
    const std::vector<PqrRecord> records = ParsePqrRecords(Pqr(doc));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].residueName, "UNK");
    EXPECT_EQ(records[0].residueNumber, "0");
    EXPECT_NEAR(records[0].x, 12345.678, 0.0005);
    EXPECT_NEAR(records[0].charge, 0.25, 0.00005);
}

// APBS (3.4.1, Debian's apbs) reads PQR by scanning white-space tokens for "ATOM" or "HETATM",
// ignoring case and line ends. The remark "Fields (white-space separated): record serial atom ..."
// holds the token "atom", so APBS takes it for a record and stops: "Valist_readPQR: Error parsing
// atom 0!". No remark may hold such a token.
TEST(PqrWriter, RemarksHoldNoTokenApbsTakesForARecord) {
    MixedDocument sample;
    for (const std::string& remark :
         PqrRemarks(Pqr(sample.doc, "Charges and radii: Apply Forcefield Parameters (AMBER)"))) {
        std::istringstream in(remark);
        std::string token;
        while (in >> token) {
            std::transform(token.begin(), token.end(), token.begin(), [](unsigned char c) { return std::tolower(c); });
            EXPECT_TRUE(token != "atom" && token != "hetatm") << remark;
        }
    }
}

// APBS takes the token after the residue name as a chain id only when it is one character;
// anything longer must be the residue number ("Valist_readPDB: Unable to parse resSeq token").
// The reader puts all waters into a chain labelled "Water", so every structure with waters gives
// records like "HETATM 286 O HOH Water 42 ..." that APBS refuses; mmCIF chain ids such as "AA"
// fail the same way.
TEST(PqrWriter, ChainIdsAreTheOneCharacterApbsReads) {
    HostModel::ChemDoc doc;
    auto& molecule = AddMolecule(doc, "M");
    auto& chain = molecule.Add(std::make_unique<AminoAcidChain>("AA"));
    Assign(AddAtom(AddResidue<AminoAcid>(chain, "GLY", 1), "CA", 6), 0.1f, "Default", 1.7f, "Default");
    auto& water = molecule.Add(std::make_unique<Chain>("Water"));
    Assign(AddAtom(AddResidue<Residue>(water, "HOH", 42), "O", 8), -0.834f, "Default", 1.4f, "Default");
    const std::vector<PqrRecord> records = ParsePqrRecords(Pqr(doc));
    ASSERT_EQ(records.size(), 2u);
    for (const PqrRecord& record : records) EXPECT_LE(record.chain.size(), 1u) << record.text;
}

// The residue number, insertion code and chain come from the residue's input identity, not from
// its label; a water sitting in the "Water" chain is written with the chain the input gave it.
TEST(PqrWriter, ResidueFieldsComeFromTheInputIdentity) {
    HostModel::ChemDoc doc;
    auto& molecule = AddMolecule(doc, "M");
    auto& chain = molecule.Add(std::make_unique<AminoAcidChain>("A"));
    auto& renamed = chain.Add(std::make_unique<AminoAcid>("first residue 3", 12, "GLY"));
    renamed.SetInputIdentity(12, 'B', "A");
    Assign(AddAtom(renamed, "CA", 6), 0.1f, "Default", 1.7f, "Default");
    auto& waters = molecule.Add(std::make_unique<Chain>("Water"));
    auto& water = waters.Add(std::make_unique<Residue>("HOH301", 301, "HOH"));
    water.SetInputIdentity(301, '\0', "B");
    Assign(AddAtom(water, "O", 8), -0.834f, "Default", 1.4f, "Default");
    auto& longChain = waters.Add(std::make_unique<Residue>("HOH7", 7, "HOH"));
    longChain.SetInputIdentity(7, '\0', "AB");  // mmCIF's longer chain ids stay out
    Assign(AddAtom(longChain, "O", 8), -0.834f, "Default", 1.4f, "Default");
    EXPECT_EQ(RecordLines(Pqr(doc)),
              "ATOM       1  CA   GLY A  12B       0.000    0.000    0.000   0.1000  1.7000\n"
              "HETATM     2  O    HOH B  301       0.000    0.000    0.000  -0.8340  1.4000\n"
              "HETATM     3  O    HOH    7       0.000    0.000    0.000  -0.8340  1.4000\n");
}

}  // namespace

namespace {

// An empty Source counts as absent (so Missing for the remark); a numeric one as given.
TEST(PqrWriter, RemarkCountsEmptySourcesAndNotNumericOnes) {
    HostModel::ChemDoc doc;
    auto& molecule = AddMolecule(doc, "M");
    auto& residue = AddResidue<Residue>(molecule.Add(std::make_unique<Chain>("A")), "LIG", 1);
    Assign(AddAtom(residue, "C1", 6, {0, 0, 0}), 0.5f, "", 1.7f, "Default");
    auto& numbered = AddAtom(residue, "C2", 6, {1, 1, 1});
    Assign(numbered, 0.25f, "Default", 1.7f, "Default");
    numbered.SetProperty("Voltra Radius Source", 3.0f, 0);
    const VoltraApp::PqrStats stats = VoltraApp::CountPqrAtoms(doc);
    EXPECT_EQ(stats.atoms, 2u);
    EXPECT_EQ(stats.missing, 1u);
}

// A record without its serial number: the text after the first two fields.
std::string WithoutSerial(const std::string& line) {
    std::size_t at = line.find(' ');
    at = line.find_first_not_of(' ', at);
    return line.substr(line.find(' ', at));
}

std::vector<std::string> RecordList(const std::string& pqr) {
    std::istringstream in(RecordLines(pqr));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Large documents are made in blocks of atoms by whichever thread is free, which may cut a
// molecule, a chain or a residue: the records must come as the one block's, repeated in order,
// numbered on without a gap, and the remark must count every copy.
TEST(PqrWriter, LargeDocumentsAreTheirBlocksInOrder) {
    MixedDocument block;
    const std::vector<std::string> blockRecords = RecordList(Pqr(block.doc));
    ASSERT_EQ(blockRecords.size(), 7u);
    constexpr std::size_t kCopies = 10000;  // 70,000 atoms: five blocks of records
    for (const bool oneMolecule : {false, true}) {
        HostModel::ChemDoc doc;
        HostModel::Molecule* shared = oneMolecule ? &AddMolecule(doc, "M") : nullptr;
        for (std::size_t k = 0; k < kCopies; ++k) AddMixedContent(shared ? *shared : AddMolecule(doc, "M"));
        const std::string pqr = Pqr(doc);
        const std::vector<std::string> records = RecordList(pqr);
        ASSERT_EQ(records.size(), kCopies * blockRecords.size());
        for (std::size_t i = 0; i < records.size(); ++i) {
            const std::string& expected = blockRecords[i % blockRecords.size()];
            ASSERT_EQ(records[i].substr(0, 6), expected.substr(0, 6)) << "record " << i;
            ASSERT_EQ(WithoutSerial(records[i]), WithoutSerial(expected)) << "record " << i;
            ASSERT_EQ(std::stoul(records[i].substr(6)), i + 1) << "record " << i;
        }
        EXPECT_EQ(PqrRemarks(pqr).back(), "REMARK   5 " + std::to_string(2 * kCopies) + " of " +
                                              std::to_string(7 * kCopies) +
                                              " atoms have a charge or radius left Missing; they are written with "
                                              "the values they have");
    }
}

// A sink that fails (a full disk) ends the writing with its error, whichever thread is ahead,
// instead of leaving the other thread waiting.
TEST(PqrWriter, AFailingSinkStopsBothThreads) {
    HostModel::ChemDoc doc;
    for (std::size_t k = 0; k < 10000; ++k) AddMixedContent(AddMolecule(doc, "M"));
    for (int failAt : {1, 2, 3, 6}) {
        int calls = 0;
        EXPECT_THROW(VoltraApp::FormatPqr(doc, "test",
                                          [&](const std::string&) {
                                              if (++calls == failAt) throw std::runtime_error("disk full");
                                          }),
                     std::runtime_error)
            << "failing at piece " << failAt;
    }
}

}  // namespace

namespace {

// One chain of four-atom residues whose values follow the atom's index and are exact in binary,
// with its records as the format the writer replaces would give them: an oracle apart from the
// writer's own code, for documents of any size.
struct NumberedDocument {
    HostModel::ChemDoc doc;
    std::string records;

    explicit NumberedDocument(std::size_t atoms) {
        static const char* const names[] = {"N", "CA", "C", "O"};
        auto& chain = AddMolecule(doc, "M").Add(std::make_unique<AminoAcidChain>("A"));
        HostModel::Residue* residue = nullptr;
        char line[160];
        for (std::size_t i = 0; i < atoms; ++i) {
            const int number = static_cast<int>(i / 4) + 1;
            if (i % 4 == 0) residue = &AddResidue<AminoAcid>(chain, "ALA", number);
            const double x = static_cast<double>(i % 8000) * 0.125 - 500.0;
            const double y = static_cast<double>(i % 1000) * 0.5;
            const double z = -static_cast<double>(i % 64) * 0.25;
            const float charge = static_cast<float>(static_cast<int>(i % 32) - 16) * 0.0625f;
            const float radius = 1.0f + static_cast<float>(i % 8) * 0.125f;
            Assign(AddAtom(*residue, names[i % 4], 6, {x, y, z}), charge, "Default", radius, "Default");
            const std::string name = std::string(" ") + names[i % 4];
            std::snprintf(line, sizeof line, "%-6s %5zu %-4s %4s %s%s%4s    %8.3f %8.3f %8.3f %8.4f %7.4f\n", "ATOM",
                          i + 1, name.c_str(), "ALA", "A", " ", std::to_string(number).c_str(), x, y, z,
                          static_cast<double>(charge), static_cast<double>(radius));
            records += line;
        }
    }
};

// Texts of megabytes: where they first part, not the whole of both.
testing::AssertionResult SameText(const std::string& actual, const std::string& expected) {
    if (actual == expected) return testing::AssertionSuccess();
    const auto parted = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    const std::size_t at = static_cast<std::size_t>(parted.first - actual.begin());
    const std::size_t lineStart = actual.rfind('\n', at == 0 ? 0 : at - 1);
    const std::size_t from = lineStart == std::string::npos ? 0 : lineStart + 1;
    return testing::AssertionFailure() << "sizes " << actual.size() << " and " << expected.size()
                                       << ", first difference at byte " << at << ":\n  got      "
                                       << actual.substr(from, 120) << "\n  expected "
                                       << expected.substr(std::min(from, expected.size()), 120);
}

struct Pieces {
    std::string text;
    std::size_t largest = 0;
    VoltraApp::PqrChunkSink Sink() {
        return [this](const std::string& piece) {
            text += piece;
            largest = std::max(largest, piece.size());
        };
    }
};

// The text of a job that helperThreads more threads join, as the program's main thread does.
std::string TextWithHelpers(const HostModel::ChemDoc& doc, int helperThreads) {
    VoltraApp::PqrFormatJob job(doc, "Charges and radii: test");
    std::vector<std::thread> helpers;
    for (int i = 0; i < helperThreads; ++i) helpers.emplace_back([&job] { job.Help(); });
    Pieces pieces;
    job.Write(pieces.Sink());
    for (std::thread& helper : helpers) helper.join();
    return pieces.text;
}

// Sizes on either side of one thread's limit (32,768 atoms) and of the blocks of 16,384 atoms,
// and one of more blocks than are ever made ahead, so that their text is reused.
TEST(PqrBlocks, TextAtBlockBoundariesIsTheRecordsInOrder) {
    for (const std::size_t atoms : {std::size_t{1}, std::size_t{32767}, std::size_t{32768}, std::size_t{32769},
                                    std::size_t{5 * 16384 - 1}, std::size_t{5 * 16384 + 1},
                                    std::size_t{9 * 16384 + 3}}) {
        SCOPED_TRACE(std::to_string(atoms) + " atoms");
        const NumberedDocument sample(atoms);
        Pieces pieces;
        VoltraApp::FormatPqr(sample.doc, "Charges and radii: test", pieces.Sink());
        ASSERT_TRUE(SameText(RecordLines(pieces.text), sample.records));
        EXPECT_EQ(PqrRemarks(pieces.text).back(), "REMARK   5 0 of " + std::to_string(atoms) +
                                                      " atoms have a charge or radius left Missing; they are "
                                                      "written with the values they have");
        // Never the whole text at once: a block, or a chunk of a small document, at most.
        EXPECT_LT(pieces.largest, 2 * VoltraApp::kPqrChunkBytes);
        EXPECT_TRUE(SameText(TextWithHelpers(sample.doc, 2), pieces.text));
    }
}

// Helpers may come before the writing starts, when it is a small document that one thread
// writes, or after it is over: each returns, and the text is the same.
TEST(PqrBlocks, HelpersComingEarlyOrLateReturn) {
    for (const std::size_t atoms : {std::size_t{100}, std::size_t{3 * 16384}}) {
        SCOPED_TRACE(std::to_string(atoms) + " atoms");
        const NumberedDocument sample(atoms);
        VoltraApp::PqrFormatJob job(sample.doc, "Charges and radii: test");
        std::thread early([&job] { job.Help(); });
        Pieces pieces;
        job.Write(pieces.Sink());
        early.join();
        job.Help();
        EXPECT_TRUE(SameText(RecordLines(pieces.text), sample.records));
    }
    // The writing never starts (its file could not be opened): a waiting helper is let go.
    const NumberedDocument sample(3 * 16384);
    VoltraApp::PqrFormatJob job(sample.doc, "test");
    std::thread waiting([&job] { job.Help(); });
    job.End();
    waiting.join();
}

// A sink that fails (a full disk) ends the writing with its own error, and every helper,
// the job's own and those that joined it, returns.
TEST(PqrBlocks, AFailingSinkReleasesEveryHelper) {
    const NumberedDocument sample(6 * 16384 + 5);
    for (int failAt : {1, 2, 5, 8}) {
        SCOPED_TRACE("failing at piece " + std::to_string(failAt));
        VoltraApp::PqrFormatJob job(sample.doc, "test");
        std::vector<std::thread> helpers;
        for (int i = 0; i < 2; ++i) helpers.emplace_back([&job] { job.Help(); });
        int calls = 0;
        try {
            job.Write([&](const std::string&) {
                if (++calls == failAt) throw std::runtime_error("disk full");
            });
            ADD_FAILURE() << "the sink's failure was lost";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "disk full");
        }
        EXPECT_EQ(calls, failAt);  // nothing handed over after the failure
        for (std::thread& helper : helpers) helper.join();
    }
}

}  // namespace
