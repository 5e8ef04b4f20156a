// The preparation after a read, done in two walks, against its four steps run one after another
// on the whole molecule: the same tree (names, states, atoms built, bonds) and the same report,
// lists in the same order. Inputs are corpus structures as read, and the same rewritten into
// other conventions, with atoms taken away, names too long to pack and atoms twice. The same
// inputs, and one large enough for the default threshold, prepared on two threads against one.
#include "ChemTestSupport.h"

#include "HostModel/PreparationReport.h"
#include "chem/HydrogenNaming.h"
#include "chem/MonomerLibrary.h"
#include "chem/ResidueCompletion.h"
#include "chem/ResidueConventions.h"
#include "chem/ResidueAtoms.h"
#include "chem/StructurePreparation.h"
#include "io/GemmiStructureReader.h"
#include "io/InputBytes.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

using HostModel::Atom;
using HostModel::Molecule;
using HostModel::PreparationReport;
using HostModel::Residue;

// The molecule of a structure's text as the reader builds it, before any preparation.
std::unique_ptr<Molecule> UnpreparedMolecule(std::string text, const std::string& path) {
    const HostIO::StructureFormat format = HostIO::DetectStructureFormat(text, path);
    HostIO::GemmiModelRead read = HostIO::ReadGemmiModel(std::move(text), path, format, HostIO::ReadOptions(), "test");
    return std::move(read.model.built.molecule);
}

std::unique_ptr<Molecule> UnpreparedMolecule(const std::string& file) {
    const std::string path = ChemTest::CorpusPath(file);
    return UnpreparedMolecule(HostIO::ReadInputBytes(path).text, path);
}

void StepsOneAfterAnother(Molecule& molecule, PreparationReport& report, bool complete) {
    HostChem::MapResidueNamesToPdb(molecule, report);
    HostChem::NameHydrogens(molecule, report);
    HostChem::ReadStatesFromHydrogens(molecule, report);
    if (complete) HostChem::CompleteMissingHeavyAtoms(molecule, report);
}

// Everything the preparation may change, one line per object; bonds by the partners' places in
// the walk, so that a bond to the wrong atom of the same name shows.
std::string Dump(const Molecule& molecule) {
    std::map<const Atom*, std::size_t> ordinal;
    for (const Atom* atom : ChemTest::Atoms(molecule)) ordinal.emplace(atom, ordinal.size());
    std::string text;
    std::function<void(const HostModel::Object&, int)> visit = [&](const HostModel::Object& object, int depth) {
        text += std::string(static_cast<std::size_t>(depth) * 2, ' ') + object.GetClassType()->name + " '" +
                object.GetLabel() + "'";
        if (object.IsA(Residue::classType)) text += " type " + static_cast<const Residue&>(object).GetResidueType();
        if (object.IsA(Atom::classType)) {
            const auto& atom = static_cast<const Atom&>(object);
            char position[96];
            std::snprintf(position, sizeof position, " Z%d %.9g %.9g %.9g bonds", atom.GetAtomicNumber(),
                          atom.GetPosition().x, atom.GetPosition().y, atom.GetPosition().z);
            text += position;
            for (const Atom* partner : atom.GetBonds()) text += " " + std::to_string(ordinal.at(partner));
        }
        text += "\n";
        for (std::size_t i = 0; i < object.GetNumChildren(); ++i) visit(*object.GetChild(i), depth + 1);
    };
    visit(molecule, 0);
    return text;
}

std::string Text(const PreparationReport& report) {
    std::string text;
    auto counts = [&](const char* what, const std::map<std::string, std::size_t>& map) {
        for (const auto& [key, count] : map) text += std::string(what) + " " + key + " x" + std::to_string(count) + "\n";
    };
    auto lines = [&](const char* what, const std::vector<std::string>& list) {
        for (const std::string& line : list) text += std::string(what) + " " + line + "\n";
    };
    counts("mapped", report.namesMapped);
    counts("state", report.statesFromHydrogens);
    counts("chosen", report.statesChosen);
    counts("completed", report.atomsCompleted);
    lines("incomplete", report.residuesLeftIncomplete);
    counts("added", report.hydrogensAdded);
    lines("not placed", report.hydrogensNotPlaced);
    counts("renamed", report.hydrogensRenamed);
    lines("unknown", report.unknownHydrogens);
    lines("warning", report.warnings);
    return text;
}

