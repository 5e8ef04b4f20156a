// Named properties of document objects: absent reads, kinds, flags, overwrite and removal, and
// many objects sharing the same names.
#include "HostModel/Atom.h"
#include "HostModel/Molecule.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace HostModel;

constexpr float kSentinel = 42.5f;

TEST(ObjectProperties, AbsentPropertyReadsEmptyAndLeavesTheFloatUntouched) {
    Atom atom("CA", 6);
    atom.SetProperty("Voltra Radius", 1.7f, 6);  // the store is not empty
    // One name no object ever carried, and one that other objects use.
    Atom other("N", 7);
    other.SetProperty("Voltra Charge", 0.5f, 6);
    for (const char* name : {"Never Used Anywhere 7f3a", "Voltra Charge"}) {
        float value = kSentinel;
        EXPECT_FALSE(atom.HasProperty(name)) << name;
        EXPECT_FALSE(atom.GetProperty(name, value)) << name;
        EXPECT_EQ(value, kSentinel) << name;
        EXPECT_EQ(atom.GetPropertyAsString(name), "") << name;
        EXPECT_EQ(atom.GetPropertyFlags(name), 0u) << name;
        EXPECT_FALSE(atom.RemoveProperty(name)) << name;
    }
    EXPECT_EQ(atom.GetProperties().size(), 1u);
}

TEST(ObjectProperties, TextPropertyIsNotAFloat) {
    Atom atom("CA", 6);
    atom.SetProperty("Voltra Charge Source", "Amber", 0);
    atom.SetProperty("Looks Numeric", "0.25", 0);
    for (const char* name : {"Voltra Charge Source", "Looks Numeric"}) {
        float value = kSentinel;
        EXPECT_TRUE(atom.HasProperty(name));
        EXPECT_FALSE(atom.GetProperty(name, value)) << name;
        EXPECT_EQ(value, kSentinel) << name;
    }
    EXPECT_EQ(atom.GetPropertyAsString("Looks Numeric"), "0.25");
}

TEST(ObjectProperties, EmptyTextIsPresent) {
    Molecule molecule("m");
    molecule.SetProperty("Voltra Charge Template", "", 2);
    EXPECT_TRUE(molecule.HasProperty("Voltra Charge Template"));
    EXPECT_EQ(molecule.GetPropertyAsString("Voltra Charge Template"), "");
    EXPECT_EQ(molecule.GetPropertyFlags("Voltra Charge Template"), 2u);
}

TEST(ObjectProperties, FloatsReadBackBitForBit) {
    const std::vector<float> values = {0.0f,
                                       -0.0f,
                                       0.1f,
                                       -0.8345f,
                                       1.0e38f,
                                       std::numeric_limits<float>::denorm_min(),
                                       std::numeric_limits<float>::lowest(),
                                       std::numeric_limits<float>::infinity(),
                                       std::numeric_limits<float>::quiet_NaN()};
    Atom atom("O", 8);
    for (float expected : values) {
        atom.SetProperty("Voltra Charge", expected, 6);
        float value = kSentinel;
        ASSERT_TRUE(atom.GetProperty("Voltra Charge", value));
        EXPECT_EQ(std::memcmp(&value, &expected, sizeof value), 0) << expected;
    }
}

