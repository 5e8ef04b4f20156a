// Walking descendants: tree order, class and filter selection, pruning, callbacks.
#include "TestTree.h"

#include "HostModel/ChemistryTracker.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/Filter.h"
#include "HostModel/TreeRoot.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using namespace HostModel;
using PlatformTest::Labels;

std::vector<Object*> Drain(DescendentIterator& it) {
    std::vector<Object*> out;
    while (Object* o = it.GetNext()) out.push_back(o);
    return out;
}

// root > m1 > (A > [ALA 1 > N CA] [HOH 2 > O]) , m2 (hidden) > (B > [DA 3 > P])
struct SmallDoc {
    ChemDoc doc;
    Molecule* m1;
    Molecule* m2;
    AminoAcidChain* chainA;
    SmallDoc() {
        TreeRoot& root = *doc.GetTreeRoot();
        m1 = &root.Add(std::make_unique<Molecule>("m1"));
        chainA = &m1->Add(std::make_unique<AminoAcidChain>("A"));
        auto& ala = chainA->Add(std::make_unique<AminoAcid>("ALA 1", 1, "ALA"));
        ala.Add(std::make_unique<Atom>("N", 7));
        ala.Add(std::make_unique<Atom>("CA", 6));
        auto& hoh = chainA->Add(std::make_unique<Residue>("HOH 2", 2, "HOH"));
        hoh.Add(std::make_unique<Atom>("O", 8));
        m2 = &root.Add(std::make_unique<Molecule>("m2"));
        m2->SetVisible(false);
        auto& chainB = m2->Add(std::make_unique<NucleicAcidChain>("B"));
        chainB.Add(std::make_unique<Nucleotide>("DA 3", 3, "DA")).Add(std::make_unique<Atom>("P", 15));
    }
};

using L = std::vector<std::string>;

TEST(DescendentIterator, YieldsDescendantsInTreeOrderWithoutTheStart) {
    SmallDoc d;
    DescendentIterator all(d.doc.GetTreeRoot(), Object::classType);
    EXPECT_EQ(Labels(Drain(all)), (L{"m1", "A", "ALA 1", "N", "CA", "HOH 2", "O", "m2", "B", "DA 3", "P"}));
    DescendentIterator fromChain(d.chainA, Object::classType);
    EXPECT_EQ(Labels(Drain(fromChain)), (L{"ALA 1", "N", "CA", "HOH 2", "O"}));
}

TEST(DescendentIterator, SelectsByClassIncludingSubclasses) {
    SmallDoc d;
    const Object* root = d.doc.GetTreeRoot();
    struct Case {
        ClassType type;
        L expected;
    };
    const std::vector<Case> cases = {
        {Atom::classType, {"N", "CA", "O", "P"}},
        {Atom3d::classType, {"N", "CA", "O", "P"}},
        {Residue::classType, {"ALA 1", "HOH 2", "DA 3"}},
        {SubUnit::classType, {"ALA 1", "HOH 2", "DA 3"}},
        {AminoAcid::classType, {"ALA 1"}},
        {Chain::classType, {"A", "B"}},
        {AminoAcidChain::classType, {"A"}},
        {Molecule::classType, {"m1", "m2"}},
        {ChemistryTracker::classType, {}},
    };
    for (const auto& c : cases) {
        DescendentIterator it(root, c.type, false, 0, nullptr);
        EXPECT_EQ(Labels(Drain(it)), c.expected) << c.type->name;
    }
}

TEST(DescendentIterator, LeafNullAndExhaustedIteratorsYieldNothing) {
    Atom leaf("C", 6);
    DescendentIterator fromLeaf(&leaf, Object::classType);
    EXPECT_EQ(fromLeaf.GetNext(), nullptr);
    DescendentIterator fromNull(nullptr, Object::classType);
    EXPECT_EQ(fromNull.GetNext(), nullptr);

    SmallDoc d;
    DescendentIterator it(d.m1, Atom::classType);
    EXPECT_EQ(Drain(it).size(), 3u);
    EXPECT_EQ(it.GetNext(), nullptr);
    EXPECT_EQ(it.GetNext(), nullptr);
}

