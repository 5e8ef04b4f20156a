// The force-field command: typed charges, radius file chosen by force-field name, refusals.
#include "support/SampleDocument.h"
#include "commands/TemplateDirectory.h"

#include "apply/ChemistryTrackerHelper.h"
#include "apply/Validity.h"
#include "commands/CmdApplyForcefieldTemplates.h"

#include "HostModel/Elements.h"

#include <gtest/gtest.h>

namespace {

using VoltraTest::Charge;
using VoltraTest::ChildAtom;
using VoltraTest::CombinedSource;
using VoltraTest::FloatProperty;
using VoltraTest::Radius;
using VoltraTest::SampleDocument;
using VoltraTest::TemplateDirectory;

// Types the whole document: every atom gets a charge derived from its position in tree order,
// so a mixed-up atom shows; the first atom gets 0.0.
void Type(SampleDocument& sample, const std::string& forcefield) {
    sample.doc.SetForcefieldName(forcefield);
    int index = 0;
    for (HostModel::Atom* atom : sample.AtomsOf(sample.Root())) atom->SetPartialCharge(0.01f * index++);
}

TEST(SelectRadiusFile, ExactNamesInTheirLetterCase) {
    struct Case {
        const char* forcefield;
        const char* radiusFile;
    };
    const Case cases[] = {
        {"qtf", "bondi.siz"},        {"Vorlan", "bondi.siz"},    {"vorlan22", "bondi.siz"}, {"vorlan27", "bondi.siz"},
        {"vorlan19", "default.siz"}, {"KEMBRIX", "default.siz"}, {"kembrix", "bondi.siz"},  {"VORLAN19", "bondi.siz"},
        {"vorlan", "bondi.siz"},     {"", "bondi.siz"},          {"KEMBRIX ", "bondi.siz"}, {"AMBER", "bondi.siz"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Voltra::SelectRadiusFileForForcefield(c.forcefield), c.radiusFile) << '"' << c.forcefield << '"';
    }
}

class ForcefieldCommand : public ::testing::Test {
protected:
    void SetUp() override { templates.WriteAll(); }

