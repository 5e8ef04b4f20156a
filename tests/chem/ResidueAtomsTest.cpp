// The one-look scans of a residue's atoms against the searches by name they stand in for.
#include "ChemTestStructures.h"
#include "ChemTestSupport.h"

#include "HostModel_Commands/CmdHydrogens.h"
#include "Quorva_ProteinCore/BuilderUtility.h"
#include "chem/ResidueAtoms.h"
#include "io/StructureReader.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

using namespace HostModel;

const std::pair<const char*, std::uint32_t> kLandmarkNames[] = {
    {"N", HostChem::kLandmarkN},         {"C", HostChem::kLandmarkC},     {"OXT", HostChem::kLandmarkOXT},
    {"O1", HostChem::kLandmarkO1},       {"O2", HostChem::kLandmarkO2},   {"HXT", HostChem::kLandmarkHXT},
    {"H1", HostChem::kLandmarkH1},       {"H2", HostChem::kLandmarkH2},   {"H3", HostChem::kLandmarkH3},
    {"HN1", HostChem::kLandmarkHN1},     {"HN2", HostChem::kLandmarkHN2}, {"HN3", HostChem::kLandmarkHN3},
    {"O5'", HostChem::kLandmarkO5Prime}, {"P", HostChem::kLandmarkP}};

// Every residue's scan says what a search for each name says, and its ends what the builder's
// N-terminus test and a search for the carbonyl C's partners say.
void ExpectScansAgreeWithSearches(const std::vector<Residue*>& residues, const std::string& what) {
    std::size_t free = 0, linked = 0;
    for (const Residue* residue : residues) {
        const std::string where = what + " " + residue->GetLabel();
        std::vector<Atom*> hydrogens;
        const HostChem::ResidueLandmarks marks = HostChem::FindLandmarks(*residue, &hydrogens);
        for (const auto& [name, bit] : kLandmarkNames)
            EXPECT_EQ(marks.Has(bit), HostChem::HasResidueAtom(*residue, name)) << where << " " << name;
        EXPECT_EQ(marks.n, HostChem::FindResidueAtom(*residue, "N")) << where;
        EXPECT_EQ(marks.c, HostChem::FindResidueAtom(*residue, "C")) << where;
        EXPECT_EQ(marks.hasHydrogen, HostChem::CarriesHydrogens(*residue)) << where;
        std::vector<Atom*> expectedHydrogens;
        for (Atom* atom : ChemTest::Atoms(*residue))
            if (atom->GetAtomicNumber() == 1) expectedHydrogens.push_back(atom);
        EXPECT_EQ(hydrogens, expectedHydrogens) << where;

        for (bool withHydrogen : {false, true}) {
            const HostChem::ResidueLandmarks ends = HostChem::FindBackboneEnds(*residue, withHydrogen);
            EXPECT_EQ(ends.n, marks.n) << where;
            EXPECT_EQ(ends.c, marks.c) << where;
            if (withHydrogen) {
                EXPECT_EQ(ends.hasHydrogen, marks.hasHydrogen) << where;
            }
        }
        if (!residue->IsA(AminoAcid::classType)) continue;
        const bool nTerminus = !marks.n || !HostChem::LinkedToOtherSubUnit(*marks.n, HostChem::PackName("C"), *residue);
        EXPECT_EQ(nTerminus, Quorva_ProteinCore::BuilderUtility::IsNTerminus(residue)) << where;
        if (marks.c) {
            bool nextN = false;
            for (const Atom* partner : marks.c->GetBonds())
                nextN = nextN || (partner->GetLabel() == "N" && partner->GetParent() != residue);
            const bool cLinked = HostChem::LinkedToOtherSubUnit(*marks.c, HostChem::PackName("N"), *residue);
            EXPECT_EQ(cLinked, nextN) << where;
            ++(cLinked ? linked : free);
        }
    }
    EXPECT_GT(linked, free) << what;  // peptide bonds far outnumber chain ends
}

class ResidueScans : public ::testing::TestWithParam<const char*> {};

TEST_P(ResidueScans, AgreeWithSearchesByName) {
    ChemDoc doc;
    HostIO::ReadStructureFromMemory(doc, ChemTest::CorpusText(GetParam()), GetParam());
    ExpectScansAgreeWithSearches(ChemTest::Residues(doc), GetParam());
    // Again with every hydrogen in place, as chain ends and naming meet the residues.
    HostModel_Commands::CmdHydrogens add(HostModel_Commands::CmdHydrogens::AddHydrogens, Atom::AllHydrogens);
    ASSERT_TRUE(doc.Execute(add));
    ExpectScansAgreeWithSearches(ChemTest::Residues(doc), std::string(GetParam()) + " with hydrogens");
}

INSTANTIATE_TEST_SUITE_P(Corpus, ResidueScans, ::testing::Values("1AFS.pdb", "1pfe.cif.gz", "3U7T.cif"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             const std::string name = info.param;
                             return name.substr(0, name.find('.'));
                         });

// Labels that repeat, differ only past the packed length or only in case: the first N and C
// count, and no name matches a landmark it merely starts with.
TEST(ResidueScans, FirstOfRepeatedLabelsAndNoPrefixMatches) {
    Molecule molecule("m");
    auto& chain = molecule.Add(std::make_unique<AminoAcidChain>("A"));
    auto& residue = ChemTest::AddAminoAcid(chain, "ALA", 1,
                                           {{"NXXXXXXXX", 7, {}},
                                            {"n", 7, {}},
                                            {"N", 7, {}},
                                            {"N", 7, {}},
                                            {"OXT ", 8, {}},
                                            {"H1", 1, {}},
                                            {"CA", 6, {}},
                                            {"C", 6, {}},
                                            {"HN1X", 1, {}}});
    const HostChem::ResidueLandmarks marks = HostChem::FindLandmarks(residue);
    EXPECT_EQ(marks.n, residue.GetChild(2));
    EXPECT_EQ(marks.c, residue.GetChild(7));
    EXPECT_EQ(marks.present, HostChem::kLandmarkN | HostChem::kLandmarkC | HostChem::kLandmarkH1);
    EXPECT_TRUE(marks.hasHydrogen);
    const HostChem::ResidueLandmarks ends = HostChem::FindBackboneEnds(residue, true);
    EXPECT_EQ(ends.n, residue.GetChild(2));
    EXPECT_EQ(ends.c, residue.GetChild(7));
    EXPECT_TRUE(ends.hasHydrogen);
}

}  // namespace
