// Force-field typing as seen by modules: typed documents, force-field names, atom charges.
#include "TestTree.h"

#include "HostModel/TreeRoot.h"
#include "Quorva_ProteinCore/TypingHelper.h"

#include <gtest/gtest.h>

namespace {

using namespace HostModel;
using Quorva_ProteinCore::TypingHelper;

TEST(TypingHelper, IsTypedNeedsANameAtomsAndWithChargesEveryCharge) {
    ChemDoc doc;
    EXPECT_FALSE(TypingHelper::IsTyped(doc, false));  // nothing at all
    doc.SetForcefieldName("AMBER");
    EXPECT_FALSE(TypingHelper::IsTyped(doc, false));  // no atoms
    auto& molecule = doc.GetTreeRoot()->Add(std::make_unique<Molecule>("m"));
    auto& n = molecule.Add(std::make_unique<Atom>("N", 7));
    auto& c = molecule.Add(std::make_unique<Atom>("C", 6));
    EXPECT_TRUE(TypingHelper::IsTyped(doc, false));
    EXPECT_FALSE(TypingHelper::IsTyped(doc, true));
    n.SetPartialCharge(-0.4157f);
    EXPECT_FALSE(TypingHelper::IsTyped(doc, true));  // one atom still uncharged
    c.SetPartialCharge(0.5973f);
    EXPECT_TRUE(TypingHelper::IsTyped(doc, true));
    molecule.SetVisible(false);
    EXPECT_TRUE(TypingHelper::IsTyped(doc, true));  // hidden atoms are typed too
    doc.GetTreeRoot()->Add(std::make_unique<Molecule>("late")).Add(std::make_unique<Atom>("O", 8));
    EXPECT_FALSE(TypingHelper::IsTyped(doc, true));
    doc.SetForcefieldName("");
    EXPECT_FALSE(TypingHelper::IsTyped(doc, false));
}

TEST(TypingHelper, AtomWithoutForceFieldChargeCountsAsZero) {
    Atom atom("OXT", 8);
    EXPECT_EQ(TypingHelper::GetAtomCharge(atom), 0.0f);
    atom.SetPartialCharge(-0.8055f);
    atom.ClearPartialCharge();
    EXPECT_EQ(TypingHelper::GetAtomCharge(atom), 0.0f);
    atom.SetPartialCharge(-0.8055f);
    EXPECT_EQ(TypingHelper::GetAtomCharge(atom), -0.8055f);
}

}  // namespace
