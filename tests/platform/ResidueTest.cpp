// Residues: finding an atom by name among a residue's children.
#include "HostModel/Atom.h"
#include "HostModel/Residue.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace HostModel;

TEST(ResidueFindAtom, ExactNameAmongAtomChildrenOnly) {
    AminoAcid ala("ALA1", 1, "ALA");
    // A child that is not an atom but carries an atom's name must not be taken for it.
    ala.Add(std::make_unique<SubUnit>("CA"));
    Atom& ca = ala.Add(std::make_unique<Atom>("CA", 6));
    Atom& firstH = ala.Add(std::make_unique<Atom>("H", 1));
    ala.Add(std::make_unique<Atom>("H", 1));
    ala.Add(std::make_unique<Atom>("O5'", 8));

    EXPECT_EQ(ala.FindAtom("CA"), &ca);
    EXPECT_EQ(ala.FindAtom("H"), &firstH) << "the first of two atoms with one name";
    EXPECT_NE(ala.FindAtom("O5'"), nullptr);
    for (const char* absent : {"ca", " CA", "CA ", "C", "", "O5*"}) {
        EXPECT_EQ(ala.FindAtom(absent), nullptr) << '"' << absent << '"';
    }
}

TEST(ResidueFindAtom, AtomsOfChildrenAreNotTheResidues) {
    Residue ligand("LIG1", 1, "LIG");
    auto& part = ligand.Add(std::make_unique<SubUnit>("part"));
    part.Add(std::make_unique<Atom>("C1", 6));
    EXPECT_EQ(ligand.FindAtom("C1"), nullptr);
}

}  // namespace
