// The document tree: adding and removing subtrees, ownership checks, counting descendants.
#include "TestTree.h"

#include "HostModel/ChemistryTracker.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/TreeRoot.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <stdexcept>

namespace {

using namespace HostModel;
using PlatformTest::AddPeptide;

TEST(ObjectTree, AddChildKeepsOrderAndSetsParent) {
    ChemDoc doc;
    TreeRoot& root = *doc.GetTreeRoot();
    auto& m1 = root.Add(std::make_unique<Molecule>("m1"));
    auto& m2 = root.Add(std::make_unique<Molecule>("m2"));
    auto& chain = m1.Add(std::make_unique<AminoAcidChain>("A"));
    ASSERT_EQ(root.GetNumChildren(), 2u);
    EXPECT_EQ(root.GetChild(0), &m1);
    EXPECT_EQ(root.GetChild(1), &m2);
    EXPECT_EQ(chain.GetParent(), &m1);
    EXPECT_EQ(m1.GetParent(), &root);
    EXPECT_EQ(chain.GetTreeRoot(), &root);
    EXPECT_EQ(chain.GetDocument(), &doc);
    EXPECT_EQ(root.GetParent(), nullptr);
}

TEST(ObjectTree, FreeObjectsBelongToNoDocument) {
    Molecule free("free");
    auto& atom = free.Add(std::make_unique<Atom>("C", 6));
    EXPECT_EQ(atom.GetTreeRoot(), nullptr);
    EXPECT_EQ(atom.GetDocument(), nullptr);
}

TEST(ObjectTree, AddChildRejectsNull) {
    Molecule molecule("m");
    EXPECT_THROW(molecule.AddChild(nullptr), std::invalid_argument);
    EXPECT_EQ(molecule.GetNumChildren(), 0u);
}

TEST(ObjectTree, AddingAnAncestorBelowItsDescendantIsRefused) {
    ChemDoc doc;
    auto& molecule = doc.GetTreeRoot()->Add(std::make_unique<Molecule>("m"));
    auto& chain = molecule.Add(std::make_unique<AminoAcidChain>("A"));
    auto residues = AddPeptide(chain, {"ALA", "GLY"});
    std::unique_ptr<Object> detached = doc.GetTreeRoot()->RemoveChild(molecule);
    Object* residue = residues[1].residue;
    try {
        residue->AddChild(std::move(detached));
        FAIL() << "a cycle was accepted";
    } catch (const std::invalid_argument& e) {
        EXPECT_NE(std::string(e.what()).find("'m'"), std::string::npos) << e.what();
    }
    // The refused subtree was released with the argument; the document is untouched.
    EXPECT_EQ(doc.GetTreeRoot()->GetNumChildren(), 0u);
}

TEST(ObjectTree, AddingAnObjectBelowItselfIsRefused) {
    auto molecule = std::make_unique<Molecule>("self");
    Molecule* raw = molecule.get();
    EXPECT_THROW(raw->AddChild(std::move(molecule)), std::invalid_argument);
}

TEST(ObjectTree, RemoveChildDetachesTheSubtreeIntact) {
    ChemDoc doc;
    TreeRoot& root = *doc.GetTreeRoot();
    auto& m1 = root.Add(std::make_unique<Molecule>("m1"));
    auto& m2 = root.Add(std::make_unique<Molecule>("m2"));
    auto& m3 = root.Add(std::make_unique<Molecule>("m3"));
    auto& chain = m2.Add(std::make_unique<AminoAcidChain>("A"));
    auto residues = AddPeptide(chain, {"ALA", "GLY", "SER"});

    std::unique_ptr<Object> detached = root.RemoveChild(m2);
    ASSERT_EQ(detached.get(), &m2);
    EXPECT_EQ(m2.GetParent(), nullptr);
    EXPECT_EQ(m2.GetDocument(), nullptr);
    EXPECT_EQ(residues[0].n->GetDocument(), nullptr);
    ASSERT_EQ(root.GetNumChildren(), 2u);
    EXPECT_EQ(root.GetChild(0), &m1);
    EXPECT_EQ(root.GetChild(1), &m3);
    // Bonds inside the detached part survive, peptide bonds included.
    EXPECT_EQ(m2.GetNumDescendents(Atom::classType), 12u);
    EXPECT_TRUE(residues[0].c->IsBondedTo(*residues[1].n));
    EXPECT_TRUE(residues[2].c->IsBondedTo(*residues[2].o));
}

TEST(ObjectTree, RemoveChildOfAStrangerThrowsNamingBoth) {
    ChemDoc doc;
    auto& molecule = doc.GetTreeRoot()->Add(std::make_unique<Molecule>("m1"));
    auto& chain = molecule.Add(std::make_unique<Chain>("W"));
    try {
        doc.GetTreeRoot()->RemoveChild(chain);  // a grandchild, not a child
        FAIL() << "nothing thrown";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "RemoveChild: 'W' is not a child of 'Root'");
    }
    EXPECT_EQ(chain.GetParent(), &molecule);
    EXPECT_EQ(molecule.GetNumChildren(), 1u);
}

