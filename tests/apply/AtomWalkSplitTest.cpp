// The walk cut in two against a plain walk of the molecules: the same atoms in the same order,
// no residue in both ranges, halves within a residue of each other; where the threshold falls;
// molecules without residues, many small molecules, one molecule inside another.
#include "chem/ChemTestSupport.h"
#include "support/SampleDocument.h"

#include "apply/AtomWalkSplit.h"
#include "apply/VisibleMolecules.h"
#include "commands/TemplateSetCommand.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <set>
#include <string>
#include <vector>

namespace {

using VoltraTest::AddAtom;
using VoltraTest::AddResidue;

std::vector<const HostModel::Atom*> PlainWalk(const HostModel::OrdCollection& molecules) {
    std::vector<const HostModel::Atom*> atoms;
    for (const HostModel::Object* molecule : molecules) {
        HostModel::DescendentIterator it(molecule, HostModel::Atom::classType);
        while (const HostModel::Object* atom = it.GetNext()) atoms.push_back(static_cast<const HostModel::Atom*>(atom));
    }
    return atoms;
}

std::vector<const HostModel::Atom*> RangeWalk(const Voltra::AtomRange& range) {
    std::vector<const HostModel::Atom*> atoms;
    Voltra::ForEachAtom(range, [&](HostModel::Atom& atom) { atoms.push_back(&atom); });
    return atoms;
}

// Checks what every split must hold and returns the atoms of each range.
std::vector<std::vector<const HostModel::Atom*>> CheckedSplit(const HostModel::OrdCollection& molecules,
                                                              std::size_t minAtomsToSplit) {
    const std::vector<Voltra::AtomRange> ranges = Voltra::SplitAtomWalk(molecules, minAtomsToSplit);
    std::vector<std::vector<const HostModel::Atom*>> walked;
    std::vector<const HostModel::Atom*> joined;
    for (const Voltra::AtomRange& range : ranges) {
        walked.push_back(RangeWalk(range));
        EXPECT_EQ(walked.back().size(), range.atoms);
        joined.insert(joined.end(), walked.back().begin(), walked.back().end());
    }
    EXPECT_EQ(joined, PlainWalk(molecules));
    if (ranges.size() == 2) {
        std::set<const HostModel::Object*> firstParents;
        for (const HostModel::Atom* atom : walked[0]) firstParents.insert(atom->GetParent());
        for (const HostModel::Atom* atom : walked[1]) {
            const HostModel::Object* parent = atom->GetParent();
            EXPECT_FALSE(parent->IsA(HostModel::Residue::classType) && firstParents.count(parent) != 0)
                << "residue " << parent->GetLabel() << " is in both ranges";
        }
    }
    return walked;
}

std::size_t LargestResidue(const HostModel::ChemDoc& doc) {
    std::size_t largest = 1;
    for (const HostModel::Residue* residue : ChemTest::Residues(*doc.GetTreeRoot()))
        largest = std::max(largest, residue->GetNumChildren());
    return largest;
}

class SplitOnCorpus : public testing::TestWithParam<const char*> {};

TEST_P(SplitOnCorpus, HalvesJoinToTheWalkAndDifferByLessThanAResidue) {
    HostModel::ChemDoc doc;
    HostIO::ReadStructure(doc, ChemTest::CorpusPath(GetParam()));
    ASSERT_TRUE(Voltra::AddAndNameHydrogens(1, &doc));
    const HostModel::OrdCollection molecules = Voltra::CollectVisibleMolecules(*doc.GetTreeRoot());
    const auto halves = CheckedSplit(molecules, 0);
    ASSERT_EQ(halves.size(), 2u);
    const std::size_t first = halves[0].size(), second = halves[1].size();
    EXPECT_LE(std::max(first, second) - std::min(first, second), LargestResidue(doc)) << first << " and " << second;
}

// Proteins with ligands and waters, an NMR ensemble, nucleic acids, a cyclic peptide, mmCIF.
INSTANTIATE_TEST_SUITE_P(Corpus, SplitOnCorpus,
                         testing::Values("1AFS.pdb", "1A1P.pdb", "1pfe.cif.gz", "3U7T.cif", "5vav_cyclic_peptide.pdb",
                                         "cterm_hid.pdb", "9X2O.cif"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             return name.substr(0, name.find('.'));
                         });

TEST(SplitAtomWalk, SplitsFromTheThresholdOn) {
    HostModel::ChemDoc doc;
    HostIO::ReadStructure(doc, ChemTest::CorpusPath("1AFS.pdb"));
    const HostModel::OrdCollection molecules = Voltra::CollectVisibleMolecules(*doc.GetTreeRoot());
    const std::size_t atoms = PlainWalk(molecules).size();
    EXPECT_EQ(CheckedSplit(molecules, atoms).size(), 2u);
    EXPECT_EQ(CheckedSplit(molecules, atoms + 1).size(), 1u);
    EXPECT_EQ(Voltra::SplitAtomWalk(molecules, atoms + 1)[0].atoms, atoms);
}

TEST(SplitAtomWalk, CutsBetweenAtomsOutsideResidues) {
    HostModel::ChemDoc doc;
    auto& molecule = doc.GetTreeRoot()->Add(std::make_unique<HostModel::Molecule>("Cluster"));
    for (int i = 0; i < 101; ++i) AddAtom(molecule, "C" + std::to_string(i), 6);
    const auto halves = CheckedSplit(Voltra::CollectVisibleMolecules(*doc.GetTreeRoot()), 0);
    ASSERT_EQ(halves.size(), 2u);
    EXPECT_EQ(halves[0].size(), 50u);  // the middle atom would take the first past half
    EXPECT_EQ(halves[1].size(), 51u);
}

TEST(SplitAtomWalk, CutsBetweenMoleculesAndSkipsHiddenOnes) {
    HostModel::ChemDoc doc;
    for (int i = 0; i < 10; ++i) {
        auto& molecule = doc.GetTreeRoot()->Add(std::make_unique<HostModel::Molecule>("Water" + std::to_string(i)));
        AddResidue<HostModel::Residue>(molecule, "HOH", i, {{"O", 8}, {"H1", 1}, {"H2", 1}});
        molecule.SetVisible(i != 2);
    }
    const HostModel::OrdCollection molecules = Voltra::CollectVisibleMolecules(*doc.GetTreeRoot());
    const auto halves = CheckedSplit(molecules, 0);
    ASSERT_EQ(halves.size(), 2u);
    EXPECT_EQ(halves[0].size() + halves[1].size(), 27u);
    EXPECT_EQ(halves[0].size() % 3, 0u);
    EXPECT_LE(std::max(halves[0].size(), halves[1].size()), 15u);
}

TEST(SplitAtomWalk, OpensAChainWhenItHoldsTheMiddle) {
    HostModel::ChemDoc doc;
    auto& molecule = doc.GetTreeRoot()->Add(std::make_unique<HostModel::Molecule>("Protein"));
    auto& small = molecule.Add(std::make_unique<HostModel::AminoAcidChain>("A"));
    AddResidue<HostModel::AminoAcid>(small, "GLY", 1, VoltraTest::kBackbone);
    auto& large = molecule.Add(std::make_unique<HostModel::AminoAcidChain>("B"));
    for (int i = 1; i <= 40; ++i) AddResidue<HostModel::AminoAcid>(large, "GLY", i, VoltraTest::kBackbone);
    const auto halves = CheckedSplit(Voltra::CollectVisibleMolecules(*doc.GetTreeRoot()), 0);
    ASSERT_EQ(halves.size(), 2u);
    EXPECT_EQ(halves[0].size(), 84u);  // chain A and 20 residues of chain B
    EXPECT_EQ(halves[1].size(), 80u);
}

TEST(SplitAtomWalk, KeepsOneRangeForAMoleculeInsideAnother) {
    HostModel::ChemDoc doc;
    auto& outer = doc.GetTreeRoot()->Add(std::make_unique<HostModel::Molecule>("Outer"));
    for (int i = 0; i < 10; ++i) AddAtom(outer, "C" + std::to_string(i), 6);
    auto& inner = outer.Add(std::make_unique<HostModel::Molecule>("Inner"));
    for (int i = 0; i < 10; ++i) AddAtom(inner, "N" + std::to_string(i), 7);
    EXPECT_EQ(CheckedSplit(Voltra::CollectVisibleMolecules(*doc.GetTreeRoot()), 0).size(), 1u);
}

TEST(SplitAtomWalk, KeepsOneRangeForASingleResidue) {
    HostModel::ChemDoc doc;
    auto& molecule = doc.GetTreeRoot()->Add(std::make_unique<HostModel::Molecule>("Ligand"));
    AddResidue<HostModel::Residue>(molecule, "HEM", 1, {{"FE", 26}, {"NA", 7}, {"NB", 7}, {"NC", 7}, {"ND", 7}});
    EXPECT_EQ(CheckedSplit(Voltra::CollectVisibleMolecules(*doc.GetTreeRoot()), 0).size(), 1u);
}

TEST(SplitAtomWalk, NoMoleculesGiveOneEmptyRange) {
    HostModel::ChemDoc doc;
    const auto ranges = Voltra::SplitAtomWalk(Voltra::CollectVisibleMolecules(*doc.GetTreeRoot()), 0);
    ASSERT_EQ(ranges.size(), 1u);
    EXPECT_EQ(ranges[0].atoms, 0u);
}

}  // namespace