void ForEachResidue(Molecule& molecule, const std::function<void(Residue&)>& f) {
    for (Residue* residue : ChemTest::Residues(molecule)) f(*residue);
}

void RemoveAtoms(Residue& residue, const std::function<bool(const Atom&)>& remove) {
    for (Atom* atom : ChemTest::Atoms(residue))
        if (remove(*atom)) residue.RemoveChild(*atom);
}

void AddAtom(Residue& residue, const std::string& name, int z, const HostModel::Vec3& position) {
    auto atom = std::make_unique<Atom>(name, z);
    atom->SetPosition(position);
    residue.Add(std::move(atom));
}

// Older PDB files and Amber: bases without the sugar's letter, '*' for primes, O1P, C5M, WAT.
void OldNucleicConventions(Molecule& molecule) {
    const std::map<std::string, std::string> bases = {{"DA", "A"}, {"DC", "CYT"}, {"DG", "G"}, {"DT", "THY"}};
    const std::map<std::string, std::string> atoms = {{"OP1", "O1P"}, {"OP2", "O2P"}, {"C7", "C5M"}};
    int nucleotide = 0;
    ForEachResidue(molecule, [&](Residue& residue) {
        if (residue.GetResidueType() == "HOH") {
            residue.SetResidueType("WAT");
            for (Atom* atom : ChemTest::Atoms(residue))
                if (atom->GetLabel() == "O") atom->SetLabel("OH2");
            return;
        }
        const auto base = bases.find(residue.GetResidueType());
        if (base == bases.end()) return;
        residue.SetResidueType(base->second);
        for (Atom* atom : ChemTest::Atoms(residue)) {
            std::string name = atom->GetLabel();
            for (char& c : name)
                if (c == '\'') c = '*';
            if (const auto renamed = atoms.find(name); renamed != atoms.end()) name = renamed->second;
            atom->SetLabel(name);
        }
        ++nucleotide;
        // A lost phosphate inside a strand, a base atom to build, a name no monomer has.
        if (nucleotide == 3) RemoveAtoms(residue, [](const Atom& a) { return a.GetLabel() == "P"; });
        if (nucleotide == 5) RemoveAtoms(residue, [](const Atom& a) { return a.GetLabel() == "N1"; });
        if (nucleotide == 7) {
            AddAtom(residue, "O5LONGER", 8, {1, 2, 3});
            RemoveAtoms(residue, [](const Atom& a) { return a.GetLabel() == "N1"; });
        }
    });
}

// PDB v2 hydrogens (digit first), CHARMM's histidine, Amber's bridged cysteine spelling; side
// chains cut, their hydrogens left bonded to nothing.
void OldProteinConventions(Molecule& molecule) {
    int arginine = 0;
    ForEachResidue(molecule, [&](Residue& residue) {
        for (Atom* atom : ChemTest::Atoms(residue)) {
            const std::string& name = atom->GetLabel();
            if (atom->GetAtomicNumber() == 1 && name.size() >= 3 && std::isdigit(static_cast<unsigned char>(name.back())))
                atom->SetLabel(name.back() + name.substr(0, name.size() - 1));
        }
        if (residue.GetResidueType() == "HIS") residue.SetResidueType("HSD");
        if (residue.GetResidueType() == "CYS") residue.SetResidueType("CYS2");
        if (residue.GetResidueType() == "ARG" && ++arginine % 2 == 1)
            RemoveAtoms(residue, [](const Atom& a) { return a.GetLabel() == "CZ" || a.GetLabel() == "NH1"; });
    });
}

// A ligand whose name is too long to pack, an atom read twice, a lysine cut short.
void OddNames(Molecule& molecule) {
    bool doubled = false;
    ForEachResidue(molecule, [&](Residue& residue) {
        if (residue.GetResidueType() == "SO4") residue.SetResidueType("SULFATE1");
        if (!doubled && residue.GetResidueType() == "VAL") {
            const Atom* cb = residue.FindAtom("CB");
            AddAtom(residue, "CB", 6, cb->GetPosition());
            doubled = true;
        }
        if (residue.GetResidueType() == "LYS")
            RemoveAtoms(residue, [](const Atom& a) { return a.GetLabel() == "CE"; });
    });
}

