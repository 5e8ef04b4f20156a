// Zeroing the charges and withdrawing an assignment.
#include "support/SampleDocument.h"
#include "commands/TemplateDirectory.h"

#include "apply/ChemistryTrackerHelper.h"
#include "apply/Validity.h"
#include "commands/CmdApplyDefaultTemplates.h"
#include "commands/CmdInvalidateTemplates.h"
#include "commands/CmdZeroVoltraCharges.h"

#include <gtest/gtest.h>

namespace {

using VoltraTest::ChildAtom;
using VoltraTest::CombinedSource;
using VoltraTest::FloatProperty;
using VoltraTest::SampleDocument;
using VoltraTest::TemplateDirectory;

class AssignedDocument : public ::testing::Test {
protected:
    void SetUp() override {
        templates.WriteAll();
        ASSERT_TRUE(Voltra::CmdApplyDefaultTemplates().Execute(&sample.doc));
    }

    TemplateDirectory templates;
    SampleDocument sample;
};

TEST_F(AssignedDocument, ZeroTouchesOnlyChargesOfEveryAtom) {
    const auto before = VoltraTest::Snapshot(sample.doc);
    Voltra::CmdZeroVoltraCharges command;
    ASSERT_TRUE(command.IsSuitable(&sample.doc));
    ASSERT_TRUE(command.Execute(&sample.doc));
    EXPECT_EQ(command.GetErrorMessage(), "");

    // Atoms of the hidden molecule too: the tree root's collection holds them.
    for (HostModel::Atom* atom : sample.AtomsOf(sample.Root())) {
        EXPECT_EQ(FloatProperty(*atom, "Voltra Charge"), 0.0f) << atom->GetLabel();
        EXPECT_EQ(VoltraTest::ChargeSource(*atom), "Zero") << atom->GetLabel();
        EXPECT_EQ(CombinedSource(*atom), "Zero + " + VoltraTest::RadiusSource(*atom)) << atom->GetLabel();
    }
    EXPECT_EQ(CombinedSource(ChildAtom(*sample.ala1, "N")), "Zero + Default");
    EXPECT_EQ(CombinedSource(ChildAtom(*sample.hiddenAla, "N")), "Zero + Earlier");

    // Apart from the three charge properties, the document is as it was.
    auto stripCharges = [](const std::vector<std::string>& lines) {
        std::vector<std::string> out;
        for (std::string line : lines) {
            std::string kept;
            std::size_t start = 0;
            while (start != std::string::npos) {
                const std::size_t next = line.find(" | ", start + 1);
                const std::string part = line.substr(start, next == std::string::npos ? next : next - start);
                if (part.rfind(" | Voltra Charge:", 0) != 0 && part.rfind(" | Voltra Charge Source:", 0) != 0 &&
                    part.rfind(" | Voltra Charge + Radius Source:", 0) != 0) {
                    kept += part;
                }
                start = next;
            }
            out.push_back(kept);
        }
        return out;
    };
    EXPECT_EQ(stripCharges(VoltraTest::Snapshot(sample.doc)), stripCharges(before));
    EXPECT_FALSE(Voltra::ChemistryTrackerHelper::ChemistryHasChanged(sample.Root())) << "tracker left running";
    EXPECT_TRUE(Voltra::DocumentIsValidForVoltra(&sample.doc, true)) << "zeroing keeps the assignment valid";
}

TEST_F(AssignedDocument, ZeroLeavesAStoppedTrackerStopped) {
    Voltra::ChemistryTrackerHelper::StopTracking(sample.Root());
    ASSERT_TRUE(Voltra::CmdZeroVoltraCharges().Execute(&sample.doc));
    EXPECT_TRUE(Voltra::ChemistryTrackerHelper::ChemistryHasChanged(sample.Root()));
}

TEST_F(AssignedDocument, InvalidateWithdrawsValuesKeepsSourcesAndStopsTracking) {
    const auto hiddenBefore = VoltraTest::SnapshotOf(*sample.hidden);
    Voltra::CmdInvalidateTemplates command;
    ASSERT_TRUE(command.IsSuitable(&sample.doc));
    ASSERT_TRUE(command.Do(&sample.doc));

    EXPECT_FALSE(sample.complex->HasProperty("Voltra Charge Template"));
    EXPECT_FALSE(sample.complex->HasProperty("Voltra Radius Template"));
    for (HostModel::Atom* atom : sample.AtomsOf(*sample.complex)) {
        EXPECT_FALSE(atom->HasProperty("Voltra Charge")) << atom->GetLabel();
        EXPECT_FALSE(atom->HasProperty("Voltra Radius")) << atom->GetLabel();
        EXPECT_FALSE(atom->HasProperty("Voltra Charge + Radius Source")) << atom->GetLabel();
        EXPECT_TRUE(atom->HasProperty("Voltra Charge Source")) << atom->GetLabel();
        EXPECT_TRUE(atom->HasProperty("Voltra Radius Source")) << atom->GetLabel();
    }
    EXPECT_EQ(VoltraTest::ChargeSource(ChildAtom(*sample.ala1, "N")), "Default");
    EXPECT_EQ(VoltraTest::RadiusSource(*sample.zinc), "HST");
    EXPECT_EQ(VoltraTest::SnapshotOf(*sample.hidden), hiddenBefore);

    EXPECT_EQ(VoltraTest::CountTrackers(sample.Root(), "VoltraTracker"), 1);
    EXPECT_TRUE(Voltra::ChemistryTrackerHelper::ChemistryHasChanged(sample.Root()));

    // The assignment is gone: nothing that needs one accepts the document any more.
    EXPECT_FALSE(Voltra::MoleculeIsValidForVoltra(sample.complex));
    EXPECT_TRUE(Voltra::MoleculeIsValidForVoltra(sample.hidden));
    EXPECT_FALSE(Voltra::DocumentIsValidForVoltra(&sample.doc, true));
    EXPECT_FALSE(Voltra::CmdZeroVoltraCharges().IsSuitable(&sample.doc));
    EXPECT_FALSE(Voltra::CmdInvalidateTemplates().IsSuitable(&sample.doc));

    // A template command makes it valid again.
    ASSERT_TRUE(Voltra::CmdApplyDefaultTemplates().Execute(&sample.doc));
    EXPECT_TRUE(Voltra::CmdZeroVoltraCharges().IsSuitable(&sample.doc));
    EXPECT_FALSE(Voltra::ChemistryTrackerHelper::ChemistryHasChanged(sample.Root()));
}

TEST(ZeroAndInvalidateSuitability, FollowValidityAndAtoms) {
    Voltra::CmdZeroVoltraCharges zero;
    Voltra::CmdInvalidateTemplates invalidate;

    EXPECT_FALSE(zero.IsSuitable(nullptr));
    EXPECT_FALSE(invalidate.IsSuitable(nullptr));

    // A tree root without molecules: nothing to zero, but it may be invalidated.
    HostModel::ChemDoc empty;
    EXPECT_FALSE(zero.IsSuitable(&empty));
    EXPECT_TRUE(invalidate.IsSuitable(&empty));
    EXPECT_TRUE(invalidate.Do(&empty));
    EXPECT_EQ(empty.GetTreeRoot()->GetNumChildren(), 0u) << "invalidating created something";

    // Visible molecules all assigned, the hidden one not: suitable for both.
    SampleDocument sample;
    sample.hidden->RemoveProperty("Voltra Charge Template");
    sample.hidden->RemoveProperty("Voltra Radius Template");
    EXPECT_FALSE(zero.IsSuitable(&sample.doc));
    EXPECT_FALSE(invalidate.IsSuitable(&sample.doc));
    sample.complex->SetProperty("Voltra Radius Template", "parseres.siz", 2);
    EXPECT_TRUE(zero.IsSuitable(&sample.doc));
    EXPECT_TRUE(invalidate.IsSuitable(&sample.doc));

    EXPECT_FALSE(zero.Execute(nullptr));
    EXPECT_FALSE(invalidate.Do(nullptr));
}

}  // namespace
