// Hydrogen names of other conventions, renamed when a structure is read and by the naming
// command. Each convention group is made from a corpus file by renaming its hydrogens the way
// that convention writes them, and must come back to the names (and charges) of the original.
#include "ChemTestSupport.h"

#include "HostModel_Commands/CmdHydrogens.h"
#include "HostModel_Commands/CmdNameHydrogens.h"
#include "chem/HydrogenNaming.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <regex>
#include <set>

namespace {

using namespace HostModel;

// Renames one atom given its residue's other atom names; returns the new name.
using Renaming = std::function<std::string(const std::string& name, const std::set<std::string>& residueNames)>;

bool IsMethyleneOf(const std::string& name, const std::set<std::string>& names) {
    // X2 and X3 on the same atom with no X1: a methylene (HB2 HB3, HG12 HG13).
    if (name.size() < 3 || (name.back() != '2' && name.back() != '3')) return false;
    const std::string stem = name.substr(0, name.size() - 1);
    return names.count(stem + "2") && names.count(stem + "3") && !names.count(stem + "1");
}

std::string PdbV2(const std::string& name, const std::set<std::string>& names) {
    if (name == "H1" || name == "H2" || name == "H3") return std::string(1, name[1]) + "H";
    if (IsMethyleneOf(name, names)) {
        const char digit = name.back() == '2' ? '1' : '2';
        return std::string(1, digit) + name.substr(0, name.size() - 1);
    }
    if (name.size() == 4) return name.substr(3) + name.substr(0, 3);
    return name;
}

std::string Charmm(const std::string& name, const std::set<std::string>& names) {
    if (name == "H") return "HN";
    if ((name == "H1" || name == "H2" || name == "H3") && names.count("H1")) return "HT" + name.substr(1);
    if (IsMethyleneOf(name, names)) return name.substr(0, name.size() - 1) + (name.back() == '2' ? "1" : "2");
    return name;
}

// The PDB text with every hydrogen renamed, residue by residue.
std::string RenameHydrogens(const std::string& pdb, const Renaming& rename) {
    std::istringstream in(pdb);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    auto isAtom = [](const std::string& l) {
        return (l.rfind("ATOM", 0) == 0 || l.rfind("HETATM", 0) == 0) && l.size() > 77;
    };
    auto trim = [](std::string s) {
        s.erase(0, s.find_first_not_of(' '));
        return s.substr(0, s.find_last_not_of(' ') + 1);
    };
    std::string out;
    for (std::size_t i = 0; i < lines.size();) {
        if (!isAtom(lines[i])) {
            out += lines[i++] + "\n";
            continue;
        }
        std::size_t end = i;
        std::set<std::string> names;
        while (end < lines.size() && isAtom(lines[end]) && lines[end].substr(17, 10) == lines[i].substr(17, 10))
            names.insert(trim(lines[end++].substr(12, 4)));
        for (; i < end; ++i) {
            std::string line = lines[i];
            if (trim(line.substr(76, 2)) == "H") {
                const std::string name = rename(trim(line.substr(12, 4)), names);
                std::string field =
                    name.size() >= 4 || std::isdigit(static_cast<unsigned char>(name[0])) ? name : " " + name;
                field.resize(4, ' ');
                line.replace(12, 4, field);
            }
            out += line + "\n";
        }
    }
    return out;
}

std::vector<std::string> AtomKeys(const Molecule& molecule) {
    std::vector<std::string> keys;
    for (const Atom* atom : ChemTest::Atoms(molecule))
        keys.push_back(atom->GetParent()->GetLabel() + ":" + atom->GetLabel());
    return keys;
}

std::vector<float> AmberCharges(const Molecule& molecule) {
    static const Voltra::TemplatePtr amber = ChemTest::ShippedTemplate("prot_amb.crg");
    std::vector<float> charges;
    for (const Atom* atom : ChemTest::Atoms(molecule)) {
        float value = 0;
        amber->Lookup(*atom, value);
        charges.push_back(value);
    }
    return charges;
}

struct ConventionCase {
    const char* name;
    Renaming rename;
    std::vector<const char*> expectedRenamings;  // some of what the report must say
};

class HydrogenConventions : public testing::TestWithParam<ConventionCase> {};

TEST_P(HydrogenConventions, 1A1P_ReadBackToCurrentNames) {
    const ConventionCase& c = GetParam();
    const std::string original = ChemTest::ReadText(ChemTest::CorpusPath("1A1P.pdb"));
    ChemDoc reference;
    const Molecule& expected = *HostIO::ReadStructureFromMemory(reference, original, "1A1P.pdb").molecule;

    const std::string renamed = RenameHydrogens(original, c.rename);
    ASSERT_NE(renamed, original);
    ChemDoc doc;
    const Molecule& molecule = *HostIO::ReadStructureFromMemory(doc, renamed, "1A1P.pdb").molecule;
    EXPECT_EQ(AtomKeys(molecule), AtomKeys(expected));
    EXPECT_EQ(AmberCharges(molecule), AmberCharges(expected));
    const PreparationReport& report = doc.GetPreparationReport();
    for (const char* renaming : c.expectedRenamings) EXPECT_TRUE(report.hydrogensRenamed.count(renaming)) << renaming;
    EXPECT_EQ(report.unknownHydrogens, reference.GetPreparationReport().unknownHydrogens);
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, HydrogenConventions,
    testing::Values(ConventionCase{"PdbV2", PdbV2, {"1HB -> HB2", "2HB -> HB3", "1H -> H1", "1HG2 -> HG21"}},
                    ConventionCase{"Charmm", Charmm, {"HN -> H", "HT1 -> H1", "HB1 -> HB2", "HG11 -> HG12"}}),
    [](const testing::TestParamInfo<ConventionCase>& info) { return info.param.name; });

// Amber and PDB2PQR name nucleic hydrogens H5'1/H5'2, H2'1/H2'2, HO'2 and the terminal
// hydroxyls H5T/H3T; older files spell primes '*'. Our own hydrogens on 1pfe's DNA, renamed so.
TEST(HydrogenConventions, 1pfe_NucleicNames) {
    ChemDoc doc;
    Molecule& molecule = *HostIO::ReadStructure(doc, ChemTest::CorpusPath("1pfe.cif.gz")).molecule;
    HostModel_Commands::CmdHydrogens add(HostModel_Commands::CmdHydrogens::AddHydrogens, Atom::AllHydrogens);
    ASSERT_TRUE(doc.Execute(add));
    const auto expected = AtomKeys(molecule);
    const std::map<std::string, std::string> amber = {{"H5'", "H5'1"},  {"H5''", "H5'2"}, {"H2'", "H2'1"},
                                                      {"H2''", "H2'2"}, {"HO5'", "H5T"},  {"HO3'", "H3T"}};
    std::size_t changed = 0;
    for (Residue* residue : ChemTest::Residues(molecule)) {
        if (!residue->IsA(Nucleotide::classType)) continue;
        for (Atom* atom : ChemTest::Atoms(*residue)) {
            const auto it = amber.find(atom->GetLabel());
            if (it == amber.end()) continue;
            std::string name = it->second;
            if (changed % 2) std::replace(name.begin(), name.end(), '\'', '*');
            atom->SetLabel(name);
            ++changed;
        }
    }
    ASSERT_GT(changed, 20u);
    HostModel_Commands::CmdNameHydrogens name;
    ASSERT_TRUE(doc.Execute(name));
    EXPECT_EQ(AtomKeys(molecule), expected);
    EXPECT_TRUE(doc.GetPreparationReport().hydrogensRenamed.count("H5T -> HO5'") ||
                doc.GetPreparationReport().hydrogensRenamed.count("H5T -> HO5'"));
    EXPECT_EQ(doc.GetPreparationReport().unknownHydrogens, std::vector<std::string>{});
}

// A hydrogen beyond what its heavy atom carries, and one bonded to nothing, keep their names
// and are listed; the others of the residue are still renamed.
TEST(HydrogenNaming, UnknownHydrogensKeptAndListed) {
    ChemDoc doc;
    Molecule& molecule = *HostIO::ReadStructure(doc, ChemTest::CorpusPath("1A1P.pdb")).molecule;
    Residue* residue = nullptr;
    for (Residue* r : ChemTest::Residues(molecule))
        if (r->GetLabel().rfind("CYS", 0) == 0) residue = r;  // its type may be a state (CYX)
    ASSERT_NE(residue, nullptr);
    Atom& extra = residue->Add(std::make_unique<Atom>("HQ", 1));
    Atom::Bond(*residue->FindAtom("CA"), extra);
    residue->Add(std::make_unique<Atom>("HZZ", 1));
    residue->FindAtom("H")->SetLabel("HN");
    PreparationReport report;
    HostChem::NameHydrogens(molecule, report);
    EXPECT_NE(residue->FindAtom("HQ"), nullptr);
    EXPECT_NE(residue->FindAtom("HZZ"), nullptr);
    EXPECT_NE(residue->FindAtom("H"), nullptr);
    ASSERT_EQ(report.unknownHydrogens.size(), 2u);
    EXPECT_NE(report.unknownHydrogens[0].find("HQ on CA"), std::string::npos) << report.unknownHydrogens[0];
    EXPECT_NE(report.unknownHydrogens[1].find("HZZ bonded to no heavy atom"), std::string::npos);
    EXPECT_EQ(report.hydrogensRenamed.at("HN -> H"), 1u);
}

}  // namespace

