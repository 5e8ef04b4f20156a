// The per-atom writers: value and Source properties with their flags, and the combined Source.
#include "support/SampleDocument.h"

#include "templates/PropertyVocabulary.h"
#include "templates/Template.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

using VoltraTest::CombinedSource;

TEST(Provenance, SetValueWritesFloatWithValueFlags) {
    HostModel::Atom atom("CA", 6);
    Voltra::ChargeTemplate charges("default.crg");
    Voltra::RadiusTemplate radii("default.siz");
    charges.SetValue(atom, -0.25f);
    radii.SetValue(atom, 1.7f);

    EXPECT_EQ(VoltraTest::FloatProperty(atom, "Voltra Charge"), -0.25f);
    EXPECT_EQ(VoltraTest::FloatProperty(atom, "Voltra Radius"), 1.7f);
    EXPECT_EQ(atom.GetPropertyFlags("Voltra Charge"), 6u);
    EXPECT_EQ(atom.GetPropertyFlags("Voltra Radius"), 6u);
    EXPECT_EQ(atom.GetProperties().size(), 2u);  // no Source written by SetValue
}

TEST(Provenance, SourceWritesRefreshCombinedTextInChargeRadiusOrder) {
    HostModel::Atom atom("N", 7);
    Voltra::RadiusTemplate radii("default.siz");
    Voltra::ChargeTemplate charges("prot_amb.crg");

    // Radius first: the combined text still puts the (absent) charge Source in front.
    radii.SetSource(atom, "Default");
    EXPECT_EQ(CombinedSource(atom), " + Default");
    charges.SetSource(atom, "Amber");
    EXPECT_EQ(CombinedSource(atom), "Amber + Default");
    charges.SetSource(atom, "Zero");
    EXPECT_EQ(CombinedSource(atom), "Zero + Default");
    radii.SetSource(atom, "HST");
    EXPECT_EQ(CombinedSource(atom), "Zero + HST");

    EXPECT_EQ(atom.GetPropertyAsString("Voltra Charge Source"), "Zero");
    EXPECT_EQ(atom.GetPropertyAsString("Voltra Radius Source"), "HST");
    EXPECT_EQ(atom.GetPropertyFlags("Voltra Charge Source"), 0u);
    EXPECT_EQ(atom.GetPropertyFlags("Voltra Radius Source"), 0u);
    EXPECT_EQ(atom.GetPropertyFlags("Voltra Charge + Radius Source"), 2u);
}

TEST(Provenance, ChargeSourceWithoutRadiusSourceLeavesRightHalfEmpty) {
    HostModel::Atom atom("O", 8);
    Voltra::SharedChargeTemplate().SetSource(atom, "Zero");
    EXPECT_EQ(CombinedSource(atom), "Zero + ");
}

TEST(Provenance, IsSourceMissingIsExactAndPerKind) {
    HostModel::Atom atom("C", 6);
    const Voltra::Template& charges = Voltra::SharedChargeTemplate();
    const Voltra::Template& radii = Voltra::SharedRadiusTemplate();
    EXPECT_FALSE(charges.IsSourceMissing(atom));  // absent reads as empty text

    struct Case {
        const char* source;
        bool missing;
    };
    for (const Case& c : {Case{"Missing", true}, Case{"missing", false}, Case{"Missing ", false}, Case{"", false},
                          Case{"HST", false}}) {
        charges.SetSource(atom, c.source);
        EXPECT_EQ(charges.IsSourceMissing(atom), c.missing) << '"' << c.source << '"';
        EXPECT_FALSE(radii.IsSourceMissing(atom)) << "the radius Source was never written";
    }
}

TEST(Provenance, SharedTemplatesWriteTheSameNamesAsLoadedOnes) {
    HostModel::Atom viaShared("N", 7);
    HostModel::Atom viaLoaded("N", 7);
    Voltra::SharedRadiusTemplate().SetValue(viaShared, 1.5f);
    Voltra::SharedRadiusTemplate().SetSource(viaShared, "Bondi");
    Voltra::RadiusTemplate bondi("bondi.siz");
    bondi.SetValue(viaLoaded, 1.5f);
    bondi.SetSource(viaLoaded, "Bondi");

    const auto a = viaShared.GetProperties();
    const auto b = viaLoaded.GetProperties();
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].name, b[i].name);
        EXPECT_EQ(a[i].flags, b[i].flags);
        EXPECT_EQ(a[i].text, b[i].text);
        EXPECT_EQ(a[i].number, b[i].number);
    }
}

}  // namespace

namespace {

// The one rule the program's summary and PQR remark count atoms left Missing by.
TEST(ValueProvenance, OnlyTheExactMissingTextIsMissing) {
    using Voltra::ValueProvenance;
    const std::pair<const char*, ValueProvenance> cases[] = {
        {"", ValueProvenance::Absent},
        {"Missing", ValueProvenance::Missing},
        {"missing", ValueProvenance::Given},
        {"Missing ", ValueProvenance::Given},
        {"Default", ValueProvenance::Given},
        {"Zero", ValueProvenance::Given},
        {"Missing + Missing", ValueProvenance::Given},
    };
    for (const auto& [source, provenance] : cases) {
        EXPECT_EQ(Voltra::ProvenanceOf(source), provenance) << '"' << source << '"';
    }
}

}  // namespace
