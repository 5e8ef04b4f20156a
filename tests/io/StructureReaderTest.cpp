// Reading real and crafted structures into a document: tree layout, models, conformers, bonds,
// PQR charges and radii, large files, and the errors of bad input.
#include "IoTestSupport.h"

#include "io/StructureReader.h"

#include "HostModel/ChemDoc.h"
#include "HostModel/ChemistryTracker.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/TreeRoot.h"
#include "Quorva_ProteinCore/BuilderUtility.h"
#include "Quorva_ProteinCore/TypingHelper.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>

namespace {

using namespace HostModel;
using namespace IoTest;
using HostIO::ReadOptions;
using HostIO::ReadStructure;
using HostIO::ReadStructureFromMemory;
using HostIO::StructureFormat;

std::vector<std::string> Outline(const Molecule& molecule) {
    std::vector<std::string> out;
    for (const auto* chain : Children(molecule)) out.push_back(ChainOutline(*chain));
    return out;
}

std::vector<const Residue*> ResiduesOf(const Object& chain) {
    std::vector<const Residue*> out;
    for (const auto* child : Children(chain)) out.push_back(static_cast<const Residue*>(child));
    return out;
}

std::vector<std::string> NTermini(const Object& chain) {
    std::vector<std::string> out;
    for (const Residue* residue : ResiduesOf(chain)) {
        if (Quorva_ProteinCore::BuilderUtility::IsNTerminus(residue)) out.push_back(residue->GetLabel());
    }
    return out;
}

// One PDB ATOM record in its fixed columns; name is the 4-column field as written (" CA ").
std::string PdbAtom(int serial, const char* name, char altloc, const char* residue, char chain, int number, char icode,
                    double x, double y, double z, double occupancy, const char* element) {
    char line[100];
    std::snprintf(line, sizeof line, "ATOM  %5d %-4s%c%3s %c%4d%c   %8.3f%8.3f%8.3f%6.2f%6.2f          %2s\n", serial,
                  name, altloc, residue, chain, number, icode, x, y, z, occupancy, 20.0, element);
    return line;
}

// A straight backbone: residue i spans 4.3 Å along x, so C(i)-N(i+1) is 1.33 Å, a peptide bond.
std::string Backbone(const std::vector<std::pair<int, char>>& numbers, double gapAfterThird = 0) {
    std::string pdb;
    int serial = 1;
    double x = 0;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const auto [number, icode] = numbers[i];
        pdb += PdbAtom(serial++, " N  ", ' ', "GLY", 'A', number, icode, x, 0, 0, 1, "N");
        pdb += PdbAtom(serial++, " CA ", ' ', "GLY", 'A', number, icode, x + 1.45, 0, 0, 1, "C");
        pdb += PdbAtom(serial++, " C  ", ' ', "GLY", 'A', number, icode, x + 2.97, 0, 0, 1, "C");
        pdb += PdbAtom(serial++, " O  ", ' ', "GLY", 'A', number, icode, x + 2.97, 1.23, 0, 1, "O");
        x += 4.3 + (i == 2 ? gapAfterThird : 0);
    }
    return pdb + "END\n";
}

