// The document's chemistry revision (what counts as a chemistry change) and command execution.
#include "TestTree.h"

#include "HostModel/ChemistryTracker.h"
#include "HostModel/Command.h"
#include "HostModel/TreeRoot.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace HostModel;
using PlatformTest::AddPeptide;
using PlatformTest::BackboneResidue;

// A document with one molecule holding a tripeptide and a free molecule with a lone atom.
struct Fixture {
    ChemDoc doc;
    Molecule* molecule = nullptr;
    AminoAcidChain* chain = nullptr;
    std::vector<BackboneResidue> residues;
    Fixture() {
        molecule = &doc.GetTreeRoot()->Add(std::make_unique<Molecule>("m"));
        chain = &molecule->Add(std::make_unique<AminoAcidChain>("A"));
        residues = AddPeptide(*chain, {"ALA", "GLY", "SER"});
    }
};

struct Change {
    const char* what;
    std::function<void(Fixture&)> apply;
};

TEST(ChemistryRevision, MovesOnChemistryChanges) {
    const std::vector<Change> changes = {
        {"atom added", [](Fixture& f) { f.residues[0].residue->Add(std::make_unique<Atom>("CB", 6)); }},
        {"atom added under a free subtree, then attached",
         [](Fixture& f) {
             auto residue = std::make_unique<AminoAcid>("THR 4", 4, "THR");
             residue->Add(std::make_unique<Atom>("N", 7));
             f.chain->Add(std::move(residue));
         }},
        {"molecule with atoms added",
         [](Fixture& f) {
             auto m = std::make_unique<Molecule>("water");
             m->Add(std::make_unique<Atom>("O", 8));
             f.doc.GetTreeRoot()->Add(std::move(m));
         }},
        {"atom removed", [](Fixture& f) { f.residues[2].residue->RemoveChild(*f.residues[2].o); }},
        {"residue removed", [](Fixture& f) { f.chain->RemoveChild(*f.residues[1].residue); }},
        {"molecule removed", [](Fixture& f) { f.doc.GetTreeRoot()->RemoveChild(*f.molecule); }},
        {"element changed", [](Fixture& f) { f.residues[0].ca->SetAtomicNumber(7); }},
        {"bond added", [](Fixture& f) { Atom::Bond(*f.residues[0].n, *f.residues[2].c); }},
        {"bond removed", [](Fixture& f) { Atom::Unbond(*f.residues[0].c, *f.residues[1].n); }},
    };
    for (const auto& change : changes) {
        Fixture f;
        const auto before = f.doc.GetChemistryRevision();
        change.apply(f);
        EXPECT_GT(f.doc.GetChemistryRevision(), before) << change.what;
    }
}

TEST(ChemistryRevision, MovesWhenBondsAreAddedAtOnce) {
    Fixture f;
    Atom& x = f.residues[0].residue->Add(std::make_unique<Atom>("X1", 6));
    Atom& y = f.residues[2].residue->Add(std::make_unique<Atom>("X2", 6));
    const auto before = f.doc.GetChemistryRevision();
    Atom::BondAll({&x, &y}, {{0, 1}});
    EXPECT_GT(f.doc.GetChemistryRevision(), before);
    EXPECT_TRUE(x.IsBondedTo(y));
}

