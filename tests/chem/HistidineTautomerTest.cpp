// The histidine tautomer from the partners around the ring.
#include "ChemTestStructures.h"

#include "chem/HistidineTautomer.h"
#include "chem/ResidueAtoms.h"
#include "io/StructureReader.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using ChemTest::AddAminoAcid;

struct Partner {
    const char* residue;
    const char* atom;
    int atomicNumber;
    HostModel::Vec3 position;
};

struct TautomerCase {
    const char* what;
    std::vector<Partner> partners;
    const char* expected;
};

// ND1 at the origin, NE2 2.2 Å away along x, as in an imidazole ring; partners along the
// ring's outward direction of each nitrogen.
constexpr HostModel::Vec3 kNd1{0, 0, 0};
constexpr HostModel::Vec3 kNe2{2.2, 0, 0};
constexpr HostModel::Vec3 kNearNd1{-2.8, 0, 0};
constexpr HostModel::Vec3 kNearNe2{5.0, 0, 0};

class HistidineTautomers : public ::testing::TestWithParam<TautomerCase> {};

TEST_P(HistidineTautomers, PartnersDecide) {
    const TautomerCase& c = GetParam();
    HostModel::Molecule molecule("m");
    auto& chain = molecule.Add(std::make_unique<HostModel::AminoAcidChain>("A"));
    auto& his = AddAminoAcid(chain, "HIS", 1, {{"ND1", 7, kNd1}, {"NE2", 7, kNe2}, {"CE1", 6, {1.1, 0.7, 0}}});
    int number = 2;
    for (const Partner& p : c.partners) {
        const std::string type = p.residue;
        const bool aminoAcid =
            type == "ASP" || type == "GLU" || type == "LYS" || type == "ALA" || type == "PRO" || type == "ARG";
        if (!aminoAcid) {  // ligands, ions, water: their O is no backbone carbonyl
            auto residue = std::make_unique<HostModel::Residue>(type + std::to_string(number), number, type);
            auto atom = std::make_unique<HostModel::Atom>(p.atom, p.atomicNumber);
            atom->SetPosition(p.position);
            residue->AddChild(std::move(atom));
            chain.Add(std::move(residue));
            ++number;
        } else {
            AddAminoAcid(chain, p.residue, number++, {{p.atom, p.atomicNumber, p.position}});
        }
    }
    std::vector<HostModel::Residue*> residues;
    for (std::size_t i = 0; i < chain.GetNumChildren(); ++i)
        residues.push_back(static_cast<HostModel::Residue*>(chain.GetChild(i)));
    const HostChem::PolarAtoms polar(residues);
    EXPECT_EQ(HostChem::ChooseHistidineTautomer(his, polar), c.expected) << c.what;
}

const TautomerCase kCases[] = {
    {"nothing around: the templates' plain HIS", {}, "HIE"},
    {"carboxylate at ND1 takes ND1's hydrogen", {{"ASP", "OD1", 8, kNearNd1}}, "HID"},
    {"carboxylate at NE2", {{"GLU", "OE2", 8, kNearNe2}}, "HIE"},
    {"amine donor at ND1 needs ND1's lone pair", {{"LYS", "NZ", 7, kNearNd1}}, "HIE"},
    {"backbone amide donor at NE2", {{"ALA", "N", 7, kNearNe2}}, "HID"},
    {"proline N has no hydrogen to give", {{"PRO", "N", 7, kNearNe2}}, "HIE"},
    {"water either way: no preference", {{"HOH", "O", 8, kNearNd1}}, "HIE"},
    {"sulfate oxygen at ND1 only accepts", {{"SO4", "O2", 8, kNearNd1}}, "HID"},
    {"acetate oxygen at NE2 only accepts", {{"ACT", "OXT", 8, kNearNe2}}, "HIE"},
    {"glycerol hydroxyl either way", {{"GOL", "O1", 8, kNearNd1}}, "HIE"},
    {"a ligand the library does not know decides nothing", {{"XQZ", "O1", 8, kNearNd1}}, "HIE"},
    {"zinc on NE2 binds its lone pair", {{"ZN", "ZN", 30, {4.3, 0, 0}}}, "HID"},
    {"zinc on ND1", {{"ZN", "ZN", 30, {-2.1, 0, 0}}}, "HIE"},
    {"acceptor beyond 3.3 Å does not count", {{"ASP", "OD1", 8, {-3.5, 0, 0}}}, "HIE"},
    {"two acceptors at ND1 beat one at NE2",
     {{"ASP", "OD1", 8, kNearNd1}, {"GLU", "OE1", 8, {-2.6, 1.0, 0}}, {"ASP", "OD2", 8, kNearNe2}},
     "HID"},
    {"acceptor at ND1 against donor at ND1: a tie",
     {{"ASP", "OD1", 8, kNearNd1}, {"ARG", "NH1", 7, {-2.6, 1.0, 0}}},
     "HIE"},
};

