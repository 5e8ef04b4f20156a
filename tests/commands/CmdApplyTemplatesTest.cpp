// The three template-file commands run on a sample document with template files on disk.
#include "support/SampleDocument.h"
#include "commands/TemplateDirectory.h"

#include "apply/ChemistryTrackerHelper.h"
#include "commands/CmdApplyAmberPlusDefaultTemplates.h"
#include "commands/CmdApplyDefaultTemplates.h"
#include "commands/CmdApplyParseTemplates.h"

#include "HostModel/Elements.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

using VoltraTest::Charge;
using VoltraTest::ChargeSource;
using VoltraTest::ChildAtom;
using VoltraTest::CombinedSource;
using VoltraTest::FloatProperty;
using VoltraTest::Radius;
using VoltraTest::RadiusSource;
using VoltraTest::SampleDocument;
using VoltraTest::TemplateDirectory;

class ApplyCommands : public ::testing::Test {
protected:
    void SetUp() override { templates.WriteAll(); }

    TemplateDirectory templates;
    SampleDocument sample;
};

TEST_F(ApplyCommands, DefaultChargesWithNTerminalRuleAndElementRadii) {
    Voltra::CmdApplyDefaultTemplates command;
    const auto hiddenBefore = VoltraTest::SnapshotOf(*sample.hidden);
    ASSERT_TRUE(command.Execute(&sample.doc));
    EXPECT_EQ(command.GetErrorMessage(), "");

    const HostModel::Atom& alaN = ChildAtom(*sample.ala1, "N");
    EXPECT_EQ(Charge(alaN), 1.0f);
    EXPECT_EQ(CombinedSource(alaN), "Default + Default");
    EXPECT_FLOAT_EQ(Radius(alaN), 1.55f);
    EXPECT_EQ(Charge(ChildAtom(*sample.ser1, "N")), 1.0f);
    EXPECT_FLOAT_EQ(Charge(ChildAtom(*sample.gly5, "N")), -0.35f) << "chain C's first N-terminus has no N";
    EXPECT_FLOAT_EQ(Charge(ChildAtom(*sample.ala20, "N")), -0.30f) << "nucleic-acid chain";
    EXPECT_FLOAT_EQ(Charge(ChildAtom(*sample.ala1, "HB21")), 0.06f);
    EXPECT_FLOAT_EQ(Charge(ChildAtom(*sample.ace0, "O")), -0.45f);
    EXPECT_EQ(CombinedSource(ChildAtom(*sample.gly2, "C")), "Missing + Default");

    EXPECT_FLOAT_EQ(Radius(*sample.zinc), HostModel::VanDerWaalsRadius(30));
    EXPECT_EQ(CombinedSource(*sample.zinc), "Missing + HST");
    EXPECT_EQ(RadiusSource(ChildAtom(*sample.da1, "P")), "HST");

    EXPECT_EQ(sample.complex->GetPropertyAsString("Voltra Charge Template"), "default.crg");
    EXPECT_EQ(sample.complex->GetPropertyAsString("Voltra Radius Template"), "default.siz");
    EXPECT_EQ(VoltraTest::SnapshotOf(*sample.hidden), hiddenBefore);
    EXPECT_EQ(VoltraTest::CountTrackers(sample.Root(), "VoltraTracker"), 1);
    EXPECT_FALSE(Voltra::ChemistryTrackerHelper::ChemistryHasChanged(sample.Root()));
}

