// The default scheme on completed structures: each structure's net charge is the formal
// charge its residue names imply, now that no side chain loses its charge to missing atoms.
// The oracle counts from names and the host's bonds only, never from the atoms built.
#include "CompletionTestSupport.h"

#include "Options.h"
#include "VoltraRun.h"

#include "Quorva_ProteinCore/BuilderUtility.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <set>
#include <sstream>

namespace {

using namespace CompletionTest;
using HostModel::Residue;

struct RunResult {
    int exitCode;
    double netCharge;
    std::string err;
};

RunResult RunDefault(const std::string& file, bool complete) {
    VoltraApp::Options options;
    options.inputs = {CorpusPath(file)};
    options.assignment = VoltraApp::Assignment::Default;
    options.root = std::string(VOLTRA_BUILD_DIR) + "/bin";
    options.completeMissingAtoms = complete;
    std::ostringstream out, err;
    RunResult result{VoltraApp::Run(options, out, err), 0, err.str()};
    std::smatch match;
    if (std::regex_search(result.err, match, std::regex("net charge of [^:]*: (-?[0-9.]+) e")))
        result.netCharge = std::stod(match[1]);
    else result.netCharge = 1e9;
    return result;
}

// Formal charges at pH 7 of what the default templates name: ionisable side chains, charged
// termini (the N of the first N-terminal residue of each amino-acid chain, a carboxylate at each
// standard residue ending a chain with a free C), one per phosphate, monatomic ions, and the
// crystallisation additives as deposited (sulfate, phosphate, acetate; glycerol and ethylene
// glycol are neutral).
double ChargeOfName(const std::string& type) {
    static const std::map<std::string, double> charges = {
        {"LYS", 1}, {"ARG", 1}, {"HIP", 1}, {"ASP", -1}, {"GLU", -1}, {"CYM", -1}, {"LI", 1},   {"NA", 1},
        {"K", 1},   {"RB", 1},  {"CS", 1},  {"CU1", 1},  {"MG", 2},   {"CA", 2},   {"SR", 2},   {"BA", 2},
        {"MN", 2},  {"FE2", 2}, {"CO", 2},  {"NI", 2},   {"CU", 2},   {"ZN", 2},   {"CD", 2},   {"HG", 2},
        {"FE", 3},  {"F", -1},  {"CL", -1}, {"BR", -1},  {"IOD", -1}, {"SO4", -2}, {"PO4", -3}, {"ACT", -1}};
    const auto it = charges.find(type);
    return it == charges.end() ? 0 : it->second;
}

bool FreeCarbonyl(const Residue& residue) {
    const HostModel::Atom* c = residue.FindAtom("C");
    if (!c) return false;
    for (const HostModel::Atom* partner : c->GetBonds())
        if (partner->GetLabel() == "N" && partner->GetParent() != &residue) return false;
    return true;
}

double FormalCharge(const HostModel::Molecule& molecule, std::set<std::string>& uncounted) {
    static const std::set<std::string> neutral = {"HOH", "ACE", "NME", "NH2", "GOL", "EDO"};
    double charge = 0;
    for (std::size_t c = 0; c < molecule.GetNumChildren(); ++c) {
        const HostModel::Object& chain = *molecule.GetChild(c);
        const Residue* firstNTerminus = nullptr;
        const Residue* lastAminoAcid = nullptr;
        for (std::size_t r = 0; r < chain.GetNumChildren(); ++r) {
            const auto& residue = static_cast<const Residue&>(*chain.GetChild(r));
            const std::string& type = residue.GetResidueType();
            if (residue.IsA(HostModel::AminoAcid::classType)) {
                if (!firstNTerminus && Quorva_ProteinCore::BuilderUtility::IsNTerminus(&residue))
                    firstNTerminus = &residue;
                lastAminoAcid = &residue;
            }
            if (residue.IsA(HostModel::Nucleotide::classType) && IsStandard(type)) {
                charge -= residue.FindAtom("P") ? 1 : 0;
                charge -= residue.FindAtom("OP3") ? 1 : 0;
            } else if (!IsStandard(type) && ChargeOfName(type) == 0 && !neutral.count(type)) {
                uncounted.insert(type);
            }
            charge += ChargeOfName(type);
        }
        if (chain.IsA(HostModel::AminoAcidChain::classType) && lastAminoAcid) {
            if (firstNTerminus) charge += 1;
            if (IsStandard(lastAminoAcid->GetResidueType()) && FreeCarbonyl(*lastAminoAcid)) charge -= 1;
        }
    }
    return charge;
}

TEST(DefaultCharges, 1BX8_CompletedLysinesCountAgain) {
    REQUIRE_MONOMER_LIBRARY();
    // Six LYS, two ARG, one ASP, four GLU, both termini charged: +3 (PDB2PQR: +3.0 as well),
    // and a sulfate, -2. As read, LYS21 and LYS34 lack NZ and the chain end its OXT: 0.
    const RunResult completed = RunDefault("1BX8.pdb", true);
    ASSERT_EQ(completed.exitCode, 0) << completed.err;
    EXPECT_NEAR(completed.netCharge, 1.0, 0.005) << completed.err;
    const RunResult asRead = RunDefault("1BX8.pdb", false);
    ASSERT_EQ(asRead.exitCode, 0) << asRead.err;
    EXPECT_NEAR(asRead.netCharge, 0.0, 0.005) << asRead.err;
}

TEST(DefaultCharges, EveryCorpusStructureCarriesItsFormalCharge) {
    REQUIRE_MONOMER_LIBRARY();
    std::printf("default scheme: file, net charge, formal charge of the names the templates know, not counted\n");
    for (const std::string& file : CorpusStructures()) {
        HostModel::ChemDoc doc;
        std::set<std::string> uncounted;
        const double formal = FormalCharge(Read(doc, file), uncounted);
        const RunResult run = RunDefault(file, true);
        ASSERT_EQ(run.exitCode, 0) << file << ": " << run.err;
        std::string names;
        for (const std::string& name : uncounted) names += " " + name;
        std::printf("  %-24s %6.2f %6.2f%s\n", file.c_str(), run.netCharge, formal, names.c_str());
        // Ligands without template entries (NAP, TES, ...) stay at zero on both sides.
        EXPECT_NEAR(run.netCharge, formal, 0.005) << file;
    }
}

}  // namespace
