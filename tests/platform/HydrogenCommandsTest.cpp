// The host's hydrogen commands on a small peptide: what adding, removing and naming change,
// and that they keep their identity when copied.
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

std::vector<std::string> AtomLabelsOf(const Object& residue) {
    std::vector<std::string> labels;
    for (std::size_t i = 0; i < residue.GetNumChildren(); ++i) labels.push_back(residue.GetChild(i)->GetLabel());
    return labels;
}

// Backbone-only ALA-HIE (N CA C O each, with coordinates of a real peptide).
std::vector<PlatformTest::BackboneResidue> AddPlacedPeptide(ChemDoc& doc) {
    auto& chain = doc.GetTreeRoot()->Add(std::make_unique<Molecule>("m")).Add(std::make_unique<AminoAcidChain>("A"));
    auto residues = PlatformTest::AddPeptide(chain, {"ALA", "HIE"});
    const Vec3 positions[2][4] = {
        {{-12.684, 39.094, 31.120}, {-12.571, 39.493, 29.696}, {-13.435, 38.515, 28.947}, {-14.366, 37.931, 29.485}},
        {{-13.108, 38.331, 27.671}, {-13.880, 37.399, 26.850}, {-13.152, 36.078, 26.657}, {-11.956, 35.973, 26.917}}};
    for (int r = 0; r < 2; ++r) {
        residues[r].n->SetPosition(positions[r][0]);
        residues[r].ca->SetPosition(positions[r][1]);
        residues[r].c->SetPosition(positions[r][2]);
        residues[r].o->SetPosition(positions[r][3]);
    }
    return residues;
}

TEST(CmdHydrogens, AddPlacesTheBackboneHydrogensAndRemoveTakesThemAway) {
    ChemDoc doc;
    const auto residues = AddPlacedPeptide(doc);
    const auto labels = AtomLabels(doc);
    const auto revision = doc.GetChemistryRevision();

    CmdHydrogens add(CmdHydrogens::AddHydrogens, Atom::AllHydrogens);
    EXPECT_TRUE(doc.Execute(add));
    EXPECT_EQ(add.GetErrorMessage(), "");
    EXPECT_GT(doc.GetChemistryRevision(), revision);
    // The N-terminal ALA gets H1 H2 H3 and HA; the HIE after it the peptide H and HA. Side
    // chains are absent, so are their hydrogens.
    EXPECT_EQ(AtomLabelsOf(*residues[0].residue),
              (std::vector<std::string>{"N", "CA", "C", "O", "H1", "H2", "H3", "HA"}));
    EXPECT_EQ(AtomLabelsOf(*residues[1].residue), (std::vector<std::string>{"N", "CA", "C", "O", "H", "HA"}));
    for (const auto& r : residues)
        for (std::size_t i = 4; i < r.residue->GetNumChildren(); ++i) {
            const auto* h = static_cast<const Atom*>(r.residue->GetChild(i));
            EXPECT_EQ(h->GetAtomicNumber(), 1);
            ASSERT_EQ(h->GetBonds().size(), 1u);
            EXPECT_EQ(h->GetBonds()[0]->GetLabel(), h->GetLabel() == "HA" ? "CA" : "N");
        }
    const auto& added = doc.GetPreparationReport().hydrogensAdded;
    EXPECT_EQ(added.at("ALA"), 4u);
    EXPECT_EQ(added.at("HIE"), 2u);

    CmdNameHydrogens name;
    const auto named = AtomLabels(doc);
    EXPECT_TRUE(doc.Execute(name));
    EXPECT_EQ(AtomLabels(doc), named) << "our own hydrogens already carry the templates' names";

    CmdHydrogens remove(CmdHydrogens::RemoveHydrogens, Atom::AllHydrogens);
    EXPECT_TRUE(doc.Execute(remove));
    EXPECT_EQ(AtomLabels(doc), labels);
}

TEST(CmdHydrogens, HiddenMoleculesAreLeftAlone) {
    ChemDoc doc;
    AddPlacedPeptide(doc);
    doc.GetTreeRoot()->GetChild(0)->SetVisible(false);
    const auto labels = AtomLabels(doc);
    CmdHydrogens add(CmdHydrogens::AddHydrogens, Atom::AllHydrogens);
    EXPECT_TRUE(doc.Execute(add));
    EXPECT_EQ(AtomLabels(doc), labels);
}

TEST(CmdHydrogens, WithoutADocumentTheyFail) {
    CmdHydrogens add(CmdHydrogens::AddHydrogens, Atom::PolarHydrogens);
    CmdNameHydrogens name;
    EXPECT_FALSE(add.Execute(nullptr));
    EXPECT_FALSE(name.Execute(nullptr));
}

}  // namespace
