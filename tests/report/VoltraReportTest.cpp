// The HTML charge report: exact bytes, single-precision sums, suitability and file output.
#include "support/ExportDocuments.h"
#include "support/ScratchFolder.h"

#include "report/VoltraReport.h"

#include "Common/Exception.h"
#include "Common/StringConversion.h"
#include "HostModel/Atom.h"
#include "HostModel/Chain.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/PropertyStore.h"
#include "HostModel/Residue.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <vector>

using namespace HostModel;
using Voltra::VoltraReport;
using VoltraTest::AddAtom;
using VoltraTest::AddMolecule;
using VoltraTest::ReadFileBytes;
using VoltraTest::ScratchFolder;

namespace {

const char* kHead = "<html>\n<title>Electrostatic Charge Report</title>\n<body>\n";
const char* kTail = "</body></html>\n";

std::string Report(const ChemDoc& doc) {
    std::ostringstream out;
    VoltraReport::Generate(out, doc);
    return out.str();
}

Residue& AddResidue(Object& parent, const std::string& label, const std::vector<float>& charges) {
    Residue& residue = parent.Add(std::make_unique<Residue>(label, 0, ""));
    for (float charge : charges) AddAtom(residue, "C", 6, charge);
    return residue;
}

/// Hidden molecules, a hidden residue, atoms outside residues and labels that need escaping.
void BuildMixedDocument(ChemDoc& doc) {
    Molecule& protein = AddMolecule(doc, "Protein <b>&");
    Chain& chain = protein.Add(std::make_unique<AminoAcidChain>("A"));
    AddResidue(chain, "ALA1", {0.125f, 0.1f});
    AddResidue(chain, "GLY2", {-1.0f}).SetVisible(false);
    AddAtom(chain.Add(std::make_unique<Residue>("HOH3", 3, "HOH")), "O", 8, std::nullopt);
    AddResidue(chain, "Q\"x'y4", {12.5f});
    AddAtom(protein, "FE", 26, 2.0f);  // in no residue: not part of the net charge

    Molecule& hidden = AddMolecule(doc, "Hidden");
    AddResidue(hidden, "LYS9", {1.0f});
    hidden.SetVisible(false);

    AddAtom(AddMolecule(doc, "Empty"), "ZN", 30, 3.0f);

    Molecule& ligand = AddMolecule(doc, "Ligand");
    AddResidue(ligand, "LIG1", {0.375f});
    AddResidue(ligand, "LIG2", {0.2f});
}

}  // namespace

TEST(VoltraReportGolden, MixedDocument) {
    ChemDoc doc;
    BuildMixedDocument(doc);
    EXPECT_EQ(Report(doc), ReadFileBytes(std::string(VOLTRA_SOURCE_DIR) + "/tests/report/golden/mixed_document.html"));
}

TEST(VoltraReportLayout, WorkedExample) {
    ChemDoc doc;
    Molecule& molecule = AddMolecule(doc, "M");
    AddResidue(molecule, "A", {0.5f, -1.5f});
    AddAtom(molecule.Add(std::make_unique<Residue>("B", 2, "")), "X", 6, std::nullopt);
    EXPECT_EQ(Report(doc), std::string(kHead) +
                               "Voltra Molecule M Net Charge: -1.00\n<br/>\n<br/>\n"
                               "Voltra Residue A Charge: -1.00\n<br/>\n"
                               "Voltra Residue B Charge:  0.00\n<br/>\n"
                               "\n<br/>\n<br/>\n" +
                               kTail);
}

TEST(VoltraReportLayout, AllMoleculesHiddenGivesOnlyTheFrame) {
    ChemDoc doc;
    Molecule& molecule = AddMolecule(doc, "M");
    AddResidue(molecule, "A", {1.0f});
    molecule.SetVisible(false);
    EXPECT_EQ(Report(doc), std::string(kHead) + kTail);
}

// Each case is chosen so that a double-precision sum would print a different last digit.
TEST(VoltraReportSums, SinglePrecisionPerAddition) {
    const struct {
        std::vector<float> charges;
        const char* printed;  // single precision; double would give the other
        const char* doublePrinted;
    } cases[] = {
        {{0.125f, 0.1f}, " 0.22", " 0.23"},
        {{0.375f, 0.7f}, " 1.08", " 1.07"},
        {{1.005f, 0.2f}, " 1.21", " 1.20"},
        {{-0.345f, -0.3f}, "-0.64", "-0.65"},
    };
    for (const auto& c : cases) {
        double wide = 0.0;
        for (float charge : c.charges) wide += charge;
        ASSERT_NE(std::string(c.printed), c.doublePrinted);
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%5.2f", wide);
        ASSERT_EQ(std::string(buffer), c.doublePrinted) << "the case does not tell the precisions apart";

        ChemDoc doc;
        AddResidue(AddMolecule(doc, "M"), "R", c.charges);
        const std::string expectedLine = std::string("Voltra Residue R Charge: ") + c.printed + "\n<br/>\n";
        EXPECT_NE(Report(doc).find(expectedLine), std::string::npos) << Report(doc);
        EXPECT_NE(Report(doc).find(std::string("Net Charge: ") + c.printed), std::string::npos);
    }
}