void PrintTo(const TautomerCase& c, std::ostream* out) { *out << c.what; }

INSTANTIATE_TEST_SUITE_P(Table, HistidineTautomers, ::testing::ValuesIn(kCases));

class PolarNeighbours : public ::testing::TestWithParam<const char*> {};

// The cell index finds exactly the polar atoms (N, O, metals) a scan of all of them finds, at
// the radii the tautomer rule asks for and at the cell size.
TEST_P(PolarNeighbours, IndexAgreesWithAScan) {
    HostModel::ChemDoc doc;
    HostIO::ReadStructureFromMemory(doc, ChemTest::CorpusText(GetParam()), GetParam());
    const std::vector<HostModel::Residue*> residues = ChemTest::Residues(doc);
    std::vector<const HostModel::Atom*> polar;
    for (const HostModel::Residue* residue : residues)
        for (std::size_t i = 0; i < residue->GetNumChildren(); ++i)
            if (const auto* atom = dynamic_cast<const HostModel::Atom*>(residue->GetChild(i)))
                if (HostChem::ClassifyPartner(*atom) == HostChem::BondPartner::Metal || atom->GetAtomicNumber() == 7 ||
                    atom->GetAtomicNumber() == 8)
                    polar.push_back(atom);
    ASSERT_GT(polar.size(), 100u);
    const HostChem::PolarAtoms index(residues);
    std::size_t found = 0;
    for (std::size_t q = 0; q < polar.size(); q += 3) {
        const HostModel::Atom& atom = *polar[q];
        for (double radius : {2.6, 3.3, 3.5}) {
            std::vector<const HostModel::Atom*> expected;
            for (const HostModel::Atom* other : polar)
                if (other != &atom && HostChem::AtomDistance(atom, *other) <= radius) expected.push_back(other);
            std::vector<const HostModel::Atom*> near = index.Near(atom, radius);
            std::sort(expected.begin(), expected.end());
            std::sort(near.begin(), near.end());
            ASSERT_EQ(near, expected) << GetParam() << ": " << atom.GetParent()->GetLabel() << ":" << atom.GetLabel()
                                      << " within " << radius;
            found += near.size();
        }
    }
    EXPECT_GT(found, polar.size() / 3);  // hydrogen-bond partners abound in a protein
}

INSTANTIATE_TEST_SUITE_P(Corpus, PolarNeighbours, ::testing::Values("1AFS.pdb", "3U7T.cif", "9X2O.cif"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             const std::string name = info.param;
                             return name.substr(0, name.find('.'));
                         });

