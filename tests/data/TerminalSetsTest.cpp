// The terminal residue sets of the shipped templates (NALA ... CVAL): Amber's add up to the
// residue's formal charge plus or minus one, every residue-keyed file has both sets of every
// amino acid with all the atoms the internal residue has, and the default charges do not change
// at a chain end.
#include "templates/Template.h"
#include "templates/TemplateFileIO.h"

#include "support/SourceTemplates.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <map>
#include <string>

namespace {

const char* const kAminoAcids[] = {"ALA", "ARG", "ASN", "ASP", "CYS", "GLN", "GLU", "GLY", "HIS", "ILE",
                                   "LEU", "LYS", "MET", "PHE", "PRO", "SER", "THR", "TRP", "TYR", "VAL",
                                   "ASH", "CYM", "CYX", "GLH", "HID", "HIE", "HIP", "LYN"};

// Side-chain charge at the state the name says (the internal residue's net charge).
int SideChainCharge(const std::string& residue) {
    static const std::map<std::string, int> kCharged = {{"ASP", -1}, {"GLU", -1}, {"CYM", -1},
                                                        {"LYS", 1},  {"ARG", 1},  {"HIP", 1}};
    const auto found = kCharged.find(residue);
    return found == kCharged.end() ? 0 : found->second;
}

using VoltraTest::EntriesOf;

Voltra::TemplatePtr Load(const char* fileName) { return VoltraTest::LoadSourceTemplate(fileName); }

class TerminalSets : public ::testing::Test {
protected:
    VoltraTest::SourceTemplates templates_;
};

TEST_F(TerminalSets, AmberSetsCarryTheTerminalCharge) {
    const Voltra::TemplatePtr amber = Load("prot_amb.crg");
    // Amber has no terminal residues of the neutral and anionic variants: those repeat the
    // internal entries and are not checked here.
    for (const std::string residue : kAminoAcids) {
        if (residue == "ASH" || residue == "GLH" || residue == "CYM" || residue == "LYN") continue;
        auto nTerminal = EntriesOf(*amber, "N" + residue);
        // An N-terminal proline carries two amine hydrogens; H1 repeats H2 for either naming.
        if (residue == "PRO") nTerminal.erase("H1");
        double net = 0;
        for (const auto& [atom, q] : nTerminal) net += q;
        EXPECT_NEAR(net, SideChainCharge(residue) + 1, 1e-6) << "N" << residue;
        net = 0;
        for (const auto& [atom, q] : EntriesOf(*amber, "C" + residue)) net += q;
        EXPECT_NEAR(net, SideChainCharge(residue) - 1, 1e-6) << "C" << residue;
    }
}

TEST_F(TerminalSets, EveryResidueKeyedFileHasBothSetsWithEveryAtom) {
    for (const char* file : {"prot_amb.crg", "parseres.crg", "parseres.siz", "default.crg"}) {
        const Voltra::TemplatePtr t = Load(file);
        for (const std::string residue : kAminoAcids) {
            const auto internal = EntriesOf(*t, residue);
            const auto nTerminal = EntriesOf(*t, "N" + residue);
            const auto cTerminal = EntriesOf(*t, "C" + residue);
            ASSERT_FALSE(internal.empty()) << file << " " << residue;
            for (const char* amine : {"H2", "H3"}) EXPECT_TRUE(nTerminal.count(amine)) << file << " N" << residue;
            EXPECT_TRUE(cTerminal.count("OXT")) << file << " C" << residue;
            for (const auto& [atom, value] : internal) {
                if (atom == "H" || atom == "H1" || atom == "H2" || atom == "H3" || atom == "OXT") continue;
                EXPECT_TRUE(nTerminal.count(atom)) << file << ": N" << residue << " lacks " << atom;
                EXPECT_TRUE(cTerminal.count(atom)) << file << ": C" << residue << " lacks " << atom;
            }
        }
    }
}

TEST_F(TerminalSets, DefaultChargesDoNotChangeAtAChainEnd) {
    const Voltra::TemplatePtr charges = Load("default.crg");
    for (const std::string residue : kAminoAcids) {
        const auto internal = EntriesOf(*charges, residue);
        for (const std::string prefix : {"N", "C"}) {
            for (const auto& [atom, q] : EntriesOf(*charges, prefix + residue)) {
                ASSERT_TRUE(internal.count(atom)) << prefix << residue << " " << atom;
                EXPECT_EQ(q, internal.at(atom)) << prefix << residue << " " << atom;
            }
        }
    }
}

}  // namespace
