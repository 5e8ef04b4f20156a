// Bond perception: the grid against an all-pairs oracle, and the chemistry rules one by one.
#include "io/BondPerception.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

namespace {

using namespace HostIO;

// The same rules applied to every pair, with each hydrogen kept to its nearest partner.
std::vector<BondPair> AllPairs(const std::vector<BondAtom>& atoms, const std::vector<std::uint8_t>& flags) {
    const BondRules rules;
    std::vector<BondPair> bonds;
    std::vector<std::pair<float, std::uint32_t>> nearest(atoms.size(), {std::numeric_limits<float>::max(), 0});
    for (std::uint32_t i = 0; i < atoms.size(); ++i) {
        for (std::uint32_t j = i + 1; j < atoms.size(); ++j) {
            const float dx = atoms[i].x - atoms[j].x, dy = atoms[i].y - atoms[j].y, dz = atoms[i].z - atoms[j].z;
            const float d2 = dx * dx + dy * dy + dz * dz;
            if (!BondAllowed(atoms[i], flags[atoms[i].residue], atoms[j], flags[atoms[j].residue], d2, rules)) continue;
            if (atoms[i].hydrogen || atoms[j].hydrogen) {
                const std::uint32_t h = atoms[i].hydrogen ? i : j, partner = atoms[i].hydrogen ? j : i;
                nearest[h] = std::min(nearest[h], std::make_pair(d2, partner));
            } else {
                bonds.emplace_back(i, j);
            }
        }
    }
    for (std::uint32_t h = 0; h < atoms.size(); ++h) {
        if (nearest[h].first < std::numeric_limits<float>::max()) {
            bonds.emplace_back(std::min(h, nearest[h].second), std::max(h, nearest[h].second));
        }
    }
    std::sort(bonds.begin(), bonds.end());
    return bonds;
}

BondAtom MakeAtom(float x, float y, float z, float radius, std::uint32_t residue, BondRole role = BondRole::None,
                  bool h = false) {
    BondAtom a;
    a.x = x;
    a.y = y;
    a.z = z;
    a.covalentRadius = radius;
    a.residue = residue;
    a.role = role;
    a.hydrogen = h;
    return a;
}

// Random clusters of residues of every kind, dense enough for many bonds and many near misses.
void RandomSystem(unsigned seed, std::size_t residues, std::size_t atomsPerResidue, float spread,
                  std::vector<BondAtom>& atoms, std::vector<std::uint8_t>& flags) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> offset(-2.0f, 2.0f), place(0.0f, spread);
    const std::uint8_t kinds[] = {kStandardPolymerResidue | kAminoAcidResidue,
                                  kAminoAcidResidue,
                                  kWaterResidue,
                                  kIonResidue,
                                  kStandardPolymerResidue | kNucleotideResidue,
                                  0};
    const float radii[] = {0.31f, 0.73f, 0.71f, 0.66f, 1.05f, 1.07f};
    const BondRole roles[] = {BondRole::None,      BondRole::PeptideC, BondRole::PeptideN,
                              BondRole::NucleicO3, BondRole::NucleicP, BondRole::DisulfideS};
    for (std::uint32_t r = 0; r < residues; ++r) {
        flags.push_back(kinds[random() % 6]);
        const float cx = place(random), cy = place(random), cz = place(random);
        for (std::size_t k = 0; k < atomsPerResidue; ++k) {
            const int e = static_cast<int>(random() % 6);
            atoms.push_back(MakeAtom(cx + offset(random), cy + offset(random), cz + offset(random), radii[e], r,
                                     roles[random() % 6], e == 0));
        }
    }
}

// Both ways a caller may find the bonds: all at once, or residue by residue as a reader makes
// them (BondWithinResidue) and then between residues.
TEST(BondPerception, GridAndResidueByResidueFindExactlyTheBondsOfAllPairs) {
    struct Case {
        unsigned seed;
        std::size_t residues, atomsPerResidue;
        float spread;
    };
    // Dense, sparse, residues too large for direct comparison, and residues of the largest size
    // still compared directly.
    for (const Case& c : {Case{1, 300, 6, 25.0f}, Case{2, 60, 10, 400.0f}, Case{3, 4, 150, 8.0f},
                          Case{4, 500, 3, 15.0f}, Case{5, 200, HostIO::kSmallResidue, 40.0f}}) {
        std::vector<BondAtom> atoms;
        std::vector<std::uint8_t> flags;
        RandomSystem(c.seed, c.residues, c.atomsPerResidue, c.spread, atoms, flags);
        const auto expected = AllPairs(atoms, flags);
        EXPECT_GT(expected.size(), 10u) << "seed " << c.seed;
        EXPECT_EQ(PerceiveBonds(atoms, flags), expected) << "seed " << c.seed;

        std::vector<BondPair> within;
        for (std::size_t r = 0; r < c.residues; ++r) {
            const auto first = static_cast<std::uint32_t>(r * c.atomsPerResidue);
            HostIO::BondWithinResidue(atoms, first, static_cast<std::uint32_t>(c.atomsPerResidue), flags[r], within);
        }
        if (c.atomsPerResidue > HostIO::kSmallResidue) {
            EXPECT_TRUE(within.empty()) << "large residues are the grid's";
        }
        EXPECT_EQ(HostIO::PerceiveBondsBetweenResidues(atoms, flags, within), expected) << "seed " << c.seed;
    }
}

