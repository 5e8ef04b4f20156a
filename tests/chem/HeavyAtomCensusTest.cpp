// The census of a residue's atoms against the names of its monomer, checked by looking every
// name up as text: on every residue of corpus structures, and on residues made to defeat the
// search's shortcut (atoms out of the library's order, twice, under names too long to pack).
#include "ChemTestSupport.h"

#include "chem/HeavyAtomCensus.h"
#include "chem/MonomerLibrary.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using HostModel::Atom;
using HostModel::Residue;

// The mask by names as text: bit i when an atom other than a hydrogen bears names[i].
std::uint64_t PresentByName(const Residue& residue, const HostChem::MonomerHeavyAtoms& heavy) {
    std::uint64_t present = 0;
    for (std::size_t i = 0; i < heavy.names.size(); ++i)
        for (const Atom* atom : ChemTest::Atoms(residue))
            if (atom->GetAtomicNumber() != 1 && atom->GetLabel() == heavy.names[i]) present |= std::uint64_t{1} << i;
    return present;
}

bool CarriesHydrogenByScan(const Residue& residue) {
    for (const Atom* atom : ChemTest::Atoms(residue))
        if (atom->GetAtomicNumber() == 1) return true;
    return false;
}

#define REQUIRE_LIBRARY()                                                                   \
    if (!HostChem::SharedMonomerLibrary().IsAvailable()) GTEST_SKIP() << "the monomer library " \
                                                                         "(refmac-dictionary) is not installed"

TEST(HeavyAtomCensus, AgreesWithNamesLookedUpAsTextOnCorpusResidues) {
    REQUIRE_LIBRARY();
    std::size_t checked = 0;
    for (const char* file : {"1A1P.pdb", "1AFS.pdb", "1BX8.pdb", "1pfe.cif.gz", "9X2O.cif"}) {
        HostModel::ChemDoc doc;
        const HostModel::Molecule& molecule = *HostIO::ReadStructure(doc, ChemTest::CorpusPath(file)).molecule;
        HostChem::HeavyAtomCensus census;
        std::vector<HostChem::HeavyAtomCensus::Count> counted;
        for (const Residue* residue : ChemTest::Residues(molecule)) {
            const bool aminoAcid = residue->IsA(HostModel::AminoAcid::classType);
            const bool polymer = aminoAcid || residue->IsA(HostModel::Nucleotide::classType);
            const HostChem::ResidueAtomScan scan = census.Take(*residue, true);
            EXPECT_EQ(scan.hasHydrogen, CarriesHydrogenByScan(*residue)) << file << " " << residue->GetLabel();
            if (!polymer) continue;
            const std::string* monomerName = HostChem::CompletionMonomerName(residue->GetResidueType(), aminoAcid);
            if (!monomerName) {
                counted.push_back({nullptr, 0});
                continue;
            }
            const gemmi::ChemComp* monomer = HostChem::SharedMonomerLibrary().Find(*monomerName);
            ASSERT_NE(monomer, nullptr) << *monomerName;
            const HostChem::MonomerHeavyAtoms heavy = HostChem::IndexHeavyAtoms(*monomer);
            ASSERT_TRUE(heavy.indexed) << *monomerName;
            EXPECT_EQ(scan.present, PresentByName(*residue, heavy)) << file << " " << residue->GetLabel();
            counted.push_back({monomer, scan.present});
            ++checked;
        }
        // One count per amino acid and nucleotide, in the order taken, against the same monomer.
        ASSERT_EQ(census.Size(), counted.size()) << file;
        for (std::size_t i = 0; i < counted.size(); ++i) {
            EXPECT_EQ(census[i].monomer, counted[i].monomer) << file << " count " << i;
            EXPECT_EQ(census[i].present, counted[i].present) << file << " count " << i;
        }
    }
    EXPECT_GT(checked, 1000u);
}