TEST(ObjectProperties, FloatAsTextRoundTripsInShortestForm) {
    Atom atom("O", 8);
    const std::vector<std::pair<float, std::string>> shown = {
        {0.5f, "0.5"}, {0.1f, "0.1"}, {-0.8345f, "-0.8345"}, {1.7f, "1.7"},
        {0.0f, "0"},   {-2.0f, "-2"}, {1e20f, "1e+20"},
    };
    for (const auto& [value, text] : shown) {
        atom.SetProperty("Voltra Radius", value, 6);
        EXPECT_EQ(atom.GetPropertyAsString("Voltra Radius"), text);
    }
    // Every rendering reads back as the same float.
    std::uint32_t bits = 0x3A83126F;  // walk through many exponents and mantissas
    for (int i = 0; i < 20000; ++i) {
        bits = bits * 1664525u + 1013904223u;
        float value;
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value)) continue;
        atom.SetProperty("Voltra Radius", value, 6);
        const std::string text = atom.GetPropertyAsString("Voltra Radius");
        ASSERT_EQ(text.find(','), std::string::npos) << text;
        float parsed = 0;
        const auto result = std::from_chars(text.data(), text.data() + text.size(), parsed);
        ASSERT_EQ(result.ec, std::errc()) << text;
        ASSERT_EQ(result.ptr, text.data() + text.size()) << text;
        ASSERT_EQ(parsed, value) << text;
    }
}

TEST(ObjectProperties, OverwriteReplacesValueKindAndFlags) {
    Atom atom("N", 7);
    atom.SetProperty("Voltra Charge", 0.25f, 6);
    atom.SetProperty("Voltra Charge", -0.5f, 2);
    float value = kSentinel;
    ASSERT_TRUE(atom.GetProperty("Voltra Charge", value));
    EXPECT_EQ(value, -0.5f);
    EXPECT_EQ(atom.GetPropertyFlags("Voltra Charge"), 2u);

    // float -> text: the float read now fails and leaves value alone.
    atom.SetProperty("Voltra Charge", "Zero", 0);
    value = kSentinel;
    EXPECT_FALSE(atom.GetProperty("Voltra Charge", value));
    EXPECT_EQ(value, kSentinel);
    EXPECT_EQ(atom.GetPropertyAsString("Voltra Charge"), "Zero");
    EXPECT_EQ(atom.GetPropertyFlags("Voltra Charge"), 0u);

    // text -> float again.
    atom.SetProperty("Voltra Charge", 0.75f, 6);
    ASSERT_TRUE(atom.GetProperty("Voltra Charge", value));
    EXPECT_EQ(value, 0.75f);
    EXPECT_EQ(atom.GetPropertyAsString("Voltra Charge"), "0.75");
    const auto all = atom.GetProperties();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].kind, PropertyKind::Float);
}

TEST(ObjectProperties, FlagsKeepEveryBit) {
    Atom atom("N", 7);
    for (unsigned flags : {0u, 2u, 6u, 0xFFu, 0x100u, 0x12345678u, 0xFFFFFFFFu}) {
        atom.SetProperty("Voltra Radius Source", "Bondi", flags);
        EXPECT_EQ(atom.GetPropertyFlags("Voltra Radius Source"), flags);
        atom.SetProperty("Voltra Radius", 1.5f, flags);
        EXPECT_EQ(atom.GetPropertyFlags("Voltra Radius"), flags);
        EXPECT_EQ(atom.GetProperties().at(1).flags, flags);
    }
    float value = 0;
    EXPECT_TRUE(atom.GetProperty("Voltra Radius", value));
    EXPECT_EQ(atom.GetPropertyAsString("Voltra Radius Source"), "Bondi");
}

TEST(ObjectProperties, RemoveDropsOnlyThatPropertyAndKeepsTheOrder) {
    Atom atom("N", 7);
    atom.SetProperty("Voltra Charge", 0.1f, 6);
    atom.SetProperty("Voltra Charge Source", "Amber", 0);
    atom.SetProperty("Voltra Radius", 1.55f, 6);
    atom.SetProperty("Voltra Radius Source", "Default", 0);
    atom.SetProperty("Voltra Charge + Radius Source", "Amber + Default", 2);

    EXPECT_TRUE(atom.RemoveProperty("Voltra Radius"));
    EXPECT_FALSE(atom.RemoveProperty("Voltra Radius"));
    EXPECT_FALSE(atom.HasProperty("Voltra Radius"));

    const auto all = atom.GetProperties();
    std::vector<std::string> names;
    for (const auto& p : all) names.push_back(p.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Voltra Charge", "Voltra Charge Source", "Voltra Radius Source",
                                               "Voltra Charge + Radius Source"}));
    EXPECT_EQ(all[2].text, "Default");
    EXPECT_EQ(all[3].text, "Amber + Default");
    EXPECT_EQ(all[3].flags, 2u);
    EXPECT_EQ(all[0].number, 0.1f);

    // Re-adding appends at the end.
    atom.SetProperty("Voltra Radius", 2.0f, 6);
    EXPECT_EQ(atom.GetProperties().back().name, "Voltra Radius");
}

