// Validity predicates: molecule template records decide, hidden molecules pass, atoms count.
#include "support/SampleDocument.h"

#include "apply/Validity.h"
#include "apply/VisibleMolecules.h"

#include <gtest/gtest.h>

namespace {

using VoltraTest::SampleDocument;

TEST(MoleculeValidity, EitherTemplateRecordMakesAMoleculeValid) {
    struct Case {
        const char* chargeTemplate;  // null: property absent
        const char* radiusTemplate;
        bool valid;
    };
    const Case cases[] = {
        {nullptr, nullptr, false},      {"", "", false},
        {"default.crg", nullptr, true}, {"", "parseres.siz", true},
        {nullptr, "bondi.siz", true},   {"Automatic", "", true},
        {"never-loaded.crg", "", true},
    };
    for (const Case& c : cases) {
        HostModel::Molecule molecule("M");
        if (c.chargeTemplate) molecule.SetProperty("Voltra Charge Template", c.chargeTemplate, 2);
        if (c.radiusTemplate) molecule.SetProperty("Voltra Radius Template", c.radiusTemplate, 2);
        const std::string label = std::string(c.chargeTemplate ? c.chargeTemplate : "<none>") + " / " +
                                  (c.radiusTemplate ? c.radiusTemplate : "<none>");
        EXPECT_EQ(Voltra::MoleculeHasTemplate(&molecule), c.valid) << label;
        EXPECT_EQ(Voltra::IsMoleculeValid(&molecule, false), c.valid) << label;
        EXPECT_EQ(Voltra::MoleculeIsValidForVoltra(&molecule), c.valid) << label;
        molecule.SetVisible(false);
        EXPECT_TRUE(Voltra::MoleculeIsValidForVoltra(&molecule)) << label << " hidden";
        EXPECT_TRUE(Voltra::IsMoleculeValid(&molecule, true)) << label << " hidden";
        EXPECT_EQ(Voltra::IsMoleculeValid(&molecule, false), c.valid) << label << " hidden, not skipped";
    }
}

TEST(DocumentValidity, VisibleMoleculesWithoutRecordFailHiddenOnesDoNot) {
    SampleDocument sample;
    sample.hidden->RemoveProperty("Voltra Charge Template");
    sample.hidden->RemoveProperty("Voltra Radius Template");

    EXPECT_FALSE(Voltra::AllMoleculesValid(&sample.Root(), true));
    EXPECT_FALSE(Voltra::DocumentIsValidForVoltra(&sample.doc, true));

    sample.complex->SetProperty("Voltra Radius Template", "default.siz", 2);
    EXPECT_TRUE(Voltra::AllMoleculesValid(&sample.Root(), true));
    EXPECT_TRUE(Voltra::DocumentIsValidForVoltra(&sample.doc, true));
    // Without skipping, the hidden molecule's missing record counts.
    EXPECT_FALSE(Voltra::AllMoleculesValid(&sample.Root(), false));
    EXPECT_FALSE(Voltra::DocumentIsValidForVoltra(&sample.doc, false));
}

TEST(DocumentValidity, MoleculesBelowOtherNodesAreFoundToo) {
    SampleDocument sample;
    sample.complex->SetProperty("Voltra Charge Template", "default.crg", 2);
    // A molecule nested in a group node below the root is still a molecule of the document.
    auto& group = sample.Root().Add(std::make_unique<HostModel::Object>("Group"));
    auto& nested = group.Add(std::make_unique<HostModel::Molecule>("Nested"));
    EXPECT_FALSE(Voltra::DocumentIsValidForVoltra(&sample.doc, true));
    nested.SetProperty("Voltra Charge Template", "default.crg", 2);
    EXPECT_TRUE(Voltra::DocumentIsValidForVoltra(&sample.doc, true));
}

TEST(DocumentValidity, EmptyDocumentIsValidButHasNoAtoms) {
    HostModel::ChemDoc doc;
    EXPECT_TRUE(Voltra::AllMoleculesValid(doc.GetTreeRoot(), true));
    EXPECT_TRUE(Voltra::DocumentIsValidForVoltra(&doc, true));
    EXPECT_FALSE(Voltra::DocumentHasAtoms(&doc));
    EXPECT_FALSE(Voltra::DocumentHasAtoms(nullptr));

    auto& molecule = doc.GetTreeRoot()->Add(std::make_unique<HostModel::Molecule>("M"));
    EXPECT_FALSE(Voltra::DocumentHasAtoms(&doc)) << "a molecule without atoms";
    VoltraTest::AddAtom(molecule, "C1", 6);
    EXPECT_TRUE(Voltra::DocumentHasAtoms(&doc));
    // Atoms of hidden molecules count as well.
    molecule.SetVisible(false);
    EXPECT_TRUE(Voltra::DocumentHasAtoms(&doc));
}

TEST(VisibleMolecules, HiddenMoleculesAreLeftOutAndTreeOrderKept) {
    SampleDocument sample;
    auto& second = sample.Root().Add(std::make_unique<HostModel::Molecule>("Second"));
    auto& group = sample.Root().Add(std::make_unique<HostModel::Object>("Group"));
    auto& nested = group.Add(std::make_unique<HostModel::Molecule>("Nested"));

    const HostModel::OrdCollection molecules = Voltra::CollectVisibleMolecules(sample.Root());
    ASSERT_EQ(molecules.GetSize(), 3u);
    EXPECT_EQ(molecules[0], sample.complex);
    EXPECT_EQ(molecules[1], &second);
    EXPECT_EQ(molecules[2], &nested);

    // Only the molecule's own flag counts: a hidden group does not hide the molecule in it.
    group.SetVisible(false);
    EXPECT_EQ(Voltra::CollectVisibleMolecules(sample.Root()).GetSize(), 3u);
    second.SetVisible(false);
    EXPECT_EQ(Voltra::CollectVisibleMolecules(sample.Root()).GetSize(), 2u);
}

}  // namespace
