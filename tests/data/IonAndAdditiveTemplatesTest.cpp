// Ions and crystallisation additives in the shipped template data: every charge set gives each
// of them its formal charge, every radius set a radius of its own, and the real structures of the
// corpus that carry them (calcium, chloride, sulfate) come out of all three commands without an
// atom left Missing and with each ion or additive at its formal charge.
#include "commands/CmdApplyAmberPlusDefaultTemplates.h"
#include "commands/CmdApplyDefaultTemplates.h"
#include "commands/CmdApplyParseTemplates.h"
#include "templates/Template.h"
#include "templates/TemplateFileIO.h"

#include "Common/Path.h"
#include "Common/StringConversion.h"
#include "HostModel/Atom.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/Molecule.h"
#include "HostModel/Residue.h"
#include "Persistence/Persistence.h"
#include "io/StructureReader.h"

#include "support/SourceTemplates.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace {

// The formal charges of the wwPDB chemical components (the charge each deposited residue
// carries), with the element of the single-atom ions.
struct Component {
    const char* code;
    int formalCharge;
    const char* ionElement;  // nullptr for a polyatomic additive
};

const Component kComponents[] = {
    {"NA", 1, "Na"},      {"K", 1, "K"},       {"CL", -1, "Cl"},    {"CA", 2, "Ca"},      {"MG", 2, "Mg"},
    {"ZN", 2, "Zn"},      {"MN", 2, "Mn"},     {"FE", 3, "Fe"},     {"FE2", 2, "Fe"},     {"LI", 1, "Li"},
    {"RB", 1, "Rb"},      {"CS", 1, "Cs"},     {"SR", 2, "Sr"},     {"BA", 2, "Ba"},      {"CO", 2, "Co"},
    {"NI", 2, "Ni"},      {"CU1", 1, "Cu"},    {"CU", 2, "Cu"},     {"CD", 2, "Cd"},      {"HG", 2, "Hg"},
    {"F", -1, "F"},       {"BR", -1, "Br"},    {"IOD", -1, "I"},    {"SO4", -2, nullptr}, {"PO4", -3, nullptr},
    {"ACT", -1, nullptr}, {"GOL", 0, nullptr}, {"EDO", 0, nullptr},
};

const Component* FindComponent(const std::string& code) {
    for (const Component& c : kComponents) {
        if (code == c.code) return &c;
    }
    return nullptr;
}

using VoltraTest::EntriesOf;

Voltra::TemplatePtr Load(const char* fileName) { return VoltraTest::LoadSourceTemplate(fileName); }

class IonAndAdditiveTemplates : public ::testing::Test {
protected:
    VoltraTest::SourceTemplates templates_;
};

TEST_F(IonAndAdditiveTemplates, EveryChargeSetGivesTheFormalCharge) {
    for (const char* file : {"default.crg", "prot_amb.crg", "parseres.crg"}) {
        const Voltra::TemplatePtr charges = Load(file);
        for (const Component& c : kComponents) {
            const auto entries = EntriesOf(*charges, c.code);
            ASSERT_FALSE(entries.empty()) << file << " has no entry for " << c.code;
            double net = 0;
            for (const auto& [atom, q] : entries) net += q;
            EXPECT_NEAR(net, c.formalCharge, 1e-6) << file << " " << c.code;
            if (c.ionElement) {
                EXPECT_EQ(entries.size(), 1u) << file << " " << c.code;
            }
        }
    }
}

TEST_F(IonAndAdditiveTemplates, ChargeSetsAgreeOnAtomNamesAndParseHasARadiusForEach) {
    const Voltra::TemplatePtr reference = Load("default.crg");
    const Voltra::TemplatePtr parseRadii = Load("parseres.siz");
    for (const Component& c : kComponents) {
        const auto names = EntriesOf(*reference, c.code);
        for (const char* file : {"prot_amb.crg", "parseres.crg"}) {
            const auto other = EntriesOf(*Load(file), c.code);
            ASSERT_EQ(other.size(), names.size()) << file << " " << c.code;
            for (const auto& [atom, q] : names) {
                EXPECT_EQ(other.count(atom), 1u) << file << ": no " << atom << " " << c.code;
            }
        }
        const auto radii = EntriesOf(*parseRadii, c.code);
        for (const auto& [atom, q] : names) {
            ASSERT_EQ(radii.count(atom), 1u) << "parseres.siz: no radius for " << atom << " " << c.code;
            // PARSE unites non-polar hydrogens with their carbon (radius 0); heavy atoms never are.
            if (atom[0] != 'H') {
                EXPECT_GT(radii.at(atom), 0.5) << atom << " " << c.code;
            }
        }
    }
}

