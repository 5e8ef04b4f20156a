// Protonation states chosen at a pH on corpus structures, and compared with PDB2PQR's.
#include "ChemTestStructures.h"

#include "HostModel/PreparationReport.h"
#include "chem/ProtonationStates.h"
#include "chem/PkaValues.h"
#include "chem/PropkaRunner.h"
#include "io/StructureReader.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

namespace {

using Counts = std::map<std::string, std::size_t>;

Counts TypeCounts(const HostModel::ChemDoc& doc) {
    Counts counts;
    for (const HostModel::Residue* residue : ChemTest::Residues(doc)) {
        if (residue->IsA(HostModel::AminoAcid::classType)) ++counts[residue->GetResidueType()];
    }
    return counts;
}

std::size_t Get(const Counts& counts, const std::string& name) {
    const auto found = counts.find(name);
    return found == counts.end() ? 0 : found->second;
}

// Reads a corpus file, chooses states at ph and returns the amino-acid type counts.
Counts ChooseAt(HostModel::ChemDoc& doc, const std::string& file, double ph) {
    HostIO::ReadStructureFromMemory(doc, ChemTest::CorpusText(file), file);
    HostModel::ProtonationSettings settings;
    settings.ph = ph;
    doc.SetProtonationSettings(settings);
    HostChem::ChooseProtonationStates(doc);
    return TypeCounts(doc);
}

// ---------------------------------------------------------------------------------------------
// Against PDB2PQR: its output files name the states it chose at pH 7 (read back through their
// hydrogens). The histidine tautomers are heuristic in every tool, so only the counts that
// follow from chemistry are compared: bridges, protonated acids, neutral lysines, charged
// histidines, and histidines overall.

struct Pdb2pqrCase {
    const char* structure;
    const char* pdb2pqrOutput;
    std::size_t cyx;  // the bridges, counted by hand from the entries' SSBOND records
};

class StatesAgainstPdb2pqr : public ::testing::TestWithParam<Pdb2pqrCase> {};

TEST_P(StatesAgainstPdb2pqr, BridgesAndIonisableCountsAgree) {
    const Pdb2pqrCase& c = GetParam();
    HostModel::ChemDoc ours;
    const Counts mine = ChooseAt(ours, c.structure, 7.0);
    HostModel::ChemDoc theirs;
    HostIO::ReadStructureFromMemory(theirs, ChemTest::CorpusText(c.pdb2pqrOutput), c.pdb2pqrOutput);
    const Counts pdb2pqr = TypeCounts(theirs);
    EXPECT_EQ(Get(mine, "CYX"), c.cyx);
    EXPECT_EQ(Get(pdb2pqr, "CYX"), c.cyx);
    for (const char* name : {"CYM", "ASH", "GLH", "LYN", "HIP", "ASP", "GLU", "LYS", "ARG", "TYR"}) {
        EXPECT_EQ(Get(mine, name), Get(pdb2pqr, name)) << name;
    }
    const auto histidines = [](const Counts& counts) {
        return Get(counts, "HIS") + Get(counts, "HID") + Get(counts, "HIE") + Get(counts, "HIP");
    };
    EXPECT_EQ(histidines(mine), histidines(pdb2pqr));
    EXPECT_EQ(Get(mine, "HIS"), 0u) << "every histidine gets a tautomer";
    const HostModel::PreparationReport& report = ours.GetPreparationReport();
    EXPECT_EQ(report.pkaSource, "model");
    EXPECT_DOUBLE_EQ(report.ph, 7.0);
    std::size_t chosen = 0;
    for (const char* name : {"CYX", "CYS", "ASP", "GLU", "HID", "HIE", "LYS", "ARG", "TYR"})
        chosen += Get(report.statesChosen, name);
    EXPECT_EQ(chosen, Get(mine, "CYX") + Get(mine, "CYS") + Get(mine, "ASP") + Get(mine, "GLU") + Get(mine, "HID") +
                          Get(mine, "HIE") + Get(mine, "LYS") + Get(mine, "ARG") + Get(mine, "TYR"));
}

const Pdb2pqrCase kPdb2pqrCases[] = {
    {"1AJJ.pdb", "1AJJ_pH7_AMBER.pqr", 6},
    {"1BX8.pdb", "1BX8_pH7_AMBER.pqr", 10},
    {"1AFS.pdb", "1AFS_whitespace_ff=AMBER.pqr", 0},
};

void PrintTo(const Pdb2pqrCase& c, std::ostream* out) { *out << c.structure; }

INSTANTIATE_TEST_SUITE_P(Corpus, StatesAgainstPdb2pqr, ::testing::ValuesIn(kPdb2pqrCases));

// ---------------------------------------------------------------------------------------------
// The pH: every group crosses at its model pKa.

TEST(StatesAtPh, AcidPhProtonatesAcidsHistidinesAndCarboxyTerminus) {
    HostModel::ChemDoc doc;
    const Counts at7 = ChooseAt(doc, "1AFS.pdb", 7.0);
    HostModel::ChemDoc acid;
    const Counts at2 = ChooseAt(acid, "1AFS.pdb", 2.0);
    EXPECT_EQ(Get(at2, "ASH"), Get(at7, "ASP"));
    EXPECT_EQ(Get(at2, "GLH"), Get(at7, "GLU"));
    EXPECT_EQ(Get(at2, "HIP"), Get(at7, "HID") + Get(at7, "HIE"));
    EXPECT_GT(Get(at2, "ASH"), 0u);
    EXPECT_EQ(Get(at2, "ASP") + Get(at2, "GLU") + Get(at2, "HID") + Get(at2, "HIE"), 0u);
    const auto& chosen = acid.GetPreparationReport().statesChosen;
    EXPECT_GT(Get(chosen, "C-terminus COOH"), 0u);
    EXPECT_EQ(Get(chosen, "C-terminus COO-"), 0u);
    std::size_t marked = 0;
    for (const HostModel::Residue* residue : ChemTest::Residues(acid)) {
        marked += residue->GetPropertyAsString("Terminal State") == "COOH";
    }
    EXPECT_EQ(marked, Get(chosen, "C-terminus COOH"));
    // pH 4.0 lies between the model pKa of ASP (3.8) and GLU (4.5).
    HostModel::ChemDoc between;
    const Counts at4 = ChooseAt(between, "1AFS.pdb", 4.0);
    EXPECT_EQ(Get(at4, "ASH"), 0u);
    EXPECT_EQ(Get(at4, "GLH"), Get(at7, "GLU"));
}

TEST(StatesAtPh, BasicPhNeutralisesLysinesCysteinesAndAminoTerminus) {
    HostModel::ChemDoc doc;
    const Counts at7 = ChooseAt(doc, "1AFS.pdb", 7.0);
    EXPECT_EQ(Get(doc.GetPreparationReport().statesChosen, "N-terminus NH2"), 0u);
    HostModel::ChemDoc basic;
    const Counts at11 = ChooseAt(basic, "1AFS.pdb", 11.0);
    EXPECT_EQ(Get(at11, "LYN"), Get(at7, "LYS"));
    EXPECT_GT(Get(at11, "LYN"), 0u);
    EXPECT_EQ(Get(at11, "CYM"), Get(at7, "CYS")) << "free cysteines lose HG above 9.0";
    EXPECT_GT(Get(at11, "CYM"), 0u);
    const auto& report = basic.GetPreparationReport();
    EXPECT_GT(Get(report.statesChosen, "N-terminus NH2"), 0u);
    EXPECT_EQ(Get(report.statesChosen, "N-terminus NH3+"), 0u);
    // Tyrosines would be deprotonated, and no template has the tyrosinate: said, not done.
    EXPECT_EQ(Get(at11, "TYR"), Get(at7, "TYR"));
    ASSERT_FALSE(report.warnings.empty());
    EXPECT_NE(report.warnings.front().find("tyrosine"), std::string::npos) << report.warnings.front();
}

TEST(StatesAtPh, BridgesHoldAtEveryPh) {
    for (double ph : {1.0, 7.0, 13.0}) {
        HostModel::ChemDoc doc;
        EXPECT_EQ(Get(ChooseAt(doc, "1AJJ.pdb", ph), "CYX"), 6u) << "pH " << ph;
    }
}

TEST(StatesAtPh, ResiduesWhoseHydrogensDecidedAreLeftAlone) {
    HostModel::ChemDoc doc;
    HostIO::ReadStructureFromMemory(doc, ChemTest::CorpusText("1AJJ_pH7_AMBER.pqr"), "1AJJ_pH7_AMBER.pqr");
    const Counts before = TypeCounts(doc);
    HostModel::ProtonationSettings settings;
    settings.ph = 1.0;
    doc.SetProtonationSettings(settings);
    HostChem::ChooseProtonationStates(doc);
    EXPECT_EQ(TypeCounts(doc), before);
    EXPECT_TRUE(doc.GetPreparationReport().statesChosen.empty());
    EXPECT_EQ(Get(doc.GetPreparationReport().statesFromHydrogens, "HID"), 2u);
}

TEST(StatesFromPropka, MissingProgramThrowsWithItsName) {
    HostModel::ChemDoc doc;
    HostIO::ReadStructureFromMemory(doc, ChemTest::CorpusText("1AJJ.pdb"), "1AJJ.pdb");
    HostModel::ProtonationSettings settings;
    settings.pkaSource = HostModel::ProtonationSettings::PkaSource::Propka;
    settings.propkaProgram = "/nonexistent-folder/propka3";
    doc.SetProtonationSettings(settings);
    try {
        HostChem::ChooseProtonationStates(doc);
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("/nonexistent-folder/propka3"), std::string::npos) << e.what();
    }
}

