// Names of other conventions mapped to the PDB's, and protonation states read from hydrogens.
#include "ChemTestStructures.h"

#include "HostModel/PreparationReport.h"
#include "chem/HydrogenRecipe.h"
#include "chem/ResidueConventions.h"
#include "io/StructureReader.h"

#include <gtest/gtest.h>

namespace {

using ChemTest::AddAminoAcid;
using ChemTest::AtomSpec;

struct StateCase {
    const char* type;
    std::vector<const char*> atoms;  // heavy atoms and hydrogens present
    const char* expected;            // type name after reading
    const char* counted;             // the statesFromHydrogens entry, or null
};

int ElementOf(const char* name) {
    switch (name[0]) {
        case 'H': return 1;
        case 'C': return 6;
        case 'N': return 7;
        case 'O': return 8;
        case 'S': return 16;
    }
    return 0;
}

class StatesFromHydrogens : public ::testing::TestWithParam<StateCase> {};

TEST_P(StatesFromHydrogens, TypeNameFollowsTheHydrogensPresent) {
    const StateCase& c = GetParam();
    HostModel::Molecule molecule("m");
    auto& chain = molecule.Add(std::make_unique<HostModel::AminoAcidChain>("A"));
    std::vector<AtomSpec> atoms;
    double x = 0;
    for (const char* name : c.atoms) atoms.push_back({name, ElementOf(name), {x += 1.5, 0, 0}});
    HostModel::AminoAcid& residue = AddAminoAcid(chain, c.type, 7, atoms);
    HostModel::PreparationReport report;
    HostChem::ReadStatesFromHydrogens(molecule, report);
    EXPECT_EQ(residue.GetResidueType(), c.expected);
    EXPECT_EQ(residue.GetLabel(), std::string(c.type) + "7") << "the label keeps the input's name";
    if (c.counted) {
        EXPECT_EQ(report.statesFromHydrogens.size(), 1u);
        EXPECT_EQ(report.statesFromHydrogens[c.counted], 1u);
    } else {
        EXPECT_TRUE(report.statesFromHydrogens.empty());
    }
}

const StateCase kStateCases[] = {
    {"HIS", {"N", "CA", "ND1", "NE2", "HD1"}, "HID", "HID"},
    {"HIS", {"N", "CA", "ND1", "NE2", "HE2"}, "HIE", "HIE"},
    {"HIS", {"N", "CA", "ND1", "NE2", "HD1", "HE2"}, "HIP", "HIP"},
    {"HIE", {"N", "CA", "ND1", "NE2", "HD1", "HE2"}, "HIP", "HIP"},  // the hydrogens beat the name
    {"HIS", {"N", "H", "CA", "ND1", "NE2"}, "HIS", nullptr},         // no ring hydrogen: says nothing
    {"ASP", {"CG", "OD1", "OD2", "HD2", "HA"}, "ASH", "ASH"},
    {"ASP", {"CG", "OD1", "OD2", "HA"}, "ASP", nullptr},
    {"ASH", {"CG", "OD1", "OD2", "HA"}, "ASP", nullptr},
    {"GLU", {"CD", "OE1", "OE2", "HE2"}, "GLH", "GLH"},
    {"LYS", {"NZ", "HZ1", "HZ2", "HZ3"}, "LYS", nullptr},
    {"LYS", {"NZ", "HZ2", "HZ3"}, "LYN", "LYN"},
    {"LYS", {"CE", "HE2", "HE3"}, "LYS", nullptr},  // NZ missing: nothing to say
    {"CYS", {"CB", "SG", "HG", "HB2"}, "CYS", nullptr},
    {"CYS", {"CB", "SG", "HB2", "HB3"}, "CYM", "CYM"},
    {"CYS", {"CB", "SG"}, "CYS", nullptr},  // no hydrogens at all: the protonation step decides
    {"ALA", {"CA", "CB", "HB1"}, "ALA", nullptr},
};

void PrintTo(const StateCase& c, std::ostream* out) { *out << c.type << " ->" << c.expected; }

INSTANTIATE_TEST_SUITE_P(Table, StatesFromHydrogens, ::testing::ValuesIn(kStateCases));

TEST(StatesFromHydrogensBridges, CysteinesWithoutHgNearAnotherSulfurAreCyx) {
    HostModel::Molecule molecule("m");
    auto& chain = molecule.Add(std::make_unique<HostModel::AminoAcidChain>("A"));
    // Two sulfurs 2.04 Å apart, unbonded as a file might leave them; a third 6 Å away.
    auto& a = AddAminoAcid(chain, "CYS", 1, {{"SG", 16, {0, 0, 0}}, {"HB2", 1, {0, 1, 0}}});
    auto& b = AddAminoAcid(chain, "CYS", 2, {{"SG", 16, {2.04, 0, 0}}, {"HB2", 1, {2, 1, 0}}});
    auto& c = AddAminoAcid(chain, "CYS", 3, {{"SG", 16, {8.0, 0, 0}}, {"HB2", 1, {8, 1, 0}}});
    // Bonded sulfurs count whatever their distance in the file.
    auto& d = AddAminoAcid(chain, "CYS", 4, {{"SG", 16, {20, 0, 0}}, {"HB2", 1, {20, 1, 0}}});
    auto& e = AddAminoAcid(chain, "CYS", 5, {{"SG", 16, {23, 0, 0}}, {"HB2", 1, {23, 1, 0}}});
    HostModel::Atom::Bond(*static_cast<HostModel::Atom*>(d.GetChild(0)), *static_cast<HostModel::Atom*>(e.GetChild(0)));
    HostModel::PreparationReport report;
    HostChem::ReadStatesFromHydrogens(molecule, report);
    EXPECT_EQ(a.GetResidueType(), "CYX");
    EXPECT_EQ(b.GetResidueType(), "CYX");
    EXPECT_EQ(c.GetResidueType(), "CYM");
    EXPECT_EQ(d.GetResidueType(), "CYX");
    EXPECT_EQ(e.GetResidueType(), "CYX");
    EXPECT_EQ(report.statesFromHydrogens["CYX"], 4u);
    EXPECT_EQ(report.statesFromHydrogens["CYM"], 1u);
}

// ---------------------------------------------------------------------------------------------

struct NameCase {
    const char* pdb;           // PDB text of one residue
    const char* expectedType;  // type name after reading
    std::vector<const char*> expectedAtoms;
    const char* expectedMapping;  // one namesMapped entry, or null for none
    bool nucleicChain;            // the residue sits in a nucleic-acid chain
};

// A deoxy- and a ribonucleotide's sugar and phosphate, enough for the rules.
#define SUGAR_ATOMS(res)                                           \
    "ATOM      1  P   " res                                        \
    " A   1       0.000   0.000   0.000  1.00  0.00           P\n" \
    "ATOM      2  O1P " res                                        \
    " A   1       1.480   0.000   0.000  1.00  0.00           O\n" \
    "ATOM      3  O2P " res                                        \
    " A   1      -0.500   1.400   0.000  1.00  0.00           O\n" \
    "ATOM      4  O5' " res                                        \
    " A   1      -0.500  -0.700   1.300  1.00  0.00           O\n" \
    "ATOM      5  C1' " res                                        \
    " A   1      -1.000  -1.000   4.000  1.00  0.00           C\n" \
    "ATOM      6  C2' " res " A   1      -2.400  -1.000   4.500  1.00  0.00           C\n"

const NameCase kNameCases[] = {
    {SUGAR_ATOMS("  A"), "DA", {"P", "OP1", "OP2", "O5'", "C1'", "C2'"}, "A -> DA", true},
    {SUGAR_ATOMS("  T") "ATOM      7  C5M   T A   1       5.000   5.000   5.000  1.00  0.00           C\n",
     "DT",
     {"P", "OP1", "OP2", "O5'", "C1'", "C2'", "C7"},
     "T -> DT",
     true},
    {SUGAR_ATOMS("  G") "ATOM      7  O2'   G A   1      -3.000  -2.300   4.600  1.00  0.00           O\n",
     "G",
     {"P", "OP1", "OP2", "O5'", "C1'", "C2'", "O2'"},
     nullptr,
     true},
    {SUGAR_ATOMS(" RG") "ATOM      7  O2'  RG A   1      -3.000  -2.300   4.600  1.00  0.00           O\n",
     "G",
     {"P", "OP1", "OP2", "O5'", "C1'", "C2'", "O2'"},
     "RG -> G",
     true},
    {SUGAR_ATOMS("DC5"), "DC", {"P", "OP1", "OP2", "O5'", "C1'", "C2'"}, "DC5 -> DC", true},
    // CHARMM writes TIP3 over column 21; a PDB residue name is columns 18-20, so it reads as TIP.
    {"HETATM    1  OH2 TIP3W   1       0.000   0.000   0.000  1.00  0.00           O\n",
     "HOH",
     {"O"},
     "TIP -> HOH",
     false},
    {"HETATM    1  O   WAT W   1       0.000   0.000   0.000  1.00  0.00           O\n",
     "HOH",
     {"O"},
     "WAT -> HOH",
     false},
};

class ResidueNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(ResidueNames, ReadAsThePdbNamesThem) {
    const NameCase& c = GetParam();
    HostModel::ChemDoc doc;
    const HostIO::ReadResult read = HostIO::ReadStructureFromMemory(doc, c.pdb, "case.pdb");
    const std::vector<HostModel::Residue*> residues = ChemTest::Residues(doc);
    ASSERT_EQ(residues.size(), 1u);
    const HostModel::Residue& residue = *residues[0];
    EXPECT_EQ(residue.GetResidueType(), c.expectedType);
    std::vector<std::string> expected(c.expectedAtoms.begin(), c.expectedAtoms.end());
    EXPECT_EQ(ChemTest::AtomLabels(residue), expected);
    const auto& mapped = doc.GetPreparationReport().namesMapped;
    if (c.expectedMapping) {
        EXPECT_EQ(mapped.count(c.expectedMapping), 1u) << c.expectedMapping;
    } else {
        EXPECT_EQ(mapped.count(std::string(c.expectedType) + " -> " + c.expectedType), 0u);
    }
    const HostModel::Object* chain = residue.GetParent();
    if (c.nucleicChain) {
        EXPECT_TRUE(chain->IsA(HostModel::NucleicAcidChain::classType));
        EXPECT_TRUE(residue.IsA(HostModel::Nucleotide::classType));
    } else {
        EXPECT_EQ(chain->GetLabel(), "Water");
    }
    EXPECT_TRUE(read.unknownResidues.empty()) << read.unknownResidues.front();
}

void PrintTo(const NameCase& c, std::ostream* out) { *out << (c.expectedMapping ? c.expectedMapping : c.expectedType); }

INSTANTIATE_TEST_SUITE_P(Table, ResidueNames, ::testing::ValuesIn(kNameCases));

TEST(ResidueNamesMore, CharmmHistidinesAndCapsGetTheirTemplateNames) {
    const char* pdb =
        "ATOM      1  N   HSD A   1       0.000   0.000   0.000  1.00  0.00           N\n"
        "ATOM      2  N   HSP A   2       9.000   0.000   0.000  1.00  0.00           N\n"
        "ATOM      3  N   NMA A   3      18.000   0.000   0.000  1.00  0.00           N\n";
    HostModel::ChemDoc doc;
    HostIO::ReadStructureFromMemory(doc, pdb, "case.pdb");
    const auto residues = ChemTest::Residues(doc);
    ASSERT_EQ(residues.size(), 3u);
    EXPECT_EQ(residues[0]->GetResidueType(), "HID");
    EXPECT_EQ(residues[1]->GetResidueType(), "HIP");
    EXPECT_EQ(residues[2]->GetResidueType(), "NME");
    EXPECT_EQ(residues[0]->GetLabel(), "HSD1");
}

TEST(ResidueNamesMore, ALigandCalledALikeAdenosineIsLeftAlone) {
    // No sugar: not a nucleotide, whatever its name.
    const char* pdb = "HETATM    1  C1    A B   1       0.000   0.000   0.000  1.00  0.00           C\n";
    HostModel::ChemDoc doc;
    HostIO::ReadStructureFromMemory(doc, pdb, "case.pdb");
    const auto residues = ChemTest::Residues(doc);
    ASSERT_EQ(residues.size(), 1u);
    EXPECT_EQ(residues[0]->GetResidueType(), "A");
    EXPECT_TRUE(doc.GetPreparationReport().namesMapped.empty());
}

TEST(ResidueNamesMore, WaterSpellings) {
    for (const char* name : {"HOH", "WAT", "H2O", "TIP3", "SOL", "T3P"}) {
        EXPECT_TRUE(HostChem::IsWaterResidueName(name)) << name;
    }
    for (const char* name : {"HO", "TIP2", "SO4", "OH"}) EXPECT_FALSE(HostChem::IsWaterResidueName(name)) << name;
}

// Standard amino acids under every spelling of their protonation variants; waters, modified
// residues, nucleotides and other cases are not.
TEST(StandardAminoAcidTypes, VariantSpellingsCountOthersDoNot) {
    for (const char* name : {"ALA", "VAL", "HIS", "HID", "HIE", "HIP", "HSD", "HSE", "HSP", "HI+", "CYX", "CYM",
                             "CSS", "CY-", "ASH", "AS0", "GLH", "GL0", "LYN", "LY0", "TYM", "TY-", "AR0"})
        EXPECT_TRUE(HostChem::IsStandardAminoAcidType(name)) << name;
    for (const char* name : {"HOH", "WAT", "TIP3", "SOL", "H2O", "MSE", "ACE", "NME", "DA", "A", "", "ala", "His"})
        EXPECT_FALSE(HostChem::IsStandardAminoAcidType(name)) << name;
}

}  // namespace
