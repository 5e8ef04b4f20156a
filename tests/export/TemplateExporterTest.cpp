// The exported .siz/.crg pair: line layout, golden bytes, refusals, paths and failed writes.
#include "support/ExportDocuments.h"
#include "support/ScratchFolder.h"

#include "export/TemplateExporter.h"
#include "templates/Template.h"

#include "Common/Exception.h"
#include "HostModel/Chain.h"
#include "HostModel/Residue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

using namespace HostModel;
using Voltra::TemplateEntry;
using Voltra::TemplateExporter;
using VoltraTest::AddAtom;
using VoltraTest::AddMolecule;
using VoltraTest::FolderEntries;
using VoltraTest::ReadFileBytes;
using VoltraTest::ScratchFolder;
using VoltraTest::WriteFileBytes;

namespace {

const std::string kGoldenDir = std::string(VOLTRA_SOURCE_DIR) + "/tests/export/golden/";

struct Failure {
    std::string message;  // empty when nothing was thrown
    std::string source;
    int code = -1;
};

Failure ExportFailure(const ChemDoc& doc, const std::string& path) {
    try {
        TemplateExporter::ExportFrom(doc, path);
    } catch (const Common::Exception& e) {
        return {e.what(), e.GetSource(), e.GetCode()};
    }
    return {};
}

/// One molecule, one residue ALA12 in chain A with a single atom N.
void BuildSmallDocument(ChemDoc& doc, float charge = -0.4f, float radius = 1.65f) {
    Molecule& molecule = AddMolecule(doc, "Small");
    Object& residue =
        molecule.Add(std::make_unique<AminoAcidChain>("A")).Add(std::make_unique<AminoAcid>("ALA12", 12, "ALA"));
    AddAtom(residue, "N", 7, charge, radius);
}

}  // namespace

struct LineCase {
    TemplateEntry entry;
    const char* expected;
};

TEST(TemplateExportLine, ColumnsWidthsAndNameMapping) {
    const LineCase cases[] = {
        {{"CA", -0.25f, "ALA", "5", "A"}, "CA    ALA5   A  -0.250\n"},
        {{"FE", 1.8f}, "FE               1.800\n"},
        {{"CA", 0.1f, "GLY", "1234", "B"}, "CA    GLY1234B   0.100\n"},
        {{"CA", 0.1f, "GLY", "12345", "B"}, "CA    GLY12345B   0.100\n"},
        {{"CA", 1234.5678f, "GLY", "5", "B"}, "CA    GLY5   B1234.568\n"},
        {{"CA", 12345.678f, "GLY", "5", "B"}, "CA    GLY5   B12345.678\n"},
        {{"N", -0.4f, "ALA", "12", "A"}, "N     ALA12  A  -0.400\n"},
        {{"O", -0.834f, "HOH", "301", ""}, "O     HOH301    -0.834\n"},
        {{"C", 0.0f, "LONGRES", "3", "AB"}, "C     LONGRES3   A   0.000\n"},
        {{"ABCDEFGH", 0.1f, "ASN", "1234", "A"}, "ABCDEFGHASN1234A   0.100\n"},
        {{"OCT1", -0.8f, "ALA", "5", "A"}, "1OCT  ALA5   A  -0.800\n"},
        {{"OCT2", -0.8f, "ALA", "5", "A"}, "2OCT  ALA5   A  -0.800\n"},
        {{"oct1", -0.8f, "ALA", "5", "A"}, "oct1  ALA5   A  -0.800\n"},
        {{"OCT12", -0.8f, "ALA", "5", "A"}, "OCT12 ALA5   A  -0.800\n"},
        {{"1HD2", 0.4193f, "ASN", "7", "A"}, "1HD2  ASN7   A   0.419\n"},
    };
    for (const LineCase& c : cases) {
        EXPECT_EQ(TemplateExporter::FormatTemplateLine(c.entry), c.expected) << "atom " << c.entry.atomName;
    }
}

TEST(TemplateExportGolden, ColumnRulesDocument) {
    ChemDoc doc;
    VoltraTest::BuildColumnRulesDocument(doc);
    ScratchFolder folder;
    TemplateExporter::ExportFrom(doc, folder / "column_rules");
    EXPECT_EQ(ReadFileBytes(folder / "column_rules.siz"), ReadFileBytes(kGoldenDir + "column_rules.siz"));
    EXPECT_EQ(ReadFileBytes(folder / "column_rules.crg"), ReadFileBytes(kGoldenDir + "column_rules.crg"));
    EXPECT_EQ(FolderEntries(folder.Path()), (std::set<std::string>{"column_rules.crg", "column_rules.siz"}));
}

