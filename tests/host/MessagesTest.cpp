// The module's message table as the host's string service resolves it, and cached names.
#include "host/Messages.h"

#include "Common/StringTable.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using Voltra::MessageId;

struct MessageRow {
    MessageId id;
    std::uint32_t rawId;
    const wchar_t* text;
};

// The texts as users see them, written out independently of the table in Messages.cpp.
const MessageRow kExpectedRows[] = {
    {Voltra::NameApplyForcefieldParameters, 0xD10000, L"Apply Forcefield Parameters"},
    {Voltra::NameZeroCharges, 0xD10001, L"Zero Charges"},
    {Voltra::NameParse, 0xD10002, L"Parse"},
    {Voltra::NameAmberPlusDefault, 0xD10003, L"Amber + Default"},
    {Voltra::NameDefaultChargeAndSize, 0xD10004, L"Voltra Default Charge and Size"},
    {Voltra::NameInvalidateTemplates, 0xD10005, L"Invalidate Electrostatics Templates"},
    {Voltra::ErrorNoForcefield, 0xD10006, L"Please apply a forcefield before using this command."},
    {Voltra::ErrorLoadingRadiiTemplate, 0xD10007, L"There was an error loading the radii template."},
    {Voltra::ErrorPersistenceNotInitialized, 0xD10008, L"The Persistence library was not initialized."},
    {Voltra::ErrorReadingTemplateFile, 0xD10009, L"There was an error reading the template file %1."},
    {Voltra::ErrorInvalidTemplateExtension, 0xD1000A,
     L"The template file %1 has an invalid file extension. The supported extensions are .crg and .siz"},
    {Voltra::ErrorNotExactlyOneMolecule, 0xD1000B, L"There must be exactly one molecule for Voltra to work. Aborting."},
    {Voltra::ErrorMoleculeCorrupted, 0xD1000C, L"The molecule is corrupted. Aborting"},
    {Voltra::ErrorNoTemplateApplied, 0xD1000D, L"No template was applied to the molecule. Aborting."},
};

TEST(MessageTable, EveryIdResolvesToItsExactText) {
    ASSERT_EQ(std::size(kExpectedRows), Voltra::kMessageCount);
    for (const MessageRow& row : kExpectedRows) {
        SCOPED_TRACE(row.rawId);
        EXPECT_EQ(static_cast<std::uint32_t>(row.id), row.rawId);
        EXPECT_EQ(Common::StringLoader::Instance().GetString(row.rawId), row.text);
        EXPECT_EQ(Voltra::LoadMessage(row.id), row.text);
    }
}

TEST(MessageTable, IdsAreModuleIdAndRowWithoutGaps) {
    std::set<std::uint32_t> seen;
    for (unsigned row = 0; row < Voltra::kMessageCount; ++row) {
        const std::uint32_t id = (Voltra::kVoltraModuleId << 16) + row;
        EXPECT_TRUE(Common::StringLoader::Instance().HasString(id)) << std::hex << id;
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), Voltra::kMessageCount);
    // The row after the last one belongs to nobody.
    EXPECT_FALSE(Common::StringLoader::Instance().HasString((Voltra::kVoltraModuleId << 16) + Voltra::kMessageCount));
}

TEST(MessageTable, NarrowTextIsTheSameText) {
    EXPECT_EQ(Voltra::LoadMessageNarrow(Voltra::NameAmberPlusDefault), "Amber + Default");
    EXPECT_EQ(Voltra::LoadMessageNarrow(Voltra::ErrorMoleculeCorrupted), "The molecule is corrupted. Aborting");
}

TEST(CachedName, ReturnsTheSamePointerAndTextOnEveryCall) {
    Voltra::CachedName name(Voltra::NameDefaultChargeAndSize);
    const char* first = name.Get();
    EXPECT_STREQ(first, "Voltra Default Charge and Size");
    // Other lookups in between must not disturb the cached text.
    EXPECT_EQ(Voltra::LoadMessageNarrow(Voltra::NameParse), "Parse");
    const char* second = name.Get();
    EXPECT_EQ(first, second);
    EXPECT_STREQ(second, "Voltra Default Charge and Size");
}

TEST(CachedName, EachNameKeepsItsOwnText) {
    Voltra::CachedName amber(Voltra::NameAmberPlusDefault);
    Voltra::CachedName zero(Voltra::NameZeroCharges);
    const char* amberText = amber.Get();
    const char* zeroText = zero.Get();
    EXPECT_NE(amberText, zeroText);
    EXPECT_STREQ(amberText, "Amber + Default");
    EXPECT_STREQ(zeroText, "Zero Charges");
}

}  // namespace