TEST(ObjectTree, RemoveChildBreaksBondsCrossingTheCut) {
    ChemDoc doc;
    auto& molecule = doc.GetTreeRoot()->Add(std::make_unique<Molecule>("m"));
    auto& chain = molecule.Add(std::make_unique<AminoAcidChain>("A"));
    auto residues = AddPeptide(chain, {"ALA", "GLY", "SER"});
    // A disulfide-like bond from the middle residue to the first one, across the cut too.
    Atom::Bond(*residues[1].ca, *residues[0].ca);

    std::unique_ptr<Object> middle = chain.RemoveChild(*residues[1].residue);
    EXPECT_FALSE(residues[0].c->IsBondedTo(*residues[1].n));
    EXPECT_FALSE(residues[1].c->IsBondedTo(*residues[2].n));
    EXPECT_FALSE(residues[0].ca->IsBondedTo(*residues[1].ca));
    // Nothing outside points into the detached residue.
    DescendentIterator outside(&molecule, Atom::classType);
    while (Object* a = outside.GetNext()) {
        for (const Atom* partner : static_cast<Atom*>(a)->GetBonds()) {
            EXPECT_TRUE(partner->IsInSubtreeOf(molecule)) << a->GetLabel() << " -> " << partner->GetLabel();
        }
    }
    EXPECT_EQ(residues[1].n->GetBonds().size(), 1u);   // CA only
    EXPECT_EQ(residues[1].ca->GetBonds().size(), 2u);  // N and C
    EXPECT_TRUE(residues[0].ca->IsBondedTo(*residues[0].c));
    middle.reset();  // destroying it must not touch the atoms that stay (checked under valgrind)
    EXPECT_EQ(residues[0].c->GetBonds().size(), 2u);
    EXPECT_EQ(residues[2].n->GetBonds().size(), 1u);
}

TEST(ObjectTree, RemovingASingleAtomBreaksItsBonds) {
    ChemDoc doc;
    auto& molecule = doc.GetTreeRoot()->Add(std::make_unique<Molecule>("m"));
    auto residues = AddPeptide(molecule.Add(std::make_unique<AminoAcidChain>("A")), {"ALA"});
    std::unique_ptr<Object> ca = residues[0].residue->RemoveChild(*residues[0].ca);
    EXPECT_TRUE(static_cast<Atom&>(*ca).GetBonds().empty());
    EXPECT_TRUE(residues[0].n->GetBonds().empty());
    EXPECT_EQ(residues[0].c->GetBonds().size(), 1u);
}