TEST(DescendentIterator, PruneMatchesSkipsBelowEachMatch) {
    SmallDoc d;
    const Object* root = d.doc.GetTreeRoot();
    DescendentIterator pruned(root, Object::classType, true);
    EXPECT_EQ(Labels(Drain(pruned)), (L{"m1", "m2"}));

    // A chain's sub-units with pruning: a sub-unit nested in a sub-unit is not reached.
    d.chainA->GetChild(0)->Add(std::make_unique<SubUnit>("nested"));
    DescendentIterator subUnits(d.chainA, SubUnit::classType, true);
    EXPECT_EQ(Labels(Drain(subUnits)), (L{"ALA 1", "HOH 2"}));
    DescendentIterator unpruned(d.chainA, SubUnit::classType, false);
    EXPECT_EQ(Labels(Drain(unpruned)), (L{"ALA 1", "nested", "HOH 2"}));
}

bool RejectResidues(Object* object) { return !object->IsA(Residue::classType); }

TEST(DescendentIterator, CallbackRejectionSkipsButStillDescends) {
    SmallDoc d;
    DescendentIterator it(d.doc.GetTreeRoot(), SubUnit::classType, false, 0, &RejectResidues);
    EXPECT_EQ(Drain(it).size(), 0u);

    // With pruning, a rejected match is not a match: its subtree is still searched.
    d.chainA->GetChild(0)->Add(std::make_unique<SubUnit>("inner"));
    DescendentIterator pruned(d.doc.GetTreeRoot(), SubUnit::classType, true, 0, &RejectResidues);
    EXPECT_EQ(Labels(Drain(pruned)), (L{"inner"}));
}

TEST(DescendentIterator, KeepsItsOwnCopyOfTheFilter) {
    SmallDoc d;
    auto type = std::make_unique<FilterType>(Molecule::classType, 1);
    auto visible = std::make_unique<FilterVisible>(*type, false, 1);
    DescendentIterator it(d.doc.GetTreeRoot(), *visible, false, 0, nullptr);
    type.reset();
    visible.reset();
    EXPECT_EQ(Labels(Drain(it)), (L{"m1"}));
}

TEST(DescendentIterator, FilterSelection) {
    SmallDoc d;
    const FilterType atoms(Atom::classType, 1);
    DescendentIterator visibleAtoms(d.doc.GetTreeRoot(), FilterVisible(atoms, false, 2));
    EXPECT_EQ(Labels(Drain(visibleAtoms)), (L{"N", "CA", "O"}));
    DescendentIterator hiddenMolecules(d.doc.GetTreeRoot(), FilterVisible(FilterType(Molecule::classType, 1), true, 1));
    EXPECT_EQ(Labels(Drain(hiddenMolecules)), (L{"m2"}));
}

// Oracle: a recursive pre-order walk.
void Walk(const Object& node, ClassType type, bool prune, std::vector<Object*>& out) {
    for (std::size_t i = 0; i < node.GetNumChildren(); ++i) {
        Object* child = node.GetChild(i);
        const bool match = child->IsA(type);
        if (match) out.push_back(child);
        if (!(match && prune)) Walk(*child, type, prune, out);
    }
}

TEST(DescendentIterator, AgreesWithARecursiveWalkOnRandomTrees) {
    std::mt19937 random(3);
    const std::vector<std::function<std::unique_ptr<Object>()>> makers = {
        [] { return std::make_unique<Molecule>("M"); },   [] { return std::make_unique<Chain>("C"); },
        [] { return std::make_unique<AminoAcid>("AA"); }, [] { return std::make_unique<Residue>("R"); },
        [] { return std::make_unique<SubUnit>("S"); },    [] { return std::make_unique<Atom>("X", 6); },
    };
    const ClassType types[] = {Molecule::classType,  Chain::classType, SubUnit::classType, Residue::classType,
                               AminoAcid::classType, Atom::classType,  Object::classType};
    for (int round = 0; round < 40; ++round) {
        ChemDoc doc;
        std::vector<Object*> nodes = {doc.GetTreeRoot()};
        for (int i = 0; i < 300; ++i) {
            Object* parent = nodes[random() % nodes.size()];
            nodes.push_back(&parent->AddChild(makers[random() % makers.size()]()));
            nodes.back()->SetID(i);
        }
        for (ClassType type : types) {
            for (bool prune : {false, true}) {
                std::vector<Object*> expected;
                Walk(*doc.GetTreeRoot(), type, prune, expected);
                DescendentIterator it(doc.GetTreeRoot(), type, prune);
                ASSERT_EQ(Drain(it), expected) << "round " << round << " " << type->name << " prune " << prune;
            }
        }
    }
}

