// Chemistry trackers: a baseline revision taken at creation and by Start, dropped by Reset.
#include "TestTree.h"

#include "HostModel/ChemistryTracker.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/TreeRoot.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using namespace HostModel;

struct Fixture {
    ChemDoc doc;
    Molecule* molecule;
    Atom* atom;
    Fixture() {
        molecule = &doc.GetTreeRoot()->Add(std::make_unique<Molecule>("m"));
        atom = &molecule->Add(std::make_unique<Atom>("C", 6));
    }
    void ChangeChemistry() { molecule->Add(std::make_unique<Atom>("O", 8)); }
};

TEST(ChemistryTracker, InsertsItselfUnderItsParentAndIsFoundByClass) {
    Fixture f;
    TreeRoot* root = f.doc.GetTreeRoot();
    auto* tracker = new ChemistryTracker(root, true, true);
    tracker->SetLabel("VoltraTracker");
    EXPECT_EQ(tracker->GetParent(), root);
    EXPECT_EQ(root->GetChild(root->GetNumChildren() - 1), tracker);

    DescendentIterator it(root, ChemistryTracker::classType, false, 0, nullptr);
    Object* found = it.GetNext();
    ASSERT_EQ(found, tracker);
    EXPECT_EQ(found->GetLabel(), "VoltraTracker");
    EXPECT_EQ(it.GetNext(), nullptr);

    // Deeper in the tree too.
    auto* deep = new ChemistryTracker(f.molecule, true, true);
    DescendentIterator again(root, ChemistryTracker::classType);
    EXPECT_EQ(again.GetNext(), deep);  // the molecule comes before the root's later child
    EXPECT_EQ(again.GetNext(), tracker);
}

TEST(ChemistryTracker, BaselineIsTheRevisionAtCreation) {
    Fixture f;
    f.ChangeChemistry();  // before the tracker: not its business
    auto* tracker = new ChemistryTracker(f.doc.GetTreeRoot(), true, true);
    EXPECT_FALSE(tracker->CheckChemistryChanged());
    f.atom->SetPosition({5, 5, 5});
    f.atom->SetProperty("Voltra Charge", 0.5f, 6);
    EXPECT_FALSE(tracker->CheckChemistryChanged());
    f.ChangeChemistry();
    EXPECT_TRUE(tracker->CheckChemistryChanged());
    EXPECT_TRUE(tracker->CheckChemistryChanged());  // asking does not clear it
}

TEST(ChemistryTracker, StartTakesANewBaseline) {
    Fixture f;
    auto* tracker = new ChemistryTracker(f.doc.GetTreeRoot(), true, true);
    f.atom->SetAtomicNumber(7);
    ASSERT_TRUE(tracker->CheckChemistryChanged());
    tracker->Start();
    EXPECT_FALSE(tracker->CheckChemistryChanged());
    tracker->Start();
    EXPECT_FALSE(tracker->CheckChemistryChanged());
    Atom::Bond(*f.atom, f.molecule->Add(std::make_unique<Atom>("H", 1)));
    EXPECT_TRUE(tracker->CheckChemistryChanged());
}

TEST(ChemistryTracker, ResetAnswersChangedUntilStartedAgain) {
    Fixture f;
    auto* tracker = new ChemistryTracker(f.doc.GetTreeRoot(), true, true);
    tracker->Reset();
    EXPECT_TRUE(tracker->CheckChemistryChanged());  // no change at all, but no baseline either
    tracker->Reset();
    EXPECT_TRUE(tracker->CheckChemistryChanged());
    tracker->Start();
    EXPECT_FALSE(tracker->CheckChemistryChanged());
    EXPECT_EQ(tracker->GetParent(), f.doc.GetTreeRoot());  // Reset does not detach it
}

