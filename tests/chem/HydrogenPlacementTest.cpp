// Hydrogen placement on corpus structures: template matches for both hydrogen sets, nuclear
// X-H lengths, termini, protonation variants, links between residues, hydrogens kept.
#include "ChemTestSupport.h"

#include "HostModel_Commands/CmdHydrogens.h"
#include "chem/HydrogenPlacement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

using namespace HostModel;
using HostModel_Commands::CmdHydrogens;

Molecule& ReadCorpus(ChemDoc& doc, const std::string& name) {
    return *HostIO::ReadStructure(doc, ChemTest::CorpusPath(name)).molecule;
}

// A corpus file cut down to some residues of one chain (PDB text), read from memory.
Molecule& ReadResidues(ChemDoc& doc, const std::string& name, char chain, const std::set<int>& numbers) {
    std::istringstream in(ChemTest::ReadText(ChemTest::CorpusPath(name)));
    std::string text, line;
    while (std::getline(in, line))
        if (line.rfind("ATOM", 0) == 0 && line.size() > 26 && line[21] == chain && numbers.count(std::stoi(line.substr(22, 4))))
            text += line + "\n";
    return *HostIO::ReadStructureFromMemory(doc, text, name + ".pdb").molecule;
}

void AddHydrogens(ChemDoc& doc, Atom::HydrogenSet set) {
    CmdHydrogens add(CmdHydrogens::AddHydrogens, set);
    ASSERT_TRUE(doc.Execute(add));
}

std::set<std::string> HydrogensOf(const Residue& residue) {
    std::set<std::string> names;
    for (std::size_t i = 0; i < residue.GetNumChildren(); ++i) {
        const auto* atom = dynamic_cast<const Atom*>(residue.GetChild(i));
        if (atom && atom->GetAtomicNumber() == 1) names.insert(atom->GetLabel());
    }
    return names;
}

struct TemplateCase {
    const char* structure;
    Atom::HydrogenSet set;
    std::vector<const char*> charges;  // a match in any of them counts
    const char* radii;
};

class HydrogenSetsMatchTemplates : public testing::TestWithParam<TemplateCase> {};