// SetAll is the one-by-one sets in one call: the same records, order, kinds and flags, whether
// the object holds none of the properties, some of them, or other ones, and with a name given
// twice (the later value in the earlier place).
TEST(ObjectProperties, SetAllLeavesWhatOneByOneSetsLeave) {
    const PropertyNameId charge = PropertyNames::Intern("Voltra Charge");
    const PropertyNameId source = PropertyNames::Intern("Voltra Charge Source");
    const PropertyNameId radius = PropertyNames::Intern("Voltra Radius");
    const PropertyNameId other = PropertyNames::Intern("B-factor");
    const PropertyTextId amber = PropertyTexts::Intern("Amber");
    auto describe = [](const PropertyStore& store) {
        std::string text;
        for (const PropertyView& p : store.List())
            text += p.name + (p.kind == PropertyKind::Text ? "=" + p.text : ":" + std::to_string(p.number)) + "/" +
                    std::to_string(p.flags) + ";";
        return text;
    };
    const std::vector<std::vector<PropertySetting>> befores = {
        {},
        {PropertySetting::Float(radius, 1.5f, 6)},
        {PropertySetting::Float(other, 20.0f, 0), PropertySetting::TextId(source, PropertyTexts::Intern("Missing"), 1)},
    };
    const std::vector<PropertySetting> distinct = {PropertySetting::TextId(source, amber, 3),
                                                   PropertySetting::Float(charge, -0.25f, 6),
                                                   PropertySetting::Float(radius, 1.85f, 6)};
    std::vector<PropertySetting> repeated = distinct;
    repeated.push_back(PropertySetting::Float(charge, 0.5f, 7));
    for (const auto& before : befores) {
        for (const auto& settings : {distinct, repeated}) {
            PropertyStore bulk, single;
            auto setOne = [&single](const PropertySetting& p) {
                if (p.kind == PropertyKind::Text) single.SetTextId(p.name, p.text, p.flags);
                else single.SetFloat(p.name, p.number, p.flags);
            };
            for (const PropertySetting& p : before) {
                bulk.SetAll({p});
                setOne(p);
            }
            if (settings.size() == 3) bulk.SetAll({settings[0], settings[1], settings[2]});
            else bulk.SetAll({settings[0], settings[1], settings[2], settings[3]});
            for (const PropertySetting& p : settings) setOne(p);
            EXPECT_EQ(describe(bulk), describe(single)) << before.size() << " before, " << settings.size() << " set";
            EXPECT_EQ(bulk.Size(), single.Size());
        }
    }
}