TEST(ObjectTree, DestroyedAtomLeavesNoBondBehind) {
    // Atoms of two documents bonded to each other: closing one document must not leave the
    // other holding a pointer to a destroyed atom.
    ChemDoc kept;
    auto& keptAtom = kept.GetTreeRoot()->Add(std::make_unique<Molecule>("k")).Add(std::make_unique<Atom>("C", 6));
    {
        ChemDoc closed;
        auto& other = closed.GetTreeRoot()->Add(std::make_unique<Molecule>("c")).Add(std::make_unique<Atom>("O", 8));
        Atom::Bond(keptAtom, other);
        ASSERT_EQ(keptAtom.GetBonds().size(), 1u);
    }
    EXPECT_TRUE(keptAtom.GetBonds().empty());

    auto free = std::make_unique<Atom>("N", 7);
    Atom::Bond(keptAtom, *free);
    free.reset();
    EXPECT_TRUE(keptAtom.GetBonds().empty());
}

std::vector<Object*> ChildrenOf(const Object& node) {
    std::vector<Object*> out;
    for (std::size_t i = 0; i < node.GetNumChildren(); ++i) out.push_back(node.GetChild(i));
    return out;
}

std::vector<Object*> Walk(const Object& start) {
    std::vector<Object*> out;
    DescendentIterator it(&start, Object::classType);
    while (Object* o = it.GetNext()) out.push_back(o);
    return out;
}

TEST(ObjectTree, AnAtomTakesAChildAndGivesItBack) {
    Molecule molecule("m");
    auto& atom = molecule.Add(std::make_unique<Atom>("C", 6));
    EXPECT_EQ(atom.GetNumChildren(), 0u);
    EXPECT_TRUE(Walk(atom).empty());
    EXPECT_THROW(atom.RemoveChild(molecule), std::invalid_argument);  // no list yet to look in
    auto& dummy = atom.Add(std::make_unique<Atom3d>("dummy"));
    ASSERT_EQ(ChildrenOf(atom), (std::vector<Object*>{&dummy}));
    EXPECT_EQ(Walk(molecule), (std::vector<Object*>{&atom, &dummy}));
    std::unique_ptr<Object> back = atom.RemoveChild(dummy);
    EXPECT_EQ(back.get(), &dummy);
    EXPECT_EQ(dummy.GetParent(), nullptr);
    EXPECT_EQ(atom.GetNumChildren(), 0u);
    EXPECT_EQ(Walk(molecule), (std::vector<Object*>{&atom}));
}

TEST(ObjectTree, RemovingTheLastChildLeavesAResidueThatTakesAtomsAgain) {
    ChemDoc doc;
    auto& molecule = doc.GetTreeRoot()->Add(std::make_unique<Molecule>("m"));
    auto residues = AddPeptide(molecule.Add(std::make_unique<AminoAcidChain>("A")), {"ALA"});
    AminoAcid& residue = *residues[0].residue;
    for (Atom* atom : {residues[0].c, residues[0].n, residues[0].o, residues[0].ca}) residue.RemoveChild(*atom);
    EXPECT_EQ(residue.GetNumChildren(), 0u);
    EXPECT_EQ(residue.GetNumDescendents(Atom::classType), 0u);
    EXPECT_TRUE(Walk(residue).empty());
    auto& n = residue.Add(std::make_unique<Atom>("N", 7));
    auto& ca = residue.Add(std::make_unique<Atom>("CA", 6));
    EXPECT_EQ(ChildrenOf(residue), (std::vector<Object*>{&n, &ca}));
    EXPECT_EQ(Walk(residue), (std::vector<Object*>{&n, &ca}));
    EXPECT_EQ(ca.GetDocument(), &doc);
}

TEST(ObjectTree, ReservedChildrenArriveInOrderUnderTheirParent) {
    Residue residue("LIG1", 1, "LIG");
    residue.ReserveChildren(3);
    std::vector<Object*> added;
    for (const char* name : {"C1", "C2", "O1", "O2"}) added.push_back(&residue.Add(std::make_unique<Atom>(name, 6)));
    residue.ReserveChildren(1);  // fewer than held: nothing is lost
    EXPECT_EQ(ChildrenOf(residue), added);
    for (Object* atom : added) EXPECT_EQ(atom->GetParent(), &residue);
}