std::string Trimmed(const std::string& text) {
    const auto begin = text.find_first_not_of(' ');
    return begin == std::string::npos ? std::string() : text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

double SumOfPqrCharges(const std::string& text) {
    // The charge is the next-to-last field of every atom record, whatever else the record holds.
    std::istringstream lines(text);
    std::string line;
    double sum = 0;
    while (std::getline(lines, line)) {
        if (line.rfind("ATOM", 0) != 0 && line.rfind("HETATM", 0) != 0) continue;
        std::istringstream fields(line);
        std::vector<std::string> all;
        for (std::string f; fields >> f;) all.push_back(f);
        sum += std::stod(all[all.size() - 2]);
    }
    return sum;
}

// ---------------------------------------------------------------------------------------------

struct CorpusCase {
    const char* file;
    StructureFormat format;
    const char* label;
    std::vector<std::string> outline;
};

void PrintTo(const CorpusCase& c, std::ostream* os) { *os << c.file; }

class CorpusFiles : public ::testing::TestWithParam<CorpusCase> {};

TEST_P(CorpusFiles, ReadWithTheirChainsAndEveryAtomOfTheFirstModel) {
    const CorpusCase& c = GetParam();
    ChemDoc doc;
    ReadOptions asWritten;  // every atom of the file and no other
    asWritten.completeMissingAtoms = false;
    const auto result = ReadStructure(doc, CorpusPath(c.file), asWritten);
    EXPECT_EQ(result.format, c.format);
    EXPECT_EQ(result.molecule->GetLabel(), c.label);
    EXPECT_EQ(Outline(*result.molecule), c.outline);
    // Every record of the first model is an atom of the tree or a conformer left out.
    EXPECT_EQ(result.atomCount + result.altlocAtomsDropped, CountFirstModelRecords(ReadText(CorpusPath(c.file))));
    EXPECT_EQ(result.molecule->GetNumDescendents(Atom::classType), result.atomCount);
    EXPECT_EQ(result.molecule->GetNumDescendents(Residue::classType), result.residueCount);
    EXPECT_EQ(result.chainCount, c.outline.size());
    // Every heavy atom of a residue with more than one atom is bonded to something.
    DescendentIterator atoms(result.molecule, Atom::classType);
    std::size_t lonely = 0;
    while (auto* object = atoms.GetNext()) {
        const auto& atom = static_cast<const Atom&>(*object);
        if (atom.GetParent()->GetNumChildren() > 1 && atom.GetBonds().empty()) ++lonely;
    }
    EXPECT_EQ(lonely, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    StructureReader, CorpusFiles,
    ::testing::Values(
        CorpusCase{"1A1P.pdb", StructureFormat::Pdb, "1A1P", {"AA:A", "Chain:A"}},
        CorpusCase{"1AFS.pdb", StructureFormat::Pdb, "1AFS", {"AA:A", "AA:B", "Chain:A", "Chain:B", "Chain:Water"}},
        CorpusCase{"1AJJ.pdb", StructureFormat::Pdb, "1AJJ", {"AA:A", "Chain:A", "Chain:Water"}},
        CorpusCase{"1BX8.pdb", StructureFormat::Pdb, "1BX8", {"AA:A", "Chain:A", "Chain:Water"}},
        CorpusCase{"1K1I.pdb", StructureFormat::Pdb, "1K1I", {"AA:A"}},
        CorpusCase{"1QBS.pdb", StructureFormat::Pdb, "1QBS", {"AA:A", "AA:B"}},
        CorpusCase{"1US0.pdb", StructureFormat::Pdb, "1US0", {"AA:A"}},
        CorpusCase{"5vav_cyclic_peptide.pdb", StructureFormat::Pdb, "5vav_cyclic_peptide", {"AA:A"}},
        CorpusCase{"cterm_hid.pdb", StructureFormat::Pdb, "cterm_hid", {"AA:B"}},
        CorpusCase{"1FAS.cif", StructureFormat::Mmcif, "1FAS", {"AA:A", "Chain:Water"}},
        CorpusCase{"1FKI.cif", StructureFormat::Mmcif, "1FKI", {"AA:A", "AA:B", "Chain:A", "Chain:B", "Chain:Water"}},
        CorpusCase{"3U7T.cif", StructureFormat::Mmcif, "3U7T", {"AA:A", "Chain:Water"}},
        CorpusCase{"9X2O.cif",
                   StructureFormat::Mmcif,
                   "9X2O",
                   {"AA:A", "AA:B", "AA:C", "AA:D", "Chain:A", "Chain:B", "Chain:C", "Chain:D", "Chain:Water"}},
        CorpusCase{
            "1pfe.cif.gz", StructureFormat::Mmcif, "1PFE", {"NA:A", "AA:B", "Chain:A", "Chain:B", "Chain:Water"}},
        CorpusCase{"1AFS_whitespace_ff=AMBER.pqr",
                   StructureFormat::Pqr,
                   "1AFS_whitespace_ff=AMBER",
                   {"AA:", "AA:", "Chain:Water"}},
        CorpusCase{"1AFS_whitespace_ff=PARSE.pqr",
                   StructureFormat::Pqr,
                   "1AFS_whitespace_ff=PARSE",
                   {"AA:", "AA:", "Chain:Water"}},
        CorpusCase{"1AJJ_pH7_AMBER.pqr", StructureFormat::Pqr, "1AJJ_pH7_AMBER", {"AA:"}},
        CorpusCase{"1BX8_pH7_PARSE.pqr", StructureFormat::Pqr, "1BX8_pH7_PARSE", {"AA:"}},
        CorpusCase{"5vav_cyclic_peptide_out.pqr", StructureFormat::Pqr, "5vav_cyclic_peptide_out", {"AA:"}},
        CorpusCase{"cterm_hid_out.pqr", StructureFormat::Pqr, "cterm_hid_out", {"AA:"}}),
    [](const ::testing::TestParamInfo<CorpusCase>& info) {
        std::string name = info.param.file;
        for (char& ch : name) {
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        }
        return name;
    });

// ---------------------------------------------------------------------------------------------

TEST(PdbQuirks, 1A1P_NmrEnsembleReadsOneModel) {
    ChemDoc first;
    const auto r1 = ReadStructure(first, CorpusPath("1A1P.pdb"));
    EXPECT_EQ(r1.modelCount, 21u);
    EXPECT_EQ(r1.modelNumber, 1);
    EXPECT_EQ(r1.atomCount, 208u);

    ReadOptions options;
    options.model = 2;
    ChemDoc second;
    const auto r2 = ReadStructure(second, CorpusPath("1A1P.pdb"), options);
    EXPECT_EQ(r2.modelNumber, 2);
    EXPECT_EQ(r2.atomCount, 208u);
    const auto* n1 = FindAtom(*r1.molecule->GetChild(0)->GetChild(0), "N");
    const auto* n2 = FindAtom(*r2.molecule->GetChild(0)->GetChild(0), "N");
    ASSERT_TRUE(n1 && n2);
    EXPECT_NE(n1->GetPosition().x, n2->GetPosition().x);

    options.model = 99;
    ChemDoc third;
    try {
        ReadStructure(third, CorpusPath("1A1P.pdb"), options);
        FAIL() << "model 99 was read";
    } catch (const HostIO::ReadError& e) {
        EXPECT_EQ(e.what(), CorpusPath("1A1P.pdb") + ": no model 99; the file has 21 models (1 to 21)");
    }
    EXPECT_EQ(third.GetTreeRoot()->GetNumChildren(), 0u);
}

TEST(PdbQuirks, 1A1P_AmideCapBondsToTheLastResidue) {
    ChemDoc doc;
    const auto result = ReadStructure(doc, CorpusPath("1A1P.pdb"));
    const auto* cap = result.molecule->GetChild(1)->GetChild(0);
    EXPECT_EQ(static_cast<const Residue*>(cap)->GetResidueType(), "NH2");
    const auto* last = result.molecule->GetChild(0)->GetChild(12);
    ASSERT_TRUE(FindAtom(*cap, "N") && FindAtom(*last, "C"));
    EXPECT_TRUE(FindAtom(*cap, "N")->IsBondedTo(*FindAtom(*last, "C")));
}

TEST(PdbQuirks, 1AFS_WatersInOneChainAndCofactorAsResidue) {
    ChemDoc doc;
    const auto result = ReadStructure(doc, CorpusPath("1AFS.pdb"));
    const Object* water = result.molecule->GetChild(result.molecule->GetNumChildren() - 1);
    EXPECT_EQ(water->GetLabel(), "Water");
    EXPECT_FALSE(water->IsA(AminoAcidChain::classType));
    // Every water of the molecule (58 HOH records' residues in the file) is in that chain.
    std::size_t watersElsewhere = 0;
    for (const auto* chain : Children(*result.molecule)) {
        for (const Residue* residue : ResiduesOf(*chain)) {
            if (residue->GetResidueType() == "HOH" && chain != water) ++watersElsewhere;
        }
    }
    EXPECT_EQ(watersElsewhere, 0u);
    EXPECT_EQ(water->GetNumChildren(), 58u);

    const Object& ligandsA = *result.molecule->GetChild(2);
    ASSERT_EQ(ligandsA.GetLabel(), "A");
    const Residue* nap = ResiduesOf(ligandsA)[0];
    EXPECT_EQ(nap->GetLabel(), "NAP324");
    EXPECT_EQ(nap->GetID(), 324);
    EXPECT_EQ(nap->GetResidueType(), "NAP");
    EXPECT_FALSE(nap->IsA(AminoAcid::classType));
    EXPECT_EQ(nap->GetNumChildren(), 48u);
    EXPECT_EQ(result.unknownResidues, std::vector<std::string>{"TES"});
    // One N-terminus per chain: the backbone is continuous.
    EXPECT_EQ(NTermini(*result.molecule->GetChild(0)), std::vector<std::string>{"MET1"});
    EXPECT_EQ(NTermini(*result.molecule->GetChild(1)), std::vector<std::string>{"MET1"});
}

TEST(PdbQuirks, 1K1I_TerInsideAChainKeepsOneChain) {
    ChemDoc doc;
    const auto result = ReadStructure(doc, CorpusPath("1K1I.pdb"));
    ASSERT_EQ(result.chainCount, 1u);
    EXPECT_EQ(result.molecule->GetChild(0)->GetNumChildren(), 223u);
}

TEST(PdbQuirks, 5vav_CyclicPeptideHasNoNTerminus) {
    for (const char* file : {"5vav_cyclic_peptide.pdb", "5vav_cyclic_peptide_out.pqr"}) {
        ChemDoc doc;
        const auto result = ReadStructure(doc, CorpusPath(file));
        const Object& chain = *result.molecule->GetChild(0);
        EXPECT_TRUE(NTermini(chain).empty()) << file;
        const auto residues = ResiduesOf(chain);
        const auto* n = FindAtom(*residues.front(), "N");
        const auto* c = FindAtom(*residues.back(), "C");
        ASSERT_TRUE(n && c);
        EXPECT_TRUE(n->IsBondedTo(*c)) << file;
    }
}

TEST(PdbQuirks, ChainBreakStartsASecondNTerminus) {
    ChemDoc joined;
    const auto continuous =
        ReadStructureFromMemory(joined, Backbone({{1, ' '}, {2, ' '}, {3, ' '}, {4, ' '}, {5, ' '}}), "chain.pdb");
    EXPECT_EQ(NTermini(*continuous.molecule->GetChild(0)), std::vector<std::string>{"GLY1"});

    ChemDoc broken;
    const auto gap =
        ReadStructureFromMemory(broken, Backbone({{1, ' '}, {2, ' '}, {3, ' '}, {4, ' '}, {5, ' '}}, 2.5), "gap.pdb");
    ASSERT_EQ(gap.chainCount, 1u);
    EXPECT_EQ(NTermini(*gap.molecule->GetChild(0)), (std::vector<std::string>{"GLY1", "GLY4"}));

    // A real gap: cterm_hid.pdb without one of its residues.
    std::istringstream lines(ReadText(CorpusPath("cterm_hid.pdb")));
    std::string text, line;
    while (std::getline(lines, line)) {
        if (line.size() > 26 && line.compare(22, 4, " 200") == 0) continue;
        text += line + "\n";
    }
    ChemDoc cut;
    const auto cterm = ReadStructureFromMemory(cut, text, "cterm_cut.pdb");
    EXPECT_EQ(NTermini(*cterm.molecule->GetChild(0)), (std::vector<std::string>{"PRO196", "LEU201"}));
}

TEST(PdbQuirks, CapBeforeTheChainKeepsThePolymer) {
    // An acetyl cap written before the first residue, bonded to its N, as modelling programs do.
    const std::string pdb = PdbAtom(1, " C  ", ' ', "ACE", 'A', 0, ' ', -1.33, 0, 0, 1, "C") +
                            PdbAtom(2, " O  ", ' ', "ACE", 'A', 0, ' ', -1.33, 1.23, 0, 1, "O") +
                            PdbAtom(3, " CH3", ' ', "ACE", 'A', 0, ' ', -2.85, 0, 0, 1, "C") +
                            Backbone({{1, ' '}, {2, ' '}, {3, ' '}});
    ChemDoc doc;
    const auto result = ReadStructureFromMemory(doc, pdb, "capped.pdb");
    ASSERT_EQ(Outline(*result.molecule), (std::vector<std::string>{"Chain:A", "AA:A"}));
    const Residue* cap = ResiduesOf(*result.molecule->GetChild(0))[0];
    const Residue* first = ResiduesOf(*result.molecule->GetChild(1))[0];
    EXPECT_EQ(cap->GetLabel(), "ACE0");
    EXPECT_EQ(result.molecule->GetChild(1)->GetNumChildren(), 3u);
    EXPECT_TRUE(FindAtom(*cap, "C")->IsBondedTo(*FindAtom(*first, "N")));
}

TEST(PdbQuirks, InsertionCodesLabelResidues) {
    ChemDoc doc;
    const auto result =
        ReadStructureFromMemory(doc, Backbone({{51, ' '}, {52, ' '}, {52, 'A'}, {52, 'B'}, {53, ' '}}), "icode.pdb");
    std::vector<std::string> labels;
    std::vector<int> ids;
    for (const Residue* r : ResiduesOf(*result.molecule->GetChild(0))) {
        labels.push_back(r->GetLabel());
        ids.push_back(r->GetID());
    }
    EXPECT_EQ(labels, (std::vector<std::string>{"GLY51", "GLY52", "GLY52A", "GLY52B", "GLY53"}));
    EXPECT_EQ(ids, (std::vector<int>{51, 52, 52, 52, 53}));
    EXPECT_EQ(NTermini(*result.molecule->GetChild(0)), std::vector<std::string>{"GLY51"});
}

// The reader stores each residue's identity in the input as data: sequence number, insertion
// code and chain id, the waters' included, whatever chain of the tree holds them.
std::string IdentityOf(const Residue& r) {
    std::string text = r.GetInputChainId() + ":" + std::to_string(r.GetSequenceNumber());
    if (r.GetInsertionCode() != '\0') text += r.GetInsertionCode();
    return text;
}

std::vector<std::string> Identities(const Molecule& molecule) {
    std::vector<std::string> out;
    for (const auto* chain : Children(molecule)) {
        for (const Residue* residue : ResiduesOf(*chain))
            out.push_back(residue->GetResidueType() + "@" + IdentityOf(*residue));
    }
    return out;
}

TEST(ResidueIdentity, EachFormatGivesNumberInsertionCodeAndInputChain) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::string> expected;
    };
    const std::string pdb = PdbAtom(1, " N  ", ' ', "GLY", 'A', 12, 'A', 0, 0, 0, 1, "N") +
                            "HETATM    2  O   HOH B 301      30.000   0.000   0.000  1.00 20.00           O\n"
                            "HETATM    3  O   HOH A  -5B     40.000   0.000   0.000  1.00 20.00           O\nEND\n";
    const std::string pqr =
        "ATOM      1  N   GLY C  12A      0.000   0.000   0.000 -0.3000 1.8240\n"
        "ATOM      2  O   HOH D 301      30.000   0.000   0.000 -0.8340 1.4000\n";
    const std::string cif =
        "data_T\nloop_\n_atom_site.group_PDB\n_atom_site.id\n_atom_site.type_symbol\n_atom_site.label_atom_id\n"
        "_atom_site.label_alt_id\n_atom_site.label_comp_id\n_atom_site.label_asym_id\n_atom_site.label_entity_id\n"
        "_atom_site.label_seq_id\n_atom_site.pdbx_PDB_ins_code\n_atom_site.Cartn_x\n_atom_site.Cartn_y\n"
        "_atom_site.Cartn_z\n_atom_site.occupancy\n_atom_site.B_iso_or_equiv\n_atom_site.auth_seq_id\n"
        "_atom_site.auth_asym_id\n_atom_site.pdbx_PDB_model_num\n"
        "ATOM 1 N N . GLY A 1 1 C 0.000 0 0 1 20 7 AB 1\n"
        "HETATM 2 O O . HOH C 2 . ? 30.000 0 0 1 20 101 XY 1\n";
    for (const Case& c : std::vector<Case>{
             {"identity.pdb", pdb, {"GLY@A:12A", "HOH@B:301", "HOH@A:-5B"}},
             {"identity.pqr", pqr, {"GLY@C:12A", "HOH@D:301"}},
             {"identity.cif", cif, {"GLY@AB:7C", "HOH@XY:101"}},
         }) {
        ChemDoc doc;
        const auto result = ReadStructureFromMemory(doc, c.text, c.name);
        EXPECT_EQ(Identities(*result.molecule), c.expected) << c.name;
        EXPECT_EQ(result.molecule->GetChild(result.molecule->GetNumChildren() - 1)->GetLabel(), "Water") << c.name;
    }
}