// A protein's shape of the problem: standard residues packed close, a sulfur here and there and
// a ligand every twentieth residue, so that few atoms search the grid for partners.
TEST(BondPerception, FewSearchersAmongManyAtomsFindExactlyTheBondsOfAllPairs) {
    for (unsigned seed : {7u, 8u, 9u}) {
        std::mt19937 random(seed);
        std::uniform_real_distribution<float> offset(-1.8f, 1.8f), place(0.0f, 30.0f);
        std::vector<BondAtom> atoms;
        std::vector<std::uint8_t> flags;
        for (std::uint32_t r = 0; r < 600; ++r) {
            const bool ligand = r % 20 == 0;
            flags.push_back(ligand ? std::uint8_t{0} : std::uint8_t{kStandardPolymerResidue | kAminoAcidResidue});
            const float cx = place(random), cy = place(random), cz = place(random);
            for (int k = 0; k < 8; ++k) {
                const BondRole role = !ligand && random() % 50 == 0 ? BondRole::DisulfideS : BondRole::None;
                atoms.push_back(MakeAtom(cx + offset(random), cy + offset(random), cz + offset(random),
                                         role == BondRole::DisulfideS ? 1.05f : 0.73f, r, role));
            }
        }
        const auto expected = AllPairs(atoms, flags);
        const auto between = std::count_if(expected.begin(), expected.end(), [&atoms](const BondPair& bond) {
            return atoms[bond.first].residue != atoms[bond.second].residue;
        });
        EXPECT_GT(between, 50) << "seed " << seed;
        EXPECT_EQ(PerceiveBonds(atoms, flags), expected) << "seed " << seed;
    }
}

// The same shape at the size where choosing the grid's atoms runs on two threads: copies of a
// packed protein far apart, sulfurs (the largest radius, which sets the grid's reach) only in the
// copies of the second half of the atoms. Each copy's bonds are its own all-pairs answer.
TEST(BondPerception, FewSearchersChosenOnTwoThreadsFindTheBondsOfEveryCopy) {
    std::mt19937 random(12);
    std::uniform_real_distribution<float> offset(-1.8f, 1.8f), place(0.0f, 30.0f);
    std::vector<BondAtom> atoms;
    std::vector<std::uint8_t> flags;
    std::vector<BondPair> expected;
    constexpr std::uint32_t kCopies = 16, kResidues = 600;
    for (std::uint32_t copy = 0; copy < kCopies; ++copy) {
        const bool sulfurs = copy >= kCopies / 2;
        std::vector<BondAtom> local;
        std::vector<std::uint8_t> localFlags;
        for (std::uint32_t r = 0; r < kResidues; ++r) {
            const bool ligand = r % 20 == 0;
            localFlags.push_back(ligand ? std::uint8_t{0} : std::uint8_t{kStandardPolymerResidue | kAminoAcidResidue});
            const float cx = place(random), cy = place(random), cz = place(random);
            for (int k = 0; k < 8; ++k) {
                const BondRole role = sulfurs && !ligand && random() % 25 == 0 ? BondRole::DisulfideS : BondRole::None;
                local.push_back(MakeAtom(cx + offset(random), cy + offset(random), cz + offset(random),
                                         role == BondRole::DisulfideS ? 1.05f : 0.73f, r, role));
            }
        }
        // Moved before the oracle sees them: the distances it judges are the search's own.
        for (BondAtom& atom : local) atom.x += static_cast<float>(copy) * 100.0f;
        const auto first = static_cast<std::uint32_t>(atoms.size());
        for (const BondPair& bond : AllPairs(local, localFlags))
            expected.emplace_back(bond.first + first, bond.second + first);
        const auto firstResidue = static_cast<std::uint32_t>(flags.size());
        flags.insert(flags.end(), localFlags.begin(), localFlags.end());
        for (BondAtom atom : local) {
            atom.residue += firstResidue;
            atoms.push_back(atom);
        }
    }
    ASSERT_GT(atoms.size(), 65536u);
    std::sort(expected.begin(), expected.end());
    const auto sulfurBonds = std::count_if(expected.begin(), expected.end(), [&atoms](const BondPair& bond) {
        return atoms[bond.first].role == BondRole::DisulfideS && atoms[bond.second].role == BondRole::DisulfideS &&
               atoms[bond.first].residue != atoms[bond.second].residue;
    });
    EXPECT_GT(sulfurBonds, 20);
    EXPECT_EQ(PerceiveBonds(atoms, flags), expected);
}