TEST(TemplateExportEntry, AtomWithoutFloatValueIsLeftOut) {
    ChemDoc doc;
    Molecule& molecule = AddMolecule(doc, "M");
    Atom& textCharge = AddAtom(molecule, "C1", 6, std::nullopt, 1.7f);
    textCharge.SetProperty("Voltra Charge", std::string("0.5"), 0);
    ScratchFolder folder;
    TemplateExporter::ExportFrom(doc, folder / "text_charge");
    const std::string charges = ReadFileBytes(folder / "text_charge.crg");
    const std::string radii = ReadFileBytes(folder / "text_charge.siz");
    EXPECT_EQ(charges.find("C1"), std::string::npos) << charges;
    EXPECT_EQ(radii.substr(radii.find("C1")), TemplateExporter::FormatTemplateLine(TemplateEntry("C1", 1.7f)));
}

struct RefusalCase {
    const char* name;
    std::function<void(ChemDoc&)> build;
    const char* message;
};

TEST(TemplateExportRefusals, MessagesInOrderAndNothingWritten) {
    const char* oneMolecule = "There must be exactly one molecule for Voltra to work. Aborting.";
    const char* noTemplate = "No template was applied to the molecule. Aborting.";
    const RefusalCase cases[] = {
        {"no molecule", [](ChemDoc&) {}, oneMolecule},
        {"two molecules, one hidden",
         [](ChemDoc& doc) {
             BuildSmallDocument(doc);
             AddMolecule(doc, "Hidden").SetVisible(false);
         },
         oneMolecule},
        // The count is tested before the template records.
        {"two molecules without templates",
         [](ChemDoc& doc) {
             AddAtom(AddMolecule(doc, "M1", false), "C", 6, 0.1f);
             AddAtom(AddMolecule(doc, "M2", false), "C", 6, 0.1f);
         },
         oneMolecule},
        {"visible molecule without template", [](ChemDoc& doc) { AddAtom(AddMolecule(doc, "M", false), "C", 6, 0.1f); },
         noTemplate},
    };
    for (const RefusalCase& c : cases) {
        ChemDoc doc;
        c.build(doc);
        ScratchFolder folder;
        WriteFileBytes(folder / "out.crg", "previous charges\n");
        const Failure failure = ExportFailure(doc, folder / "out");
        EXPECT_EQ(failure.message, c.message) << c.name;
        EXPECT_EQ(failure.source, "TemplateExporter") << c.name;
        EXPECT_EQ(failure.code, 0) << c.name;
        EXPECT_EQ(FolderEntries(folder.Path()), std::set<std::string>{"out.crg"}) << c.name;
        EXPECT_EQ(ReadFileBytes(folder / "out.crg"), "previous charges\n") << c.name;
    }
}

TEST(TemplateExportFiles, HiddenSingleMoleculeGivesHeadersOnly) {
    ChemDoc doc;
    Molecule& hidden = AddMolecule(doc, "Hidden", false);  // hidden molecules need no template record
    AddAtom(hidden, "C", 6, 0.1f, 1.7f);
    hidden.SetVisible(false);
    ScratchFolder folder;
    TemplateExporter::ExportFrom(doc, folder / "hidden");
    EXPECT_EQ(ReadFileBytes(folder / "hidden.siz"), "! Autogenerated Voltra template file\natom__resnumbc_radius_\n");
    EXPECT_EQ(ReadFileBytes(folder / "hidden.crg"), "! Autogenerated Voltra template file\natom__resnumbc_charge_\n");
}

TEST(TemplateExportFiles, ExtensionsAreAppendedToThePathAsGiven) {
    ChemDoc doc;
    BuildSmallDocument(doc);
    ScratchFolder folder;
    std::filesystem::create_directory(folder.Path() / "out");
    TemplateExporter::ExportFrom(doc, folder / "out/result");
    TemplateExporter::ExportFrom(doc, folder / "out/charges.crg");
    EXPECT_EQ(FolderEntries(folder.Path() / "out"),
              (std::set<std::string>{"result.siz", "result.crg", "charges.crg.siz", "charges.crg.crg"}));
    EXPECT_EQ(ReadFileBytes(folder / "out/result.crg"),
              "! Autogenerated Voltra template file\natom__resnumbc_charge_\nN     ALA12  A  -0.400\n");
    EXPECT_EQ(ReadFileBytes(folder / "out/charges.crg.siz"),
              "! Autogenerated Voltra template file\natom__resnumbc_radius_\nN     ALA12  A   1.650\n");
}

