// Atoms: bonds, element and radius, and the force-field partial charge.
#include "HostModel/Atom.h"
#include "HostModel/Elements.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace HostModel;

std::vector<Atom*> Partners(const Atom& atom) { return {atom.GetBonds().begin(), atom.GetBonds().end()}; }

TEST(AtomBonds, BondIsSymmetricAndUnique) {
    Atom c("C", 6), o("O", 8), n("N", 7);
    Atom::Bond(c, o);
    Atom::Bond(o, c);  // already there
    Atom::Bond(c, n);
    EXPECT_TRUE(c.IsBondedTo(o));
    EXPECT_TRUE(o.IsBondedTo(c));
    EXPECT_EQ(Partners(c), (std::vector<Atom*>{&o, &n}));
    EXPECT_EQ(Partners(o), (std::vector<Atom*>{&c}));
    EXPECT_FALSE(o.IsBondedTo(n));

    Atom::Unbond(o, c);
    EXPECT_FALSE(c.IsBondedTo(o));
    EXPECT_FALSE(o.IsBondedTo(c));
    EXPECT_EQ(Partners(c), (std::vector<Atom*>{&n}));
    Atom::Unbond(o, c);  // absent: nothing happens
    EXPECT_EQ(Partners(n), (std::vector<Atom*>{&c}));
}

TEST(AtomBonds, SelfBondIsRefusedWithTheLabel) {
    Atom c("CA", 6);
    try {
        Atom::Bond(c, c);
        FAIL() << "nothing thrown";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "cannot bond atom 'CA' to itself");
    }
    EXPECT_TRUE(c.GetBonds().empty());
}

TEST(AtomBonds, DestroyingAnAtomRemovesItFromItsPartners) {
    Atom kept("C", 6);
    {
        Atom gone("O", 8), alsoGone("N", 7);
        Atom::Bond(kept, gone);
        Atom::Bond(alsoGone, kept);
        Atom::Bond(gone, alsoGone);
    }
    EXPECT_TRUE(kept.GetBonds().empty());
}

TEST(AtomBonds, UnbondKeepsTheOrderOfTheOtherBondsOnBothAtoms) {
    Atom c("C", 6), n("N", 7), o("O", 8), h("H", 1), s("S", 16);
    for (Atom* partner : {&n, &o, &h, &s}) Atom::Bond(c, *partner);
    Atom::Bond(n, h);
    Atom::Bond(n, s);
    Atom::Unbond(c, o);  // from the middle
    EXPECT_EQ(Partners(c), (std::vector<Atom*>{&n, &h, &s}));
    Atom::Unbond(n, c);  // the first of n's list, named from the other side
    EXPECT_EQ(Partners(c), (std::vector<Atom*>{&h, &s}));
    EXPECT_EQ(Partners(n), (std::vector<Atom*>{&h, &s}));
    Atom::Bond(c, n);  // made again: at the end of both lists
    EXPECT_EQ(Partners(c), (std::vector<Atom*>{&h, &s, &n}));
    EXPECT_EQ(Partners(n), (std::vector<Atom*>{&h, &s, &c}));
    EXPECT_EQ(c.GetBonds().front(), &h);
    EXPECT_EQ(c.GetBonds().back(), &n);
    EXPECT_EQ(c.GetBonds()[1], &s);
}

// Random bonds made and broken among a few atoms, against a plain model: every bond is seen
// from both atoms, once, and each list keeps the order its bonds were made in.
TEST(AtomBonds, RandomBondAndUnbondAgreeWithAModelOnBothAtoms) {
    constexpr std::size_t kAtoms = 7;
    std::vector<std::unique_ptr<Atom>> atoms;
    for (std::size_t i = 0; i < kAtoms; ++i) atoms.push_back(std::make_unique<Atom>("A" + std::to_string(i), 6));
    std::array<std::vector<Atom*>, kAtoms> model;
    std::mt19937 random(11);
    for (int step = 0; step < 2000; ++step) {
        const std::size_t i = random() % kAtoms;
        const std::size_t j = random() % kAtoms;
        if (i == j) continue;
        Atom& a = *atoms[i];
        Atom& b = *atoms[j];
        if (random() % 2 == 0) {
            if (std::find(model[i].begin(), model[i].end(), &b) == model[i].end()) {
                model[i].push_back(&b);
                model[j].push_back(&a);
            }
            Atom::Bond(a, b);
        } else {
            model[i].erase(std::remove(model[i].begin(), model[i].end(), &b), model[i].end());
            model[j].erase(std::remove(model[j].begin(), model[j].end(), &a), model[j].end());
            Atom::Unbond(a, b);
        }
        ASSERT_EQ(Partners(a), model[i]) << "step " << step;
        ASSERT_EQ(Partners(b), model[j]) << "step " << step;
        ASSERT_EQ(a.IsBondedTo(b), b.IsBondedTo(a)) << "step " << step;
    }
    // Destroying atoms one by one leaves the rest with the model's lists minus the destroyed.
    while (!atoms.empty()) {
        Atom* gone = atoms.back().get();
        atoms.pop_back();
        for (std::size_t i = 0; i < atoms.size(); ++i) {
            model[i].erase(std::remove(model[i].begin(), model[i].end(), gone), model[i].end());
            ASSERT_EQ(Partners(*atoms[i]), model[i]);
        }
    }
}

