// Template application: reset, the per-atom write rule, the N-terminal charge, molecule records,
// layering of several templates, hidden molecules and the tracker started on the way out.
#include "support/SampleDocument.h"

#include "apply/ChemistryTrackerHelper.h"
#include "apply/TemplateApplicator.h"

#include "HostModel/Elements.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using Voltra::TemplatePtr;
using VoltraTest::Charge;
using VoltraTest::ChargeSource;
using VoltraTest::ChildAtom;
using VoltraTest::CombinedSource;
using VoltraTest::FloatProperty;
using VoltraTest::Radius;
using VoltraTest::RadiusSource;
using VoltraTest::SampleDocument;

template <class T>
TemplatePtr MakeTemplate(const std::string& name, const std::vector<Voltra::TemplateEntry>& entries) {
    TemplatePtr t(new T(name));
    for (const auto& entry : entries) t->AddEntry(entry);
    return t;
}

// Residue-keyed charges in the shape of the default charge file; note the generic "O" entry.
TemplatePtr DefaultCharges(const std::string& name = "default.crg") {
    return MakeTemplate<Voltra::ChargeTemplate>(name, {{"N", -0.30f, "ALA"},
                                                       {"CA", 0.10f, "ALA"},
                                                       {"C", 0.50f, "ALA"},
                                                       {"O", -0.50f, "ALA"},
                                                       {"CB", -0.20f, "ALA"},
                                                       {"1HB2", 0.06f, "ALA"},
                                                       {"N", -0.35f, "GLY"},
                                                       {"CA", 0.05f, "GLY"},
                                                       {"O", -0.45f},
                                                       {"N", -0.41f, "SER"},
                                                       {"N", -0.42f, "LYS"},
                                                       {"NZ", -0.30f, "LYS"}});
}

// Element-keyed radii without phosphorus and zinc.
TemplatePtr DefaultRadii(const std::string& name = "default.siz") {
    return MakeTemplate<Voltra::RadiusTemplate>(name, {{"C", 1.70f}, {"N", 1.55f}, {"O", 1.52f}, {"H", 1.10f}});
}

void ApplyDefault(SampleDocument& sample) {
    Voltra::ResetTemplateProperties(&sample.doc);
    Voltra::TemplateApplicator applicator(&sample.doc);
    applicator.ApplyChargeTemplate(DefaultCharges());
    applicator.ApplyRadiusTemplate(DefaultRadii());
}

TEST(ResetTemplateProperties, VisibleAtomsGetZeroAndMissingHiddenOnesNothing) {
    SampleDocument sample;
    sample.zinc->SetProperty("Voltra Charge", 2.0f, 6);
    sample.zinc->SetProperty("Voltra Charge Source", "Zero", 0);
    Voltra::ResetTemplateProperties(&sample.doc);

    for (HostModel::Atom* atom : sample.AtomsOf(*sample.complex)) {
        EXPECT_EQ(Charge(*atom), 0.0f) << atom->GetLabel();
        EXPECT_EQ(Radius(*atom), 0.0f) << atom->GetLabel();
        EXPECT_EQ(ChargeSource(*atom), "Missing") << atom->GetLabel();
        EXPECT_EQ(RadiusSource(*atom), "Missing") << atom->GetLabel();
        EXPECT_EQ(CombinedSource(*atom), "Missing + Missing") << atom->GetLabel();
    }
    EXPECT_FALSE(sample.complex->HasProperty("Voltra Charge Template")) << "molecules are not touched by the reset";
    for (HostModel::Atom* atom : sample.AtomsOf(*sample.hidden)) {
        EXPECT_EQ(Charge(*atom), 9.5f);
        EXPECT_EQ(ChargeSource(*atom), "Earlier");
    }
    EXPECT_EQ(sample.hidden->GetPropertyAsString("Voltra Charge Template"), "earlier.crg");
    EXPECT_EQ(VoltraTest::CountTrackers(sample.Root(), "VoltraTracker"), 0) << "the reset starts no tracker";
}