// Atoms exactly a bond's reach apart, in a row long enough to cross many cell boundaries at
// every phase: each neighbour must be found, however the cells fall.
TEST(BondPerception, AtomsAtTheFullReachAreFoundAcrossCells) {
    for (const float radius : {0.66f, 0.77f, 1.05f}) {
        const float reach = 2 * radius + BondRules().tolerance;
        for (const float start : {0.0f, -123.456f, 1000.25f}) {
            std::vector<BondAtom> atoms;
            std::vector<std::uint8_t> flags;
            // Just within the reach, so that every neighbour bonds.
            const float spacing = reach * 0.99999f;
            for (std::uint32_t k = 0; k < 400; ++k) {
                flags.push_back(0);  // ligands: every atom searches
                atoms.push_back(MakeAtom(start + static_cast<float>(k) * spacing, 0.0f, 0.0f, radius, k));
            }
            const auto expected = AllPairs(atoms, flags);
            EXPECT_GT(expected.size(), 100u);
            EXPECT_EQ(PerceiveBonds(atoms, flags), expected) << "radius " << radius << ", start " << start;
        }
    }
}

// Enough grid atoms for the search to run on two threads: clusters of large residues with
// hydrogens, each far from the others, so that the all-pairs oracle can run cluster by cluster.
// A hydrogen whose candidates lie in both halves of the search must still keep its nearest.
TEST(BondPerception, SearchOnTwoThreadsFindsExactlyTheBondsOfAllPairs) {
    std::mt19937 random(11);
    std::uniform_real_distribution<float> offset(-2.5f, 2.5f);
    const float radii[] = {0.31f, 0.73f, 0.71f, 0.66f};
    std::vector<BondAtom> atoms;
    std::vector<std::uint8_t> flags;
    std::vector<BondPair> expected;
    const std::uint32_t atomsPerCluster = kSmallResidue + 16;  // large: every atom goes to the grid
    for (std::uint32_t cluster = 0; atoms.size() < 80000; ++cluster) {
        std::vector<BondAtom> local;
        std::vector<std::uint8_t> localFlags = {0};
        const float cx = static_cast<float>(cluster % 64) * 40.0f, cy = static_cast<float>(cluster / 64) * 40.0f;
        for (std::uint32_t k = 0; k < atomsPerCluster; ++k) {
            const int e = static_cast<int>(random() % 4);
            local.push_back(MakeAtom(cx + offset(random), cy + offset(random), offset(random), radii[e], 0,
                                     BondRole::None, e == 0));
        }
        const auto first = static_cast<std::uint32_t>(atoms.size());
        for (const BondPair& bond : AllPairs(local, localFlags))
            expected.emplace_back(bond.first + first, bond.second + first);
        flags.push_back(0);
        for (BondAtom atom : local) {
            atom.residue = static_cast<std::uint32_t>(flags.size() - 1);
            atoms.push_back(atom);
        }
    }
    std::sort(expected.begin(), expected.end());
    const auto hydrogenBonds = std::count_if(expected.begin(), expected.end(), [&atoms](const BondPair& bond) {
        return atoms[bond.first].hydrogen || atoms[bond.second].hydrogen;
    });
    EXPECT_GT(hydrogenBonds, 1000);
    EXPECT_EQ(PerceiveBonds(atoms, flags), expected);
}

TEST(BondPerception, FarFlungCoordinatesStayCorrect) {
    // Two bonded pairs a million Å apart would need 10^18 cells of bond size.
    std::vector<BondAtom> atoms = {MakeAtom(0, 0, 0, 0.73f, 0), MakeAtom(1.5f, 0, 0, 0.73f, 0),
                                   MakeAtom(1e6f, 1e6f, 1e6f, 0.73f, 1), MakeAtom(1e6f, 1e6f, 1e6f + 1.5f, 0.73f, 1)};
    EXPECT_EQ(PerceiveBonds(atoms, {0, 0}), (std::vector<BondPair>{{0, 1}, {2, 3}}));
}