TEST_F(ApplyCommands, AmberPlusDefaultLayersProteinRadiiAndNucleicFiles) {
    Voltra::CmdApplyAmberPlusDefaultTemplates command;
    const auto hiddenBefore = VoltraTest::SnapshotOf(*sample.hidden);
    ASSERT_TRUE(sample.doc.Execute(command));

    struct Expected {
        HostModel::Residue* residue;
        const char* atom;
        float charge;
        const char* combined;
    };
    const Expected table[] = {
        {sample.ala1, "N", -0.4157f, "Amber + Default"},  // no N-terminal charge with Amber files
        {sample.ala1, "CA", 0.25f, "Amber + Default"},    // both files match: the nucleic file is last
        {sample.ala1, "O", -0.5679f, "Amber + Default"},  // generic entry of the protein file
        {sample.ser1, "N", -0.4157f, "Amber + Default"}, {sample.lys2, "N", -0.3479f, "Amber + Default"},
        {sample.gly2, "C", 0.0f, "Missing + Default"},   {sample.da1, "P", 1.1659f, "Amber + HST"},
        {sample.da1, "N1", -0.7624f, "Amber + Default"}, {sample.da1, "C1'", 0.0f, "Missing + Default"},
    };
    for (const Expected& e : table) {
        const HostModel::Atom& atom = ChildAtom(*e.residue, e.atom);
        EXPECT_FLOAT_EQ(Charge(atom), e.charge) << e.residue->GetLabel() << ':' << e.atom;
        EXPECT_EQ(CombinedSource(atom), e.combined) << e.residue->GetLabel() << ':' << e.atom;
    }
    EXPECT_EQ(CombinedSource(*sample.zinc), "Missing + HST");
    EXPECT_EQ(sample.complex->GetPropertyAsString("Voltra Charge Template"), "nuca_amb.crg");
    EXPECT_EQ(sample.complex->GetPropertyAsString("Voltra Radius Template"), "default.siz");
    EXPECT_EQ(VoltraTest::SnapshotOf(*sample.hidden), hiddenBefore);
    EXPECT_EQ(VoltraTest::CountTrackers(sample.Root(), "VoltraTracker"), 1);
}

TEST_F(ApplyCommands, ParseChargesAndAtomNameRadii) {
    Voltra::CmdApplyParseTemplates command;
    const auto hiddenBefore = VoltraTest::SnapshotOf(*sample.hidden);
    ASSERT_TRUE(command.Execute(&sample.doc));

    const HostModel::Atom& alaN = ChildAtom(*sample.ala1, "N");
    EXPECT_EQ(Charge(alaN), 1.0f);
    EXPECT_EQ(CombinedSource(alaN), "Parse + Parse");
    EXPECT_FLOAT_EQ(Radius(alaN), 1.50f);
    EXPECT_EQ(Charge(ChildAtom(*sample.ser1, "N")), 1.0f);
    EXPECT_FLOAT_EQ(Charge(ChildAtom(*sample.gly2, "N")), -0.40f);
    EXPECT_FLOAT_EQ(Charge(ChildAtom(*sample.gly2, "O")), -0.55f);
    EXPECT_FLOAT_EQ(Radius(ChildAtom(*sample.gly2, "CA")), 2.00f);
    // Residue-keyed radii have no host fall-back.
    EXPECT_EQ(Radius(ChildAtom(*sample.ala1, "CB")), 0.0f);
    EXPECT_EQ(CombinedSource(ChildAtom(*sample.ala1, "CB")), "Missing + Missing");
    EXPECT_EQ(CombinedSource(*sample.zinc), "Missing + Missing");

    EXPECT_EQ(sample.complex->GetPropertyAsString("Voltra Charge Template"), "parseres.crg");
    EXPECT_EQ(sample.complex->GetPropertyAsString("Voltra Radius Template"), "parseres.siz");
    EXPECT_EQ(VoltraTest::SnapshotOf(*sample.hidden), hiddenBefore);
}

TEST_F(ApplyCommands, RunningTwiceGivesTheSameDocument) {
    using Factory = std::function<std::unique_ptr<HostModel::Command>()>;
    const Factory factories[] = {
        [] { return std::make_unique<Voltra::CmdApplyDefaultTemplates>(); },
        [] { return std::make_unique<Voltra::CmdApplyAmberPlusDefaultTemplates>(); },
        [] { return std::make_unique<Voltra::CmdApplyParseTemplates>(); },
    };
    for (const Factory& make : factories) {
        SampleDocument once;
        SampleDocument twice;
        ASSERT_TRUE(make()->Execute(&once.doc));
        // Start from another assignment, then run the command twice. The other one adds no
        // hydrogens: those an earlier run added stay in the document.
        ASSERT_TRUE(Voltra::CmdApplyDefaultTemplates().Execute(&twice.doc));
        ASSERT_TRUE(make()->Execute(&twice.doc));
        ASSERT_TRUE(make()->Execute(&twice.doc));
        EXPECT_EQ(VoltraTest::Snapshot(once.doc), VoltraTest::Snapshot(twice.doc)) << make()->GetName();
        EXPECT_EQ(VoltraTest::CountTrackers(twice.Root(), "VoltraTracker"), 1) << make()->GetName();
    }
}