// 1AFS's 58 waters belong to chains A and B in the file; each keeps its own, read from the
// record's columns here independently of the reader.
TEST(ResidueIdentity, 1AFS_WatersKeepTheirChainIds) {
    std::map<std::string, std::string> fileChains;  // "number" -> chain
    std::istringstream lines(ReadText(CorpusPath("1AFS.pdb")));
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("HETATM", 0) == 0 && line.substr(17, 3) == "HOH") {
            fileChains[line.substr(21, 1) + Trimmed(line.substr(22, 5))] = line.substr(21, 1);
        }
    }
    ChemDoc doc;
    const auto result = ReadStructure(doc, CorpusPath("1AFS.pdb"));
    const Object* water = result.molecule->GetChild(result.molecule->GetNumChildren() - 1);
    ASSERT_EQ(water->GetNumChildren(), fileChains.size());
    std::set<std::string> chains;
    for (const Residue* residue : ResiduesOf(*water)) {
        const std::string key = residue->GetInputChainId() + std::to_string(residue->GetSequenceNumber());
        EXPECT_EQ(fileChains.count(key), 1u) << key;
        chains.insert(residue->GetInputChainId());
    }
    EXPECT_EQ(chains, (std::set<std::string>{"A", "B"}));
}

TEST(PdbQuirks, AlternativeLocationsKeepOneConformer) {
    // CA of residue 1 in two places: A at occupancy 0.3, B at 0.7.
    const std::string pdb = PdbAtom(1, " N  ", ' ', "SER", 'A', 1, ' ', 0, 0, 0, 1, "N") +
                            PdbAtom(2, " CA ", 'A', "SER", 'A', 1, ' ', 1.45, 0, 0, 0.3, "C") +
                            PdbAtom(3, " CA ", 'B', "SER", 'A', 1, ' ', 0, 1.45, 0, 0.7, "C") +
                            PdbAtom(4, " C  ", ' ', "SER", 'A', 1, ' ', 1.45, 1.45, 0, 1, "C") + "END\n";
    struct Case {
        HostIO::AltlocChoice choice;
        double caX;
    };
    for (const Case& c : {Case{HostIO::AltlocChoice::First, 1.45}, Case{HostIO::AltlocChoice::HighestOccupancy, 0.0}}) {
        ReadOptions options;
        options.altloc = c.choice;
        ChemDoc doc;
        const auto result = ReadStructureFromMemory(doc, pdb, "altloc.pdb", options);
        EXPECT_EQ(result.atomCount, 3u);
        EXPECT_EQ(result.altlocAtomsDropped, 1u);
        const auto* ca = FindAtom(*result.molecule->GetChild(0)->GetChild(0), "CA");
        ASSERT_NE(ca, nullptr);
        EXPECT_DOUBLE_EQ(ca->GetPosition().x, c.caX);
    }
}