TEST(ObjectProperties, ObjectsSharingNamesKeepTheirOwnValues) {
    std::vector<std::unique_ptr<Atom>> atoms;
    for (int i = 0; i < 2000; ++i) {
        atoms.push_back(std::make_unique<Atom>("C" + std::to_string(i), 6, i));
        Atom& a = *atoms.back();
        a.SetProperty("Voltra Charge", 0.5f * static_cast<float>(i), 6);
        a.SetProperty("Voltra Charge Source", i % 3 == 0 ? "Amber" : (i % 3 == 1 ? "Parse" : "Missing"), 0);
        if (i % 2 == 0) a.SetProperty("Voltra Radius", 1.0f + static_cast<float>(i) / 1024.0f, 6);
        a.SetProperty("Serial Text", "serial " + std::to_string(i), 0);
    }
    // Change every fifth atom's shared-text value; the others must not follow.
    for (int i = 0; i < 2000; i += 5)
        atoms[static_cast<std::size_t>(i)]->SetProperty("Voltra Charge Source", "Zero", 0);
    for (int i = 0; i < 2000; ++i) {
        const Atom& a = *atoms[static_cast<std::size_t>(i)];
        float charge = kSentinel;
        ASSERT_TRUE(a.GetProperty("Voltra Charge", charge));
        EXPECT_EQ(charge, 0.5f * static_cast<float>(i));
        const char* source = i % 5 == 0 ? "Zero" : (i % 3 == 0 ? "Amber" : (i % 3 == 1 ? "Parse" : "Missing"));
        EXPECT_EQ(a.GetPropertyAsString("Voltra Charge Source"), source) << i;
        float radius = kSentinel;
        EXPECT_EQ(a.GetProperty("Voltra Radius", radius), i % 2 == 0) << i;
        if (i % 2 == 0) {
            EXPECT_EQ(radius, 1.0f + static_cast<float>(i) / 1024.0f);
        }
        EXPECT_EQ(a.GetPropertyAsString("Serial Text"), "serial " + std::to_string(i));
    }
}

TEST(ObjectProperties, LongUniqueTextsReadBackExactly) {
    std::string first(100000, 'x');
    for (std::size_t i = 0; i < first.size(); i += 7) first[i] = static_cast<char>('a' + i % 26);
    first[500] = '\0';
    first += "\xC3\xA9\xF0\x9F\x98\x80";
    std::string second = first;
    second[99999] = '!';  // differs in one byte only

    Molecule a("a"), b("b");
    a.SetProperty("Voltra Charge Template", first, 2);
    b.SetProperty("Voltra Charge Template", second, 2);
    EXPECT_EQ(a.GetPropertyAsString("Voltra Charge Template"), first);
    EXPECT_EQ(b.GetPropertyAsString("Voltra Charge Template"), second);
    EXPECT_EQ(a.GetProperties().at(0).text.size(), first.size());

    a.SetProperty("Voltra Charge Template", "prot_amb.crg", 2);
    EXPECT_EQ(a.GetPropertyAsString("Voltra Charge Template"), "prot_amb.crg");
    EXPECT_EQ(b.GetPropertyAsString("Voltra Charge Template"), second);
}

TEST(ObjectProperties, NamesAreExactAndCaseSensitive) {
    Atom atom("N", 7);
    atom.SetProperty("Voltra Charge", 0.5f, 6);
    for (const char* other : {"voltra charge", "Voltra Charge ", "Voltra  Charge", "VoltraCharge", ""}) {
        EXPECT_FALSE(atom.HasProperty(other)) << "'" << other << "'";
    }
    atom.SetProperty("", "empty name", 0);
    EXPECT_EQ(atom.GetPropertyAsString(""), "empty name");
    EXPECT_EQ(atom.GetPropertyAsString("Voltra Charge"), "0.5");
}

TEST(ObjectProperties, ManyPropertiesOnOneObject) {
    // Far more than an atom ever carries, past every growth step of the store.
    constexpr int kCount = 70000;
    Molecule molecule("m");
    for (int i = 0; i < kCount; ++i)
        molecule.SetProperty("p" + std::to_string(i), static_cast<float>(i), static_cast<unsigned>(i));
    const auto all = molecule.GetProperties();
    ASSERT_EQ(all.size(), static_cast<std::size_t>(kCount));
    for (int i = 0; i < kCount; i += 1) {
        ASSERT_EQ(all[static_cast<std::size_t>(i)].name, "p" + std::to_string(i));
        ASSERT_EQ(all[static_cast<std::size_t>(i)].number, static_cast<float>(i));
        ASSERT_EQ(all[static_cast<std::size_t>(i)].flags, static_cast<unsigned>(i));
    }
    float value = 0;
    EXPECT_TRUE(molecule.GetProperty("p69999", value));
    EXPECT_EQ(value, 69999.0f);
}

}  // namespace