TEST_F(ApplyCommands, FailingLoadLeavesTheDocumentAsItWas) {
    struct Case {
        std::function<std::unique_ptr<HostModel::Command>()> make;
        const char* missingFile;
    };
    const Case cases[] = {
        {[] { return std::make_unique<Voltra::CmdApplyDefaultTemplates>(); }, "default.crg"},
        {[] { return std::make_unique<Voltra::CmdApplyDefaultTemplates>(); }, "default.siz"},
        {[] { return std::make_unique<Voltra::CmdApplyAmberPlusDefaultTemplates>(); }, "prot_amb.crg"},
        {[] { return std::make_unique<Voltra::CmdApplyAmberPlusDefaultTemplates>(); }, "default.siz"},
        {[] { return std::make_unique<Voltra::CmdApplyAmberPlusDefaultTemplates>(); }, "nuca_amb.crg"},
        {[] { return std::make_unique<Voltra::CmdApplyParseTemplates>(); }, "parseres.crg"},
        {[] { return std::make_unique<Voltra::CmdApplyParseTemplates>(); }, "parseres.siz"},
    };
    for (const Case& c : cases) {
        for (bool assignedBefore : {false, true}) {
            templates.WriteAll();
            SampleDocument doc;
            if (assignedBefore) {
                // An earlier assignment, started tracker and all, must survive the failure.
                ASSERT_TRUE(Voltra::CmdApplyDefaultTemplates().Execute(&doc.doc));
                VoltraTest::AddAtom(*doc.complex, "NA", 11);
            }
            templates.Remove(c.missingFile);
            const auto before = VoltraTest::Snapshot(doc.doc);
            const bool changedBefore = Voltra::ChemistryTrackerHelper::ChemistryHasChanged(doc.Root());

            const auto command = c.make();
            EXPECT_FALSE(command->Execute(&doc.doc)) << c.missingFile;
            EXPECT_EQ(command->GetErrorMessage(),
                      std::string("There was an error reading the template file ") + c.missingFile + ".");
            EXPECT_EQ(VoltraTest::Snapshot(doc.doc), before) << c.missingFile << " after assignment " << assignedBefore;
            EXPECT_EQ(Voltra::ChemistryTrackerHelper::ChemistryHasChanged(doc.Root()), changedBefore);
        }
    }
}

TEST_F(ApplyCommands, UninitialisedPersistenceIsReportedAndNothingChanges) {
    Persistence::Shutdown();
    const auto before = VoltraTest::Snapshot(sample.doc);
    Voltra::CmdApplyParseTemplates command;
    EXPECT_FALSE(command.Execute(&sample.doc));
    EXPECT_EQ(command.GetErrorMessage(), "The Persistence library was not initialized.");
    EXPECT_EQ(VoltraTest::Snapshot(sample.doc), before);
}

TEST_F(ApplyCommands, NullDocumentIsNotReportedAsSuccess) {
    EXPECT_FALSE(Voltra::CmdApplyDefaultTemplates().Execute(nullptr));
    EXPECT_FALSE(Voltra::CmdApplyAmberPlusDefaultTemplates().Execute(nullptr));
    EXPECT_FALSE(Voltra::CmdApplyParseTemplates().Execute(nullptr));
}

TEST(ApplyCommandsSuitability, NeedADocumentWithAtoms) {
    const std::unique_ptr<HostModel::Command> commands[] = {
        std::make_unique<Voltra::CmdApplyDefaultTemplates>(),
        std::make_unique<Voltra::CmdApplyAmberPlusDefaultTemplates>(),
        std::make_unique<Voltra::CmdApplyParseTemplates>(),
    };
    HostModel::ChemDoc empty;
    HostModel::ChemDoc moleculeOnly;
    moleculeOnly.GetTreeRoot()->Add(std::make_unique<HostModel::Molecule>("M"));
    HostModel::ChemDoc hiddenAtoms;
    auto& hidden = hiddenAtoms.GetTreeRoot()->Add(std::make_unique<HostModel::Molecule>("M"));
    VoltraTest::AddAtom(hidden, "C1", 6);
    hidden.SetVisible(false);
    SampleDocument sample;
    for (const auto& command : commands) {
        EXPECT_FALSE(command->IsSuitable(nullptr)) << command->GetName();
        EXPECT_FALSE(command->IsSuitable(&empty)) << command->GetName();
        EXPECT_FALSE(command->IsSuitable(&moleculeOnly)) << command->GetName();
        EXPECT_TRUE(command->IsSuitable(&hiddenAtoms)) << command->GetName() << ": hidden atoms count";
        EXPECT_TRUE(command->IsSuitable(&sample.doc)) << command->GetName();
    }
}

}  // namespace
