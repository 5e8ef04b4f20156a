// N-terminus detection through peptide bonds: first residues, chain breaks, cyclic peptides.
#include "TestTree.h"

#include "HostModel/DescendentIterator.h"
#include "Quorva_ProteinCore/BuilderUtility.h"

#include <gtest/gtest.h>

namespace {

using namespace HostModel;
using PlatformTest::AddBackboneResidue;
using PlatformTest::AddPeptide;
using Quorva_ProteinCore::BuilderUtility;

struct Doc {
    ChemDoc doc;
    AminoAcidChain* chain;
    Doc() {
        chain = &doc.GetTreeRoot()->Add(std::make_unique<Molecule>("m")).Add(std::make_unique<AminoAcidChain>("A"));
    }
};

std::vector<bool> Termini(const std::vector<PlatformTest::BackboneResidue>& residues) {
    std::vector<bool> out;
    for (const auto& r : residues) out.push_back(BuilderUtility::IsNTerminus(r.residue));
    return out;
}

TEST(IsNTerminus, OnlyTheFirstResidueOfAnUnbrokenChain) {
    Doc d;
    const auto residues = AddPeptide(*d.chain, {"MET", "ALA", "GLY", "LYS"});
    EXPECT_EQ(Termini(residues), (std::vector<bool>{true, false, false, false}));
}

TEST(IsNTerminus, AChainBreakStartsANewTerminus) {
    Doc d;
    const auto residues = AddPeptide(*d.chain, {"MET", "ALA", "GLY", "LYS", "SER"});
    Atom::Unbond(*residues[2].c, *residues[3].n);
    EXPECT_EQ(Termini(residues), (std::vector<bool>{true, false, false, true, false}));
}

TEST(IsNTerminus, HeadToTailCyclicPeptideHasNone) {
    Doc d;
    const auto residues = AddPeptide(*d.chain, {"GLY", "PRO", "ALA", "VAL"});
    Atom::Bond(*residues.back().c, *residues.front().n);
    EXPECT_EQ(Termini(residues), (std::vector<bool>{false, false, false, false}));
}

TEST(IsNTerminus, OnlyABondToAnotherResiduesCarbonylCounts) {
    Doc d;
    auto residues = AddPeptide(*d.chain, {"ALA", "GLY"});
    // The second residue's N bonded to the first's CA instead of C: no peptide bond.
    Atom::Unbond(*residues[0].c, *residues[1].n);
    Atom::Bond(*residues[0].ca, *residues[1].n);
    EXPECT_TRUE(BuilderUtility::IsNTerminus(residues[1].residue));
    // A C labelled "C" in its own residue does not precede it.
    Atom::Bond(*residues[1].c, *residues[1].n);
    EXPECT_TRUE(BuilderUtility::IsNTerminus(residues[1].residue));
}

TEST(IsNTerminus, AnAcylCapMakesTheNitrogenAnAmide) {
    // An acetyl cap (ACE) or any other acyl group bonded through its "C" leaves no free amine:
    // the first amino acid is not a charged N-terminus.
    Doc d;
    auto residues = AddPeptide(*d.chain, {"ALA", "GLY"});
    auto& cap = d.chain->Add(std::make_unique<Residue>("ACE0", 0, "ACE"));
    auto& capC = cap.Add(std::make_unique<Atom>("C", 6));
    EXPECT_TRUE(BuilderUtility::IsNTerminus(residues[0].residue));
    Atom::Bond(capC, *residues[0].n);
    EXPECT_FALSE(BuilderUtility::IsNTerminus(residues[0].residue));
}

TEST(IsNTerminus, ResidueWithoutNitrogenIsATerminus) {
    Doc d;
    auto first = AddBackboneResidue(*d.chain, "ALA", 1);
    auto second = AddBackboneResidue(*d.chain, "GLY", 2, /*withN=*/false);
    EXPECT_TRUE(BuilderUtility::IsNTerminus(second.residue));
    EXPECT_TRUE(BuilderUtility::IsNTerminus(first.residue));
}

TEST(IsNTerminus, AnythingButAnAminoAcidIsNot) {
    Doc d;
    auto& water = d.chain->Add(std::make_unique<Residue>("HOH 1", 1, "HOH"));
    water.Add(std::make_unique<Atom>("N", 7));  // even with an "N"
    auto& nucleotide = d.chain->Add(std::make_unique<Nucleotide>("DA 2", 2, "DA"));
    const SubUnit plain("X");
    EXPECT_FALSE(BuilderUtility::IsNTerminus(&water));
    EXPECT_FALSE(BuilderUtility::IsNTerminus(&nucleotide));
    EXPECT_FALSE(BuilderUtility::IsNTerminus(&plain));
    EXPECT_FALSE(BuilderUtility::IsNTerminus(nullptr));
}

TEST(IsNTerminus, FirstAminoAcidFoundByTheSubUnitWalk) {
    // The way template application looks for a chain's terminus: sub-units with pruning.
    Doc d;
    d.chain->Add(std::make_unique<Residue>("ACE 0", 0, "ACE")).Add(std::make_unique<Atom>("C", 6));
    const auto residues = AddPeptide(*d.chain, {"ALA", "GLY", "SER"});
    DescendentIterator subUnits(d.chain, SubUnit::classType, true, 0, nullptr);
    Object* terminus = nullptr;
    while (Object* s = subUnits.GetNext()) {
        if (s->IsA(AminoAcid::classType) && BuilderUtility::IsNTerminus(static_cast<SubUnit*>(s))) {
            terminus = s;
            break;
        }
    }
    EXPECT_EQ(terminus, residues[0].residue);
}

}  // namespace
