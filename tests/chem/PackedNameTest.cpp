// Packed short names and the per-name memo built on them: distinct names never share a key,
// names too long to pack share one that no packed name has, and a memo makes each value once.
#include "chem/PackedName.h"
#include "chem/TypeNameMemo.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using HostChem::kUnpackedName;
using HostChem::PackName;

static_assert(PackName("CA") != PackName("C"), "packing is usable in constant expressions");

TEST(PackedName, DistinctShortNamesGetDistinctKeys) {
    using namespace std::string_literals;
    const std::string names[] = {""s,       "\0"s,      "C"s,       "C\0"s,     "CA"s,  "AC"s,      "C1'"s,
                                 "C1*"s,    "HD21"s,    "1HD2"s,    "ABCDEFG"s, "ABCDEFF"s, "\xff"s, "\xff\xff"s,
                                 "\xff\xff\xff\xff\xff\xff\xff"s};
    std::set<HostChem::PackedName> keys;
    for (const std::string& name : names) {
        const HostChem::PackedName key = PackName(name);
        EXPECT_NE(key, kUnpackedName) << name;
        EXPECT_TRUE(keys.insert(key).second) << "'" << name << "' shares a key";
    }
}

TEST(PackedName, LongerNamesAreNotPacked) {
    EXPECT_NE(PackName("ABCDEFG"), kUnpackedName);
    EXPECT_EQ(PackName("ABCDEFGH"), kUnpackedName);
    EXPECT_EQ(PackName("O5LONGER_STILL"), kUnpackedName);
}

TEST(TypeNameMemo, MakesEachValueOnceAndKeepsItInPlace) {
    HostChem::TypeNameMemo<std::string> memo;
    int made = 0;
    auto make = [&made](const std::string& name) {
        ++made;
        return name + "!";
    };
    const std::string* first = &memo.Get("ALA", make);
    EXPECT_EQ(*first, "ALA!");
    for (int i = 0; i < 200; ++i) memo.Get("R" + std::to_string(i), make);
    EXPECT_EQ(&memo.Get("ALA", make), first);
    EXPECT_EQ(made, 201);
    // "A" and "A\0" are two names.
    EXPECT_EQ(memo.Get(std::string("A\0", 2), make), std::string("A\0!", 3));
    EXPECT_EQ(memo.Get("A", make), "A!");
    EXPECT_EQ(made, 203);
}

TEST(TypeNameMemo, NamesTooLongToPackAreMadeEachTime) {
    HostChem::TypeNameMemo<std::string> memo;
    int made = 0;
    auto make = [&made](const std::string& name) {
        ++made;
        return name + "!";
    };
    EXPECT_EQ(memo.Get("SULFATE1", make), "SULFATE1!");
    EXPECT_EQ(memo.Get("SULFATE2", make), "SULFATE2!");
    EXPECT_EQ(memo.Get("SULFATE1", make), "SULFATE1!");
    EXPECT_EQ(made, 3);
}

}  // namespace