TEST(TemplateExportFiles, ExportingTwiceReplacesBothFiles) {
    ScratchFolder folder;
    WriteFileBytes(folder / "twice.siz", std::string(4096, 'x'));  // longer than the export
    ChemDoc first;
    BuildSmallDocument(first, -0.4f);
    TemplateExporter::ExportFrom(first, folder / "twice");
    ChemDoc second;
    BuildSmallDocument(second, 0.75f, 2.5f);
    TemplateExporter::ExportFrom(second, folder / "twice");
    EXPECT_EQ(ReadFileBytes(folder / "twice.crg"),
              "! Autogenerated Voltra template file\natom__resnumbc_charge_\nN     ALA12  A   0.750\n");
    EXPECT_EQ(ReadFileBytes(folder / "twice.siz"),
              "! Autogenerated Voltra template file\natom__resnumbc_radius_\nN     ALA12  A   2.500\n");
    EXPECT_EQ(FolderEntries(folder.Path()), (std::set<std::string>{"twice.siz", "twice.crg"}));
}

TEST(TemplateExportFailures, MissingFolderOrFileAsFolderRaisesAndWritesNothing) {
    ChemDoc doc;
    BuildSmallDocument(doc);
    ScratchFolder folder;
    WriteFileBytes(folder / "plain", "a regular file\n");
    const struct {
        std::string path;
        std::string reason;
    } cases[] = {
        {folder / "missing/result", "No such file or directory"},
        {folder / "plain/result", "Not a directory"},
    };
    for (const auto& c : cases) {
        const Failure failure = ExportFailure(doc, c.path);
        EXPECT_EQ(failure.message, "Cannot write '" + c.path + ".siz': " + c.reason);
        EXPECT_EQ(failure.source, "AtomicFileWriter");
    }
    EXPECT_EQ(FolderEntries(folder.Path()), std::set<std::string>{"plain"});
    EXPECT_EQ(ReadFileBytes(folder / "plain"), "a regular file\n");
}

TEST(TemplateExportFailures, ReadOnlyFolderKeepsPreviousFiles) {
    if (VoltraTest::RunningAsRoot()) GTEST_SKIP() << "permission bits do not stop the superuser";
    ChemDoc doc;
    BuildSmallDocument(doc);
    ScratchFolder folder;
    WriteFileBytes(folder / "kept.siz", "old radii\n");
    WriteFileBytes(folder / "kept.crg", "old charges\n");
    std::filesystem::permissions(folder.Path(),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    const Failure failure = ExportFailure(doc, folder / "kept");
    EXPECT_EQ(failure.message, "Cannot write '" + (folder / "kept") + ".siz': Permission denied");
    EXPECT_EQ(ReadFileBytes(folder / "kept.siz"), "old radii\n");
    EXPECT_EQ(ReadFileBytes(folder / "kept.crg"), "old charges\n");
}

// The charge file cannot take the place of a folder of the same name; that is found only at
// the rename, after the radius file was already renamed into place, which must be undone.
TEST(TemplateExportFailures, FailedChargeFileLeavesRadiusFileAsItWas) {
    ChemDoc doc;
    BuildSmallDocument(doc);
    ScratchFolder folder;
    std::filesystem::create_directories(folder.Path() / "both.crg/inside");
    std::filesystem::create_directories(folder.Path() / "fresh.crg/inside");
    WriteFileBytes(folder / "both.siz", "old radii\n");

    const Failure replaced = ExportFailure(doc, folder / "both");
    EXPECT_EQ(replaced.message.rfind("Cannot write '" + (folder / "both") + ".crg': ", 0), 0u) << replaced.message;
    EXPECT_EQ(ReadFileBytes(folder / "both.siz"), "old radii\n");

    const Failure created = ExportFailure(doc, folder / "fresh");
    EXPECT_EQ(created.message.rfind("Cannot write '" + (folder / "fresh") + ".crg': ", 0), 0u) << created.message;
    EXPECT_EQ(FolderEntries(folder.Path()), (std::set<std::string>{"both.siz", "both.crg", "fresh.crg"}));
}
