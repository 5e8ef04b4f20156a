// Object filters: by class (exact or with subclasses) and by visibility.
#include "TestTree.h"

#include "HostModel/Filter.h"

#include <gtest/gtest.h>

namespace {

using namespace HostModel;

TEST(FilterType, ModeOneAcceptsSubclassesModeZeroOnlyTheClass) {
    const AminoAcid aminoAcid("ALA 1", 1, "ALA");
    const Residue residue("HOH 2", 2, "HOH");
    const Atom atom("C", 6);
    const FilterType withSubclasses(Residue::classType, 1);
    const FilterType exact(Residue::classType, 0);
    EXPECT_TRUE(withSubclasses.Accepts(aminoAcid));
    EXPECT_TRUE(withSubclasses.Accepts(residue));
    EXPECT_FALSE(withSubclasses.Accepts(atom));
    EXPECT_FALSE(exact.Accepts(aminoAcid));
    EXPECT_TRUE(exact.Accepts(residue));
    EXPECT_TRUE(FilterType(Atom3d::classType, 1).Accepts(atom));
    EXPECT_FALSE(FilterType(Atom3d::classType, 0).Accepts(atom));
}

TEST(FilterVisible, OwnFlagOrWholeAncestry) {
    ChemDoc doc;
    auto& hiddenMolecule = doc.GetTreeRoot()->Add(std::make_unique<Molecule>("hidden"));
    hiddenMolecule.SetVisible(false);
    auto& visibleAtom = hiddenMolecule.Add(std::make_unique<Atom>("C", 6));
    auto& hiddenAtom = hiddenMolecule.Add(std::make_unique<Atom>("O", 8));
    hiddenAtom.SetVisible(false);
    auto& shownMolecule = doc.GetTreeRoot()->Add(std::make_unique<Molecule>("shown"));
    auto& shownAtom = shownMolecule.Add(std::make_unique<Atom>("N", 7));

    const FilterType atoms(Atom::classType, 1);
    struct Case {
        bool wantHidden;
        int mode;
        const Object* object;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {false, 1, &visibleAtom, true},    {false, 2, &visibleAtom, false}, {true, 1, &visibleAtom, false},
        {true, 2, &visibleAtom, true},     {false, 1, &hiddenAtom, false},  {true, 1, &hiddenAtom, true},
        {false, 1, &shownAtom, true},      {false, 2, &shownAtom, true},    {true, 2, &shownAtom, false},
        {false, 1, &shownMolecule, false},  // the inner filter rejects molecules
        {true, 1, &hiddenMolecule, false},
    };
    for (const auto& c : cases) {
        const FilterVisible filter(atoms, c.wantHidden, c.mode);
        EXPECT_EQ(filter.Accepts(*c.object), c.accepted)
            << c.object->GetLabel() << " wantHidden " << c.wantHidden << " mode " << c.mode;
        EXPECT_EQ(filter.Clone()->Accepts(*c.object), c.accepted);
    }
}

TEST(FilterVisible, KeepsItsOwnCopyOfTheInnerFilter) {
    Molecule molecule("m");
    auto inner = std::make_unique<FilterType>(Molecule::classType, 1);
    const FilterVisible visible(*inner, false, 1);
    inner.reset();
    EXPECT_TRUE(visible.Accepts(molecule));
    auto clone = visible.Clone();
    molecule.SetVisible(false);
    EXPECT_FALSE(clone->Accepts(molecule));
}

}  // namespace