struct Case {
    const char* name;
    const char* file;
    std::function<void(Molecule&)> rewrite;
    bool complete;
};

class PreparationWalks : public ::testing::TestWithParam<Case> {};

TEST_P(PreparationWalks, SameTreeAndReportAsTheStepsOneAfterAnother) {
    if (!HostChem::SharedMonomerLibrary().IsAvailable())
        GTEST_SKIP() << "the monomer library (refmac-dictionary) is not installed";
    const Case& c = GetParam();
    std::unique_ptr<Molecule> walked = UnpreparedMolecule(c.file);
    std::unique_ptr<Molecule> stepped = UnpreparedMolecule(c.file);
    if (c.rewrite) c.rewrite(*walked), c.rewrite(*stepped);
    ASSERT_EQ(Dump(*walked), Dump(*stepped));

    PreparationReport walkedReport, steppedReport;
    HostChem::PreparationOptions options;
    options.completeMissingAtoms = c.complete;
    HostChem::PrepareReadMolecule(*walked, walkedReport, options);
    StepsOneAfterAnother(*stepped, steppedReport, c.complete);

    EXPECT_EQ(Text(walkedReport), Text(steppedReport));
    EXPECT_EQ(Dump(*walked), Dump(*stepped));
}

const Case kCases[] = {
    {"NmrWithHydrogens", "1A1P.pdb", nullptr, true},
    {"NmrInOlderConventions", "1A1P.pdb", OldProteinConventions, true},
    {"NmrInOlderConventionsNotCompleted", "1A1P.pdb", OldProteinConventions, false},
    {"CyclicPeptideWithHydrogens", "5vav_cyclic_peptide.pdb", OldProteinConventions, true},
    {"DnaAsRead", "1pfe.cif.gz", nullptr, true},
    {"DnaInOlderConventions", "1pfe.cif.gz", OldNucleicConventions, true},
    {"MissingSideChains", "1BX8.pdb", nullptr, true},
    {"OddNames", "1BX8.pdb", OddNames, true},
    {"TwoChainsLigandAndWaters", "1AFS.pdb", nullptr, true},
    {"ChainEndingInHistidine", "cterm_hid.pdb", nullptr, true},
    {"MmcifProtein", "9X2O.cif", OddNames, true},
};

