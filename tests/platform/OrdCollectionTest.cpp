// Ordered collections frozen from iterators: the visible-molecule selection of the module.
#include "TestTree.h"

#include "HostModel/DescendentIterator.h"
#include "HostModel/Filter.h"
#include "HostModel/OrdCollection.h"
#include "HostModel/TreeRoot.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using namespace HostModel;
using PlatformTest::Labels;

TEST(OrdCollection, FreezesTheVisibleMoleculesInTreeOrder) {
    ChemDoc doc;
    TreeRoot& root = *doc.GetTreeRoot();
    for (const char* label : {"m1", "m2", "m3", "m4"}) root.Add(std::make_unique<Molecule>(label));
    root.GetChild(1)->SetVisible(false);

    const auto type = std::make_unique<FilterType>(Molecule::classType, 1);
    auto visible = std::make_unique<FilterVisible>(*type, false, 1);
    DescendentIterator it(&root, *visible, false, 0, nullptr);
    visible.reset();
    const OrdCollection molecules(it, 0, -1);
    ASSERT_EQ(molecules.GetSize(), 3u);
    EXPECT_EQ(Labels(molecules), (std::vector<std::string>{"m1", "m3", "m4"}));
    EXPECT_EQ(molecules[2], root.GetChild(3));

    // Later changes to the tree do not reach the frozen collection.
    root.Add(std::make_unique<Molecule>("m5"));
    root.GetChild(0)->SetVisible(false);
    EXPECT_EQ(molecules.GetSize(), 3u);
    EXPECT_EQ(molecules[0]->GetLabel(), "m1");
}

TEST(OrdCollection, IndexPastTheEndThrows) {
    OrdCollection empty(0, -1);
    EXPECT_EQ(empty.GetSize(), 0u);
    EXPECT_THROW(empty[0], std::out_of_range);
    Molecule m("m");
    OrdCollection one(4);
    one.Add(&m);
    EXPECT_EQ(one[0], &m);
    EXPECT_THROW(one[1], std::out_of_range);
}

TEST(OrdCollection, AddAllAppendsAfterExistingItems) {
    ChemDoc doc;
    auto& molecule = doc.GetTreeRoot()->Add(std::make_unique<Molecule>("m"));
    molecule.Add(std::make_unique<Atom>("N", 7));
    molecule.Add(std::make_unique<Atom>("C", 6));
    OrdCollection collection;
    collection.Add(&molecule);
    DescendentIterator atoms(&molecule, Atom::classType);
    collection.AddAll(atoms);
    EXPECT_EQ(Labels(collection), (std::vector<std::string>{"m", "N", "C"}));
}

}  // namespace
