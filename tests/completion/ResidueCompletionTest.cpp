// Completion as the reader runs it: corpus structures come out without standard residues
// lacking heavy atoms (or with them reported), built atoms are bonded, termini follow the
// host's bonds, and residues that cannot be built stay as read.
#include "CompletionTestSupport.h"

#include "chem/InternalCoordinates.h"

#include "HostModel/TreeRoot.h"
#include "Quorva_ProteinCore/BuilderUtility.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <numeric>
#include <sstream>

namespace {

using namespace CompletionTest;
using HostModel::Atom;
using HostModel::ChemDoc;
using HostModel::Residue;

std::string Describe(const Residue& residue) {
    const std::string chain = ChainOf(residue);
    return chain.empty() ? residue.GetLabel() : residue.GetLabel() + " chain " + chain;
}

std::size_t AtomCount(const HostModel::Molecule& molecule) {
    std::size_t n = 0;
    for (const Residue* residue : Residues(molecule)) n += Atoms(*residue).size();
    return n;
}

std::size_t Sum(const std::map<std::string, std::size_t>& counts) {
    return std::accumulate(counts.begin(), counts.end(), std::size_t{0},
                           [](std::size_t s, const auto& e) { return s + e.second; });
}

// The reader's input with the lines that match drop removed (PDB records).
std::string WithoutLines(const std::string& file, const std::function<bool(const std::string&)>& drop) {
    std::ifstream in(CorpusPath(file));
    std::string line, out;
    // Anisotropic records belong to the atom before them; none are needed here.
    while (std::getline(in, line))
        if (!drop(line) && line.rfind("ANISOU", 0) != 0) out += line + "\n";
    return out;
}

bool IsAtomOf(const std::string& line, const std::string& name, const char* residue, char chain, int number) {
    if ((line.rfind("ATOM", 0) != 0 && line.rfind("HETATM", 0) != 0) || line.size() < 27) return false;
    std::string field = line.substr(12, 4);
    field.erase(std::remove(field.begin(), field.end(), ' '), field.end());
    return field == name && line.compare(17, 3, residue) == 0 && line[21] == chain &&
           std::stoi(line.substr(22, 4)) == number;
}

Residue* FindResidue(const HostModel::Molecule& molecule, const std::string& label, const std::string& chain) {
    for (Residue* residue : Residues(molecule))
        if (residue->GetLabel() == label && ChainOf(*residue) == chain) return residue;
    return nullptr;
}

TEST(CorpusCompletion, 1BX8_LysinesGetTheirSideChainsAndTheChainItsCarboxylate) {
    REQUIRE_MONOMER_LIBRARY();
    ChemDoc doc;
    const HostModel::Molecule& molecule = Read(doc, "1BX8.pdb");
    const auto& report = doc.GetPreparationReport();
    EXPECT_EQ(report.atomsCompleted, (std::map<std::string, std::size_t>{{"ALA", 1}, {"LYS", 5}}));
    EXPECT_TRUE(report.residuesLeftIncomplete.empty());

    struct Expected {
        const char* residue;
        std::vector<std::pair<std::string, std::string>> bonds;  // built atom, neighbour
    };
    const Expected cases[] = {{"LYS21", {{"CD", "CG"}, {"CE", "CD"}, {"NZ", "CE"}}},
                              {"LYS34", {{"CE", "CD"}, {"NZ", "CE"}}},
                              {"ALA53", {{"OXT", "C"}}}};
    for (const Expected& e : cases) {
        const Residue* residue = FindResidue(molecule, e.residue, "A");
        ASSERT_NE(residue, nullptr) << e.residue;
        for (const auto& [name, neighbour] : e.bonds) {
            const Atom* atom = residue->FindAtom(name);
            const Atom* other = residue->FindAtom(neighbour);
            ASSERT_TRUE(atom && other) << e.residue << " " << name;
            EXPECT_TRUE(atom->IsBondedTo(*other)) << e.residue << " " << name << "-" << neighbour;
            EXPECT_EQ(atom->GetAtomicNumber(), name == "NZ" ? 7 : name == "OXT" ? 8 : 6) << name;
            const double length = HostChem::Distance(atom->GetPosition(), other->GetPosition());
            EXPECT_NEAR(length, name == "NZ" ? 1.489 : name == "OXT" ? 1.25 : 1.52, 0.01) << e.residue << " " << name;
        }
    }
    const Residue* ala = FindResidue(molecule, "ALA53", "A");
    EXPECT_NEAR(HostChem::BondAngle(ala->FindAtom("O")->GetPosition(), ala->FindAtom("C")->GetPosition(),
                                    ala->FindAtom("OXT")->GetPosition()),
                120.0, 6.0);
}

// The independent rule: every heavy atom the library names, but OXT away from C-termini, OP3,
// and the phosphate of a nucleotide without P.
std::vector<std::string> MissingAtoms(const Residue& residue) {
    std::vector<std::string> missing;
    const bool hasP = residue.FindAtom("P") != nullptr;
    for (const std::string& name : HeavyAtoms(ParentName(residue.GetResidueType()))) {
        if (name == "OXT" || name == "OP3" || (!hasP && (name == "P" || name == "OP1" || name == "OP2"))) continue;
        if (!residue.FindAtom(name)) missing.push_back(name);
    }
    return missing;
}

TEST(CorpusCompletion, NoStandardResidueLacksHeavyAtomsUnlessReported) {
    REQUIRE_MONOMER_LIBRARY();
    std::printf("heavy atoms built per structure: file, atoms read, atoms built (per residue type), left incomplete\n");
    for (const std::string& file : CorpusStructures()) {
        ChemDoc doc;
        HostIO::ReadOptions options;
        const HostIO::ReadResult result = HostIO::ReadStructure(doc, CorpusPath(file), options);
        const auto& report = doc.GetPreparationReport();
        const auto& reported = report.residuesLeftIncomplete;
        std::size_t lacking = 0;
        for (const Residue* residue : Residues(*result.molecule)) {
            if (!(residue->IsA(HostModel::AminoAcid::classType) || residue->IsA(HostModel::Nucleotide::classType)) ||
                !IsStandard(residue->GetResidueType()))
                continue;
            const std::vector<std::string> missing = MissingAtoms(*residue);
            if (missing.empty()) continue;
            ++lacking;
            const bool isReported = std::any_of(reported.begin(), reported.end(), [&](const std::string& line) {
                return line.rfind(Describe(*residue) + ": ", 0) == 0;
            });
            EXPECT_TRUE(isReported) << file << " " << Describe(*residue) << " lacks " << missing.front();
        }
        EXPECT_EQ(lacking, reported.size()) << file;
        EXPECT_EQ(AtomCount(*result.molecule), result.atomCount + Sum(report.atomsCompleted)) << file;

        std::string built;
        for (const auto& [type, count] : report.atomsCompleted) built += " " + type + ":" + std::to_string(count);
        std::printf("  %-24s %5zu %3zu%s%s\n", file.c_str(), result.atomCount, Sum(report.atomsCompleted),
                    built.empty() ? "" : " (", built.empty() ? "" : (built.substr(1) + ")").c_str());
        for (const std::string& line : reported) std::printf("      left incomplete: %s\n", line.c_str());
        for (const std::string& line : report.warnings) std::printf("      warning: %s\n", line.c_str());
    }
}

TEST(CorpusCompletion, NoCompleteLeavesEveryStructureAsRead) {
    for (const std::string& file : CorpusStructures()) {
        ChemDoc doc;
        HostIO::ReadOptions options;
        options.completeMissingAtoms = false;
        const HostIO::ReadResult result = HostIO::ReadStructure(doc, CorpusPath(file), options);
        EXPECT_EQ(AtomCount(*result.molecule), result.atomCount) << file;
        EXPECT_TRUE(doc.GetPreparationReport().atomsCompleted.empty()) << file;
        EXPECT_TRUE(doc.GetPreparationReport().residuesLeftIncomplete.empty()) << file;
    }
    ChemDoc doc;
    const HostModel::Molecule& molecule = Read(doc, "1BX8.pdb", false);
    EXPECT_EQ(FindResidue(molecule, "LYS21", "A")->FindAtom("NZ"), nullptr);
}

TEST(CorpusCompletion, PqrInputIsTakenAsItIs) {
    REQUIRE_MONOMER_LIBRARY();
    ChemDoc doc;
    const std::string text = WithoutLines("1BX8_pH7_AMBER.pqr", [](const std::string& line) {
        return line.rfind("ATOM", 0) == 0 && line.find(" NZ  LYS") != std::string::npos;
    });
    const auto result = HostIO::ReadStructureFromMemory(doc, text, "1BX8_noNZ.pqr");
    EXPECT_EQ(AtomCount(*result.molecule), result.atomCount);
    EXPECT_TRUE(doc.GetPreparationReport().atomsCompleted.empty());
}

// Termini from the host's bonds: a head-to-tail cyclic peptide and an amide-capped chain end
// in no carboxylate; a chain that ends in a free C gets OXT, and N-termini stay where they were.
TEST(Termini, CyclicAndCappedChainsGetNoOxt) {
    REQUIRE_MONOMER_LIBRARY();
    for (const char* file : {"5vav_cyclic_peptide.pdb", "1A1P.pdb"}) {
        ChemDoc doc;
        const HostModel::Molecule& molecule = Read(doc, file);
        EXPECT_EQ(doc.GetPreparationReport().atomsCompleted.count("OXT"), 0u);
        for (const Residue* residue : Residues(molecule))
            EXPECT_EQ(residue->FindAtom("OXT"), nullptr) << file << " " << residue->GetLabel();
    }
}

TEST(Termini, BuiltAtomsKeepTheNTerminiOfEveryChain) {
    REQUIRE_MONOMER_LIBRARY();
    for (const std::string& file : CorpusStructures()) {
        ChemDoc asRead, completed;
        const auto before = Residues(Read(asRead, file, false));
        const auto after = Residues(Read(completed, file, true));
        ASSERT_EQ(before.size(), after.size()) << file;
        for (std::size_t i = 0; i < before.size(); ++i) {
            EXPECT_EQ(Quorva_ProteinCore::BuilderUtility::IsNTerminus(before[i]),
                      Quorva_ProteinCore::BuilderUtility::IsNTerminus(after[i]))
                << file << " " << Describe(*before[i]);
            // Every atom built bonds to the residue it completes.
            for (const Atom* atom : Atoms(*after[i])) {
                if (before[i]->FindAtom(atom->GetLabel())) continue;
                EXPECT_FALSE(atom->GetBonds().empty()) << file << " " << Describe(*after[i]) << " " << atom->GetLabel();
            }
        }
    }
}

TEST(IncompleteResidues, ResidueWithoutItsBackboneIsReportedAndLeftAsRead) {
    REQUIRE_MONOMER_LIBRARY();
    ChemDoc doc;
    const std::string text =
        WithoutLines("1BX8.pdb", [](const std::string& line) { return IsAtomOf(line, "CA", "LYS", 'A', 21); });
    const auto result = HostIO::ReadStructureFromMemory(doc, text, "1BX8_noCA.pdb");
    const auto& report = doc.GetPreparationReport();
    EXPECT_EQ(report.residuesLeftIncomplete, std::vector<std::string>{"LYS21 chain A: no CA to build from"});
    EXPECT_EQ(Atoms(*FindResidue(*result.molecule, "LYS21", "A")).size(), 5u);
    EXPECT_EQ(report.atomsCompleted.at("LYS"), 2u);  // LYS34 still gets CE and NZ
}

TEST(IncompleteResidues, AnInternalCarbonylOxygenGoesIntoThePeptidePlane) {
    REQUIRE_MONOMER_LIBRARY();
    ChemDoc crystal, doc;
    const Atom* expected = FindResidue(Read(crystal, "1BX8.pdb"), "CYS22", "A")->FindAtom("O");
    const std::string text =
        WithoutLines("1BX8.pdb", [](const std::string& line) { return IsAtomOf(line, "O", "CYS", 'A', 22); });
    const auto result = HostIO::ReadStructureFromMemory(doc, text, "1BX8_noO.pdb");
    const Atom* built = FindResidue(*result.molecule, "CYS22", "A")->FindAtom("O");
    ASSERT_TRUE(expected && built);
    EXPECT_LT(HostChem::Distance(built->GetPosition(), expected->GetPosition()), 0.3);
    EXPECT_EQ(doc.GetPreparationReport().atomsCompleted.at("CYS"), 1u);
}

TEST(IncompleteResidues, AtomsUnderAnotherNameAreNeverDuplicated) {
    REQUIRE_MONOMER_LIBRARY();
    // A side-chain atom under a name the library does not use: either the naming step maps it
    // back, or the residue stays as read and is reported; never both names.
    std::ifstream in(CorpusPath("1BX8.pdb"));
    std::string line, text;
    while (std::getline(in, line)) {
        if (line.rfind("ANISOU", 0) == 0) continue;
        if (IsAtomOf(line, "OG1", "THR", 'A', 5)) line.replace(12, 4, " OG ");
        text += line + "\n";
    }
    ChemDoc doc;
    const auto result = HostIO::ReadStructureFromMemory(doc, text, "1BX8_renamed.pdb");
    const Residue* thr = FindResidue(*result.molecule, "THR5", "A");
    ASSERT_NE(thr, nullptr);
    EXPECT_FALSE(thr->FindAtom("OG") && thr->FindAtom("OG1"));
    if (thr->FindAtom("OG")) {
        const auto& lines = doc.GetPreparationReport().residuesLeftIncomplete;
        EXPECT_NE(std::find(lines.begin(), lines.end(),
                            "THR5 chain A: atoms the monomer library does not name (OG), left as read"),
                  lines.end());
    }
}

TEST(NucleotideCompletion, 1pfe_BaseAndSugarAreBuiltAndTheFivePrimeEndGetsNoPhosphate) {
    REQUIRE_MONOMER_LIBRARY();
    ChemDoc crystal;
    const HostModel::Molecule& reference = Read(crystal, "1pfe.cif.gz", false);
    // The first nucleotide of the first nucleic-acid chain: a 5' end without phosphate.
    const Residue* first = nullptr;
    for (const Residue* residue : Residues(reference))
        if (residue->IsA(HostModel::Nucleotide::classType)) {
            first = residue;
            break;
        }
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(first->FindAtom("P"), nullptr);
    const std::string type = first->GetResidueType();
    const std::string chain = ChainOf(*first);

    // Take its base away (everything beyond C1') as a PDB file would lack it.
    HostModel::ChemDoc doc;
    std::ostringstream pdb;
    int serial = 0;
    std::size_t removed = 0;
    for (const Residue* residue : Residues(reference)) {
        for (const Atom* atom : Atoms(*residue)) {
            const std::string& name = atom->GetLabel();
            const bool sugarOrPhosphate =
                name.find('\'') != std::string::npos || name[0] == 'P' || name.rfind("OP", 0) == 0;
            if (residue == first && !sugarOrPhosphate && atom->GetAtomicNumber() != 1) {
                ++removed;
                continue;
            }
            const auto& p = atom->GetPosition();
            char record[100];
            std::snprintf(
                record, sizeof record, "%-6s%5d %-4s %3s %1s%4d    %8.3f%8.3f%8.3f  1.00 20.00          %2s\n",
                residue->IsA(HostModel::Nucleotide::classType) ? "ATOM" : "HETATM", ++serial,
                name.size() < 4 ? (" " + name).c_str() : name.c_str(), residue->GetResidueType().c_str(),
                ChainOf(*residue).substr(0, 1).c_str(), residue->GetID(), p.x, p.y, p.z, atom->GetElementSymbol());
            pdb << record;
        }
    }
    ASSERT_GE(removed, 8u);
    const auto result = HostIO::ReadStructureFromMemory(doc, pdb.str(), "1pfe_nobase.pdb");
    const Residue* rebuilt = FindResidue(*result.molecule, first->GetLabel(), chain.substr(0, 1));
    ASSERT_NE(rebuilt, nullptr);
    EXPECT_EQ(doc.GetPreparationReport().atomsCompleted.at(type), removed);
    EXPECT_TRUE(MissingAtoms(*rebuilt).empty());
    EXPECT_EQ(rebuilt->FindAtom("P"), nullptr);
    const std::string glycosidic = first->FindAtom("N9") ? "N9" : "N1";
    EXPECT_LT(
        HostChem::Distance(rebuilt->FindAtom(glycosidic)->GetPosition(), first->FindAtom(glycosidic)->GetPosition()),
        0.3);
    EXPECT_TRUE(rebuilt->FindAtom(glycosidic)->IsBondedTo(*rebuilt->FindAtom("C1'")));
}

}  // namespace