TEST(BondPerception, NonFiniteAndExtremeCoordinatesBondNothingAndKeepTheGridSmall) {
    // A random system with some atoms moved to NaN, infinity or the ends of float's range, as
    // corrupt input delivers them: the rest bonds as the all-pairs oracle says, the moved atoms
    // to nothing, and the grid neither overflows its cell count nor converts NaN to an index.
    const float kInf = std::numeric_limits<float>::infinity(), kMax = std::numeric_limits<float>::max();
    const float hostile[] = {std::nanf(""), kInf, -kInf, kMax, -kMax, 3e38f, -1e38f, 1e30f};
    // Small residues, one large (grid) residue, and ligands (flags 0), which always search.
    for (unsigned seed : {11u, 12u, 13u}) {
        std::vector<BondAtom> atoms;
        std::vector<std::uint8_t> flags;
        RandomSystem(seed, 40, seed == 12 ? 80 : 6, 30.0f, atoms, flags);
        for (std::size_t k = 0; k < atoms.size(); k += 7) {
            const float v = hostile[(k / 7) % 8];
            (k % 3 == 0 ? atoms[k].x : k % 3 == 1 ? atoms[k].y : atoms[k].z) = v;
        }
        const auto bonds = PerceiveBonds(atoms, flags);
        EXPECT_EQ(bonds, AllPairs(atoms, flags)) << "seed " << seed;
        for (const BondPair& b : bonds) {
            for (std::uint32_t i : {b.first, b.second}) {
                EXPECT_TRUE(std::isfinite(atoms[i].x) && std::isfinite(atoms[i].y) && std::isfinite(atoms[i].z))
                    << "seed " << seed << ": atom " << i;
            }
        }
    }
}

struct RuleCase {
    const char* what;
    BondAtom a, b;
    std::uint8_t flagsA, flagsB;
    float distance;
    bool bonded;
};

void PrintTo(const RuleCase& c, std::ostream* os) { *os << c.what; }

class BondRulesTable : public ::testing::TestWithParam<RuleCase> {};

TEST_P(BondRulesTable, DecideByResidueAndRole) {
    const RuleCase& c = GetParam();
    BondAtom b = c.b;
    b.x = c.a.x + c.distance;
    const std::vector<BondAtom> atoms = {c.a, b};
    std::vector<std::uint8_t> flags(2);
    flags[c.a.residue] = c.flagsA;
    flags[b.residue] = c.flagsB;
    EXPECT_EQ(PerceiveBonds(atoms, flags).size(), c.bonded ? 1u : 0u) << c.what;
}

const std::uint8_t kAa = kStandardPolymerResidue | kAminoAcidResidue;
const std::uint8_t kNt = kStandardPolymerResidue | kNucleotideResidue;