// An index made around some atoms finds for each of them exactly what the whole index finds, in
// the same order: on corpus structures around their histidine ring nitrogens and around every
// fifth polar atom.
TEST_P(PolarNeighbours, IndexAroundSomeAtomsAgreesForThem) {
    HostModel::ChemDoc doc;
    HostIO::ReadStructureFromMemory(doc, ChemTest::CorpusText(GetParam()), GetParam());
    const std::vector<HostModel::Residue*> residues = ChemTest::Residues(doc);
    std::vector<const HostModel::Atom*> rings, spread;
    std::size_t polarSeen = 0;
    for (const HostModel::Residue* residue : residues) {
        for (std::size_t i = 0; i < residue->GetNumChildren(); ++i) {
            const auto* atom = dynamic_cast<const HostModel::Atom*>(residue->GetChild(i));
            if (!atom || (atom->GetAtomicNumber() != 7 && atom->GetAtomicNumber() != 8)) continue;
            if (polarSeen++ % 5 == 0) spread.push_back(atom);
            if (atom->GetLabel() == "ND1" || atom->GetLabel() == "NE2") rings.push_back(atom);
        }
    }
    ASSERT_GT(spread.size(), 20u);
    const HostChem::PolarAtoms whole(residues);
    for (const auto* around : {&rings, &spread}) {
        const HostChem::PolarAtoms part(residues, *around);
        for (const HostModel::Atom* atom : *around)
            for (double radius : {2.6, 3.3, 3.5})
                ASSERT_EQ(part.Near(*atom, radius), whole.Near(*atom, radius))
                    << GetParam() << ": " << atom->GetParent()->GetLabel() << ":" << atom->GetLabel();
    }
}

// Cells either side of zero (where cell numbers turn negative and the key's z field wraps), an
// index around nothing, and one around an atom too far out for the bitmap, which keeps every
// atom.
TEST(PolarNeighbourIndex, AroundAtomsAcrossZeroAndFarOut) {
    HostModel::Molecule molecule("m");
    auto& chain = molecule.Add(std::make_unique<HostModel::AminoAcidChain>("A"));
    std::vector<ChemTest::AtomSpec> atoms;
    const char* names[] = {"N", "O", "OXT", "NZ", "OG", "ND2", "OE1", "NE"};
    int k = 0;
    for (double x = -5.25; x <= 5.25; x += 1.75)
        for (double y = -3.5; y <= 3.5; y += 1.75)
            for (double z = -3.4; z <= 3.4; z += 1.7) atoms.push_back({names[k++ % 8], k % 2 ? 7 : 8, {x, y, z}});
    auto& dense = ChemTest::AddAminoAcid(chain, "ALA", 1, atoms);
    auto& far = ChemTest::AddAminoAcid(chain, "GLY", 2, {{"N", 7, {1e7, 0, 0}}, {"O", 8, {1e7, 2.0, 0}}});
    std::vector<HostModel::Residue*> residues = {&dense, &far};
    const HostChem::PolarAtoms whole(residues);

    std::vector<const HostModel::Atom*> around;
    for (std::size_t i = 0; i < dense.GetNumChildren(); i += 7)
        around.push_back(static_cast<const HostModel::Atom*>(dense.GetChild(i)));
    const HostChem::PolarAtoms part(residues, around);
    std::size_t found = 0;
    for (const HostModel::Atom* atom : around) {
        ASSERT_EQ(part.Near(*atom, 3.3), whole.Near(*atom, 3.3))
            << atom->GetPosition().x << " " << atom->GetPosition().z;
        found += part.Near(*atom, 3.3).size();
    }
    EXPECT_GT(found, around.size() * 5);

    const HostChem::PolarAtoms none(residues, {});
    EXPECT_TRUE(none.Near(*around.front(), 3.5).empty());

    const auto* farN = static_cast<const HostModel::Atom*>(far.GetChild(0));
    const HostChem::PolarAtoms withFar(residues, {farN, around.front()});
    EXPECT_EQ(withFar.Near(*farN, 3.3), whole.Near(*farN, 3.3));
    EXPECT_EQ(withFar.Near(*farN, 3.3).size(), 1u);
    EXPECT_EQ(withFar.Near(*around.back(), 3.3), whole.Near(*around.back(), 3.3));  // every atom kept
}

}  // namespace