TEST(ChemistryRevision, StaysForEverythingElse) {
    const std::vector<Change> changes = {
        {"coordinates",
         [](Fixture& f) {
             f.residues[0].ca->SetPosition({1.0, 2.0, 3.0});
         }},
        {"label", [](Fixture& f) { f.residues[0].ca->SetLabel("CX"); }},
        {"label with notify", [](Fixture& f) { f.residues[0].ca->SetLabel("CX", true); }},
        {"residue type", [](Fixture& f) { f.residues[0].residue->SetResidueType("ALX"); }},
        {"visibility", [](Fixture& f) { f.molecule->SetVisible(false); }},
        {"float property", [](Fixture& f) { f.residues[0].ca->SetProperty("Voltra Charge", 0.1f, 6); }},
        {"text property", [](Fixture& f) { f.molecule->SetProperty("Voltra Charge Template", "default.crg", 2); }},
        {"property removed",
         [](Fixture& f) {
             f.residues[0].ca->SetProperty("Voltra Charge", 0.1f, 6);
             const auto at = f.doc.GetChemistryRevision();
             f.residues[0].ca->RemoveProperty("Voltra Charge");
             EXPECT_EQ(f.doc.GetChemistryRevision(), at);
         }},
        {"partial charge", [](Fixture& f) { f.residues[0].ca->SetPartialCharge(0.2f); }},
        {"same element again", [](Fixture& f) { f.residues[0].ca->SetAtomicNumber(6); }},
        {"existing bond again", [](Fixture& f) { Atom::Bond(*f.residues[0].ca, *f.residues[0].c); }},
        {"absent bond removed", [](Fixture& f) { Atom::Unbond(*f.residues[0].n, *f.residues[2].c); }},
        {"empty molecule added", [](Fixture& f) { f.doc.GetTreeRoot()->Add(std::make_unique<Molecule>("empty")); }},
        {"empty chain removed",
         [](Fixture& f) {
             auto& chain = f.molecule->Add(std::make_unique<Chain>("W"));
             f.molecule->RemoveChild(chain);
         }},
        {"tracker created", [](Fixture& f) { new ChemistryTracker(f.doc.GetTreeRoot(), true, true); }},
        {"force field named", [](Fixture& f) { f.doc.SetForcefieldName("AMBER"); }},
    };
    for (const auto& change : changes) {
        Fixture f;
        const auto before = f.doc.GetChemistryRevision();
        change.apply(f);
        EXPECT_EQ(f.doc.GetChemistryRevision(), before) << change.what;
    }
}

TEST(ChemistryRevision, ChangesInFreeSubtreesAreNotTheDocuments) {
    Fixture f;
    auto detached = f.chain->RemoveChild(*f.residues[1].residue);
    const auto before = f.doc.GetChemistryRevision();
    f.residues[1].ca->SetAtomicNumber(7);
    Atom::Unbond(*f.residues[1].n, *f.residues[1].ca);
    detached->Add(std::make_unique<Atom>("HA", 1));
    EXPECT_EQ(f.doc.GetChemistryRevision(), before);
}

TEST(ChemistryRevision, BondAcrossDocumentsMovesBoth) {
    Fixture a, b;
    const auto beforeA = a.doc.GetChemistryRevision();
    const auto beforeB = b.doc.GetChemistryRevision();
    Atom::Bond(*a.residues[0].ca, *b.residues[0].ca);
    EXPECT_GT(a.doc.GetChemistryRevision(), beforeA);
    EXPECT_GT(b.doc.GetChemistryRevision(), beforeB);
}

class RecordingCommand : public Command {
public:
    Command* Copy() const override { return new RecordingCommand(*this); }
    const char* GetName() const override { return "Recording"; }
    ChemDoc* seen = nullptr;
    int calls = 0;

protected:
    bool Do(ChemDoc* doc) override {
        seen = doc;
        ++calls;
        return doc && doc->GetTreeRoot()->GetNumChildren() > 0;
    }
};

TEST(ChemDoc, ExecuteRunsTheCommandOnItselfAndReturnsItsResult) {
    ChemDoc empty;
    RecordingCommand command;
    EXPECT_FALSE(empty.Execute(command));
    EXPECT_EQ(command.seen, &empty);
    Fixture f;
    EXPECT_TRUE(f.doc.Execute(command));
    EXPECT_EQ(command.seen, &f.doc);
    EXPECT_EQ(command.calls, 2);
}

TEST(ChemDoc, RootBelongsToTheDocument) {
    ChemDoc doc;
    ASSERT_NE(doc.GetTreeRoot(), nullptr);
    EXPECT_EQ(doc.GetTreeRoot()->GetDocument(), &doc);
    EXPECT_EQ(doc.GetTreeRoot()->GetLabel(), "Root");
    EXPECT_EQ(doc.GetTreeRoot()->GetTreeRoot(), doc.GetTreeRoot());
}

}  // namespace