TEST(ResetTemplateProperties, SameStateAsSourceThenValueWritesOfBothKinds) {
    // Oracle: the reset of one atom as the provenance writers spell it, call by call.
    auto byWriters = [](HostModel::Object& atom) {
        for (const Voltra::Template* t : {&Voltra::SharedChargeTemplate(), &Voltra::SharedRadiusTemplate()}) {
            t->SetSource(atom, "Missing");
            t->SetValue(atom, 0.0f);
        }
    };
    // Atoms in the states a reset meets: fresh, assigned, half assigned, carrying other properties.
    using Setup = void (*)(HostModel::Object&);
    const Setup setups[] = {
        [](HostModel::Object&) {},
        [](HostModel::Object& a) {
            a.SetProperty("Voltra Radius Source", "Bondi", 0);
            a.SetProperty("Voltra Radius", 1.8f, 6);
        },
        [](HostModel::Object& a) {
            a.SetProperty("Occupancy", 0.5f, 1);
            a.SetProperty("Voltra Charge + Radius Source", "Zero + Parse", 2);
            a.SetProperty("Voltra Charge", 0.25f, 6);
            a.SetProperty("Voltra Charge Source", "Zero", 0);
            a.SetProperty("Voltra Radius Source", "Parse", 0);
            a.SetProperty("Voltra Radius", 1.5f, 0);  // flags other than the module's
        },
        [](HostModel::Object& a) { a.SetProperty("Voltra Charge Source", 3.0f, 6); },  // wrong kind
    };
    for (std::size_t i = 0; i < std::size(setups); ++i) {
        SampleDocument sample;
        HostModel::Atom& atom = *sample.zinc;
        setups[i](atom);
        HostModel::Atom oracle("ZN", 30);
        setups[i](oracle);
        byWriters(oracle);
        Voltra::ResetTemplateProperties(&sample.doc);
        EXPECT_EQ(VoltraTest::Describe(atom), VoltraTest::Describe(oracle)) << "setup " << i;
    }
}

TEST(ResetTemplateProperties, NullDocumentIsIgnored) { EXPECT_NO_THROW(Voltra::ResetTemplateProperties(nullptr)); }