INSTANTIATE_TEST_SUITE_P(Corpus, PreparationWalks, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// The rewritten inputs reach the parts of the preparation they are meant for; else the
// comparison above proves little.
TEST(PreparationWalks, RewrittenInputsExerciseEveryStep) {
    if (!HostChem::SharedMonomerLibrary().IsAvailable())
        GTEST_SKIP() << "the monomer library (refmac-dictionary) is not installed";
    HostChem::PreparationOptions options;

    PreparationReport protein;
    std::unique_ptr<Molecule> nmr = UnpreparedMolecule("1A1P.pdb");
    OldProteinConventions(*nmr);
    HostChem::PrepareReadMolecule(*nmr, protein, options);
    EXPECT_TRUE(protein.namesMapped.count("HSD -> HID") || protein.namesMapped.count("CYS2 -> CYX"));
    EXPECT_FALSE(protein.hydrogensRenamed.empty());
    EXPECT_FALSE(protein.unknownHydrogens.empty());
    EXPECT_FALSE(protein.statesFromHydrogens.empty());
    EXPECT_EQ(protein.atomsCompleted.count("ARG"), 1u);

    PreparationReport nucleic;
    std::unique_ptr<Molecule> dna = UnpreparedMolecule("1pfe.cif.gz");
    OldNucleicConventions(*dna);
    HostChem::PrepareReadMolecule(*dna, nucleic, options);
    EXPECT_TRUE(nucleic.namesMapped.count("A -> DA"));
    EXPECT_TRUE(nucleic.namesMapped.count("O1P -> OP1"));
    EXPECT_TRUE(nucleic.namesMapped.count("WAT -> HOH"));
    EXPECT_TRUE(nucleic.namesMapped.count("OH2 -> O"));
    EXPECT_FALSE(nucleic.atomsCompleted.empty());
    ASSERT_GE(nucleic.residuesLeftIncomplete.size(), 2u);
    bool gap = false, foreign = false;
    for (const std::string& line : nucleic.residuesLeftIncomplete) {
        gap = gap || line.find("no phosphate between") != std::string::npos;
        foreign = foreign || line.find("O5LONGER") != std::string::npos;
    }
    EXPECT_TRUE(gap);
    EXPECT_TRUE(foreign);
}

// ---------------------------------------------------------------------------------------------
// Two threads against one

constexpr std::size_t kOneThread = SIZE_MAX;

struct Prepared {
    std::string tree;
    std::string report;
};

Prepared Prepare(const std::function<std::unique_ptr<Molecule>()>& read, bool complete, std::size_t worthASecondThread) {
    std::unique_ptr<Molecule> molecule = read();
    PreparationReport report;
    HostChem::PreparationOptions options;
    options.completeMissingAtoms = complete;
    HostChem::PrepareReadMolecule(*molecule, report, options, worthASecondThread);
    return {Dump(*molecule), Text(report)};
}

class PreparationOnTwoThreads : public ::testing::TestWithParam<Case> {};

// Every corpus case split from two residues on: the halves meet mapped names, renamed
// hydrogens and residues to complete on either side of the split.
TEST_P(PreparationOnTwoThreads, SameTreeAndReportAsOneThread) {
    if (!HostChem::SharedMonomerLibrary().IsAvailable())
        GTEST_SKIP() << "the monomer library (refmac-dictionary) is not installed";
    const Case& c = GetParam();
    auto read = [&] {
        std::unique_ptr<Molecule> molecule = UnpreparedMolecule(c.file);
        if (c.rewrite) c.rewrite(*molecule);
        return molecule;
    };
    const Prepared one = Prepare(read, c.complete, kOneThread);
    const Prepared two = Prepare(read, c.complete, 2);
    EXPECT_EQ(two.report, one.report);
    EXPECT_EQ(two.tree, one.tree);
}

INSTANTIATE_TEST_SUITE_P(Corpus, PreparationOnTwoThreads, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// The first model of 1A1P (hydrogens and all) copied copies times, each copy its own chain and
// place, so that no bond joins two copies.
std::string TiledFirstModel(const std::string& file, int copies) {
    static const char kChains[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const int chains = static_cast<int>(sizeof kChains - 1);
    std::vector<std::string> model;
    std::istringstream in(ChemTest::ReadText(ChemTest::CorpusPath(file)));
    for (std::string line; std::getline(in, line) && line.rfind("ENDMDL", 0) != 0;)
        if (line.rfind("ATOM", 0) == 0 && line.size() >= 54) model.push_back(line);
    std::string text;
    for (int copy = 0; copy < copies; ++copy) {
        for (std::string line : model) {
            char field[16];
            std::snprintf(field, sizeof field, "%8.3f", std::stod(line.substr(30, 8)) + 60.0 * (copy % 40));
            line.replace(30, 8, field);
            std::snprintf(field, sizeof field, "%8.3f", std::stod(line.substr(38, 8)) + 60.0 * (copy / 40));
            line.replace(38, 8, field);
            line[21] = kChains[copy % chains];
            std::snprintf(field, sizeof field, "%4d", std::stoi(line.substr(22, 4)) + 100 * (copy / chains));
            line.replace(22, 4, field);
            text += line + "\n";
        }
    }
    return text;
}

// Large enough for the default threshold: renamed residues, hydrogens renamed and unknown,
// side chains to build, in every copy and so in both halves.
TEST(PreparationOnTwoThreads, LargeTiledStructureInOlderConventionsAsOnOneThread) {
    if (!HostChem::SharedMonomerLibrary().IsAvailable())
        GTEST_SKIP() << "the monomer library (refmac-dictionary) is not installed";
    const std::string text = TiledFirstModel("1A1P.pdb", 200);
    auto read = [&] {
        std::unique_ptr<Molecule> molecule = UnpreparedMolecule(text, "tiled_1A1P.pdb");
        OldProteinConventions(*molecule);
        OddNames(*molecule);
        return molecule;
    };
    ASSERT_GE(ChemTest::Residues(*read()).size(), HostChem::kResiduesWorthASecondThread);
    const Prepared one = Prepare(read, true, kOneThread);
    const Prepared two = Prepare(read, true, HostChem::kResiduesWorthASecondThread);
    EXPECT_EQ(two.report, one.report);
    EXPECT_EQ(two.tree, one.tree);
    for (const char* what : {"mapped HSD -> HID", "renamed ", "unknown ", "completed ARG", "state "})
        EXPECT_NE(one.report.find(what), std::string::npos) << what;
}

// A hydrogen of one residue labelled C and bonded to the next residue's N, in place of the
// peptide bond: renamed, it leaves that N free, which changes how the next residue's hydrogens
// are named. The look on two threads saw the old label; the walk must name what follows again.
TEST(PreparationOnTwoThreads, HydrogenLabelledCOnTheNextResiduesNAsOnOneThread) {
    if (!HostChem::SharedMonomerLibrary().IsAvailable())
        GTEST_SKIP() << "the monomer library (refmac-dictionary) is not installed";
    auto read = [] {
        std::unique_ptr<Molecule> molecule = UnpreparedMolecule("1A1P.pdb");
        const std::vector<Residue*> residues = ChemTest::Residues(*molecule);
        Residue& before = *residues.at(5);
        Atom* n = residues.at(6)->FindAtom("N");
        Atom* c = before.FindAtom("C");
        Atom* ha = before.FindAtom("HA");
        if (!n || !c || !ha) throw std::runtime_error("1A1P: residues 6 and 7 lack N, C or HA");
        Atom::Unbond(*c, *n);
        ha->SetLabel("C");
        Atom::Bond(*ha, *n);
        return molecule;
    };
    const Prepared one = Prepare(read, true, kOneThread);
    const Prepared two = Prepare(read, true, 2);
    ASSERT_NE(one.report.find("renamed C -> HA"), std::string::npos) << one.report;
    EXPECT_EQ(two.report, one.report);
    EXPECT_EQ(two.tree, one.tree);
}

// Names of atoms alone in older conventions, residue names kept: O1P and primes as '*' on every
// other nucleotide, CHARMM's OH2 on every other water.
void OldAtomNamesOnly(Molecule& molecule) {
    int nucleotide = 0, water = 0;
    ForEachResidue(molecule, [&](Residue& residue) {
        const bool isWater = residue.GetResidueType() == "HOH";
        if (isWater ? water++ % 2 : !residue.IsA(HostModel::Nucleotide::classType) || nucleotide++ % 2) return;
        for (Atom* atom : ChemTest::Atoms(residue)) {
            std::string name = atom->GetLabel();
            if (isWater && name == "O") name = "OH2";
            if (name == "OP1") name = "O1P";
            if (name == "C4'") name = "C4*";
            atom->SetLabel(name);
        }
    });
}

// The look on two threads asks the mapper whether it would change a residue; the answer must be
// what mapping it then does.
TEST(ResidueNameMapper, ChangesWhatMapChanges) {
    std::size_t changed = 0, kept = 0;
    for (const auto& [file, rewrite] : std::vector<std::pair<const char*, void (*)(Molecule&)>>{
             {"1pfe.cif.gz", OldNucleicConventions},
             {"1pfe.cif.gz", OldAtomNamesOnly},
             {"1A1P.pdb", OldProteinConventions},
             {"1pfe.cif.gz", nullptr}}) {
        std::unique_ptr<Molecule> molecule = UnpreparedMolecule(file);
        if (rewrite) rewrite(*molecule);
        HostChem::ResidueNameMapper looking, mapping;
        PreparationReport report;
        for (Residue* residue : ChemTest::Residues(*molecule)) {
            const bool changes = looking.Changes(*residue);
            const std::string before = Dump(*molecule);
            mapping.Map(*residue, report);
            EXPECT_EQ(changes, Dump(*molecule) != before) << file << " " << residue->GetLabel();
            ++(changes ? changed : kept);
        }
    }
    EXPECT_GT(changed, 10u);
    EXPECT_GT(kept, 10u);
}

}  // namespace
