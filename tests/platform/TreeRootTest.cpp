// The tree root's counting and collecting of descendants by class.
#include "TestTree.h"

#include "HostModel/OrdCollection.h"
#include "HostModel/TreeRoot.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using namespace HostModel;
using PlatformTest::Labels;

void AddAtoms(Object& parent, int count) {
    for (int i = 0; i < count; ++i) parent.Add(std::make_unique<Atom>("C" + std::to_string(i), 6));
}

TEST(TreeRoot, CheckTypeExistsCountsAgainstTheRange) {
    struct Case {
        int atoms;
        int minimum;
        int maximum;
        bool expected;
    };
    const std::vector<Case> cases = {
        {0, 1, INT_MAX, false}, {1, 1, INT_MAX, true}, {5, 1, INT_MAX, true}, {0, 0, 0, true}, {1, 0, 0, false},
        {2, 2, 2, true},        {3, 2, 2, false},      {1, 2, 2, false},      {3, 1, 3, true}, {4, 1, 3, false},
        {0, 0, -1, false},      {2, 3, 1, false},      {0, 0, INT_MAX, true},  {5, 5, INT_MAX, true},
        {5, 6, INT_MAX, false},
    };
    for (const auto& c : cases) {
        ChemDoc doc;
        AddAtoms(doc.GetTreeRoot()->Add(std::make_unique<Molecule>("m")), c.atoms);
        EXPECT_EQ(doc.GetTreeRoot()->CheckTypeExists(Atom::classType, c.minimum, c.maximum, 0), c.expected)
            << c.atoms << " atoms in [" << c.minimum << ", " << c.maximum << "]";
    }
}

TEST(TreeRoot, CheckTypeExistsRespectsInheritanceAndVisibility) {
    ChemDoc doc;
    TreeRoot& root = *doc.GetTreeRoot();
    auto& shown = root.Add(std::make_unique<Molecule>("shown"));
    auto& hidden = root.Add(std::make_unique<Molecule>("hidden"));
    hidden.SetVisible(false);
    AddAtoms(shown.Add(std::make_unique<AminoAcidChain>("A")).Add(std::make_unique<AminoAcid>("ALA 1", 1, "ALA")), 2);
    AddAtoms(hidden, 3);
    EXPECT_TRUE(root.CheckTypeExists(Atom::classType, 5, 5, 0));
    EXPECT_TRUE(root.CheckTypeExists(Atom::classType, 2, 2, 1));  // behaviour 1: hidden molecule's atoms left out
    EXPECT_TRUE(root.CheckTypeExists(Atom3d::classType, 5, 5, 0));
    EXPECT_TRUE(root.CheckTypeExists(Chain::classType, 1, 1, 0));
    EXPECT_TRUE(root.CheckTypeExists(SubUnit::classType, 1, 1, 0));
    EXPECT_FALSE(root.CheckTypeExists(NucleicAcidChain::classType, 1, INT_MAX, 0));
}

TEST(TreeRoot, CollectDescendentsAllOrVisibleOnly) {
    ChemDoc doc;
    TreeRoot& root = *doc.GetTreeRoot();
    auto& m1 = root.Add(std::make_unique<Molecule>("m1"));
    auto& m2 = root.Add(std::make_unique<Molecule>("m2"));
    auto& m3 = root.Add(std::make_unique<Molecule>("m3"));
    m1.Add(std::make_unique<Atom>("a1", 6));
    m2.Add(std::make_unique<Atom>("a2", 6));
    m3.Add(std::make_unique<Atom>("a3", 6)).SetVisible(false);
    m3.Add(std::make_unique<Atom>("a4", 6));
    m2.SetVisible(false);

    OrdCollection all;
    root.CollectDescendents(all, Atom::classType, false);
    EXPECT_EQ(Labels(all), (std::vector<std::string>{"a1", "a2", "a3", "a4"}));

    OrdCollection visible;
    visible.Add(&m1);  // collecting appends
    root.CollectDescendents(visible, Atom::classType, true);
    EXPECT_EQ(Labels(visible), (std::vector<std::string>{"m1", "a1", "a4"}));

    OrdCollection molecules;
    root.CollectDescendents(molecules, Molecule::classType, true);
    EXPECT_EQ(Labels(molecules), (std::vector<std::string>{"m1", "m3"}));
}

}  // namespace