TEST(TemplateApplication, DefaultChargesAndElementRadiiPerAtom) {
    SampleDocument sample;
    ApplyDefault(sample);

    struct Expected {
        HostModel::Residue* residue;
        const char* atom;
        float charge;
        const char* chargeSource;
    };
    const Expected table[] = {
        {sample.ala1, "N", 1.0f, "Default"},  // N-terminal rule replaces -0.30
        {sample.ala1, "CA", 0.10f, "Default"},
        {sample.ala1, "C", 0.50f, "Default"},
        {sample.ala1, "CB", -0.20f, "Default"},
        {sample.ala1, "HB21", 0.06f, "Default"},  // keyed as 1HB2
        {sample.gly2, "N", -0.35f, "Default"},
        {sample.gly2, "C", 0.0f, "Missing"},    // neither (C, GLY) nor a generic C
        {sample.gly2, "O", -0.45f, "Default"},  // generic entry
        {sample.nme0, "N", 0.0f, "Missing"},    // not an amino acid: no N-terminal charge
        {sample.ser1, "N", 1.0f, "Default"},    // first N-terminal amino acid of chain B
        {sample.ser1, "OG", 0.0f, "Missing"},
        {sample.lys2, "N", -0.42f, "Default"},
        {sample.lys2, "NZ", -0.30f, "Default"},
        {sample.ace0, "O", -0.45f, "Default"},
        {sample.gly5, "N", -0.35f, "Default"},  // chain C stopped at ACE, which has no N
        {sample.da1, "N1", 0.0f, "Missing"},
        {sample.ala20, "N", -0.30f, "Default"},  // amino acid in a nucleic-acid chain
    };
    for (const Expected& e : table) {
        const HostModel::Atom& atom = ChildAtom(*e.residue, e.atom);
        const std::string where = e.residue->GetLabel() + ":" + e.atom;
        EXPECT_FLOAT_EQ(Charge(atom), e.charge) << where;
        EXPECT_EQ(ChargeSource(atom), e.chargeSource) << where;
    }
    EXPECT_EQ(Charge(*sample.zinc), 0.0f);
    EXPECT_EQ(ChargeSource(*sample.zinc), "Missing");

    // Radii: element entries, or the host's radius with Source "HST".
    EXPECT_FLOAT_EQ(Radius(ChildAtom(*sample.ala1, "N")), 1.55f) << "no N-terminal rule for radii";
    EXPECT_EQ(RadiusSource(ChildAtom(*sample.ala1, "N")), "Default");
    EXPECT_FLOAT_EQ(Radius(ChildAtom(*sample.ala1, "HB21")), 1.10f);
    const HostModel::Atom& phosphorus = ChildAtom(*sample.da1, "P");
    EXPECT_FLOAT_EQ(Radius(phosphorus), HostModel::VanDerWaalsRadius(15));
    EXPECT_EQ(RadiusSource(phosphorus), "HST");
    EXPECT_FLOAT_EQ(Radius(*sample.zinc), HostModel::VanDerWaalsRadius(30));
    EXPECT_EQ(CombinedSource(*sample.zinc), "Missing + HST");
    EXPECT_EQ(CombinedSource(ChildAtom(*sample.ala1, "N")), "Default + Default");
    EXPECT_EQ(CombinedSource(ChildAtom(*sample.gly2, "C")), "Missing + Default");

    EXPECT_EQ(sample.complex->GetPropertyAsString("Voltra Charge Template"), "default.crg");
    EXPECT_EQ(sample.complex->GetPropertyAsString("Voltra Radius Template"), "default.siz");
    EXPECT_EQ(sample.complex->GetPropertyFlags("Voltra Charge Template"), 2u);
    EXPECT_EQ(sample.complex->GetPropertyFlags("Voltra Radius Template"), 2u);
}

TEST(TemplateApplication, NTerminalChargeDependsOnTheTemplatesSource) {
    struct Case {
        const char* fileName;
        bool nTerminalCharge;
        const char* source;
    };
    const Case cases[] = {
        {"default.crg", true, "Default"}, {"parseres.crg", true, "Parse"},  {"custom.crg", true, "Unknown"},
        {"prot_amb.crg", false, "Amber"}, {"nuca_amb.crg", false, "Amber"},
    };
    for (const Case& c : cases) {
        SampleDocument sample;
        Voltra::ResetTemplateProperties(&sample.doc);
        {
            Voltra::TemplateApplicator applicator(&sample.doc);
            applicator.ApplyChargeTemplate(DefaultCharges(c.fileName));
        }
        const HostModel::Atom& alaN = ChildAtom(*sample.ala1, "N");
        const HostModel::Atom& serN = ChildAtom(*sample.ser1, "N");
        EXPECT_FLOAT_EQ(Charge(alaN), c.nTerminalCharge ? 1.0f : -0.30f) << c.fileName;
        EXPECT_FLOAT_EQ(Charge(serN), c.nTerminalCharge ? 1.0f : -0.41f) << c.fileName;
        EXPECT_EQ(ChargeSource(alaN), c.source) << c.fileName;
        EXPECT_EQ(ChargeSource(serN), c.source) << c.fileName;
        // Never beyond the first N-terminal amino acid of an amino-acid chain.
        EXPECT_FLOAT_EQ(Charge(ChildAtom(*sample.gly5, "N")), -0.35f) << c.fileName;
        EXPECT_FLOAT_EQ(Charge(ChildAtom(*sample.ala20, "N")), -0.30f) << c.fileName;
        EXPECT_FLOAT_EQ(Charge(ChildAtom(*sample.nme0, "N")), 0.0f) << c.fileName;
    }
}