TEST(AtomElement, AtomicNumberSymbolAndRadius) {
    Atom atom("FE", 26);
    EXPECT_STREQ(atom.GetElementSymbol(), "Fe");
    EXPECT_EQ(atom.GetRadius(), VanDerWaalsRadius(26));
    atom.SetAtomicNumber(8);
    EXPECT_EQ(atom.GetAtomicNumber(), 8);
    EXPECT_STREQ(atom.GetElementSymbol(), "O");
    EXPECT_FLOAT_EQ(atom.GetRadius(), 1.52f);
    Atom unknown("X");
    EXPECT_STREQ(unknown.GetElementSymbol(), "");
    EXPECT_EQ(unknown.GetAtomicNumber(), 0);
}

TEST(AtomElement, AtomicNumberOutsideThePeriodicTableIsRefused) {
    EXPECT_THROW(Atom("X", -1), std::out_of_range);
    EXPECT_THROW(Atom("X", 119), std::out_of_range);
    EXPECT_THROW(Atom("X", 256 + 6), std::out_of_range);  // would wrap to carbon in a byte
    Atom atom("C", 6);
    try {
        atom.SetAtomicNumber(300);
        FAIL() << "nothing thrown";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "atomic number 300 is outside 0..118");
    }
    EXPECT_EQ(atom.GetAtomicNumber(), 6);
    EXPECT_NO_THROW(Atom("Og", 118));
}

TEST(AtomCharge, PartialChargeIsSetAndCleared) {
    Atom atom("N", 7);
    EXPECT_FALSE(atom.HasPartialCharge());
    EXPECT_EQ(atom.GetPartialCharge(), 0.0f);
    atom.SetPartialCharge(-0.4157f);
    EXPECT_TRUE(atom.HasPartialCharge());
    EXPECT_EQ(atom.GetPartialCharge(), -0.4157f);
    atom.SetPartialCharge(0.0f);
    EXPECT_TRUE(atom.HasPartialCharge());  // zero is a charge, not the absence of one
    atom.ClearPartialCharge();
    EXPECT_FALSE(atom.HasPartialCharge());
}

}  // namespace

namespace {

std::vector<std::unique_ptr<Atom>> CarbonAtoms(std::size_t count) {
    std::vector<std::unique_ptr<Atom>> atoms;
    for (std::size_t i = 0; i < count; ++i) atoms.push_back(std::make_unique<Atom>("C" + std::to_string(i), 6));
    return atoms;
}

std::vector<Atom*> Pointers(const std::vector<std::unique_ptr<Atom>>& atoms) {
    std::vector<Atom*> pointers;
    for (const auto& atom : atoms) pointers.push_back(atom.get());
    return pointers;
}

using Pairs = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

}  // namespace

// Partners by their number in the label ("C12" -> 12).
std::vector<std::size_t> PartnerNumbers(const Atom& atom) {
    std::vector<std::size_t> numbers;
    for (Atom* partner : atom.GetBonds()) numbers.push_back(std::stoul(partner->GetLabel().substr(1)));
    return numbers;
}