TEST(MmcifQuirks, 3U7T_MicroheterogeneityKeepsOneResiduePerPosition) {
    for (auto choice : {HostIO::AltlocChoice::First, HostIO::AltlocChoice::HighestOccupancy}) {
        ReadOptions options;
        options.altloc = choice;
        ChemDoc doc;
        const auto result = ReadStructure(doc, CorpusPath("3U7T.cif"), options);
        EXPECT_EQ(result.altlocResiduesDropped, 2u);
        std::map<int, std::vector<std::string>> byNumber;
        for (const Residue* r : ResiduesOf(*result.molecule->GetChild(0)))
            byNumber[r->GetID()].push_back(r->GetResidueType());
        EXPECT_EQ(byNumber.size(), 46u);
        for (const auto& [number, types] : byNumber) EXPECT_EQ(types.size(), 1u) << "residue " << number;
        // SER 22 (occupancy 0.53) is listed first and outweighs PRO 22 (0.47).
        EXPECT_EQ(byNumber[22], std::vector<std::string>{"SER"});
        EXPECT_EQ(NTermini(*result.molecule->GetChild(0)), std::vector<std::string>{"THR1"});
    }
}

TEST(MmcifQuirks, 1pfe_NucleicChainAndNonstandardResidues) {
    ChemDoc doc;
    const auto result = ReadStructure(doc, CorpusPath("1pfe.cif.gz"));
    EXPECT_TRUE(result.compressed);
    EXPECT_EQ(result.unknownResidues, (std::vector<std::string>{"N2C", "NCY", "QUI"}));
    const auto dna = ResiduesOf(*result.molecule->GetChild(0));
    std::string sequence;
    for (std::size_t i = 0; i < dna.size(); ++i) {
        EXPECT_TRUE(dna[i]->IsA(Nucleotide::classType));
        sequence += dna[i]->GetResidueType() + " ";
        if (i + 1 < dna.size()) {
            const auto* o3 = FindAtom(*dna[i], "O3'");
            const auto* p = FindAtom(*dna[i + 1], "P");
            ASSERT_TRUE(o3 && p);
            EXPECT_TRUE(o3->IsBondedTo(*p)) << dna[i]->GetLabel();
        }
    }
    EXPECT_EQ(sequence, "DG DC DG DT DA DC DG DC ");
    // The depsipeptide: one residue per position, nonstandard ones judged amino acids by backbone.
    const auto peptide = ResiduesOf(*result.molecule->GetChild(1));
    ASSERT_EQ(peptide.size(), 8u);
    for (const Residue* r : peptide) EXPECT_TRUE(r->IsA(AminoAcid::classType)) << r->GetLabel();
    EXPECT_EQ(result.altlocResiduesDropped, 2u);
}