TEST(TemplateApplication, NTerminalChargeReplacesAMissingValueToo) {
    // No entry for the N-terminal residue at all: the rule still sets 1.0 with the file's Source.
    SampleDocument sample;
    Voltra::ResetTemplateProperties(&sample.doc);
    {
        Voltra::TemplateApplicator applicator(&sample.doc);
        applicator.ApplyChargeTemplate(MakeTemplate<Voltra::ChargeTemplate>("parseres.crg", {}));
    }
    EXPECT_EQ(Charge(ChildAtom(*sample.ala1, "N")), 1.0f);
    EXPECT_EQ(CombinedSource(ChildAtom(*sample.ala1, "N")), "Parse + Missing");
    EXPECT_EQ(ChargeSource(ChildAtom(*sample.ala1, "CA")), "Missing");
}

TEST(TemplateApplication, NTerminalAtomLabelMustBeExactlyN) {
    HostModel::ChemDoc doc;
    auto& molecule = doc.GetTreeRoot()->Add(std::make_unique<HostModel::Molecule>("Peptide"));
    auto& chain = molecule.Add(std::make_unique<HostModel::AminoAcidChain>("A"));
    auto& first = VoltraTest::AddResidue<HostModel::AminoAcid>(chain, "GLY", 1,
                                                               {{"n", 7}, {"NT", 7}, {" N", 7}, {"N", 7}, {"CA", 6}});
    // A chain whose N-terminal residue has only look-alikes gets no N-terminal charge.
    auto& other = molecule.Add(std::make_unique<HostModel::AminoAcidChain>("B"));
    auto& lookAlikes = VoltraTest::AddResidue<HostModel::AminoAcid>(other, "GLY", 1, {{"n", 7}, {"NT", 7}});
    Voltra::ResetTemplateProperties(&doc);
    {
        Voltra::TemplateApplicator applicator(&doc);
        applicator.ApplyChargeTemplate(MakeTemplate<Voltra::ChargeTemplate>("default.crg", {}));
    }
    for (const char* label : {"n", "NT", " N", "CA"}) {
        EXPECT_EQ(ChargeSource(ChildAtom(first, label)), "Missing") << '"' << label << '"';
    }
    EXPECT_EQ(Charge(ChildAtom(first, "N")), 1.0f);
    for (const char* label : {"n", "NT"}) EXPECT_EQ(Charge(ChildAtom(lookAlikes, label)), 0.0f) << label;
}

TEST(TemplateApplication, OnlyTheFirstOfSeveralNTerminiInAChainIsCharged) {
    SampleDocument sample;
    // Break chain A: GLY 2 becomes an N-terminus of its own, but the chain keeps one charge.
    HostModel::Atom::Unbond(ChildAtom(*sample.ala1, "C"), ChildAtom(*sample.gly2, "N"));
    Voltra::ResetTemplateProperties(&sample.doc);
    {
        Voltra::TemplateApplicator applicator(&sample.doc);
        applicator.ApplyChargeTemplate(DefaultCharges());
    }
    EXPECT_EQ(Charge(ChildAtom(*sample.ala1, "N")), 1.0f);
    EXPECT_FLOAT_EQ(Charge(ChildAtom(*sample.gly2, "N")), -0.35f);
}

TEST(TemplateApplication, AnAminoAcidThatIsNotTheNTerminusIsSkipped) {
    SampleDocument sample;
    // Make ALA 1 follow GLY 2 through a head-to-tail bond: the cyclic chain has no N-terminus.
    HostModel::Atom::Bond(ChildAtom(*sample.gly2, "C"), ChildAtom(*sample.ala1, "N"));
    Voltra::ResetTemplateProperties(&sample.doc);
    {
        Voltra::TemplateApplicator applicator(&sample.doc);
        applicator.ApplyChargeTemplate(DefaultCharges());
    }
    EXPECT_FLOAT_EQ(Charge(ChildAtom(*sample.ala1, "N")), -0.30f);
    EXPECT_FLOAT_EQ(Charge(ChildAtom(*sample.gly2, "N")), -0.35f);
    EXPECT_EQ(Charge(ChildAtom(*sample.ser1, "N")), 1.0f) << "other chains are not affected";
}