namespace {

// Hydrogen labels and the report after naming, for comparing two ways of naming one structure.
struct NamingResult {
    std::vector<std::string> labels;
    std::map<std::string, std::size_t> renamed;
    std::vector<std::string> unknown;
};

// 1A1P as read (hydrogens named), its hydrogens then renamed in turn the PDB v2 way, the CHARMM
// way, to a name too long to pack, or left, and named again.
NamingResult RenameAndName(bool newNamerPerResidue, int copies = 1) {
    // Copies side by side, 200 Å apart, each its own chain, for a structure large enough that
    // the look for misnamed hydrogens is split between two threads.
    const std::string original = ChemTest::ReadText(ChemTest::CorpusPath("1A1P.pdb"));
    std::string text = copies == 1 ? original : std::string();
    for (int copy = 0; copies > 1 && copy < copies; ++copy) {
        std::istringstream in(original);
        for (std::string line; std::getline(in, line);) {
            if ((line.rfind("ATOM", 0) != 0 && line.rfind("HETATM", 0) != 0) || line.size() < 54) continue;
            char x[16];
            std::snprintf(x, sizeof x, "%8.3f", std::stod(line.substr(30, 8)) + 200.0 * copy);
            line.replace(30, 8, x);
            line[21] = static_cast<char>('A' + copy);
            text += line + "\n";
        }
    }
    ChemDoc doc;
    Molecule& molecule = *HostIO::ReadStructureFromMemory(doc, text, "1A1P.pdb").molecule;
    int counter = 0;
    for (Residue* residue : ChemTest::Residues(molecule)) {
        std::set<std::string> names;
        for (const Atom* atom : ChemTest::Atoms(*residue)) names.insert(atom->GetLabel());
        for (Atom* atom : ChemTest::Atoms(*residue)) {
            if (atom->GetAtomicNumber() != 1) continue;
            const std::string& name = atom->GetLabel();
            switch (counter++ % 4) {
                case 0: atom->SetLabel(PdbV2(name, names)); break;
                case 1: atom->SetLabel(Charmm(name, names)); break;
                case 2: atom->SetLabel(name + "LONGNAME"); break;
                default: break;
            }
        }
    }
    PreparationReport report;
    if (newNamerPerResidue) {
        for (Residue* residue : ChemTest::Residues(molecule)) HostChem::HydrogenNamer().NameResidue(*residue, report);
    } else {
        HostChem::NameHydrogens(molecule, report);
    }
    return {AtomKeys(molecule), report.hydrogensRenamed, report.unknownHydrogens};
}

// A chain break whose N has a hydrogen of the residue before bonded to it, labelled C: whether
// the N is free depends on that label, which naming the residue before changes. The residue
// after is judged as it stands once the one before is named, as a walk residue by residue has it.
TEST(HydrogenNaming, NeighbourRenamedBeforeTheNextIsJudged) {
    auto build = [](Molecule& molecule) {
        auto& chain = molecule.Add(std::make_unique<AminoAcidChain>("A"));
        auto add = [](Residue& residue, const char* name, int z) -> Atom& {
            return residue.Add(std::make_unique<Atom>(name, z));
        };
        auto& gly = chain.Add(std::make_unique<AminoAcid>("GLY1", 1, "GLY"));
        Atom& glyCa = add(gly, "CA", 6);
        Atom::Bond(add(gly, "N", 7), glyCa);
        Atom& glyC = add(gly, "C", 6);
        Atom::Bond(glyCa, glyC);
        Atom::Bond(glyC, add(gly, "O", 8));
        Atom& stray = add(gly, "C", 1);  // a hydrogen, misnamed
        Atom::Bond(glyCa, stray);
        auto& ala = chain.Add(std::make_unique<AminoAcid>("ALA2", 2, "ALA"));
        Atom& n = add(ala, "N", 7);
        Atom& ca = add(ala, "CA", 6);
        Atom::Bond(n, ca);
        Atom::Bond(ca, add(ala, "CB", 6));
        Atom& c = add(ala, "C", 6);
        Atom::Bond(ca, c);
        Atom::Bond(c, add(ala, "O", 8));
        for (const char* h : {"H1", "H2", "H3"}) Atom::Bond(n, add(ala, h, 1));
        Atom::Bond(stray, n);
    };
    Molecule walked("walked"), named("named");
    build(walked);
    build(named);
    PreparationReport walkReport, namedReport;
    for (Residue* residue : ChemTest::Residues(walked)) HostChem::HydrogenNamer().NameResidue(*residue, walkReport);
    HostChem::NameHydrogens(named, namedReport);
    EXPECT_EQ(AtomKeys(named), AtomKeys(walked));
    EXPECT_EQ(namedReport.hydrogensRenamed, walkReport.hydrogensRenamed);
    EXPECT_EQ(namedReport.unknownHydrogens, walkReport.unknownHydrogens);
    // The stray hydrogen takes a glycine CA name; the alanine's N is then free and keeps H1-H3.
    EXPECT_EQ(namedReport.hydrogensRenamed.count("C -> HA2"), 1u);
    const Residue& ala = *ChemTest::Residues(named)[1];
    for (const char* h : {"H1", "H2", "H3"}) EXPECT_NE(ala.FindAtom(h), nullptr) << h;
}

}  // namespace