TEST(MmcifQuirks, MultiCharacterChainIdsLabelChains) {
    const std::string cif =
        "data_TEST\n_entry.id TEST\nloop_\n_entity.id\n_entity.type\n1 polymer\n2 water\nloop_\n"
        "_atom_site.group_PDB\n_atom_site.id\n_atom_site.type_symbol\n_atom_site.label_atom_id\n"
        "_atom_site.label_alt_id\n_atom_site.label_comp_id\n_atom_site.label_asym_id\n_atom_site.label_entity_id\n"
        "_atom_site.label_seq_id\n_atom_site.pdbx_PDB_ins_code\n_atom_site.Cartn_x\n_atom_site.Cartn_y\n"
        "_atom_site.Cartn_z\n_atom_site.occupancy\n_atom_site.B_iso_or_equiv\n_atom_site.auth_seq_id\n"
        "_atom_site.auth_asym_id\n_atom_site.pdbx_PDB_model_num\n"
        "ATOM 1 N N . GLY A 1 1 ? 0.000 0 0 1 20 1 AB 1\n"
        "ATOM 2 C CA . GLY A 1 1 ? 1.450 0 0 1 20 1 AB 1\n"
        "ATOM 3 C C . GLY A 1 1 ? 2.970 0 0 1 20 1 AB 1\n"
        "ATOM 4 N N . GLY B 1 1 ? 20.000 0 0 1 20 7 XYZ1 1\n"
        "ATOM 5 C CA . GLY B 1 1 ? 21.450 0 0 1 20 7 XYZ1 1\n"
        "HETATM 6 O O . HOH C 2 . ? 30.000 0 0 1 20 101 AB 1\n";
    ChemDoc doc;
    const auto result = ReadStructureFromMemory(doc, cif, "multi.cif");
    EXPECT_EQ(result.molecule->GetLabel(), "TEST");
    EXPECT_EQ(Outline(*result.molecule), (std::vector<std::string>{"AA:AB", "AA:XYZ1", "Chain:Water"}));
    EXPECT_EQ(result.molecule->GetChild(1)->GetChild(0)->GetLabel(), "GLY7");
}