// A class the host's table does not know, as a plug-in might add: it has no kind bit of its own,
// so no walk may skip a subtree for it.
const ClassInfo kPlugInObjectInfo{"PlugInObject", Object::classType};
class PlugInObject : public Object {
public:
    using Object::Object;
    ClassType GetClassType() const override { return &kPlugInObjectInfo; }
};

// Walks skip subtrees that hold nothing of the wanted class; what they hold is kept as objects
// are added, and what a removed subtree held may linger. Both must leave the answers unchanged.
TEST(DescendentIterator, AgreesWithARecursiveWalkWhileSubtreesMove) {
    std::mt19937 random(11);
    const std::vector<std::function<std::unique_ptr<Object>()>> makers = {
        [] { return std::make_unique<Molecule>("M"); },
        [] { return std::make_unique<Chain>("C"); },
        [] { return std::make_unique<AminoAcid>("AA"); },
        [] { return std::make_unique<Residue>("R"); },
        [] { return std::make_unique<Atom>("X", 6); },
        [] { return std::make_unique<Atom>("Y", 8); },
        [] { return std::make_unique<ChemistryTracker>(nullptr, true, true); },
        [] { return std::make_unique<PlugInObject>("P"); },
    };
    const ClassType types[] = {Molecule::classType, Chain::classType,  SubUnit::classType,
                               Residue::classType,  Atom::classType,   ChemistryTracker::classType,
                               Object::classType,   &kPlugInObjectInfo};
    for (int round = 0; round < 30; ++round) {
        ChemDoc doc;
        std::vector<std::unique_ptr<Object>> detached;
        auto allNodes = [&doc] {
            std::vector<Object*> nodes = {doc.GetTreeRoot()};
            Walk(*doc.GetTreeRoot(), Object::classType, false, nodes);
            return nodes;
        };
        for (int step = 0; step < 400; ++step) {
            const std::vector<Object*> nodes = allNodes();
            Object* parent = nodes[random() % nodes.size()];
            const unsigned action = random() % 8;
            if (action == 0 && nodes.size() > 1) {
                Object* victim = nodes[1 + random() % (nodes.size() - 1)];
                detached.push_back(victim->GetParent()->RemoveChild(*victim));
            } else if (action == 1 && !detached.empty()) {
                // A subtree grown while detached, then attached elsewhere.
                auto subtree = std::move(detached.back());
                detached.pop_back();
                subtree->AddChild(makers[random() % makers.size()]());
                parent->AddChild(std::move(subtree));
            } else {
                parent->AddChild(makers[random() % makers.size()]());
            }
        }
        for (ClassType type : types) {
            std::vector<Object*> expected;
            Walk(*doc.GetTreeRoot(), type, false, expected);
            DescendentIterator byType(doc.GetTreeRoot(), type);
            ASSERT_EQ(Drain(byType), expected) << "round " << round << " " << type->name;
            EXPECT_EQ(doc.GetTreeRoot()->MayHoldDescendentOf(type) || expected.empty(), true) << type->name;

            std::vector<Object*> visible;
            for (Object* o : expected) {
                if (o->IsVisible()) visible.push_back(o);
            }
            DescendentIterator byFilter(doc.GetTreeRoot(), FilterVisible(FilterType(type, 1), false, 1));
            ASSERT_EQ(Drain(byFilter), visible) << "round " << round << " " << type->name << " filtered";
        }
    }
}

// A walk for molecules or chains over a peptide does not enter a residue, nor one for residues
// an atom: what each subtree holds is known without visiting it.
TEST(DescendentIterator, HoldsNoMoleculeBelowAResidue) {
    SmallDoc d;
    EXPECT_TRUE(d.doc.GetTreeRoot()->MayHoldDescendentOf(Molecule::classType));
    EXPECT_TRUE(d.m1->MayHoldDescendentOf(Atom::classType));
    EXPECT_TRUE(d.m1->MayHoldDescendentOf(Residue::classType));
    EXPECT_FALSE(d.m1->MayHoldDescendentOf(Molecule::classType));
    EXPECT_FALSE(d.chainA->MayHoldDescendentOf(Chain::classType));
    EXPECT_FALSE(d.chainA->GetChild(0)->MayHoldDescendentOf(Residue::classType));
    // A class without a bit of its own might be anywhere.
    EXPECT_TRUE(d.chainA->GetChild(0)->MayHoldDescendentOf(&kPlugInObjectInfo));
}

}  // namespace
