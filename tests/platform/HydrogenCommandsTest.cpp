// The host's hydrogen commands. Placement and naming are not there yet: until they are, the
// commands must succeed without touching the document, and keep their identity when copied.
#include "TestTree.h"

#include "HostModel/DescendentIterator.h"
#include "HostModel/TreeRoot.h"
#include "HostModel_Commands/CmdHydrogens.h"
#include "HostModel_Commands/CmdNameHydrogens.h"

#include <gtest/gtest.h>

namespace {

using namespace HostModel;
using HostModel_Commands::CmdHydrogens;
using HostModel_Commands::CmdNameHydrogens;

std::vector<std::string> AtomLabels(const ChemDoc& doc) {
    std::vector<std::string> labels;
    DescendentIterator it(doc.GetTreeRoot(), Atom::classType);
    while (Object* a = it.GetNext()) labels.push_back(a->GetLabel());
    return labels;
}

TEST(CmdHydrogens, NamesAndCopies) {
    const CmdHydrogens add(CmdHydrogens::AddHydrogens, Atom::ElectrostaticHydrogens);
    const CmdHydrogens remove(CmdHydrogens::RemoveHydrogens, Atom::AllHydrogens);
    EXPECT_STREQ(add.GetName(), "Add Hydrogens");
    EXPECT_STREQ(remove.GetName(), "Remove Hydrogens");
    const std::unique_ptr<Command> copy(add.Copy());
    const auto* typed = dynamic_cast<const CmdHydrogens*>(copy.get());
    ASSERT_NE(typed, nullptr);
    EXPECT_EQ(typed->GetOperation(), CmdHydrogens::AddHydrogens);
    EXPECT_EQ(typed->GetHydrogenSet(), Atom::ElectrostaticHydrogens);
    EXPECT_STREQ(CmdNameHydrogens().GetName(), "Name Hydrogens");
    const std::unique_ptr<Command> nameCopy(CmdNameHydrogens().Copy());
    EXPECT_NE(dynamic_cast<CmdNameHydrogens*>(nameCopy.get()), nullptr);
}

TEST(CmdHydrogens, ExecuteLeavesTheDocumentAsItWas) {
    ChemDoc doc;
    auto& chain = doc.GetTreeRoot()->Add(std::make_unique<Molecule>("m")).Add(std::make_unique<AminoAcidChain>("A"));
    PlatformTest::AddPeptide(chain, {"ALA", "HIE"});
    const auto labels = AtomLabels(doc);
    const auto revision = doc.GetChemistryRevision();

    CmdHydrogens add(CmdHydrogens::AddHydrogens, Atom::ElectrostaticHydrogens);
    CmdNameHydrogens name;
    EXPECT_TRUE(doc.Execute(add));
    EXPECT_TRUE(doc.Execute(name));
    EXPECT_EQ(add.GetErrorMessage(), "");
    EXPECT_EQ(AtomLabels(doc), labels);
    EXPECT_EQ(doc.GetChemistryRevision(), revision);
}

TEST(CmdHydrogens, WithoutADocumentTheyFail) {
    CmdHydrogens add(CmdHydrogens::AddHydrogens, Atom::PolarHydrogens);
    CmdNameHydrogens name;
    EXPECT_FALSE(add.Execute(nullptr));
    EXPECT_FALSE(name.Execute(nullptr));
}

}  // namespace