INSTANTIATE_TEST_SUITE_P(
    BondPerception, BondRulesTable,
    ::testing::Values(
        RuleCase{"C-C in a residue", MakeAtom(0, 0, 0, 0.73f, 0), MakeAtom(0, 0, 0, 0.73f, 0), kAa, kAa, 1.54f, true},
        RuleCase{"C-C beyond radii and tolerance", MakeAtom(0, 0, 0, 0.73f, 0), MakeAtom(0, 0, 0, 0.73f, 0), kAa, kAa,
                 1.95f, false},
        RuleCase{"duplicate atoms", MakeAtom(0, 0, 0, 0.73f, 0), MakeAtom(0, 0, 0, 0.73f, 0), kAa, kAa, 0.1f, false},
        RuleCase{"peptide C-N", MakeAtom(0, 0, 0, 0.73f, 0, BondRole::PeptideC),
                 MakeAtom(0, 0, 0, 0.71f, 1, BondRole::PeptideN), kAa, kAa, 1.33f, true},
        RuleCase{"stretched peptide C-N", MakeAtom(0, 0, 0, 0.73f, 0, BondRole::PeptideC),
                 MakeAtom(0, 0, 0, 0.71f, 1, BondRole::PeptideN), kAa, kAa, 1.98f, true},
        RuleCase{"chain break", MakeAtom(0, 0, 0, 0.73f, 0, BondRole::PeptideC),
                 MakeAtom(0, 0, 0, 0.71f, 1, BondRole::PeptideN), kAa, kAa, 2.2f, false},
        RuleCase{"side chains of standard residues in contact", MakeAtom(0, 0, 0, 0.73f, 0),
                 MakeAtom(0, 0, 0, 0.66f, 1), kAa, kAa, 1.4f, false},
        RuleCase{"disulfide", MakeAtom(0, 0, 0, 1.05f, 0, BondRole::DisulfideS),
                 MakeAtom(0, 0, 0, 1.05f, 1, BondRole::DisulfideS), kAa, kAa, 2.05f, true},
        RuleCase{"O3'-P", MakeAtom(0, 0, 0, 0.66f, 0, BondRole::NucleicO3),
                 MakeAtom(0, 0, 0, 1.07f, 1, BondRole::NucleicP), kNt, kNt, 1.61f, true},
        RuleCase{"ligand on a side chain", MakeAtom(0, 0, 0, 0.73f, 0), MakeAtom(0, 0, 0, 0.66f, 1), 0, kAa, 1.43f,
                 true},
        RuleCase{"water next to a ligand", MakeAtom(0, 0, 0, 0.66f, 0), MakeAtom(0, 0, 0, 0.73f, 1), kWaterResidue, 0,
                 1.4f, false},
        RuleCase{"ion next to a ligand", MakeAtom(0, 0, 0, 1.22f, 0), MakeAtom(0, 0, 0, 1.05f, 1), kIonResidue, 0, 2.2f,
                 false},
        RuleCase{"hydrogen of another residue", MakeAtom(0, 0, 0, 0.31f, 0, BondRole::None, true),
                 MakeAtom(0, 0, 0, 0.73f, 1), 0, 0, 1.0f, false},
        RuleCase{"two hydrogens", MakeAtom(0, 0, 0, 0.31f, 0, BondRole::None, true),
                 MakeAtom(0, 0, 0, 0.31f, 0, BondRole::None, true), 0, 0, 0.74f, false}));

TEST(BondPerception, HydrogenKeepsOnlyItsNearestPartner) {
    const std::vector<BondAtom> atoms = {MakeAtom(0, 0, 0, 0.31f, 0, BondRole::None, true),
                                         MakeAtom(1.3f, 0, 0, 0.73f, 0), MakeAtom(-1.0f, 0, 0, 0.71f, 0)};
    EXPECT_EQ(PerceiveBonds(atoms, {0}), (std::vector<BondPair>{{0, 2}}));
}

TEST(BondPerception, CyclicClosureIsFoundAcrossTheChain) {
    // Three residues in a triangle: the links 0-1 and 1-2 are consecutive, 2-0 closes the ring.
    std::vector<BondAtom> atoms;
    const float corners[3][2] = {{0, 0}, {10, 0}, {5, 8}};
    for (std::uint32_t r = 0; r < 3; ++r) {
        const float* from = corners[r];
        const float* to = corners[(r + 1) % 3];
        const float dx = to[0] - from[0], dy = to[1] - from[1];
        const float length = std::sqrt(dx * dx + dy * dy);
        // N near this corner, C 1.33 Å short of the next corner.
        atoms.push_back(MakeAtom(from[0], from[1], 0, 0.71f, r, BondRole::PeptideN));
        atoms.push_back(
            MakeAtom(to[0] - dx / length * 1.33f, to[1] - dy / length * 1.33f, 0, 0.73f, r, BondRole::PeptideC));
    }
    EXPECT_EQ(PerceiveBonds(atoms, {kAa, kAa, kAa}), (std::vector<BondPair>{{0, 5}, {1, 2}, {3, 4}}));
}

TEST(BondPerception, ResidueByResidueKeepsAHydrogensNearestPartner) {
    // Two partners at the same distance: the lower index wins, as in the whole search.
    const std::vector<BondAtom> atoms = {MakeAtom(5, 5, 5, 0.73f, 0), MakeAtom(0, 0, 0, 0.73f, 1),
                                         MakeAtom(1.0f, 0, 0, 0.31f, 1, BondRole::None, true),
                                         MakeAtom(2.0f, 0, 0, 0.73f, 1)};
    std::vector<BondPair> within;
    HostIO::BondWithinResidue(atoms, 1, 3, 0, within);
    EXPECT_EQ(within, (std::vector<BondPair>{{1, 2}}));
    EXPECT_EQ(HostIO::PerceiveBondsBetweenResidues(atoms, {0, 0}, within), PerceiveBonds(atoms, {0, 0}));
}

}  // namespace