// ---------------------------------------------------------------------------------------------

struct PqrCase {
    const char* file;
    std::optional<double> declared;
};

void PrintTo(const PqrCase& c, std::ostream* os) { *os << c.file; }

class PqrCharges : public ::testing::TestWithParam<PqrCase> {};

TEST_P(PqrCharges, ChargesSumToTheFilesTotalAndRadiiAreKept) {
    const PqrCase& c = GetParam();
    const std::string text = ReadText(CorpusPath(c.file));
    ReadOptions options;
    options.forcefieldName = "AMBER";
    ChemDoc doc;
    const auto result = ReadStructure(doc, CorpusPath(c.file), options);
    EXPECT_TRUE(result.hasCharges);
    const double fileSum = SumOfPqrCharges(text);
    EXPECT_NEAR(result.totalCharge, fileSum, 1e-3);
    // PDB2PQR's total is an integer; where it states it, it must agree.
    EXPECT_NEAR(result.totalCharge, std::round(result.totalCharge), 1e-3);
    if (c.declared) {
        ASSERT_TRUE(result.declaredTotalCharge.has_value());
        EXPECT_NEAR(result.totalCharge, *c.declared, 1e-3);
    }
    // The tree's atoms carry exactly those charges.
    double treeSum = 0;
    DescendentIterator atoms(result.molecule, Atom::classType);
    while (auto* object = atoms.GetNext()) {
        const auto* atom = static_cast<const Atom*>(object);
        ASSERT_TRUE(atom->HasPartialCharge());
        treeSum += atom->GetPartialCharge();
    }
    EXPECT_NEAR(treeSum, fileSum, 1e-3);
    ASSERT_EQ(result.radii.size(), result.atomCount);
    EXPECT_EQ(doc.GetForcefieldName(), "AMBER");
    EXPECT_TRUE(Quorva_ProteinCore::TypingHelper::IsTyped(doc, true));
}

INSTANTIATE_TEST_SUITE_P(StructureReader, PqrCharges,
                         ::testing::Values(PqrCase{"1AFS_whitespace_ff=AMBER.pqr", 2.0},
                                           PqrCase{"1AFS_whitespace_ff=PARSE.pqr", 2.0},
                                           PqrCase{"1AJJ_pH7_AMBER.pqr", {}}, PqrCase{"1AJJ_pH7_PARSE.pqr", {}},
                                           PqrCase{"1BX8_pH7_AMBER.pqr", {}}, PqrCase{"1BX8_pH7_PARSE.pqr", {}},
                                           PqrCase{"5vav_cyclic_peptide_out.pqr", {}},
                                           PqrCase{"cterm_hid_out.pqr", {}}));

TEST(PqrReading, AtomsCarryNamesElementsAndRadiiOfTheirRecords) {
    ChemDoc doc;
    const auto result = ReadStructure(doc, CorpusPath("1AFS_whitespace_ff=AMBER.pqr"));
    EXPECT_EQ(result.declaredForcefield, "AMBER");
    EXPECT_TRUE(doc.GetForcefieldName().empty());  // untyped unless the caller names the force field
    // First record: ATOM 1 N MET 1 -29.703 40.250 -18.688 0.1592 1.8240
    const auto& first = result.radii.front();
    EXPECT_EQ(first.atom->GetLabel(), "N");
    EXPECT_EQ(first.atom->GetAtomicNumber(), 7);
    EXPECT_FLOAT_EQ(first.radius, 1.824f);
    EXPECT_FLOAT_EQ(first.atom->GetPartialCharge(), 0.1592f);
    EXPECT_DOUBLE_EQ(first.atom->GetPosition().y, 40.25);
    // Last record: HETATM10662 HW WAT 356 ... 0.4170 0.0000, a water hydrogen.
    const auto& last = result.radii.back();
    EXPECT_EQ(last.atom->GetLabel(), "HW");
    EXPECT_EQ(last.atom->GetAtomicNumber(), 1);
    EXPECT_EQ(static_cast<const Residue*>(last.atom->GetParent())->GetLabel(), "WAT356");
    EXPECT_EQ(last.atom->GetParent()->GetParent()->GetLabel(), "Water");
    EXPECT_EQ(last.atom->GetBonds().size(), 1u);
}