TEST(HeavyAtomCensus, AtomsOutOfOrderTwiceOrUnderLongNamesAreCountedByName) {
    REQUIRE_LIBRARY();
    const gemmi::ChemComp* tyrosine = HostChem::SharedMonomerLibrary().Find("TYR");
    ASSERT_NE(tyrosine, nullptr);
    const HostChem::MonomerHeavyAtoms heavy = HostChem::IndexHeavyAtoms(*tyrosine);

    HostModel::AminoAcid residue("TYR7", 7, "TYR");
    // Backwards, a name twice, a hydrogen under a heavy atom's name, names no monomer has.
    const std::pair<const char*, int> atoms[] = {{"OH", 8},     {"CZ", 6},      {"CB", 6},  {"CA", 6},
                                                 {"CB", 6},     {"N", 7},       {"CE1", 1}, {"OXT", 8},
                                                 {"CA ", 6},    {"CDLONGER", 6}, {"C", 6}};
    for (const auto& [name, z] : atoms) residue.Add(std::make_unique<Atom>(name, z));

    const HostChem::ResidueAtomScan scan = HostChem::ScanResidueAtoms(residue, &heavy);
    EXPECT_TRUE(scan.hasHydrogen);
    EXPECT_EQ(scan.present, PresentByName(residue, heavy));
    // N CA C CB CZ OH: six bits; none for the hydrogen named CE1, nor for OXT, which the
    // library's tyrosine does not name.
    EXPECT_EQ(__builtin_popcountll(scan.present), 6);
}

TEST(HeavyAtomCensus, NoMonomerCountsNothingButStillSeesHydrogens) {
    REQUIRE_LIBRARY();
    HostModel::AminoAcid unknown("XYZ1", 1, "XYZ");
    unknown.Add(std::make_unique<Atom>("CA", 6));
    unknown.Add(std::make_unique<Atom>("HA", 1));
    HostChem::HeavyAtomCensus census;
    const HostChem::ResidueAtomScan scan = census.Take(unknown, true);
    EXPECT_TRUE(scan.hasHydrogen);
    EXPECT_EQ(scan.present, 0u);
    ASSERT_EQ(census.Size(), 1u);
    EXPECT_EQ(census[0].monomer, nullptr);

    // Not counted: looked at for hydrogens only, no entry.
    HostModel::AminoAcid alanine("ALA2", 2, "ALA");
    alanine.Add(std::make_unique<Atom>("CA", 6));
    EXPECT_EQ(census.Take(alanine, false).present, 0u);
    EXPECT_EQ(census.Size(), 1u);
}

// A census taken in two parts, the second meeting the monomers in another order, then appended,
// against one taken whole; residues left to the completion count nothing, in their place.
TEST(HeavyAtomCensus, TakenInTwoPartsAndAppendedAsTakenWhole) {
    REQUIRE_LIBRARY();
    std::vector<const Residue*> residues;
    std::vector<std::unique_ptr<HostModel::ChemDoc>> docs;
    for (const char* file : {"1pfe.cif.gz", "1AFS.pdb", "1BX8.pdb"}) {
        docs.push_back(std::make_unique<HostModel::ChemDoc>());
        const HostModel::Molecule& molecule = *HostIO::ReadStructure(*docs.back(), ChemTest::CorpusPath(file)).molecule;
        for (const Residue* residue : ChemTest::Residues(molecule)) residues.push_back(residue);
    }
    auto leftToCompletion = [](std::size_t i) { return i % 7 == 3; };
    auto take = [&](HostChem::HeavyAtomCensus& census, std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            if (leftToCompletion(i)) census.LeaveToCompletion(*residues[i], true);
            else census.Take(*residues[i], true);
        }
    };
    HostChem::HeavyAtomCensus whole;
    take(whole, 0, residues.size());
    // The split falls in the DNA, so the second part meets amino acids the first never met.
    const std::size_t split = 40;
    HostChem::HeavyAtomCensus first, second;
    take(first, 0, split);
    take(second, split, residues.size());
    first.Append(second);

    ASSERT_EQ(first.Size(), whole.Size());
    std::size_t counted = 0, left = 0;
    for (std::size_t i = 0; i < whole.Size(); ++i) {
        EXPECT_EQ(first[i].monomer, whole[i].monomer) << "count " << i;
        EXPECT_EQ(first[i].present, whole[i].present) << "count " << i;
        ++(whole[i].monomer ? counted : left);
    }
    EXPECT_GT(counted, 500u);
    EXPECT_GT(left, 50u);
}

}  // namespace