    TemplateDirectory templates;
    SampleDocument sample;
};

TEST_F(ForcefieldCommand, RadiusFileFollowsTheForcefieldName) {
    struct Case {
        const char* forcefield;
        const char* radiusFile;
    };
    for (const Case& c : {Case{"KEMBRIX", "default.siz"}, Case{"vorlan19", "default.siz"}, Case{"kembrix", "bondi.siz"},
                          Case{"qtf", "bondi.siz"}}) {
        SampleDocument typed;
        Type(typed, c.forcefield);
        Voltra::CmdApplyForcefieldTemplates command;
        ASSERT_TRUE(command.IsSuitable(&typed.doc)) << c.forcefield;
        ASSERT_TRUE(command.Execute(&typed.doc)) << c.forcefield << ": " << command.GetErrorMessage();

        EXPECT_EQ(typed.complex->GetPropertyAsString("Voltra Radius Template"), c.radiusFile) << c.forcefield;
        EXPECT_EQ(typed.complex->GetPropertyAsString("Voltra Charge Template"), "Automatic") << c.forcefield;
        // Phosphorus is in the Bondi test file only; the default file leaves it to the host.
        const HostModel::Atom& p = ChildAtom(*typed.da1, "P");
        const bool bondi = std::string(c.radiusFile) == "bondi.siz";
        EXPECT_FLOAT_EQ(Radius(p), bondi ? 1.80f : HostModel::VanDerWaalsRadius(15)) << c.forcefield;
        EXPECT_EQ(CombinedSource(p), bondi ? "ForceField + Bondi" : "ForceField + HST") << c.forcefield;
        EXPECT_FLOAT_EQ(Radius(ChildAtom(*typed.ala1, "N")), bondi ? 1.64f : 1.55f) << c.forcefield;
    }
}

TEST_F(ForcefieldCommand, ChargesComeFromTheTypingWithoutNTerminalRule) {
    Type(sample, "KEMBRIX");
    const auto hiddenBefore = VoltraTest::SnapshotOf(*sample.hidden);
    ASSERT_TRUE(Voltra::CmdApplyForcefieldTemplates().Execute(&sample.doc));

    for (HostModel::Atom* atom : sample.AtomsOf(*sample.complex)) {
        EXPECT_EQ(Charge(*atom), atom->GetPartialCharge()) << atom->GetLabel();
        EXPECT_EQ(VoltraTest::ChargeSource(*atom), "ForceField") << atom->GetLabel();
    }
    // The first atom of the tree is ALA 1's N, typed with 0.0: still "ForceField", and no 1.0.
    const HostModel::Atom& alaN = ChildAtom(*sample.ala1, "N");
    EXPECT_EQ(Charge(alaN), 0.0f);
    EXPECT_EQ(CombinedSource(alaN), "ForceField + Default");
    EXPECT_EQ(VoltraTest::SnapshotOf(*sample.hidden), hiddenBefore);
    EXPECT_EQ(VoltraTest::CountTrackers(sample.Root(), "VoltraTracker"), 1);
    EXPECT_FALSE(Voltra::ChemistryTrackerHelper::ChemistryHasChanged(sample.Root()));
    EXPECT_TRUE(Voltra::DocumentIsValidForVoltra(&sample.doc, true));
}

TEST_F(ForcefieldCommand, MoleculeWithoutAtomsStillRecordsAutomatic) {
    Type(sample, "qtf");
    auto& empty = sample.Root().Add(std::make_unique<HostModel::Molecule>("Empty"));
    ASSERT_TRUE(Voltra::CmdApplyForcefieldTemplates().Execute(&sample.doc));
    EXPECT_EQ(empty.GetPropertyAsString("Voltra Charge Template"), "Automatic");
    EXPECT_EQ(empty.GetPropertyAsString("Voltra Radius Template"), "bondi.siz");
}

TEST_F(ForcefieldCommand, UntypedDocumentIsRefusedUntouched) {
    const std::string message = "Please apply a forcefield before using this command.";
    Voltra::CmdApplyForcefieldTemplates command;

    // No force field at all.
    EXPECT_FALSE(command.IsSuitable(&sample.doc));
    auto before = VoltraTest::Snapshot(sample.doc);
    EXPECT_FALSE(command.Execute(&sample.doc));
    EXPECT_EQ(command.GetErrorMessage(), message);
    EXPECT_EQ(VoltraTest::Snapshot(sample.doc), before);

    // A force-field name, but one atom without a typed charge.
    Type(sample, "KEMBRIX");
    sample.zinc->ClearPartialCharge();
    EXPECT_FALSE(command.IsSuitable(&sample.doc));
    before = VoltraTest::Snapshot(sample.doc);
    EXPECT_FALSE(command.Execute(&sample.doc));
    EXPECT_EQ(command.GetErrorMessage(), message);
    EXPECT_EQ(VoltraTest::Snapshot(sample.doc), before);

    EXPECT_FALSE(command.IsSuitable(nullptr));
    EXPECT_FALSE(command.Execute(nullptr));
}

TEST_F(ForcefieldCommand, MissingRadiusFileIsReportedUntouched) {
    Type(sample, "kembrix");
    templates.Remove("bondi.siz");
    const auto before = VoltraTest::Snapshot(sample.doc);
    Voltra::CmdApplyForcefieldTemplates command;
    EXPECT_FALSE(command.Execute(&sample.doc));
    EXPECT_EQ(command.GetErrorMessage(), "There was an error reading the template file bondi.siz.");
    EXPECT_EQ(VoltraTest::Snapshot(sample.doc), before);
}

TEST_F(ForcefieldCommand, ApplyForcefieldChargesStartsTrackingWithoutVisibleMolecules) {
    Type(sample, "qtf");
    sample.complex->SetVisible(false);
    const auto before = VoltraTest::SnapshotWithoutTrackers(sample.doc);
    Voltra::ApplyForcefieldCharges(&sample.doc);
    EXPECT_EQ(VoltraTest::SnapshotWithoutTrackers(sample.doc), before);
    EXPECT_EQ(VoltraTest::CountTrackers(sample.Root(), "VoltraTracker"), 1);
    EXPECT_NO_THROW(Voltra::ApplyForcefieldCharges(nullptr));
}

}  // namespace