TEST(PqrReading, ForcefieldNameIsCheckedAgainstTheFileAndIgnoredForPdb) {
    ReadOptions options;
    options.forcefieldName = "AMBER";
    ChemDoc pqr;
    const auto parse = ReadStructure(pqr, CorpusPath("1AFS_whitespace_ff=PARSE.pqr"), options);
    EXPECT_EQ(parse.warnings,
              std::vector<std::string>{"the file says its charges come from force field 'PARSE', not 'AMBER'"});

    ChemDoc pdb;
    const auto plain = ReadStructure(pdb, CorpusPath("1AJJ.pdb"), options);
    EXPECT_EQ(plain.warnings,
              std::vector<std::string>{"force field 'AMBER' ignored: only PQR files carry charges, this is PDB"});
    EXPECT_TRUE(pdb.GetForcefieldName().empty());
    EXPECT_FALSE(plain.hasCharges);
}

// ---------------------------------------------------------------------------------------------

std::string Hybrid36(int value, int width) {
    static const char digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    int limit = 1;
    for (int i = 0; i < width; ++i) limit *= 10;
    if (value < limit) {
        std::string s = std::to_string(value);
        return std::string(static_cast<std::size_t>(width) - s.size(), ' ') + s;
    }
    long long n = value - limit;
    long long base = 10;
    for (int i = 1; i < width; ++i) base *= 36;
    n += base;
    std::string s;
    for (; n; n /= 36) s.insert(s.begin(), digits[n % 36]);
    return s;
}

TEST(LargeFiles, HybridSerialsPast99999ReadEveryTile) {
    // 1AFS tiled 19 times (101,802 atoms), each copy with its own two-character chain ids.
    const std::string source = ReadText(CorpusPath("1AFS.pdb"));
    std::vector<std::string> records;
    std::istringstream lines(source);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("ATOM", 0) == 0 || line.rfind("HETATM", 0) == 0) records.push_back(line + std::string(80, ' '));
    }
    const int tiles = 19;
    std::string pdb;
    int serial = 0;
    for (int t = 0; t < tiles; ++t) {
        for (const std::string& r : records) {
            const double shift = 100.0 * t;
            char coordinates[32];
            std::snprintf(coordinates, sizeof coordinates, "%8.3f", std::stod(r.substr(30, 8)) + shift);
            const std::string chain = std::string(1, static_cast<char>('A' + t)) + r[21];
            pdb += r.substr(0, 6) + Hybrid36(++serial, 5) + r.substr(11, 9) + chain + r.substr(22, 8) + coordinates +
                   r.substr(38, 42) + "\n";
        }
        pdb += "TER\n";
    }
    ASSERT_GT(serial, 99999);

    ChemDoc one;
    const auto single = ReadStructure(one, CorpusPath("1AFS.pdb"));
    ChemDoc many;
    const auto tiled = ReadStructureFromMemory(many, pdb, "tiles.pdb");
    EXPECT_EQ(tiled.atomCount, single.atomCount * tiles);
    EXPECT_EQ(tiled.residueCount, single.residueCount * tiles);
    EXPECT_EQ(tiled.bondCount, single.bondCount * tiles);
    EXPECT_EQ(tiled.chainCount, 4u * tiles + 1);
    EXPECT_EQ(tiled.molecule->GetChild(4)->GetLabel(), "BA");
}

// ---------------------------------------------------------------------------------------------

TEST(DocumentChange, ChemistryRevisionMovesOncePerRead) {
    ChemDoc doc;
    auto* tracker = new ChemistryTracker(doc.GetTreeRoot(), true, true);
    const auto before = doc.GetChemistryRevision();
    const auto first = ReadStructure(doc, CorpusPath("1AFS.pdb"));
    EXPECT_GT(first.bondCount, 0u);
    EXPECT_EQ(doc.GetChemistryRevision(), before + 1);
    EXPECT_TRUE(tracker->CheckChemistryChanged());
    tracker->Start();
    ReadStructure(doc, CorpusPath("1pfe.cif.gz"));
    EXPECT_EQ(doc.GetChemistryRevision(), before + 2);
    EXPECT_EQ(doc.GetTreeRoot()->GetNumDescendents(Molecule::classType), 2u);
}

TEST(StandardInput, DashReadsStandardInputAndTellsTheFormatByContent) {
    ScratchFile gz("stdin.pqr.gz", Gzip(ReadText(CorpusPath("cterm_hid_out.pqr"))));
    ASSERT_NE(std::freopen(gz.Path().c_str(), "rb", stdin), nullptr);
    ChemDoc doc;
    const auto result = ReadStructure(doc, "-");
    EXPECT_EQ(result.source, "<stdin>");
    EXPECT_EQ(result.format, StructureFormat::Pqr);
    EXPECT_TRUE(result.compressed);
    EXPECT_EQ(result.molecule->GetLabel(), "stdin");
    EXPECT_EQ(result.atomCount, 230u);
}