// Every atom of a complete standard residue finds a charge (and, for PARSE, a radius) entry.
TEST_P(HydrogenSetsMatchTemplates, NoStandardAtomMissing) {
    const TemplateCase& c = GetParam();
    ChemDoc doc;
    Molecule& molecule = ReadCorpus(doc, c.structure);
    AddHydrogens(doc, c.set);
    std::vector<Voltra::TemplatePtr> charges;
    for (const char* file : c.charges) charges.push_back(ChemTest::ShippedTemplate(file));
    const Voltra::TemplatePtr radii = c.radii ? ChemTest::ShippedTemplate(c.radii) : nullptr;
    std::size_t checked = 0;
    std::vector<std::string> missing;
    for (Residue* residue : ChemTest::Residues(molecule)) {
        if (!ChemTest::IsStandardResidue(*residue) || !ChemTest::HasAllHeavyAtoms(*residue)) continue;
        for (std::size_t i = 0; i < residue->GetNumChildren(); ++i) {
            const auto* atom = dynamic_cast<const Atom*>(residue->GetChild(i));
            if (!atom) continue;
            ++checked;
            float value = 0;
            bool charged = false;
            for (const auto& t : charges) charged = charged || t->Lookup(*atom, value) != "Missing";
            const bool sized = !radii || radii->Lookup(*atom, value) != "Missing";
            if (!charged || !sized) missing.push_back(residue->GetLabel() + ":" + atom->GetLabel());
        }
    }
    EXPECT_GT(checked, 100u);
    EXPECT_EQ(missing, std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, HydrogenSetsMatchTemplates,
    testing::Values(TemplateCase{"1AFS.pdb", Atom::AllHydrogens, {"prot_amb.crg"}, nullptr},
                    TemplateCase{"1AFS.pdb", Atom::ElectrostaticHydrogens, {"parseres.crg"}, "parseres.siz"},
                    TemplateCase{"1QBS.pdb", Atom::AllHydrogens, {"prot_amb.crg"}, nullptr},
                    TemplateCase{"1QBS.pdb", Atom::ElectrostaticHydrogens, {"parseres.crg"}, "parseres.siz"},
                    TemplateCase{"1AJJ.pdb", Atom::AllHydrogens, {"prot_amb.crg"}, nullptr},
                    TemplateCase{"1AJJ.pdb", Atom::ElectrostaticHydrogens, {"parseres.crg"}, "parseres.siz"},
                    TemplateCase{"1pfe.cif.gz", Atom::AllHydrogens, {"prot_amb.crg", "nuca_amb.crg"}, nullptr}),
    [](const testing::TestParamInfo<TemplateCase>& info) {
        std::string name = info.param.structure;
        name = name.substr(0, name.find('.'));
        return name + (info.param.set == Atom::AllHydrogens ? "_Amber" : "_Parse");
    });

TEST(HydrogenPlacement, AddedLengthsAreNuclear) {
    ChemDoc doc;
    Molecule& molecule = ReadCorpus(doc, "1AFS.pdb");
    AddHydrogens(doc, Atom::AllHydrogens);
    const std::map<int, double> nuclear = {{6, 1.09}, {7, 1.01}, {8, 0.96}, {16, 1.34}};
    std::size_t checked = 0;
    for (const Atom* atom : ChemTest::Atoms(molecule)) {
        if (atom->GetAtomicNumber() != 1) continue;
        ASSERT_EQ(atom->GetBonds().size(), 1u) << atom->GetParent()->GetLabel() << ":" << atom->GetLabel();
        const Atom& parent = *atom->GetBonds()[0];
        const auto it = nuclear.find(parent.GetAtomicNumber());
        if (it == nuclear.end()) continue;
        const Vec3 a = atom->GetPosition(), b = parent.GetPosition();
        const double length = std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
        EXPECT_NEAR(length, it->second, 0.02) << atom->GetParent()->GetLabel() << ":" << atom->GetLabel();
        ++checked;
    }
    EXPECT_GT(checked, 5000u);
    EXPECT_GT(doc.GetPreparationReport().hydrogensAdded.at("ALA"), 100u);
}

// PARSE gives aliphatic C-H charge 0 and radius 0: leaving them out changes no residue charge.
TEST(HydrogenPlacement, ParseSetKeepsEveryParseCharge) {
    const Voltra::TemplatePtr parse = ChemTest::ShippedTemplate("parseres.crg");
    auto netCharge = [&](Atom::HydrogenSet set, std::size_t& atoms) {
        ChemDoc doc;
        Molecule& molecule = ReadCorpus(doc, "1QBS.pdb");
        AddHydrogens(doc, set);
        double sum = 0;
        atoms = 0;
        for (const Atom* atom : ChemTest::Atoms(molecule)) {
            float value = 0;
            if (parse->Lookup(*atom, value) != "Missing") sum += value;
            ++atoms;
        }
        return sum;
    };
    std::size_t allAtoms = 0, parseAtoms = 0;
    const double all = netCharge(Atom::AllHydrogens, allAtoms);
    const double electrostatic = netCharge(Atom::ElectrostaticHydrogens, parseAtoms);
    EXPECT_NEAR(all, electrostatic, 1e-3);
    EXPECT_LT(parseAtoms, allAtoms * 3 / 4);
}

TEST(HydrogenPlacement, TerminiFromTheChainsBonds) {
    ChemDoc doc;
    // 1QBS chain A starts with PRO1; residue 3 follows 2; 10 stands alone after a gap.
    Molecule& molecule = ReadResidues(doc, "1QBS.pdb", 'A', {1, 2, 3, 10});
    AddHydrogens(doc, Atom::AllHydrogens);
    const auto residues = ChemTest::Residues(molecule);
    ASSERT_EQ(residues.size(), 4u);
    std::map<std::string, std::set<std::string>> nitrogenHydrogens;
    for (Residue* residue : residues) {
        std::set<std::string> onN;
        for (const Atom* partner : ChemTest::FindAtom(*residue, "N")->GetBonds())
            if (partner->GetAtomicNumber() == 1) onN.insert(partner->GetLabel());
        nitrogenHydrogens[residue->GetLabel()] = onN;
    }
    EXPECT_EQ(nitrogenHydrogens[residues[0]->GetLabel()], (std::set<std::string>{"H2", "H3"})) << "proline N-terminus";
    EXPECT_EQ(nitrogenHydrogens[residues[1]->GetLabel()], (std::set<std::string>{"H"}));
    EXPECT_EQ(nitrogenHydrogens[residues[3]->GetLabel()], (std::set<std::string>{"H1", "H2", "H3"})) << "after a gap";
}

// The peptide H lies in the plane of C(-1), N and CA, opposite the bisector of the two bonds.
TEST(HydrogenPlacement, PeptideHydrogenInThePeptidePlane) {
    ChemDoc doc;
    Molecule& molecule = ReadResidues(doc, "1QBS.pdb", 'A', {1, 2});
    AddHydrogens(doc, Atom::AllHydrogens);
    const auto residues = ChemTest::Residues(molecule);
    const Atom* h = ChemTest::FindAtom(*residues[1], "H");
    ASSERT_NE(h, nullptr);
    auto v = [](const Atom* from, const Atom* to) {
        const Vec3 a = from->GetPosition(), b = to->GetPosition();
        return Vec3{b.x - a.x, b.y - a.y, b.z - a.z};
    };
    const Atom* n = ChemTest::FindAtom(*residues[1], "N");
    const Vec3 toCa = v(n, ChemTest::FindAtom(*residues[1], "CA")), toC = v(n, ChemTest::FindAtom(*residues[0], "C"));
    const Vec3 toH = v(n, h);
    const Vec3 normal{toCa.y * toC.z - toCa.z * toC.y, toCa.z * toC.x - toCa.x * toC.z, toCa.x * toC.y - toCa.y * toC.x};
    const double out = (normal.x * toH.x + normal.y * toH.y + normal.z * toH.z) /
                       std::sqrt(normal.x * normal.x + normal.y * normal.y + normal.z * normal.z);
    EXPECT_NEAR(out, 0.0, 0.05);
    const double along = toH.x * (toCa.x + toC.x) + toH.y * (toCa.y + toC.y) + toH.z * (toCa.z + toC.z);
    EXPECT_LT(along, 0.0);
}

struct VariantCase {
    const char* parent;
    const char* variant;
    std::vector<const char*> present;
    std::vector<const char*> absent;
};

class ProtonationVariants : public testing::TestWithParam<VariantCase> {};

TEST_P(ProtonationVariants, HydrogensFollowTheTypeName) {
    const VariantCase& c = GetParam();
    ChemDoc doc;
    Molecule& molecule = ReadCorpus(doc, "1AFS.pdb");
    std::vector<Residue*> chosen;
    for (Residue* residue : ChemTest::Residues(molecule))
        if (residue->GetResidueType() == c.parent && ChemTest::HasAllHeavyAtoms(*residue)) {
            residue->SetResidueType(c.variant);
            chosen.push_back(residue);
        }
    ASSERT_FALSE(chosen.empty());
    HostChem::AddMissingHydrogens(molecule, Atom::AllHydrogens, doc.GetPreparationReport());
    for (const Residue* residue : chosen) {
        const auto names = HydrogensOf(*residue);
        for (const char* h : c.present) EXPECT_TRUE(names.count(h)) << residue->GetLabel() << " " << c.variant << " lacks " << h;
        for (const char* h : c.absent) EXPECT_FALSE(names.count(h)) << residue->GetLabel() << " " << c.variant << " has " << h;
    }
}

INSTANTIATE_TEST_SUITE_P(Templates, ProtonationVariants,
                         testing::Values(VariantCase{"HIS", "HID", {"HD1", "HD2", "HE1"}, {"HE2"}},
                                         VariantCase{"HIS", "HIE", {"HE2", "HD2", "HE1"}, {"HD1"}},
                                         VariantCase{"HIS", "HIS", {"HE2"}, {"HD1"}},
                                         VariantCase{"HIS", "HIP", {"HD1", "HE2"}, {}},
                                         VariantCase{"CYS", "CYM", {"HB2", "HB3"}, {"HG"}},
                                         VariantCase{"ASP", "ASH", {"HD2"}, {}},
                                         VariantCase{"ASP", "ASP", {"HB2"}, {"HD2"}},
                                         VariantCase{"GLU", "GLH", {"HE2"}, {}},
                                         VariantCase{"LYS", "LYN", {"HZ2", "HZ3"}, {"HZ1"}},
                                         VariantCase{"LYS", "LYS", {"HZ1", "HZ2", "HZ3"}, {}}),
                         [](const testing::TestParamInfo<VariantCase>& info) {
                             return std::string(info.param.parent) + "_" + info.param.variant;
                         });

// A disulfide SG and a linked O3' have no hydrogen; chain ends have HO5' and HO3'.
TEST(HydrogenPlacement, LinksBetweenResiduesTakeHydrogens) {
    ChemDoc doc;
    Molecule& protein = ReadCorpus(doc, "1AJJ.pdb");
    AddHydrogens(doc, Atom::AllHydrogens);
    std::size_t bridged = 0;
    for (Residue* residue : ChemTest::Residues(protein))
        // The protonation step names bridged cysteines CYX; the bond decides here, not the name.
        if (residue->GetResidueType() == "CYS" || residue->GetResidueType() == "CYX") {
            const Atom* sg = ChemTest::FindAtom(*residue, "SG");
            const bool linked = std::any_of(sg->GetBonds().begin(), sg->GetBonds().end(),
                                            [](const Atom* a) { return a->GetLabel() == "SG"; });
            bridged += linked;
            EXPECT_EQ(HydrogensOf(*residue).count("HG"), linked ? 0u : 1u) << residue->GetLabel();
        }
    EXPECT_GE(bridged, 2u);

    ChemDoc nucleic;
    Molecule& dna = ReadCorpus(nucleic, "1pfe.cif.gz");
    AddHydrogens(nucleic, Atom::AllHydrogens);
    std::size_t fivePrime = 0, threePrime = 0;
    for (Residue* residue : ChemTest::Residues(dna)) {
        if (!residue->IsA(Nucleotide::classType) || !ChemTest::FindAtom(*residue, "O3'")) continue;
        const auto names = HydrogensOf(*residue);
        const Atom* o3 = ChemTest::FindAtom(*residue, "O3'");
        const bool linked = std::any_of(o3->GetBonds().begin(), o3->GetBonds().end(),
                                        [](const Atom* a) { return a->GetLabel() == "P"; });
        EXPECT_EQ(names.count("HO3'"), linked ? 0u : 1u) << residue->GetLabel();
        EXPECT_EQ(names.count("HO5'"), ChemTest::FindAtom(*residue, "P") ? 0u : 1u) << residue->GetLabel();
        fivePrime += names.count("HO5'");
        threePrime += names.count("HO3'");
    }
    EXPECT_GE(fivePrime, 1u);
    EXPECT_GE(threePrime, 1u);
}

// 1A1P is an NMR entry with all its hydrogens: nothing to add, nothing duplicated; a second
// run on our own result adds nothing either.
TEST(HydrogenPlacement, PresentHydrogensAreKept) {
    ChemDoc doc;
    Molecule& molecule = ReadCorpus(doc, "1A1P.pdb");
    const std::size_t before = ChemTest::HydrogenCount(molecule);
    ASSERT_GE(before, 100u);
    AddHydrogens(doc, Atom::AllHydrogens);
    std::size_t added = 0;
    for (const auto& entry : doc.GetPreparationReport().hydrogensAdded) added += entry.second;
    EXPECT_EQ(ChemTest::HydrogenCount(molecule), before + added);
    for (Residue* residue : ChemTest::Residues(molecule)) {
        std::multiset<std::string> labels;
        for (std::size_t i = 0; i < residue->GetNumChildren(); ++i) labels.insert(residue->GetChild(i)->GetLabel());
        for (const std::string& label : labels) EXPECT_EQ(labels.count(label), 1u) << residue->GetLabel() << ":" << label;
    }
    ChemDoc crystal;
    Molecule& other = ReadCorpus(crystal, "1QBS.pdb");
    AddHydrogens(crystal, Atom::AllHydrogens);
    const std::size_t once = ChemTest::HydrogenCount(other);
    const auto revision = crystal.GetChemistryRevision();
    AddHydrogens(crystal, Atom::AllHydrogens);
    EXPECT_EQ(ChemTest::HydrogenCount(other), once);
    EXPECT_EQ(crystal.GetChemistryRevision(), revision);
}

}  // namespace