// The residues and sums as a walk of the whole tree gives them, on a tree no reader makes:
// residues inside residues and inside atoms, atoms inside atoms and outside any residue. Same
// residues in the same order, and bit for bit the same sums, whose order of additions matters.
TEST(VoltraReportSums, SameAsAWalkOfEveryDescendant) {
    ChemDoc doc;
    Molecule& molecule = AddMolecule(doc, "M");
    Chain& chain = molecule.Add(std::make_unique<AminoAcidChain>("A"));
    Residue& outer = AddResidue(chain, "OUT1", {0.1f, 1e8f, -1e8f, 0.3f});
    Residue& inner = AddResidue(outer, "IN2", {0.7f, 0.11f});
    Atom& host = AddAtom(inner, "C9", 6, 1e7f);
    AddAtom(host, "H9", 1, 0.013f);
    AddResidue(host, "INATOM3", {-0.2f});
    AddAtom(chain, "FE", 26, 2.0f);
    AddResidue(molecule, "LIG4", {0.33f, 0.33f, 0.34f});
    AddAtom(outer, "O9", 8, std::nullopt);

    VoltraReport::MoleculeCharges expected;
    const auto chargeName = PropertyNames::Find("Voltra Charge");
    ASSERT_TRUE(chargeName.has_value());
    DescendentIterator residues(&molecule, Residue::classType);
    while (const Object* residue = residues.GetNext()) {
        float sum = 0.0f;
        DescendentIterator atoms(residue, Atom::classType);
        while (const Object* atom = atoms.GetNext()) {
            float value = 0.0f;
            atom->Properties().GetFloat(*chargeName, value);
            sum += value;
        }
        expected.residues.emplace_back(residue, sum);
        expected.net += sum;
    }
    const VoltraReport::MoleculeCharges charges = VoltraReport::ChargesOf(molecule);
    ASSERT_EQ(charges.residues.size(), 4u);
    ASSERT_EQ(charges.residues.size(), expected.residues.size());
    for (std::size_t i = 0; i < charges.residues.size(); ++i) {
        EXPECT_EQ(charges.residues[i].first, expected.residues[i].first) << "residue " << i;
        EXPECT_EQ(charges.residues[i].second, expected.residues[i].second) << "residue " << i;
    }
    EXPECT_EQ(charges.net, expected.net);
}

TEST(VoltraReportSuitability, AtomsAndTemplatesOfVisibleMolecules) {
    const struct {
        const char* name;
        std::function<void(ChemDoc&)> build;
        bool suitable;
    } cases[] = {
        {"empty document", [](ChemDoc&) {}, false},
        {"molecule without atoms", [](ChemDoc& doc) { AddMolecule(doc, "M"); }, false},
        {"visible molecule without template", [](ChemDoc& doc) { AddAtom(AddMolecule(doc, "M", false), "C", 6, 0.f); },
         false},
        {"only a hidden molecule lacks a template",
         [](ChemDoc& doc) {
             AddAtom(AddMolecule(doc, "M"), "C", 6, 0.f);
             AddMolecule(doc, "H", false).SetVisible(false);
         },
         true},
        {"every molecule has a template", [](ChemDoc& doc) { AddAtom(AddMolecule(doc, "M"), "C", 6, 0.f); }, true},
    };
    for (const auto& c : cases) {
        ChemDoc doc;
        c.build(doc);
        EXPECT_EQ(VoltraReport::IsSuitable(doc), c.suitable) << c.name;
    }
}

TEST(VoltraReportFile, WritesTheStreamBytesAndReplacesTheFile) {
    ChemDoc doc;
    BuildMixedDocument(doc);
    ScratchFolder folder;
    const std::string path = folder / "rapport-\xC3\xA9.html";  // é: the wide path is converted to UTF-8
    VoltraTest::WriteFileBytes(path, std::string(10000, 'x'));
    VoltraReport::Generate(Common::ToWString(path), doc);
    EXPECT_EQ(ReadFileBytes(path), Report(doc));
    EXPECT_EQ(VoltraTest::FolderEntries(folder.Path()), std::set<std::string>{"rapport-\xC3\xA9.html"});
}

TEST(VoltraReportFile, UncreatableFileRaisesAndLeavesNothing) {
    ChemDoc doc;
    BuildMixedDocument(doc);
    ScratchFolder folder;
    const std::string path = folder / "missing/report.html";
    try {
        VoltraReport::Generate(Common::ToWString(path), doc);
        FAIL() << "no exception";
    } catch (const Common::Exception& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot write '" + path + "': No such file or directory");
    }
    EXPECT_TRUE(VoltraTest::FolderEntries(folder.Path()).empty());
}

TEST(VoltraReportFile, ReadOnlyFolderKeepsPreviousReport) {
    if (VoltraTest::RunningAsRoot()) GTEST_SKIP() << "permission bits do not stop the superuser";
    ChemDoc doc;
    BuildMixedDocument(doc);
    ScratchFolder folder;
    VoltraTest::WriteFileBytes(folder / "old.html", "old report\n");
    std::filesystem::permissions(folder.Path(),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_THROW(VoltraReport::Generate(Common::ToWString(folder / "old.html"), doc), Common::Exception);
    EXPECT_EQ(ReadFileBytes(folder / "old.html"), "old report\n");
}