TEST(TemplateApplication, SecondChargeTemplateFillsMissingAndOverridesItsOwnHits) {
    SampleDocument sample;
    const TemplatePtr protein =
        MakeTemplate<Voltra::ChargeTemplate>("prot_amb.crg", {{"N", -0.4157f, "ALA"}, {"CA", 0.0337f, "ALA"}});
    const TemplatePtr nucleic =
        MakeTemplate<Voltra::ChargeTemplate>("nuca_amb.crg", {{"P", 1.1659f, "DA"}, {"CA", 0.25f, "ALA"}});
    Voltra::ResetTemplateProperties(&sample.doc);
    {
        Voltra::TemplateApplicator applicator(&sample.doc);
        applicator.ApplyChargeTemplate(protein);
        applicator.ApplyRadiusTemplate(DefaultRadii());
        applicator.ApplyChargeTemplate(nucleic);
    }
    EXPECT_FLOAT_EQ(Charge(ChildAtom(*sample.ala1, "N")), -0.4157f) << "kept from the first file";
    EXPECT_FLOAT_EQ(Charge(ChildAtom(*sample.ala1, "CA")), 0.25f) << "the last file wins where both match";
    EXPECT_FLOAT_EQ(Charge(ChildAtom(*sample.da1, "P")), 1.1659f);
    EXPECT_EQ(ChargeSource(ChildAtom(*sample.da1, "P")), "Amber");
    EXPECT_EQ(CombinedSource(ChildAtom(*sample.ala1, "N")), "Amber + Default");
    EXPECT_EQ(Charge(ChildAtom(*sample.gly2, "N")), 0.0f);
    EXPECT_EQ(CombinedSource(ChildAtom(*sample.gly2, "N")), "Missing + Default");
    EXPECT_EQ(sample.complex->GetPropertyAsString("Voltra Charge Template"), "nuca_amb.crg");
    EXPECT_EQ(sample.complex->GetPropertyAsString("Voltra Radius Template"), "default.siz");
}

TEST(TemplateApplication, AMissKeepsAnotherSourceAndRewritesMissing) {
    SampleDocument sample;
    Voltra::ResetTemplateProperties(&sample.doc);
    HostModel::Atom& zeroed = ChildAtom(*sample.gly2, "C");
    Voltra::SharedChargeTemplate().SetValue(zeroed, 0.75f);
    Voltra::SharedChargeTemplate().SetSource(zeroed, "Zero");
    HostModel::Atom& stale = ChildAtom(*sample.ser1, "OG");
    Voltra::SharedChargeTemplate().SetValue(stale, 5.0f);  // still marked "Missing"
    {
        Voltra::TemplateApplicator applicator(&sample.doc);
        applicator.ApplyChargeTemplate(DefaultCharges());
    }
    EXPECT_EQ(Charge(zeroed), 0.75f);
    EXPECT_EQ(ChargeSource(zeroed), "Zero");
    EXPECT_EQ(Charge(stale), 0.0f);
    EXPECT_EQ(ChargeSource(stale), "Missing");
}

TEST(TemplateApplication, WithoutResetAMissOnlyWritesTheMissingSource) {
    SampleDocument sample;
    {
        Voltra::TemplateApplicator applicator(&sample.doc);
        applicator.ApplyChargeTemplate(DefaultCharges());
    }
    const HostModel::Atom& og = ChildAtom(*sample.ser1, "OG");
    EXPECT_EQ(ChargeSource(og), "Missing");
    EXPECT_EQ(CombinedSource(og), "Missing + ");
    EXPECT_FALSE(og.HasProperty("Voltra Charge"));
    EXPECT_FLOAT_EQ(Charge(ChildAtom(*sample.ser1, "O")), -0.45f);
}