// The lookup is what the commands see: an ion's element must find its own radius in the
// element-keyed default set, not fall back to the host's neutral-atom radius.
TEST_F(IonAndAdditiveTemplates, DefaultRadiiKnowEveryIonElement) {
    const Voltra::TemplatePtr radii = Load("default.siz");
    ASSERT_TRUE(radii->IsElementKeyed());
    std::set<std::string> elements;
    for (const Voltra::TemplateEntry& e : radii->GetEntries()) elements.insert(e.GetAtomName());
    for (const Component& c : kComponents) {
        if (c.ionElement) {
            EXPECT_EQ(elements.count(c.ionElement), 1u) << c.ionElement;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// The corpus structures through the three commands
// ---------------------------------------------------------------------------------------------

enum class Scheme { Default, Amber, Parse };

const char* Name(Scheme s) { return s == Scheme::Default ? "default" : s == Scheme::Amber ? "amber" : "parse"; }

struct CorpusCase {
    const char* file;
    std::map<std::string, int> expectedResidues;  // ions and additives the file holds
};

const CorpusCase kCorpus[] = {
    {"1AJJ.pdb", {{"CA", 1}, {"SO4", 1}}},
    {"1BX8.pdb", {{"SO4", 1}}},
    {"9X2O.cif", {{"SO4", 13}}},
    {"1pfe.cif.gz", {{"CL", 1}}},
};

void ForEachResidue(const HostModel::Object& object, const std::function<void(const HostModel::Residue&)>& visit) {
    for (std::size_t i = 0; i < object.GetNumChildren(); ++i) {
        const HostModel::Object* child = object.GetChild(i);
        if (child->IsA(HostModel::Residue::classType)) {
            visit(static_cast<const HostModel::Residue&>(*child));
        } else {
            ForEachResidue(*child, visit);
        }
    }
}

float FloatProperty(const HostModel::Object& object, const char* name) {
    float value = std::nanf("");
    object.GetProperty(name, value);
    return value;
}

void PrintTo(const CorpusCase& c, std::ostream* out) { *out << c.file; }
void PrintTo(Scheme s, std::ostream* out) { *out << Name(s); }

// Reads the structure, runs the scheme's command and checks every ion and additive residue;
// returns how many of each it found.
std::map<std::string, int> CheckIonsAndAdditives(const std::string& path, Scheme scheme) {
    std::map<std::string, int> found;
    VoltraTest::SourceTemplates templates;
    HostModel::ChemDoc doc;
    const HostIO::ReadResult read = HostIO::ReadStructure(doc, path);
    EXPECT_NE(read.molecule, nullptr) << path;
    if (!read.molecule) return found;

    std::unique_ptr<HostModel::Command> command;
    switch (scheme) {
        case Scheme::Default: command = std::make_unique<Voltra::CmdApplyDefaultTemplates>(); break;
        case Scheme::Amber: command = std::make_unique<Voltra::CmdApplyAmberPlusDefaultTemplates>(); break;
        case Scheme::Parse: command = std::make_unique<Voltra::CmdApplyParseTemplates>(); break;
    }
    EXPECT_TRUE(doc.Execute(*command)) << command->GetErrorMessage();

    std::vector<float> alphaCarbonRadii;
    ForEachResidue(*read.molecule, [&](const HostModel::Residue& residue) {
        const std::string type = residue.GetResidueType();
        const Component* component = FindComponent(type);
        for (std::size_t a = 0; a < residue.GetNumChildren(); ++a) {
            const HostModel::Object* child = residue.GetChild(a);
            if (!child->IsA(HostModel::Atom::classType)) continue;
            const auto& atom = static_cast<const HostModel::Atom&>(*child);
            // An alpha carbon is carbon whatever the calcium entries say.
            if (!component && atom.GetLabel() == "CA" && atom.GetAtomicNumber() == 6 &&
                atom.GetPropertyAsString("Voltra Radius Source") != "Missing") {
                alphaCarbonRadii.push_back(FloatProperty(atom, "Voltra Radius"));
            }
        }
        if (!component) return;
        ++found[type];
        double net = 0;
        for (std::size_t a = 0; a < residue.GetNumChildren(); ++a) {
            const HostModel::Object* child = residue.GetChild(a);
            if (!child->IsA(HostModel::Atom::classType)) continue;
            const auto& atom = static_cast<const HostModel::Atom&>(*child);
            const std::string where = atom.GetLabel() + " " + residue.GetLabel() + " (" + Name(scheme) + ")";
            EXPECT_NE(atom.GetPropertyAsString("Voltra Charge Source"), "Missing") << where;
            const std::string radiusSource = atom.GetPropertyAsString("Voltra Radius Source");
            EXPECT_NE(radiusSource, "Missing") << where;
            EXPECT_NE(radiusSource, "HST") << where << ": the host's neutral-atom radius";
            if (component->ionElement) {
                EXPECT_STREQ(atom.GetElementSymbol(), component->ionElement) << where;
                // Shannon's ionic radii lie below 2.3 Å; the host's neutral-atom radii of the
                // cations are larger (Ca 2.31, Na 2.27).
                EXPECT_LT(FloatProperty(atom, "Voltra Radius"), 2.3f) << where;
            }
            net += FloatProperty(atom, "Voltra Charge");
        }
        EXPECT_NEAR(net, component->formalCharge, 1e-4)
            << path << ": " << type << " " << residue.GetLabel() << " (" << Name(scheme) << ")";
    });
    for (float r : alphaCarbonRadii) {
        EXPECT_GE(r, 1.7f) << path << ": an alpha carbon took an ion's radius";
    }
    return found;
}

class CorpusIonsAndAdditives : public ::testing::TestWithParam<std::tuple<CorpusCase, Scheme>> {};

TEST_P(CorpusIonsAndAdditives, NoAtomMissingAndEachResidueAtItsFormalCharge) {
    const auto& [corpus, scheme] = GetParam();
    const std::string path = std::string(VOLTRA_CORPUS_DIR) + "/" + corpus.file;
    EXPECT_EQ(CheckIonsAndAdditives(path, scheme), corpus.expectedResidues) << corpus.file;
}

// The ions and additives the corpus lacks, hydrogens included, at the monomer library's ideal
// coordinates (each molecule 10 Å from the next), written as a crystallographer's PDB file would.
constexpr const char* kIonsAndAdditivesPdb =
    R"(HETATM    1 NA    NA A 100       0.000   0.000   0.000  1.00  0.00          NA
HETATM    2  K     K A 101      10.000   0.000   0.000  1.00  0.00           K
HETATM    3 MG    MG A 102      20.000   0.000   0.000  1.00  0.00          MG
HETATM    4 ZN    ZN A 103      30.000   0.000   0.000  1.00  0.00          ZN
HETATM    5 MN    MN A 104      40.000   0.000   0.000  1.00  0.00          MN
HETATM    6 FE    FE A 105      50.000   0.000   0.000  1.00  0.00          FE
HETATM    7 FE   FE2 A 106      60.000   0.000   0.000  1.00  0.00          FE
HETATM    8  O4  PO4 A 107      70.000   0.000   0.000  1.00  0.00           O
HETATM    9  P   PO4 A 107      68.531   0.000  -0.364  1.00  0.00           P
HETATM   10  O1  PO4 A 107      68.213  -1.235  -1.178  1.00  0.00           O
HETATM   11  O2  PO4 A 107      68.213   1.235  -1.178  1.00  0.00           O
HETATM   12  O3  PO4 A 107      67.699   0.000   0.899  1.00  0.00           O
HETATM   13  OXT ACT A 108      80.000   0.000   0.000  1.00  0.00           O
HETATM   14  C   ACT A 108      79.125   0.894   0.000  1.00  0.00           C
HETATM   15  O   ACT A 108      77.913   0.582   0.000  1.00  0.00           O
HETATM   16  CH3 ACT A 108      79.530   2.345   0.000  1.00  0.00           C
HETATM   17  H3  ACT A 108      80.458   2.455  -0.499  1.00  0.00           H
HETATM   18  H2  ACT A 108      78.792   2.919  -0.499  1.00  0.00           H
HETATM   19  H1  ACT A 108      79.625   2.687   0.998  1.00  0.00           H
HETATM   20  O3  GOL A 109      90.000   0.000   0.000  1.00  0.00           O
HETATM   21  HO3 GOL A 109      90.767  -0.423   0.409  1.00  0.00           H
HETATM   22  C3  GOL A 109      88.803  -0.609   0.491  1.00  0.00           C
HETATM   23  H31 GOL A 109      88.752  -0.487   1.575  1.00  0.00           H
HETATM   24  H32 GOL A 109      88.809  -1.672   0.244  1.00  0.00           H
HETATM   25  C2  GOL A 109      87.589   0.060  -0.156  1.00  0.00           C
HETATM   26  H2  GOL A 109      87.686   0.016  -1.250  1.00  0.00           H
HETATM   27  O2  GOL A 109      87.518   1.424   0.261  1.00  0.00           O
HETATM   28  HO2 GOL A 109      87.432   1.462   1.223  1.00  0.00           H
HETATM   29  C1  GOL A 109      86.316  -0.672   0.272  1.00  0.00           C
HETATM   30  H11 GOL A 109      86.173  -0.553   1.348  1.00  0.00           H
HETATM   31  H12 GOL A 109      86.409  -1.733   0.033  1.00  0.00           H
HETATM   32  O1  GOL A 109      85.194  -0.122  -0.423  1.00  0.00           O
HETATM   33  HO1 GOL A 109      84.390  -0.585  -0.152  1.00  0.00           H
HETATM   34  O2  EDO A 110     100.000   0.000   0.000  1.00  0.00           O
HETATM   35  HO2 EDO A 110     100.570   0.404  -0.669  1.00  0.00           H
HETATM   36  C2  EDO A 110      98.639   0.342  -0.266  1.00  0.00           C
HETATM   37  H21 EDO A 110      98.359  -0.025  -1.256  1.00  0.00           H
HETATM   38  H22 EDO A 110      98.525   1.428  -0.236  1.00  0.00           H
HETATM   39  C1  EDO A 110      97.737  -0.296   0.789  1.00  0.00           C
HETATM   40  H11 EDO A 110      97.851  -1.381   0.756  1.00  0.00           H
HETATM   41  H12 EDO A 110      96.697  -0.034   0.584  1.00  0.00           H
HETATM   42  O1  EDO A 110      98.103   0.184   2.084  1.00  0.00           O
HETATM   43  HO1 EDO A 110      97.531  -0.220   2.750  1.00  0.00           H
END
)";

class WrittenIonsAndAdditives : public ::testing::TestWithParam<Scheme> {};

TEST_P(WrittenIonsAndAdditives, NoAtomMissingAndEachResidueAtItsFormalCharge) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("voltra-ion-pdb-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::filesystem::path path = folder / "ions.pdb";
    std::ofstream(path) << kIonsAndAdditivesPdb;
    const std::map<std::string, int> found = CheckIonsAndAdditives(path.string(), GetParam());
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    const std::map<std::string, int> expected{{"NA", 1},  {"K", 1},   {"MG", 1},  {"ZN", 1},  {"MN", 1}, {"FE", 1},
                                              {"FE2", 1}, {"PO4", 1}, {"ACT", 1}, {"GOL", 1}, {"EDO", 1}};
    EXPECT_EQ(found, expected);
}

INSTANTIATE_TEST_SUITE_P(AllSchemes, WrittenIonsAndAdditives,
                         ::testing::Values(Scheme::Default, Scheme::Amber, Scheme::Parse),
                         [](const ::testing::TestParamInfo<Scheme>& info) { return std::string(Name(info.param)); });

std::string CorpusCaseName(const ::testing::TestParamInfo<std::tuple<CorpusCase, Scheme>>& info) {
    std::string name = std::get<0>(info.param).file;
    name = name.substr(0, name.find('.'));
    return name + "_" + Name(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusIonsAndAdditives,
                         ::testing::Combine(::testing::ValuesIn(kCorpus),
                                            ::testing::Values(Scheme::Default, Scheme::Amber, Scheme::Parse)),
                         CorpusCaseName);

}  // namespace