TEST(ChemistryTracker, TrackersAreIndependent) {
    Fixture f;
    auto* first = new ChemistryTracker(f.doc.GetTreeRoot(), true, true);
    f.ChangeChemistry();
    auto* second = new ChemistryTracker(f.doc.GetTreeRoot(), true, true);
    EXPECT_TRUE(first->CheckChemistryChanged());
    EXPECT_FALSE(second->CheckChemistryChanged());
    second->Reset();
    first->Start();
    EXPECT_FALSE(first->CheckChemistryChanged());
    EXPECT_TRUE(second->CheckChemistryChanged());
}

TEST(ChemistryTracker, OutsideADocumentItAlwaysAnswersChanged) {
    std::unique_ptr<ChemistryTracker> loose(new ChemistryTracker(nullptr, true, true));
    EXPECT_EQ(loose->GetParent(), nullptr);
    EXPECT_TRUE(loose->CheckChemistryChanged());
    loose->Start();
    EXPECT_TRUE(loose->CheckChemistryChanged());

    Fixture f;
    auto* tracker = new ChemistryTracker(f.molecule, true, true);
    ASSERT_FALSE(tracker->CheckChemistryChanged());
    auto detached = f.doc.GetTreeRoot()->RemoveChild(*f.molecule);  // takes the tracker along
    EXPECT_TRUE(tracker->CheckChemistryChanged());
}

TEST(ChemistryTracker, SeesEveryKindOfChemistryChange) {
    struct Case {
        const char* what;
        void (*apply)(Fixture&);
    };
    const Case cases[] = {
        {"atom added", [](Fixture& f) { f.ChangeChemistry(); }},
        {"atom removed", [](Fixture& f) { f.molecule->RemoveChild(*f.atom); }},
        {"element changed", [](Fixture& f) { f.atom->SetAtomicNumber(16); }},
        {"bond added", [](Fixture& f) { Atom::Bond(*f.atom, f.molecule->Add(std::make_unique<Atom>("H", 1))); }},
    };
    for (const auto& c : cases) {
        Fixture f;
        auto* tracker = new ChemistryTracker(f.doc.GetTreeRoot(), true, true);
        c.apply(f);
        EXPECT_TRUE(tracker->CheckChemistryChanged()) << c.what;
    }
    Fixture f;
    auto& h = f.molecule->Add(std::make_unique<Atom>("H", 1));
    Atom::Bond(*f.atom, h);
    auto* tracker = new ChemistryTracker(f.doc.GetTreeRoot(), true, true);
    Atom::Unbond(h, *f.atom);
    EXPECT_TRUE(tracker->CheckChemistryChanged()) << "bond removed";
}

// The unnoted adds change the tree and the bonds as AddChild and Bond do, the revision not at all:
// a step that uses them notes the change itself.
TEST(ChemistryTracker, UnnotedAddAndBondLeaveTheRevisionAlone) {
    Fixture f;
    const auto revision = f.doc.GetChemistryRevision();
    auto& h = static_cast<Atom&>(f.molecule->AddChildUnnoted(std::make_unique<Atom>("H", 1)));
    Atom::BondUnnoted(*f.atom, h);
    Atom::BondUnnoted(h, *f.atom);  // present already: no second bond
    EXPECT_EQ(f.doc.GetChemistryRevision(), revision);
    EXPECT_EQ(h.GetParent(), f.molecule);
    EXPECT_EQ(f.molecule->GetChild(f.molecule->GetNumChildren() - 1), &h);
    EXPECT_TRUE(f.molecule->MayHoldDescendentOf(Atom::classType));
    ASSERT_EQ(f.atom->GetBonds().size(), 1u);
    EXPECT_EQ(f.atom->GetBonds()[0], &h);
    ASSERT_EQ(h.GetBonds().size(), 1u);
    EXPECT_EQ(h.GetBonds()[0], f.atom);
    EXPECT_THROW(Atom::BondUnnoted(h, h), std::invalid_argument);
    EXPECT_THROW(f.molecule->AddChildUnnoted(nullptr), std::invalid_argument);
}

}  // namespace
