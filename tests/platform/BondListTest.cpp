// An atom's bond list: growth, reserved room, removal keeping order, against std::vector, in
// both of its forms (two partners held in place, more in an allocation) and across the change.
#include "HostModel/Atom.h"
#include "HostModel/BondList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <vector>

namespace {

using namespace HostModel;

std::vector<Atom*> Contents(const BondList& list) { return {list.begin(), list.end()}; }

struct Partners {
    std::array<Atom, 40> atoms;
    Atom* operator[](std::size_t i) { return &atoms[i]; }
};

TEST(BondList, ReservedRoomIsOneAllocationTheBondsFillInPlace) {
    Partners p;
    BondList list;
    list.reserve(3);
    EXPECT_EQ(list.capacity(), 3u);
    EXPECT_TRUE(list.empty());
    list.push_back(p[0]);
    const auto first = list.begin();
    list.push_back(p[1]);
    list.push_back(p[2]);
    EXPECT_EQ(list.begin(), first);
    EXPECT_EQ(list.capacity(), 3u);
    list.reserve(1);  // smaller than held: kept as it is
    EXPECT_EQ(list.capacity(), 3u);
    list.reserve(10);  // larger: the partners move along
    EXPECT_EQ(Contents(list), (std::vector<Atom*>{p[0], p[1], p[2]}));
    EXPECT_EQ(list.capacity(), 10u);
}

TEST(BondList, ReservingMoreThanThirtyTwoBitsCountIsRefused) {
    BondList list;
    EXPECT_THROW(list.reserve(std::size_t{UINT32_MAX} + 1), std::length_error);
    EXPECT_EQ(list.capacity(), BondList::kHeldInPlace);
    EXPECT_TRUE(list.empty());
}

// A hydrogen's list, and any other of up to two partners, costs no allocation: the partners lie
// inside the list itself, and reserving that much leaves them there.
TEST(BondList, TwoPartnersAreHeldInPlace) {
    Partners p;
    BondList list;
    list.reserve(2);
    list.push_back(p[7]);
    list.push_back(p[3]);
    const auto* inside = reinterpret_cast<const char*>(&list);
    const auto* first = reinterpret_cast<const char*>(list.begin());
    EXPECT_TRUE(first >= inside && first < inside + sizeof(BondList));
    EXPECT_EQ(Contents(list), (std::vector<Atom*>{p[7], p[3]}));
    EXPECT_EQ(list.front(), p[7]);
    EXPECT_EQ(list.back(), p[3]);
    EXPECT_EQ(list[1], p[3]);
    list.push_back(p[9]);  // the third moves all three into an allocation, in order
    first = reinterpret_cast<const char*>(list.begin());
    EXPECT_FALSE(first >= inside && first < inside + sizeof(BondList));
    EXPECT_EQ(Contents(list), (std::vector<Atom*>{p[7], p[3], p[9]}));
    EXPECT_EQ(list.capacity(), 4u);
    EXPECT_EQ(sizeof(BondList), 2 * sizeof(Atom*));
}

TEST(BondList, EraseKeepsTheOrderOfTheOthers) {
    Partners p;
    BondList list;
    for (std::size_t i = 0; i < 5; ++i) list.push_back(p[i]);
    EXPECT_TRUE(list.erase(p[2]));
    EXPECT_EQ(Contents(list), (std::vector<Atom*>{p[0], p[1], p[3], p[4]}));
    EXPECT_TRUE(list.erase(p[0]));
    EXPECT_TRUE(list.erase(p[4]));
    EXPECT_EQ(Contents(list), (std::vector<Atom*>{p[1], p[3]}));
    EXPECT_FALSE(list.erase(p[2]));  // already gone
    EXPECT_EQ(list.size(), 2u);
    EXPECT_TRUE(list.erase(p[1]));
    EXPECT_TRUE(list.erase(p[3]));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.begin(), list.end());
    EXPECT_FALSE(list.erase(p[3]));
    list.push_back(p[5]);  // an emptied list takes partners again
    EXPECT_EQ(Contents(list), (std::vector<Atom*>{p[5]}));
}

// Drawn from few atoms, the list keeps crossing between two partners and more; drawn from many,
// it grows long.
class BondListAgainstVector : public ::testing::TestWithParam<std::size_t> {};

TEST_P(BondListAgainstVector, RandomPushesAndErasesMatch) {
    Partners p;
    BondList list;
    std::vector<Atom*> model;
    std::mt19937 random(3);
    const std::size_t drawnFrom = GetParam();
    for (int step = 0; step < 5000; ++step) {
        Atom* partner = p[random() % drawnFrom];
        const bool present = std::find(model.begin(), model.end(), partner) != model.end();
        ASSERT_EQ(list.contains(partner), present);
        if (random() % 3 != 0 && !present) {
            list.push_back(partner);
            model.push_back(partner);
        } else {
            ASSERT_EQ(list.erase(partner), present);
            model.erase(std::remove(model.begin(), model.end(), partner), model.end());
        }
        ASSERT_EQ(Contents(list), model) << "step " << step;
        ASSERT_EQ(list.size(), model.size());
        ASSERT_EQ(list.empty(), model.empty());
        ASSERT_GE(list.capacity(), model.size());
    }
}

INSTANTIATE_TEST_SUITE_P(FewAndMany, BondListAgainstVector, ::testing::Values(3, 4, 40));

}  // namespace