// Pairs given in any order, either way round, give the lists Bond gives for them sorted, on one
// thread for few atoms and on two for many.
TEST(AtomBondAll, GivesEveryAtomTheListsOfBondInSortedOrder) {
    std::mt19937 random(5);
    for (const std::uint32_t atomCount : {300u, 70000u}) {
        Pairs pairs;
        for (std::uint32_t i = 0; i < atomCount; ++i) {
            for (std::uint32_t j = i + 1; j < std::min(atomCount, i + 12); ++j) {
                if (random() % 4 == 0) pairs.emplace_back(i, j);
            }
        }
        // A few long-range pairs, as between chains.
        for (int k = 0; k < 50; ++k) pairs.emplace_back(static_cast<std::uint32_t>(k), atomCount - 1 - k);
        std::sort(pairs.begin(), pairs.end());
        pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
        auto one = CarbonAtoms(atomCount);
        auto all = CarbonAtoms(atomCount);
        for (const auto& [i, j] : pairs) Atom::Bond(*one[i], *one[j]);
        Pairs shuffled = pairs;
        std::shuffle(shuffled.begin(), shuffled.end(), random);
        for (auto& pair : shuffled) {
            if (random() % 2 == 0) std::swap(pair.first, pair.second);
        }
        Atom::BondAll(Pointers(all), shuffled);
        for (std::uint32_t i = 0; i < atomCount; ++i) {
            ASSERT_EQ(PartnerNumbers(*all[i]), PartnerNumbers(*one[i])) << atomCount << " atoms, atom " << i;
            // Room for exactly the partners, or the list's own where they fit there.
            ASSERT_EQ(all[i]->GetBonds().capacity(), std::max(all[i]->GetBonds().size(), BondList::kHeldInPlace));
        }
    }
}

TEST(AtomBondAll, RefusesPairsItCannotTakeAndChangesNothing) {
    EXPECT_NO_THROW(Atom::BondAll({}, {}));  // no atoms, no pairs: nothing to do
    EXPECT_THROW(Atom::BondAll({}, Pairs{{0, 1}}), std::invalid_argument);
    for (const std::uint32_t atomCount : {4u, 70000u}) {
        auto atoms = CarbonAtoms(atomCount);
        const std::vector<Atom*> pointers = Pointers(atoms);
        const std::uint32_t last = atomCount - 1;
        // A fault in one half while the other half's lists are filled: those are emptied again.
        for (const Pairs& pairs :
             {Pairs{{0, 0}}, Pairs{{0, atomCount}}, Pairs{{0, 1}, {0, 1}}, Pairs{{0, 1}, {1, 0}},
              Pairs{{0, 1}, {last - 1, last}, {last, last - 1}}, Pairs{{0, 1}, {1, 0}, {last - 3, last - 2}, {2, 3}}}) {
            EXPECT_THROW(Atom::BondAll(pointers, pairs), std::invalid_argument);
            for (const auto& atom : atoms) ASSERT_TRUE(atom->GetBonds().empty());
        }
        // Enough pairs to be counted on two threads: the first faulty pair is the one named,
        // in either half of the pairs.
        if (atomCount > 4) {
            Pairs many;
            for (std::uint32_t i = 0; i + 1 < atomCount; ++i) many.emplace_back(i, i + 1);
            for (const std::size_t faulty : {std::size_t{10}, many.size() - 10}) {
                Pairs pairs = many;
                pairs[faulty] = {5, 5};
                pairs[many.size() - 5] = {7, atomCount};  // a later fault is not the one named
                try {
                    Atom::BondAll(pointers, pairs);
                    ADD_FAILURE() << "pair " << faulty << " refused";
                } catch (const std::invalid_argument& e) {
                    EXPECT_NE(std::string(e.what()).find("pair " + std::to_string(faulty) + " "), std::string::npos)
                        << e.what();
                }
                for (const auto& atom : atoms) ASSERT_TRUE(atom->GetBonds().empty());
            }
        }
        // Bonded already: in either half of the atoms, and nothing else is bonded meanwhile.
        Atom::Bond(*atoms[last - 1], *atoms[last]);
        EXPECT_THROW(Atom::BondAll(pointers, Pairs{{0, 1}, {1, 2}, {last - 3, last - 2}, {last - 2, last - 1}}),
                     std::invalid_argument);
        for (std::uint32_t i = 0; i + 2 <= last; ++i) ASSERT_TRUE(atoms[i]->GetBonds().empty()) << "atom " << i;
        EXPECT_EQ(atoms[last - 1]->GetBonds().size(), 1u);
        EXPECT_EQ(atoms[last]->GetBonds().size(), 1u);
    }
}
