// The string service: registered tables resolve ids, the latest registration wins, and
// destroying a table withdraws exactly its texts.
#include "Common/StringTable.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using Common::StaticStringTable;
using Common::StringLoader;

// Ids of their own, so no other table of the process interferes.
constexpr std::uint32_t kOnlyFirst = 0xE70001;
constexpr std::uint32_t kBoth = 0xE70002;
constexpr std::uint32_t kOnlySecond = 0xE70003;
constexpr std::uint32_t kNowhere = 0xE70004;

const StaticStringTable::StringEntry kFirstRows[] = {
    {kOnlyFirst, L"first only"},
    {kBoth, L"from the first table"},
};
const StaticStringTable::StringEntry kSecondRows[] = {
    {kBoth, L"from the second table \u00E9"},
    {kOnlySecond, L"second only"},
};

TEST(StringLoader, UnregisteredIdReadsEmpty) {
    EXPECT_EQ(StringLoader::Instance().GetString(kNowhere), L"");
    EXPECT_FALSE(StringLoader::Instance().HasString(kNowhere));
}

TEST(StringLoader, LatestTableOverridesAndUnregisteringRestores) {
    auto& loader = StringLoader::Instance();
    auto first = std::make_unique<StaticStringTable>(209, kFirstRows, 2);
    EXPECT_EQ(loader.GetString(kBoth), L"from the first table");
    EXPECT_FALSE(loader.HasString(kOnlySecond));

    auto second = std::make_unique<StaticStringTable>(210, kSecondRows, 2);
    EXPECT_EQ(loader.GetString(kBoth), L"from the second table \u00E9");
    EXPECT_EQ(loader.GetString(kOnlyFirst), L"first only");
    EXPECT_EQ(loader.GetString(kOnlySecond), L"second only");

    second.reset();
    EXPECT_EQ(loader.GetString(kBoth), L"from the first table");
    EXPECT_FALSE(loader.HasString(kOnlySecond));
    EXPECT_EQ(loader.GetString(kOnlySecond), L"");

    first.reset();
    EXPECT_FALSE(loader.HasString(kOnlyFirst));
    EXPECT_FALSE(loader.HasString(kBoth));
}

TEST(StringLoader, OlderTableWithdrawnFirstLeavesTheNewerOne) {
    auto& loader = StringLoader::Instance();
    auto first = std::make_unique<StaticStringTable>(209, kFirstRows, 2);
    auto second = std::make_unique<StaticStringTable>(210, kSecondRows, 2);
    first.reset();
    EXPECT_EQ(loader.GetString(kBoth), L"from the second table \u00E9");
    EXPECT_FALSE(loader.HasString(kOnlyFirst));
    second.reset();
    EXPECT_FALSE(loader.HasString(kBoth));
}

TEST(StaticStringTable, FindsOnlyItsOwnRowsWithinRowCount) {
    const StaticStringTable table(209, kFirstRows, 1);  // the second row lies outside the count
    EXPECT_STREQ(table.Find(kOnlyFirst), L"first only");
    EXPECT_EQ(table.Find(kBoth), nullptr);
    EXPECT_EQ(StringLoader::Instance().GetString(kBoth), L"");
    EXPECT_EQ(table.GetModuleId(), 209u);
}

}  // namespace