// ---------------------------------------------------------------------------------------------

struct BadInput {
    const char* name;
    std::string bytes;
    std::string message;  // what() after the file name
};

void PrintTo(const BadInput& c, std::ostream* os) { *os << c.name; }

class BadInputs : public ::testing::TestWithParam<BadInput> {};

TEST_P(BadInputs, FailWithTheFileAndLineFirstAndLeaveTheDocumentAlone) {
    const BadInput& c = GetParam();
    ChemDoc doc;
    try {
        ReadStructureFromMemory(doc, c.bytes, c.name);
        FAIL() << "no error for " << c.name;
    } catch (const HostIO::ReadError& e) {
        EXPECT_EQ(e.what(), std::string(c.name) + c.message);
        EXPECT_EQ(e.GetFile(), c.name);
    }
    EXPECT_EQ(doc.GetChemistryRevision(), 0u);
    EXPECT_EQ(doc.GetTreeRoot()->GetNumChildren(), 0u);
}

const std::string kCifHead =
    "data_X\nloop_\n_atom_site.group_PDB\n_atom_site.id\n_atom_site.type_symbol\n_atom_site.label_atom_id\n"
    "_atom_site.label_alt_id\n_atom_site.label_comp_id\n_atom_site.label_asym_id\n_atom_site.Cartn_x\n"
    "_atom_site.Cartn_y\n_atom_site.occupancy\n_atom_site.B_iso_or_equiv\n_atom_site.auth_seq_id\n";

INSTANTIATE_TEST_SUITE_P(
    StructureReader, BadInputs,
    ::testing::Values(
        BadInput{"empty.pdb", "", ": the file is empty"},
        BadInput{"blank.pdb", "  \n\t\n", ": the file holds only white space"},
        BadInput{"garbage.pdb", std::string("AT\x01\x00\xff", 5),
                 ": binary data, not a structure file (byte 0x00 at offset 3)"},
        BadInput{"truncated.pdb",
                 "HEADER    X\nATOM      1  N   MET A   1      -1.000   2.000   3.000  1.00 10.00           N\n"
                 "ATOM      2  CA  MET A   1     -28.08\n",
                 ":3: the line is too short to be correct: 'ATOM      2  CA  MET A   1     -28.08'"},
        BadInput{"noatoms.pdb", "HEADER    NOTHING\nREMARK   1 no coordinates\nEND\n", ": no atoms found"},
        BadInput{"loop.cif", "data_x\nloop_\n_atom_site.id\n_atom_site.Cartn_x\n1 2\n3\n",
                 ":2:1: wrong number of values in the loop"},
        BadInput{"quote.cif", "data_x\n_cell.length_a \"abc\n", ":2:20: unterminated \"string\""},
        BadInput{"nox.cif", kCifHead + "ATOM 1 N N . GLY A 1.0 2.0 1 20 1\n",
                 ": the _atom_site table lacks required column(s): _atom_site.Cartn_z"},
        BadInput{"header.cif", "data_1ABC\n_entry.id 1ABC\n", ": no atoms: block 'data_1ABC' has no _atom_site table"},
        BadInput{"bad.pqr", "REMARK   1 PQR\nATOM      1  N    MET     1     -29.703   40.250  abc  0.1592 1.8240\n",
                 ":2: field 'abc' is not a number (expected x, y, z, charge and radius after residue number 1)"},
        BadInput{"short.pqr", "ATOM 1 N MET A 7 1.0 2.0 3.0\n",
                 ":1: expected 5 numbers (x, y, z, charge, radius) after residue number 7, found 3"},
        BadInput{"resnum.pqr", "ATOM 1 N MET A 1x2 1.0 2.0 3.0 0.1 1.5\n", ":1: residue number '1x2' is not a number"},
        BadInput{"cut.pdb.gz", Gzip(std::string(2000, 'A')).substr(0, 12),
                 ": truncated gzip data: the compressed stream ends early"}),
    [](const ::testing::TestParamInfo<BadInput>& info) {
        std::string name = info.param.name;
        for (char& ch : name) {
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        }
        return name;
    });

TEST(BadFiles, MissingFileIsNamed) {
    ChemDoc doc;
    const std::string path = std::string(VOLTRA_BUILD_DIR) + "/no-such-structure.pdb";
    try {
        ReadStructure(doc, path);
        FAIL() << "a missing file was read";
    } catch (const HostIO::ReadError& e) {
        EXPECT_EQ(e.what(), path + ": cannot open: No such file or directory");
    }
}

TEST(BadFiles, CorruptGzipIsReportedNotRead) {
    std::string gz = Gzip(ReadText(CorpusPath("1AJJ.pdb")));
    gz[gz.size() / 2] = static_cast<char>(gz[gz.size() / 2] ^ 0x55);
    gz[gz.size() / 2 + 1] = static_cast<char>(gz[gz.size() / 2 + 1] ^ 0x55);
    ScratchFile file("corrupt.pdb.gz", gz);
    ChemDoc doc;
    try {
        ReadStructure(doc, file.Path());
        FAIL() << "corrupt gzip data was read";
    } catch (const HostIO::ReadError& e) {
        EXPECT_EQ(std::string(e.what()).rfind(file.Path() + ": corrupt gzip data", 0), 0u) << e.what();
    }
}

}  // namespace