TEST(StatesFromPropka, PredictedValuesMoveStatesAtAnIntermediatePh) {
    if (HostChem::FindProgram("propka3").empty()) GTEST_SKIP() << "propka3 not installed";
    // At pH 4.4 the model protonates every GLU (4.5); PROPKA puts 1AJJ's GLU16 at 2.65 and
    // GLU36 at 4.07, so those two stay charged.
    HostModel::ChemDoc model;
    const Counts byModel = ChooseAt(model, "1AJJ.pdb", 4.4);
    HostModel::ChemDoc predicted;
    HostIO::ReadStructureFromMemory(predicted, ChemTest::CorpusText("1AJJ.pdb"), "1AJJ.pdb");
    HostModel::ProtonationSettings settings;
    settings.ph = 4.4;
    settings.pkaSource = HostModel::ProtonationSettings::PkaSource::Propka;
    predicted.SetProtonationSettings(settings);
    HostChem::ChooseProtonationStates(predicted);
    const Counts byPropka = TypeCounts(predicted);
    EXPECT_EQ(Get(byModel, "GLH"), 4u);
    EXPECT_EQ(Get(byPropka, "GLH"), 2u);
    EXPECT_EQ(Get(byPropka, "GLU"), 2u);
    EXPECT_EQ(predicted.GetPreparationReport().pkaSource, "propka");
}

// Only the plain names of the seven titratable side chains name a group: not their variants,
// other cases, nor names that merely start or end like one.
TEST(SideChainGroups, PlainNamesOnly) {
    using HostChem::TitratableGroup;
    const std::pair<const char*, TitratableGroup> groups[] = {
        {"ASP", TitratableGroup::Asp}, {"GLU", TitratableGroup::Glu}, {"HIS", TitratableGroup::His},
        {"CYS", TitratableGroup::Cys}, {"TYR", TitratableGroup::Tyr}, {"LYS", TitratableGroup::Lys},
        {"ARG", TitratableGroup::Arg}};
    for (const auto& [name, group] : groups) EXPECT_EQ(HostChem::SideChainGroup(name), group) << name;
    for (const char* name : {"", "ASH", "HIE", "CYX", "LYN", "his", "HI", "HISS", "XHIS", "ALA", "LONGRESIDUE"})
        EXPECT_EQ(HostChem::SideChainGroup(name), std::nullopt) << name;
    EXPECT_EQ(HostChem::SideChainGroup(std::string("ASP\0", 4)), std::nullopt);
}

}  // namespace
