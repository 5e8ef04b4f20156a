// Which residues count as charged chain ends, and the Amber charges they get through the
// terminal residue sets (AMBER.DAT of PDB2PQR 3.5.2 gives the expected values).
#include "ChemTestStructures.h"
#include "ChemTestSupport.h"

#include "HostModel_Commands/CmdHydrogens.h"
#include "chem/ChainEnds.h"
#include "commands/CmdApplyAmberPlusDefaultTemplates.h"
#include "templates/Template.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <set>

namespace {

using namespace HostModel;
using ChainEnd = Residue::ChainEnd;

constexpr float kChargeTolerance = 1e-4f;  // e; the templates carry four decimals

// Some residues of one chain of a corpus file (PDB text), each line passed through edit.
Molecule& ReadResidues(ChemDoc& doc, const std::string& name, char chain, const std::set<int>& numbers,
                       std::string (*edit)(const std::string&) = nullptr) {
    std::istringstream in(ChemTest::ReadText(ChemTest::CorpusPath(name)));
    std::string text, line;
    while (std::getline(in, line)) {
        if (line.rfind("ATOM", 0) != 0 || line.size() < 27 || line[21] != chain) continue;
        if (!numbers.count(std::stoi(line.substr(22, 4)))) continue;
        const std::string kept = edit ? edit(line) : line;
        if (!kept.empty()) text += kept + "\n";
    }
    return *HostIO::ReadStructureFromMemory(doc, text, name + ".pdb").molecule;
}

void AssignAmber(ChemDoc& doc) {
    ChemTest::SourceTemplates templates;
    Voltra::CmdApplyAmberPlusDefaultTemplates amber;
    ASSERT_TRUE(doc.Execute(amber)) << amber.GetErrorMessage();
}

float ChargeOf(const Atom& atom) {
    float value = NAN;
    atom.GetProperty("Voltra Charge", value);
    return value;
}

float Charge(const Residue& residue, const std::string& atom) {
    const Atom* found = residue.FindAtom(atom);
    EXPECT_NE(found, nullptr) << atom << " of " << residue.GetLabel();
    return found ? ChargeOf(*found) : NAN;
}

double NetCharge(const Residue& residue) {
    double net = 0;
    for (const Atom* atom : ChemTest::Atoms(residue)) net += ChargeOf(*atom);
    return net;
}

std::string Source(const Residue& residue, const std::string& atom) {
    const Atom* found = residue.FindAtom(atom);
    return found ? found->GetPropertyAsString("Voltra Charge Source") : "";
}

TEST(ChainEnds, NTerminalProlineTakesAmbersNPro) {
    ChemDoc doc;
    // 1QBS chain A begins with PRO 1.
    Molecule& molecule = ReadResidues(doc, "1QBS.pdb", 'A', {1, 2, 3, 4});
    AssignAmber(doc);
    const auto residues = ChemTest::Residues(molecule);
    ASSERT_EQ(residues.size(), 4u);
    const Residue& pro = *residues[0];
    EXPECT_EQ(pro.GetChainEnd(), ChainEnd::NTerminal);
    EXPECT_EQ(pro.GetTemplateResidueType(), "NPRO");
    EXPECT_EQ(pro.GetResidueType(), "PRO") << "chemistry keeps the residue's own type";
    EXPECT_NEAR(Charge(pro, "N"), -0.2020f, kChargeTolerance);
    EXPECT_NEAR(Charge(pro, "CA"), 0.1000f, kChargeTolerance);
    EXPECT_NEAR(Charge(pro, "O"), -0.5000f, kChargeTolerance);
    EXPECT_NEAR(Charge(pro, "H2"), 0.3120f, kChargeTolerance);
    EXPECT_NEAR(NetCharge(pro), 1.0, 1e-3);
    EXPECT_EQ(Source(pro, "N"), "Amber");
    // Residue 2 follows 1 and is internal; the chain's last residue gets OXT and is the C-end.
    EXPECT_EQ(residues[1]->GetChainEnd(), ChainEnd::None);
    EXPECT_EQ(residues[3]->GetChainEnd(), ChainEnd::CTerminal);
    EXPECT_NEAR(NetCharge(*residues[3]), -1.0, 1e-3);
}

// Exported templates go beside the PQR, which prints the plain residue name; the terminal name
// is only the key the shipped templates are searched by.
TEST(ChainEnds, ExportedEntriesKeepThePlainResidueName) {
    ChemDoc doc;
    Molecule& molecule = ReadResidues(doc, "1QBS.pdb", 'A', {1, 2});
    AssignAmber(doc);
    const Residue& pro = *ChemTest::Residues(molecule).front();
    ASSERT_EQ(pro.GetChainEnd(), ChainEnd::NTerminal);
    const Atom& n = *pro.FindAtom("N");
    Voltra::ChargeTemplate exported("exported.crg");
    EXPECT_EQ(Voltra::BuildLookupKey(exported, n, true).GetResidueName(), "PRO");
    EXPECT_NEAR(Charge(pro, "N"), -0.2020f, kChargeTolerance);
    EXPECT_EQ(Voltra::BuildMatchKey(exported, n).GetResidueName(), "NPRO");
}

// The residue name a residue's atoms are keyed by, made once per residue, is the match key's.
TEST(ChainEnds, MatchResidueNameIsTheMatchKeys) {
    for (const char* file : {"1QBS.pdb", "1AJJ.pdb", "cterm_hid_out.pqr"}) {
        ChemDoc doc;
        Molecule& molecule = *HostIO::ReadStructure(doc, ChemTest::CorpusPath(file)).molecule;
        AssignAmber(doc);
        Voltra::ChargeTemplate exported("exported.crg");
        std::size_t chainEnds = 0;
        for (const Residue* residue : ChemTest::Residues(molecule)) {
            chainEnds += residue->GetChainEnd() != ChainEnd::None;
            for (std::size_t i = 0; i < residue->GetNumChildren(); ++i) {
                const auto* atom = static_cast<const Atom*>(residue->GetChild(i));
                EXPECT_EQ(Voltra::MatchResidueName(residue), Voltra::BuildMatchKey(exported, *atom).GetResidueName())
                    << file << ", " << residue->GetLabel();
            }
        }
        EXPECT_GT(chainEnds, 0u) << file;
    }
}

TEST(ChainEnds, CTerminalHistidineVariantTakesItsOwnSet) {
    ChemDoc doc;
    // PDB2PQR's output: the last residue is HID 209 with OXT, its hydrogens saying HID.
    Molecule& molecule = *HostIO::ReadStructure(doc, ChemTest::CorpusPath("cterm_hid_out.pqr")).molecule;
    AssignAmber(doc);
    const Residue& his = *ChemTest::Residues(molecule).back();
    ASSERT_EQ(his.GetResidueType(), "HID");
    EXPECT_EQ(his.GetChainEnd(), ChainEnd::CTerminal);
    EXPECT_EQ(his.GetTemplateResidueType(), "CHID");
    EXPECT_NEAR(Charge(his, "N"), -0.3821f, kChargeTolerance);
    EXPECT_NEAR(Charge(his, "CA"), -0.1739f, kChargeTolerance);
    EXPECT_NEAR(Charge(his, "O"), -0.8016f, kChargeTolerance);
    EXPECT_NEAR(Charge(his, "OXT"), -0.8016f, kChargeTolerance);
    EXPECT_NEAR(NetCharge(his), -1.0, 1e-3);
}

// 1QBS residues 1-3 turned into ACE-GLN-NME: PRO 1 keeps its carbonyl and CA as the acetyl's
// methyl, VAL 3 its N and CA as the N-methyl's carbon.
std::string CapEnds(const std::string& line) {
    const int number = std::stoi(line.substr(22, 4));
    const std::string atom = line.substr(12, 4);
    std::string edited = line;
    if (number == 1) {
        if (atom != " C  " && atom != " O  " && atom != " CA ") return {};
        edited.replace(17, 3, "ACE");
        if (atom == " CA ") edited.replace(12, 4, " CH3");
    } else if (number == 3) {
        if (atom != " N  " && atom != " CA ") return {};
        edited.replace(17, 3, "NME");
        if (atom == " CA ") edited.replace(12, 4, " C  ");
    }
    return edited;
}

TEST(ChainEnds, CappedChainHasNoEnds) {
    ChemDoc doc;
    Molecule& molecule = ReadResidues(doc, "1QBS.pdb", 'A', {1, 2, 3}, CapEnds);
    AssignAmber(doc);
    const Residue* found = nullptr;
    std::set<std::string> types;
    for (const Residue* residue : ChemTest::Residues(molecule)) {
        types.insert(residue->GetResidueType());
        if (residue->GetResidueType() == "GLN") found = residue;
    }
    ASSERT_EQ(types, (std::set<std::string>{"ACE", "GLN", "NME"}));
    ASSERT_NE(found, nullptr);
    const Residue& gln = *found;
    EXPECT_EQ(gln.GetChainEnd(), ChainEnd::None);
    EXPECT_EQ(gln.FindAtom("OXT"), nullptr);
    EXPECT_EQ(gln.FindAtom("H1"), nullptr);
    EXPECT_NEAR(Charge(gln, "N"), -0.4157f, kChargeTolerance) << "internal GLN";
    EXPECT_NEAR(NetCharge(gln), 0.0, 1e-3);
}

TEST(ChainEnds, CyclicPeptideHasNoEnds) {
    ChemDoc doc;
    Molecule& molecule = *HostIO::ReadStructure(doc, ChemTest::CorpusPath("5vav_cyclic_peptide.pdb")).molecule;
    AssignAmber(doc);
    for (const Residue* residue : ChemTest::Residues(molecule))
        EXPECT_EQ(residue->GetChainEnd(), ChainEnd::None) << residue->GetLabel();
}

TEST(ChainEnds, ChainBreakStartsAnNTerminusWithoutEndingTheChain) {
    ChemDoc doc;
    // A gap between VAL 3 and LEU 10 of 1QBS chain A.
    Molecule& molecule = ReadResidues(doc, "1QBS.pdb", 'A', {1, 2, 3, 10, 11});
    AssignAmber(doc);
    const auto residues = ChemTest::Residues(molecule);
    ASSERT_EQ(residues.size(), 5u);
    const Residue& beforeGap = *residues[2];
    const Residue& afterGap = *residues[3];
    // The residue before the gap gets no OXT, so no carboxylate set: its C keeps internal charges.
    EXPECT_EQ(beforeGap.GetChainEnd(), ChainEnd::None);
    EXPECT_EQ(afterGap.GetChainEnd(), ChainEnd::NTerminal);
    EXPECT_EQ(afterGap.GetTemplateResidueType(), "NLEU");
    EXPECT_NEAR(Charge(afterGap, "N"), 0.1010f, kChargeTolerance);  // NLEU N
    EXPECT_NEAR(NetCharge(afterGap), 1.0, 1e-3);
    EXPECT_EQ(residues[4]->GetChainEnd(), ChainEnd::CTerminal);
}

TEST(ChainEnds, LoneAminoAcidKeepsInternalEntries) {
    ChemDoc doc;
    Molecule& molecule = ReadResidues(doc, "1QBS.pdb", 'A', {10});
    AssignAmber(doc);
    const auto residues = ChemTest::Residues(molecule);
    ASSERT_EQ(residues.size(), 1u);
    const Residue& leu = *residues[0];
    ASSERT_NE(leu.FindAtom("OXT"), nullptr);
    ASSERT_NE(leu.FindAtom("H3"), nullptr);
    // Both ends at once: neither Amber set alone gives the zwitterion its net charge of 0.
    EXPECT_EQ(leu.GetChainEnd(), ChainEnd::None);
    EXPECT_EQ(leu.GetTemplateResidueType(), "LEU");
    EXPECT_NEAR(Charge(leu, "N"), -0.4157f, kChargeTolerance) << "internal LEU";
    EXPECT_NEAR(NetCharge(leu), 0.0, 1e-3);
    for (const Atom* atom : ChemTest::Atoms(leu)) EXPECT_EQ(atom->GetPropertyAsString("Voltra Charge Source"), "Amber");
}

TEST(ChainEnds, NeutralEndsAreNotMarked) {
    ChemDoc doc;
    Molecule& molecule = ReadResidues(doc, "1QBS.pdb", 'A', {1, 2, 3, 4});
    const auto residues = ChemTest::Residues(molecule);
    HostModel_Commands::CmdHydrogens add(HostModel_Commands::CmdHydrogens::AddHydrogens, Atom::AllHydrogens);
    ASSERT_TRUE(doc.Execute(add));
    ASSERT_EQ(HostChem::ClassifyChainEnd(*residues[3]), ChainEnd::CTerminal);
    // A protonated carboxylate (HXT) and an amine short of a hydrogen are neutral ends.
    auto hxt = std::make_unique<Atom>("HXT", 1);
    residues[3]->AddChild(std::move(hxt));
    EXPECT_EQ(HostChem::ClassifyChainEnd(*residues[3]), ChainEnd::None);
    Atom* h3 = residues[0]->FindAtom("H3");
    ASSERT_NE(h3, nullptr);
    residues[0]->RemoveChild(*h3);
    EXPECT_EQ(HostChem::ClassifyChainEnd(*residues[0]), ChainEnd::None);
}

// Four copies of 1AFS side by side, each chain its own: enough residues for two threads, whose
// halves must together set every residue's end, stale marks cleared, as one walk would.
TEST(ChainEnds, LargeStructureMarkedOnTwoThreadsAsResidueByResidue) {
    const std::string text = ChemTest::TiledAtomRecords("1AFS.pdb", 4);
    ChemDoc doc;
    Molecule& molecule = *HostIO::ReadStructureFromMemory(doc, text, "1AFS.pdb").molecule;
    HostModel_Commands::CmdHydrogens add(HostModel_Commands::CmdHydrogens::AddHydrogens, Atom::AllHydrogens);
    ASSERT_TRUE(doc.Execute(add));
    const auto residues = ChemTest::Residues(molecule);
    ASSERT_GT(residues.size(), 2000u);
    for (Residue* residue : residues) residue->SetChainEnd(ChainEnd::NTerminal);
    HostChem::MarkChainEnds(molecule);
    std::size_t ends = 0;
    for (const Residue* residue : residues) {
        EXPECT_EQ(residue->GetChainEnd(), HostChem::ClassifyChainEnd(*residue)) << residue->GetLabel();
        ends += residue->GetChainEnd() != ChainEnd::None;
    }
    EXPECT_GE(ends, 8u);  // both ends of each copy's two chains
    EXPECT_LT(ends, residues.size() / 10);
}

}  // namespace
