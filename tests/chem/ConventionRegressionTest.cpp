// One structure in two spellings gives one set of charges: corpus files renamed to the
// conventions of PDB2PQR (HIS with HD1/HE2), Amber (RG, RC, RA5, ...) and older PDB files (DNA as
// A/C/G/T with O1P), against the same file in the PDB's current names.
#include "ChemTestStructures.h"

#include "commands/CmdApplyAmberPlusDefaultTemplates.h"
#include "commands/CmdApplyDefaultTemplates.h"
#include "commands/CmdApplyParseTemplates.h"
#include "io/StructureReader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>

namespace {

enum class Scheme { Default, Amber, Parse };

std::unique_ptr<HostModel::Command> MakeCommand(Scheme scheme) {
    switch (scheme) {
        case Scheme::Default: return std::make_unique<Voltra::CmdApplyDefaultTemplates>();
        case Scheme::Amber: return std::make_unique<Voltra::CmdApplyAmberPlusDefaultTemplates>();
        case Scheme::Parse: return std::make_unique<Voltra::CmdApplyParseTemplates>();
    }
    return nullptr;
}

struct Assigned {
    std::vector<float> charges;        // per atom, tree order
    std::vector<std::string> sources;  // "Missing" where no template matched
    std::vector<double> chainNets;
    std::size_t nucleotides = 0;
    std::size_t phosphates = 0;  // nucleotides with a P
    double nucleotideNet = 0;
};

Assigned Assign(const std::string& text, const std::string& name, Scheme scheme) {
    HostModel::ChemDoc doc;
    HostIO::ReadStructureFromMemory(doc, text, name);
    const auto command = MakeCommand(scheme);
    EXPECT_TRUE(doc.Execute(*command)) << command->GetErrorMessage();
    Assigned out;
    std::map<const HostModel::Object*, double> nets;
    std::vector<const HostModel::Object*> chainOrder;
    for (const HostModel::Residue* residue : ChemTest::Residues(doc)) {
        const bool nucleotide = residue->IsA(HostModel::Nucleotide::classType);
        out.nucleotides += nucleotide;
        const HostModel::Object* chain = residue->GetParent();
        if (!nets.count(chain)) chainOrder.push_back(chain);
        for (std::size_t i = 0; i < residue->GetNumChildren(); ++i) {
            const HostModel::Object* atom = residue->GetChild(i);
            float charge = std::nanf("");
            atom->GetProperty("Voltra Charge", charge);
            out.charges.push_back(charge);
            out.sources.push_back(atom->GetPropertyAsString("Voltra Charge Source"));
            out.phosphates += nucleotide && atom->GetLabel() == "P";
            nets[chain] += std::isnan(charge) ? 0.0 : charge;
            if (nucleotide && !std::isnan(charge)) out.nucleotideNet += charge;
        }
    }
    for (const HostModel::Object* chain : chainOrder) out.chainNets.push_back(nets[chain]);
    return out;
}

void ExpectSameCharges(const Assigned& current, const Assigned& renamed) {
    ASSERT_EQ(current.charges.size(), renamed.charges.size());
    std::size_t differ = 0, missing = 0;
    for (std::size_t i = 0; i < current.charges.size(); ++i) {
        const bool same = current.charges[i] == renamed.charges[i] ||
                          (std::isnan(current.charges[i]) && std::isnan(renamed.charges[i]));
        differ += !same;
        missing += renamed.sources[i] == "Missing" && current.sources[i] != "Missing";
    }
    EXPECT_EQ(differ, 0u) << "atoms whose charge depends on the spelling";
    EXPECT_EQ(missing, 0u) << "atoms Missing only in the renamed file";
    ASSERT_EQ(current.chainNets.size(), renamed.chainNets.size());
    for (std::size_t i = 0; i < current.chainNets.size(); ++i) {
        EXPECT_NEAR(current.chainNets[i], renamed.chainNets[i], 1e-4) << "chain " << i + 1;
    }
}

// ---------------------------------------------------------------------------------------------
// PDB2PQR's plain HIS: its own output with the state names taken away; the hydrogens remain.

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

struct HistidineCase {
    const char* file;
    Scheme scheme;
};

class HistidineAsHis : public ::testing::TestWithParam<HistidineCase> {};

TEST_P(HistidineAsHis, HydrogensGiveTheStateTheNameNoLongerSays) {
    const HistidineCase& c = GetParam();
    ChemTest::SourceTemplates templates;
    const std::string original = ChemTest::CorpusText(c.file);
    const std::string renamed =
        ReplaceAll(ReplaceAll(ReplaceAll(original, " HID ", " HIS "), " HIE ", " HIS "), " HIP ", " HIS ");
    ASSERT_NE(original, renamed) << "the file names no histidine state";
    const Assigned current = Assign(original, c.file, c.scheme);
    const Assigned asHis = Assign(renamed, c.file, c.scheme);
    ExpectSameCharges(current, asHis);
}

const HistidineCase kHistidineCases[] = {
    {"1AFS_whitespace_ff=AMBER.pqr", Scheme::Amber},
    {"1AJJ_pH7_PARSE.pqr", Scheme::Parse},
    {"cterm_hid_out.pqr", Scheme::Amber},
};

void PrintTo(const HistidineCase& c, std::ostream* out) { *out << c.file; }

INSTANTIATE_TEST_SUITE_P(Pdb2pqrOutputs, HistidineAsHis, ::testing::ValuesIn(kHistidineCases));

// ---------------------------------------------------------------------------------------------
// Nucleic acids: 1pfe's DNA written as PDB in current names and in the older ones.

bool IsDna(const std::string& type) { return type == "DA" || type == "DC" || type == "DG" || type == "DT"; }

// The first and last nucleotide of a chain, for Amber's 5'/3' names.
char EndOf(const HostModel::Residue& residue) {
    const HostModel::Object* chain = residue.GetParent();
    const std::size_t n = chain->GetNumChildren();
    if (n > 1 && chain->GetChild(0) == &residue) return '5';
    if (n > 1 && chain->GetChild(n - 1) == &residue) return '3';
    return 0;
}

ChemTest::PdbName Current(const HostModel::Residue& residue, const HostModel::Atom& atom) {
    return {residue.GetResidueType(), atom.GetLabel()};
}

ChemTest::PdbName OlderPdb(const HostModel::Residue& residue, const HostModel::Atom& atom) {
    std::string type = residue.GetResidueType();
    std::string name = atom.GetLabel();
    if (IsDna(type)) {
        type = type.substr(1);  // DA -> A
        if (name == "OP1") name = "O1P";
        if (name == "OP2") name = "O2P";
        if (name == "OP3") name = "O3P";
        if (name == "C7") name = "C5M";
    }
    return {type, name};
}

// The DNA made RNA for the test: an O2' on every sugar (added to the document below), U for T.
ChemTest::PdbName RnaCurrent(const HostModel::Residue& residue, const HostModel::Atom& atom) {
    std::string type = residue.GetResidueType();
    if (!IsDna(type)) return {type, atom.GetLabel()};
    if (type == "DT" && atom.GetLabel() == "C7") return {type, ""};
    return {type == "DT" ? "U" : type.substr(1), atom.GetLabel()};
}

ChemTest::PdbName RnaAmber(const HostModel::Residue& residue, const HostModel::Atom& atom) {
    ChemTest::PdbName name = RnaCurrent(residue, atom);
    if (!IsDna(residue.GetResidueType())) return name;
    name.residue = "R" + name.residue;
    if (const char end = EndOf(residue)) name.residue += end;
    return name;
}

void AddO2Primes(HostModel::ChemDoc& doc) {
    for (HostModel::Residue* residue : ChemTest::Residues(doc)) {
        if (!IsDna(residue->GetResidueType())) continue;
        for (std::size_t i = 0; i < residue->GetNumChildren(); ++i) {
            const HostModel::Object* child = residue->GetChild(i);
            if (child->GetLabel() != "C2'") continue;
            HostModel::Vec3 p = static_cast<const HostModel::Atom*>(child)->GetPosition();
            p.z += 1.43;
            auto o2 = std::make_unique<HostModel::Atom>("O2'", 8);
            o2->SetPosition(p);
            residue->AddChild(std::move(o2));
            break;
        }
    }
}

class NucleicNames : public ::testing::TestWithParam<Scheme> {};

TEST_P(NucleicNames, DnaAsACGTWithO1PGivesTheSameCharges) {
    ChemTest::SourceTemplates templates;
    HostModel::ChemDoc source;
    HostIO::ReadStructureFromMemory(source, ChemTest::CorpusText("1pfe.cif.gz"), "1pfe.cif.gz");
    const std::string current = ChemTest::WritePdb(source, Current);
    const std::string older = ChemTest::WritePdb(source, OlderPdb);
    ASSERT_NE(older.find("  O1P   A "), std::string::npos);
    const Assigned a = Assign(current, "current.pdb", GetParam());
    const Assigned b = Assign(older, "older.pdb", GetParam());
    EXPECT_GT(a.nucleotides, 0u);
    EXPECT_EQ(a.nucleotides, b.nucleotides) << "A/C/G/T read as nucleotides";
    ExpectSameCharges(a, b);
}

TEST_P(NucleicNames, RnaAsAmberRGRCGivesTheSameCharges) {
    ChemTest::SourceTemplates templates;
    HostModel::ChemDoc source;
    HostIO::ReadStructureFromMemory(source, ChemTest::CorpusText("1pfe.cif.gz"), "1pfe.cif.gz");
    AddO2Primes(source);
    const std::string current = ChemTest::WritePdb(source, RnaCurrent);
    const std::string amber = ChemTest::WritePdb(source, RnaAmber);
    ASSERT_NE(amber.find(" RG5 "), std::string::npos);
    ASSERT_NE(amber.find(" RC "), std::string::npos);
    const Assigned a = Assign(current, "current.pdb", GetParam());
    const Assigned b = Assign(amber, "amber.pdb", GetParam());
    EXPECT_GT(a.nucleotides, 0u);
    EXPECT_EQ(a.nucleotides, b.nucleotides);
    ExpectSameCharges(a, b);
}

INSTANTIATE_TEST_SUITE_P(Schemes, NucleicNames, ::testing::Values(Scheme::Default, Scheme::Amber, Scheme::Parse));

TEST(NucleicNamesDefault, OlderDnaStrandsCarryTheirPhosphateCharge) {
    // Older DNA names used to leave every strand at 0 e under the default scheme.
    ChemTest::SourceTemplates templates;
    HostModel::ChemDoc source;
    HostIO::ReadStructureFromMemory(source, ChemTest::CorpusText("1pfe.cif.gz"), "1pfe.cif.gz");
    const Assigned older = Assign(ChemTest::WritePdb(source, OlderPdb), "older.pdb", Scheme::Default);
    // -1 e per phosphate (the default set's OP1/OP2 at -0.5 each); 1pfe has no 5' phosphate.
    EXPECT_EQ(older.phosphates, 7u);
    EXPECT_NEAR(older.nucleotideNet, -7.0, 1e-3);
}

}  // namespace
