// What the program reports about an assignment: Sources counted per atom, net charge per visible
// molecule, and the atoms left "Missing" grouped by residue type and atom name.
#include "AppDocuments.h"
#include "AssignmentSummary.h"

#include "HostModel/PreparationReport.h"

#include <gtest/gtest.h>

#include <boost/format.hpp>

#include <cmath>
#include <sstream>

namespace {

using namespace AppTest;
using HostModel::AminoAcid;
using HostModel::AminoAcidChain;
using HostModel::Chain;
using HostModel::Residue;
using VoltraApp::AssignmentSummary;
using VoltraApp::MissingGroup;

// Two visible molecules and a hidden one; Sources of every kind, atoms inside and outside
// residues, one atom without any Voltra property.
struct SummaryDocument {
    HostModel::ChemDoc doc;
    SummaryDocument() {
        auto& visible = AddMolecule(doc, "Visible");
        auto& a = visible.Add(std::make_unique<AminoAcidChain>("A"));
        auto& ala1 = AddResidue<AminoAcid>(a, "ALA", 1);
        Assign(AddAtom(ala1, "N", 7), 0.5f, "Default", 1.5f, "Default");
        Assign(AddAtom(ala1, "CA", 6), -0.25f, "Default", 1.7f, "Default");
        Assign(AddAtom(ala1, "CB", 6), 0.0f, "Missing", 1.7f, "Default");
        Assign(AddAtom(ala1, "HB21", 1), 0.0f, "Missing", 0.0f, "Missing");
        auto& ala2 = AddResidue<AminoAcid>(a, "ALA", 2);
        Assign(AddAtom(ala2, "CB", 6), 0.0f, "Missing", 1.7f, "Default");
        auto& ligands = visible.Add(std::make_unique<Chain>("A"));
        auto& sulfate = AddResidue<Residue>(ligands, "SO4", 3);
        Assign(AddAtom(sulfate, "S", 16), 0.0f, "Missing", 1.8f, "HST");
        Assign(AddAtom(sulfate, "O1", 8), 0.0f, "Missing", 1.52f, "HST");
        Assign(AddAtom(visible, "ZN", 30), 2.0f, "Default", 1.2f, "Default");
        Assign(AddAtom(visible, "FE", 26), 0.0f, "Missing", 1.3f, "Default");
        AddAtom(visible, "X", 0);

        auto& other = AddMolecule(doc, "Other");
        auto& acetate = AddResidue<Residue>(other.Add(std::make_unique<Chain>("B")), "ACT", 1);
        Assign(AddAtom(acetate, "C", 6), -1.0f, "ForceField", 1.7f, "Bondi");

        auto& hidden = AddMolecule(doc, "Hidden");
        Assign(AddAtom(hidden, "NA", 11), 9.0f, "Missing", 0.0f, "Missing");
        hidden.SetVisible(false);
    }
};

std::string Show(const MissingGroup& g) {
    return (g.residueType.empty() ? "-" : g.residueType) + "/" + g.atomName + " x" + std::to_string(g.count) +
           (g.charge ? " charge" : "") + (g.radius ? " radius" : "");
}

TEST(SummarizeAssignment, CountsSourcesOfVisibleAtoms) {
    SummaryDocument sample;
    const AssignmentSummary summary = VoltraApp::SummarizeAssignment(sample.doc);
    EXPECT_EQ(summary.atoms, 11u);
    const std::map<std::string, std::size_t> charges{{"Default", 3}, {"Missing", 6}, {"(none)", 1}, {"ForceField", 1}};
    const std::map<std::string, std::size_t> radii{
        {"Default", 6}, {"Missing", 1}, {"HST", 2}, {"(none)", 1}, {"Bondi", 1}};
    EXPECT_EQ(summary.chargeSources, charges);
    EXPECT_EQ(summary.radiusSources, radii);
}

TEST(SummarizeAssignment, NetChargePerVisibleMoleculeIncludesLooseAtoms) {
    SummaryDocument sample;
    const AssignmentSummary summary = VoltraApp::SummarizeAssignment(sample.doc);
    ASSERT_EQ(summary.molecules.size(), 2u);
    EXPECT_EQ(summary.molecules[0].label, "Visible");
    EXPECT_NEAR(summary.molecules[0].netCharge, 0.5 - 0.25 + 2.0, 1e-6);  // ZN lies in no residue
    EXPECT_EQ(summary.molecules[0].atoms, 10u);
    EXPECT_EQ(summary.molecules[1].label, "Other");
    EXPECT_NEAR(summary.molecules[1].netCharge, -1.0, 1e-6);
    EXPECT_EQ(summary.molecules[1].atoms, 1u);
}

// The report's figure comes from the report's own routine: residues only, in single precision.
TEST(SummarizeAssignment, ReportNetChargeIsTheReportsRule) {
    SummaryDocument sample;
    const AssignmentSummary summary = VoltraApp::SummarizeAssignment(sample.doc);
    ASSERT_EQ(summary.molecules.size(), 2u);
    EXPECT_FLOAT_EQ(summary.molecules[0].reportNetCharge, 0.25f);  // ZN and FE lie in no residue
    EXPECT_FLOAT_EQ(summary.molecules[1].reportNetCharge, -1.0f);
    // Many small charges: the single-precision sum drifts from the exact one, and the summary
    // says both once they part by more than the tolerance.
    HostModel::ChemDoc doc;
    auto& chain = AddMolecule(doc, "Many").Add(std::make_unique<Chain>("A"));
    for (int i = 0; i < 20000; ++i) {
        Assign(AddAtom(AddResidue<Residue>(chain, "ION", i), "X", 11), 0.1f, "Default", 1.0f, "Default");
    }
    const AssignmentSummary many = VoltraApp::SummarizeAssignment(doc);
    ASSERT_EQ(many.molecules.size(), 1u);
    float floatSum = 0.0f;
    for (int i = 0; i < 20000; ++i) floatSum += 0.1f;
    EXPECT_FLOAT_EQ(many.molecules[0].reportNetCharge, floatSum);
    EXPECT_NEAR(many.molecules[0].netCharge, 20000 * static_cast<double>(0.1f), 1e-6);
    ASSERT_GT(std::abs(many.molecules[0].netCharge - many.molecules[0].reportNetCharge),
              VoltraApp::kReportChargeTolerance);
    std::ostringstream out;
    VoltraApp::PrintSummary(out, many);
    EXPECT_NE(out.str().find("net charge of Many: 2000.00 e (20000 atoms), in the report " +
                             (boost::format("%.2f") % floatSum).str() + " e"),
              std::string::npos)
        << out.str();
}

TEST(SummarizeAssignment, GroupsMissingAtomsMostFrequentFirst) {
    SummaryDocument sample;
    const AssignmentSummary summary = VoltraApp::SummarizeAssignment(sample.doc);
    EXPECT_EQ(summary.missingAtoms, 6u);  // HB21 lacks both and is counted once
    std::vector<std::string> groups;
    for (const auto& group : summary.missing) groups.push_back(Show(group));
    ASSERT_EQ(groups.size(), 5u);
    EXPECT_EQ(groups[0], "ALA/CB x2 charge");
    const std::multiset<std::string> rest(groups.begin() + 1, groups.end());
    EXPECT_EQ(rest, (std::multiset<std::string>{"ALA/HB21 x1 charge radius", "SO4/S x1 charge", "SO4/O1 x1 charge",
                                                "-/FE x1 charge"}));
}

TEST(SummarizeAssignment, RadiusOnlyMissingIsMarked) {
    HostModel::ChemDoc doc;
    auto& molecule = AddMolecule(doc, "M");
    auto& residue = AddResidue<Residue>(molecule.Add(std::make_unique<Chain>("A")), "HEM", 1);
    Assign(AddAtom(residue, "FE", 26), 2.0f, "Default", 0.0f, "Missing");
    Assign(AddAtom(residue, "NA", 7), 0.0f, "Default", 0.0f, "Missing");
    const AssignmentSummary summary = VoltraApp::SummarizeAssignment(doc);
    EXPECT_EQ(summary.missingAtoms, 2u);
    for (const auto& group : summary.missing) {
        EXPECT_FALSE(group.charge) << Show(group);
        EXPECT_TRUE(group.radius) << Show(group);
    }
    std::ostringstream out;
    VoltraApp::PrintSummary(out, summary);
    EXPECT_NE(out.str().find("    HEM        2 radius: FEx1 NAx1\n"), std::string::npos) << out.str();
}

TEST(SummarizeAssignment, EmptyDocument) {
    HostModel::ChemDoc doc;
    const AssignmentSummary summary = VoltraApp::SummarizeAssignment(doc);
    EXPECT_EQ(summary.atoms, 0u);
    EXPECT_TRUE(summary.molecules.empty());
    EXPECT_TRUE(summary.chargeSources.empty());
    EXPECT_EQ(summary.missingAtoms, 0u);
}

TEST(PrintSummary, GoldenText) {
    SummaryDocument sample;
    std::ostringstream out;
    VoltraApp::PrintSummary(out, VoltraApp::SummarizeAssignment(sample.doc));
    EXPECT_EQ(
        out.str(),
        "  atoms: 11\n"
        "  charges: (none) 1, Default 3, ForceField 1, Missing 6\n"
        "  radii:   (none) 1, Bondi 1, Default 6, HST 2, Missing 1\n"
        "  net charge of Visible: 2.25 e (10 atoms), in the report 0.25 e (its residues only, summed in single precision)\n"
        "  net charge of Other: -1.00 e (1 atoms)\n"
        "  atoms left Missing: 6 (residue type, atoms, what: atom name x count)\n"
        "    ALA        3 mixed: CBx2(charge) HB21x1(charge+radius)\n"
        "    SO4        2 charge: O1x1 Sx1\n"
        "    -          1 charge: FEx1\n");
}

TEST(PrintSummary, LimitsTheResidueTypesListed) {
    SummaryDocument sample;
    std::ostringstream out;
    VoltraApp::PrintSummary(out, VoltraApp::SummarizeAssignment(sample.doc), 1);
    const std::string text = out.str();
    EXPECT_NE(
        text.find("    ALA        3 mixed: CBx2(charge) HB21x1(charge+radius)\n    ... and 2 more residue types\n"),
        std::string::npos)
        << text;
    EXPECT_EQ(text.find("SO4"), std::string::npos) << text;
}

TEST(PrintSummary, WrapsLongAtomListsUnderTheirResidue) {
    HostModel::ChemDoc doc;
    auto& molecule = AddMolecule(doc, "M");
    auto& residue = AddResidue<Residue>(molecule.Add(std::make_unique<Chain>("A")), "NAP", 1);
    for (int i = 0; i < 40; ++i)
        Assign(AddAtom(residue, "C" + std::to_string(100 + i), 6), 0.0f, "Missing", 1.7f, "Default");
    std::ostringstream out;
    VoltraApp::PrintSummary(out, VoltraApp::SummarizeAssignment(doc));
    std::istringstream in(out.str());
    std::string line;
    std::size_t items = 0;
    std::size_t blockLines = 0;
    while (std::getline(in, line)) {
        if (line.rfind("    ", 0) != 0) continue;
        ++blockLines;
        EXPECT_LE(line.size(), 100u) << line;
        std::istringstream words(line);
        std::string word;
        while (words >> word) items += word.find('x') != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(items, 40u) << out.str();
    EXPECT_GT(blockLines, 1u) << out.str();
}

TEST(PrintSummary, NothingMissing) {
    HostModel::ChemDoc doc;
    auto& molecule = AddMolecule(doc, "1ABC");
    auto& water = AddResidue<Residue>(molecule.Add(std::make_unique<Chain>("A")), "HOH", 1);
    Assign(AddAtom(water, "O", 8), -0.5f, "Zero", 1.4f, "Parse");
    std::ostringstream out;
    VoltraApp::PrintSummary(out, VoltraApp::SummarizeAssignment(doc));
    EXPECT_EQ(out.str(),
              "  atoms: 1\n"
              "  charges: Zero 1\n"
              "  radii:   Parse 1\n"
              "  net charge of 1ABC: -0.50 e (1 atoms)\n"
              "  no atom was left Missing\n");
}

}  // namespace

namespace {

// The preparation lines: only the parts the report fills, counts grouped, most frequent first.
TEST(PrintPreparation, PrintsOnlyTheFilledPartsCompactly) {
    HostModel::PreparationReport report;
    std::ostringstream empty;
    VoltraApp::PrintPreparation(empty, report);
    EXPECT_EQ(empty.str(), "");

    report.hydrogensAdded = {{"LYS", 312}, {"ALA", 2284}};
    report.statesChosen = {{"HID", 6}, {"HIE", 8}, {"CYX", 2}};
    report.ph = 7.0;
    report.pkaSource = "model";
    report.atomsCompleted = {{"LYS", 2}};
    report.residuesLeftIncomplete = {"LYS21 chain A: no CA to build from"};
    std::ostringstream text;
    VoltraApp::PrintPreparation(text, report);
    EXPECT_EQ(text.str(),
              "  states: HIE 8, HID 6, CYX 2 (pH 7.0, model pKa)\n"
              "  atoms completed: 2 (LYS 2)\n"
              "  left incomplete: 1 (LYS21 chain A: no CA to build from)\n"
              "  hydrogens added: 2,596 (ALA 2,284, LYS 312)\n");
}

}  // namespace

namespace {

// Sources are told apart by their pooled texts; one written as an empty text reads as absent and
// one written as a number as its rendering, as reading the texts themselves tells them.
TEST(SummarizeAssignment, SourcesWrittenAsEmptyTextOrNumber) {
    HostModel::ChemDoc doc;
    auto& molecule = AddMolecule(doc, "M");
    auto& residue = AddResidue<Residue>(molecule.Add(std::make_unique<Chain>("A")), "LIG", 1);
    Assign(AddAtom(residue, "C1", 6), 0.5f, "", 1.7f, "Default");
    auto& numbered = AddAtom(residue, "C2", 6);
    Assign(numbered, 0.25f, "Default", 1.7f, "Missing");
    numbered.SetProperty("Voltra Charge Source", 2.5f, 0);
    Assign(AddAtom(residue, "C3", 6), 0.0f, "Missing", 1.7f, "");

    const AssignmentSummary summary = VoltraApp::SummarizeAssignment(doc);
    const std::map<std::string, std::size_t> charges{{"(none)", 1}, {"2.5", 1}, {"Missing", 1}};
    const std::map<std::string, std::size_t> radii{{"(none)", 1}, {"Default", 1}, {"Missing", 1}};
    EXPECT_EQ(summary.chargeSources, charges);
    EXPECT_EQ(summary.radiusSources, radii);
    EXPECT_EQ(summary.missingAtoms, 2u);  // C2's radius and C3's charge; an empty Source is not Missing
}

}  // namespace