TEST(TemplateApplication, HiddenMoleculesAreUntouched) {
    SampleDocument sample;
    const auto before = VoltraTest::SnapshotOf(*sample.hidden);
    ApplyDefault(sample);
    EXPECT_EQ(VoltraTest::SnapshotOf(*sample.hidden), before);
}

TEST(TemplateApplication, AllMoleculesHiddenChangesNothingButStartsTracking) {
    SampleDocument sample;
    sample.complex->SetVisible(false);
    const auto before = VoltraTest::SnapshotWithoutTrackers(sample.doc);
    ApplyDefault(sample);
    EXPECT_EQ(VoltraTest::SnapshotWithoutTrackers(sample.doc), before);
    EXPECT_EQ(VoltraTest::CountTrackers(sample.Root(), "VoltraTracker"), 1);
}

TEST(TemplateApplication, NullTemplateOrDocumentDoesNothing) {
    SampleDocument sample;
    const auto before = VoltraTest::Snapshot(sample.doc);
    {
        Voltra::TemplateApplicator applicator(nullptr);
        applicator.ApplyChargeTemplate(DefaultCharges());
        applicator.ApplyRadiusTemplate(DefaultRadii());
    }
    EXPECT_EQ(VoltraTest::Snapshot(sample.doc), before);
    {
        Voltra::TemplateApplicator applicator(&sample.doc);
        applicator.ApplyChargeTemplate(TemplatePtr());
        applicator.ApplyRadiusTemplate(TemplatePtr());
    }
    EXPECT_EQ(VoltraTest::CountTrackers(sample.Root(), "VoltraTracker"), 1);
    EXPECT_FALSE(sample.complex->HasProperty("Voltra Charge Template"));
    EXPECT_FALSE(ChildAtom(*sample.ala1, "N").HasProperty("Voltra Charge Source"));
}

TEST(TemplateApplication, ReleasesItsShareOfTheTemplate) {
    SampleDocument sample;
    const TemplatePtr charges = DefaultCharges();
    {
        Voltra::TemplateApplicator applicator(&sample.doc);
        applicator.ApplyChargeTemplate(charges);
        EXPECT_EQ(charges.use_count(), 1);
    }
}

// A charge template whose value writes fail, as a host failure in the middle of application would.
class FailingTemplate : public Voltra::ChargeTemplate {
public:
    using ChargeTemplate::ChargeTemplate;
    const char* GetValuePropertyName() const override { throw std::runtime_error("host failure"); }
};

TEST(TemplateApplication, TrackingStartsAlsoWhenAnExceptionLeaves) {
    SampleDocument sample;
    Voltra::ResetTemplateProperties(&sample.doc);
    TemplatePtr failing(new FailingTemplate("default.crg"));
    failing->AddEntry({"CA", 0.1f, "ALA"});
    VoltraTest::AddAtom(*sample.ala1, "OXT", 8);  // a chemistry change before the assignment
    EXPECT_THROW(
        {
            Voltra::TemplateApplicator applicator(&sample.doc);
            applicator.ApplyChargeTemplate(failing);
        },
        std::runtime_error);
    EXPECT_EQ(VoltraTest::CountTrackers(sample.Root(), "VoltraTracker"), 1);
    EXPECT_FALSE(Voltra::ChemistryTrackerHelper::ChemistryHasChanged(sample.Root()));
}

TEST(TemplateApplication, ApplyingTwiceGivesTheSameDocumentAndOneTracker) {
    SampleDocument once;
    ApplyDefault(once);
    SampleDocument twice;
    ApplyDefault(twice);
    ApplyDefault(twice);
    EXPECT_EQ(VoltraTest::Snapshot(once.doc), VoltraTest::Snapshot(twice.doc));
    EXPECT_EQ(VoltraTest::CountTrackers(twice.Root(), "VoltraTracker"), 1);
}

}  // namespace