// Random adds and removals on a residue against a plain vector of its atoms: GetChild and the
// walk see the same order, and each removed atom comes back alone.
TEST(ObjectTree, RandomAddsAndRemovalsKeepTheOrderOfAModel) {
    Residue residue("R1", 1, "R");
    std::vector<Object*> model;
    std::mt19937 random(17);
    for (int step = 0; step < 600; ++step) {
        if (model.empty() || random() % 5 < 3) {
            model.push_back(&residue.Add(std::make_unique<Atom>("A" + std::to_string(step), 6)));
        } else {
            const std::size_t index = random() % model.size();
            Object* chosen = model[index];
            std::unique_ptr<Object> removed = residue.RemoveChild(*chosen);
            ASSERT_EQ(removed.get(), chosen);
            ASSERT_EQ(removed->GetParent(), nullptr);
            model.erase(model.begin() + static_cast<std::ptrdiff_t>(index));
        }
        ASSERT_EQ(ChildrenOf(residue), model) << "step " << step;
        ASSERT_EQ(Walk(residue), model) << "step " << step;
    }
}

// Oracle for the counts: a plain recursive walk over GetChild.
std::size_t CountByRecursion(const Object& node, ClassType type) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < node.GetNumChildren(); ++i) {
        const Object& child = *node.GetChild(i);
        count += (child.IsA(type) ? 1 : 0) + CountByRecursion(child, type);
    }
    return count;
}

TEST(ObjectTree, GetNumDescendentsMatchesARecursiveCount) {
    ChemDoc doc;
    TreeRoot& root = *doc.GetTreeRoot();
    std::mt19937 random(5);
    for (int m = 0; m < 4; ++m) {
        auto& molecule = root.Add(std::make_unique<Molecule>("m" + std::to_string(m)));
        for (int c = 0; c < 3; ++c) {
            Object& chain = c == 0   ? static_cast<Object&>(molecule.Add(std::make_unique<AminoAcidChain>("A")))
                            : c == 1 ? static_cast<Object&>(molecule.Add(std::make_unique<NucleicAcidChain>("B")))
                                     : static_cast<Object&>(molecule.Add(std::make_unique<Chain>("W")));
            const int residues = static_cast<int>(random() % 6);
            for (int r = 0; r < residues; ++r) {
                Object& residue = c == 0 ? static_cast<Object&>(chain.Add(std::make_unique<AminoAcid>("ALA", r, "ALA")))
                                  : c == 1
                                      ? static_cast<Object&>(chain.Add(std::make_unique<Nucleotide>("DA", r, "DA")))
                                      : static_cast<Object&>(chain.Add(std::make_unique<Residue>("HOH", r, "HOH")));
                const int atoms = static_cast<int>(random() % 5);
                for (int a = 0; a < atoms; ++a) residue.Add(std::make_unique<Atom>("X", 6));
            }
        }
        molecule.Add(std::make_unique<Atom3d>("dummy"));
    }
    new ChemistryTracker(&root, true, true);
    const ClassType types[] = {
        Object::classType,           Molecule::classType, Chain::classType,   AminoAcidChain::classType,
        NucleicAcidChain::classType, SubUnit::classType,  Residue::classType, AminoAcid::classType,
        Nucleotide::classType,       Atom3d::classType,   Atom::classType,    ChemistryTracker::classType,
        TreeRoot::classType};
    for (ClassType type : types) {
        EXPECT_EQ(root.GetNumDescendents(type), CountByRecursion(root, type)) << type->name;
        const Object& first = *root.GetChild(0);
        EXPECT_EQ(first.GetNumDescendents(type), CountByRecursion(first, type)) << type->name;
    }
    EXPECT_EQ(root.GetNumDescendents(TreeRoot::classType), 0u);  // the start is not counted
    EXPECT_EQ(root.GetNumDescendents(Molecule::classType), 4u);
    EXPECT_EQ(root.GetNumDescendents(ChemistryTracker::classType), 1u);
}

}  // namespace