// What the namer remembers of one residue (its recipe, the names it allows) must not leak into
// the next: one namer over a whole structure names and reports as a new namer per residue does,
// with hydrogens of every convention and names too long to pack among them.
TEST(HydrogenNaming, OneNamerAcrossResiduesAgreesWithANewOnePerResidue) {
    const NamingResult shared = RenameAndName(false);
    const NamingResult fresh = RenameAndName(true);
    EXPECT_EQ(shared.labels, fresh.labels);
    EXPECT_EQ(shared.renamed, fresh.renamed);
    EXPECT_EQ(shared.unknown, fresh.unknown);
    EXPECT_FALSE(shared.renamed.empty());
    // Names too long to pack are compared as text, and renamed like the others.
    for (const std::string& label : shared.labels) EXPECT_EQ(label.find("LONGNAME"), std::string::npos) << label;
}

// Large enough for two threads to look for misnamed hydrogens: the renaming and the report come
// out as one walk's, in residue order.
TEST(HydrogenNaming, TwoThreadsNameAsOneWalkDoes) {
    const NamingResult shared = RenameAndName(false, 8);
    const NamingResult fresh = RenameAndName(true, 8);
    ASSERT_GT(shared.labels.size(), 8 * 2000u);
    EXPECT_FALSE(shared.renamed.empty());
    EXPECT_EQ(shared.labels, fresh.labels);
    EXPECT_EQ(shared.renamed, fresh.renamed);
    EXPECT_EQ(shared.unknown, fresh.unknown);
}
