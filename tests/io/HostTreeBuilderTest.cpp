// Residues made away from the builder and placed part by part build the tree that adding them one
// by one builds: the same chains, residue order, atoms, bonds across parts and unknown elements.
#include "io/HostTreeBuilder.h"
#include "io/ReadError.h"

#include "support/ModelReadOutline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using HostIO::AtomSite;
using HostIO::ResidueSite;

struct TestResidue {
    std::string name;
    int number;
    std::vector<AtomSite> atoms;
};

struct TestPart {
    std::string chain;
    std::vector<TestResidue> residues;
};

HostIO::ResidueClass ClassOf(const TestResidue& residue) {
    HostIO::ResidueFacts facts;
    facts.name = residue.name;
    for (const AtomSite& atom : residue.atoms) HostIO::NoteBackboneAtom(facts, atom.name, atom.atomicNumber);
    return HostIO::ClassifyResidue(facts);
}

// Two glycines split over two parts of chain A (the peptide bond crosses the parts), a ligand
// with an atom of no known element in each part, and a water.
std::vector<TestPart> Parts() {
    const auto glycine = [](int number, double x) {
        return TestResidue{"GLY", number,
                           {{"N", 7, x, 0, 0}, {"CA", 6, x + 1.45, 0, 0}, {"C", 6, x + 2.0, 1.4, 0}, {"O", 8, x + 1.4, 2.4, 0}}};
    };
    return {
        {"A", {glycine(1, 0.0), {"LIG", 7, {{"X1", 0, 20, 20, 20}, {"C1", 6, 21.5, 20, 20}}}}},
        {"A", {glycine(2, 2.6), {"HOH", 8, {{"O", 8, 30, 30, 30}}}, {"UNL", 9, {{"Q9", 0, 40, 40, 40}}}}},
    };
}

HostIO::ModelRead Outcome(HostIO::HostTreeBuilder& builder) {
    HostIO::ModelRead read;
    read.built = builder.Finish();
    return read;
}

std::string OneByOne(const std::vector<TestPart>& parts) {
    HostIO::HostTreeBuilder builder("one-by-one", "test.pdb");
    for (const TestPart& part : parts) {
        builder.StartPart(part.chain, HostIO::ChainKind::Peptide);
        for (const TestResidue& residue : part.residues)
            builder.AddResidue(ResidueSite{residue.name, residue.number, '\0'}, ClassOf(residue), residue.atoms);
    }
    return VoltraTest::OutlineModelRead(Outcome(builder));
}

std::string MadeBeforehand(const std::vector<TestPart>& parts) {
    std::vector<HostIO::MadePart> made(parts.size());
    for (std::size_t p = 0; p < parts.size(); ++p) {
        HostIO::StartMadePart(made[p], parts[p].chain, HostIO::ChainKind::Peptide);
        for (const TestResidue& residue : parts[p].residues) {
            HostIO::MakeResidue(made[p], ResidueSite{residue.name, residue.number, '\0'}, ClassOf(residue),
                                residue.atoms, "test.pdb");
        }
    }
    HostIO::HostTreeBuilder builder("one-by-one", "test.pdb");
    for (HostIO::MadePart& part : made) builder.AddPart(std::move(part));
    return VoltraTest::OutlineModelRead(Outcome(builder));
}

TEST(HostTreeBuilder, PartsMadeBeforehandBuildWhatResiduesOneByOneBuild) {
    const std::string oneByOne = OneByOne(Parts());
    EXPECT_EQ(MadeBeforehand(Parts()), oneByOne);
    // What the comparison rests on: a bond across the parts, both unknown elements, the first named.
    EXPECT_NE(oneByOne.find("unknown elements 2 ('X1' in residue 'LIG7')"), std::string::npos) << oneByOne;
    EXPECT_NE(oneByOne.find("bonds 8,"), std::string::npos) << oneByOne;
}

TEST(HostTreeBuilder, MadeResidueRefusesACoordinateOutOfRange) {
    HostIO::MadePart part;
    HostIO::StartMadePart(part, "A", HostIO::ChainKind::Peptide);
    const TestResidue far{"GLY", 1, {{"N", 7, 2e6, 0, 0}}};
    try {
        HostIO::MakeResidue(part, ResidueSite{far.name, far.number, '\0'}, ClassOf(far), far.atoms, "far.pdb");
        FAIL() << "accepted a coordinate of 2e6 Å";
    } catch (const HostIO::ReadError& e) {
        EXPECT_NE(std::string(e.what()).find("far.pdb"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("'N' of residue 'GLY1'"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(part.residues.empty());
}

}  // namespace
