// Exported files read back through the template loader: the reader splits on white space only,
// so touching columns merge into one token.
#include "support/ExportDocuments.h"
#include "support/ScratchFolder.h"
#include "support/ScratchTemplateRoot.h"

#include "export/TemplateExporter.h"
#include "templates/TemplateFileIO.h"

#include "Common/Path.h"
#include "Common/StringConversion.h"
#include "Persistence/Persistence.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <vector>

using Voltra::TemplateEntry;
using Voltra::TemplateExporter;

namespace {

class ExportRoundTrip : public ::testing::Test {
protected:
    std::filesystem::path TemplatesDir() const { return root_.Templates(); }

    VoltraTest::ScratchTemplateRoot root_;
};

std::vector<TemplateEntry> Entries(const Voltra::TemplatePtr& t) { return t->GetEntries(); }

}  // namespace

TEST_F(ExportRoundTrip, LoaderReadsTokensNotColumns) {
    HostModel::ChemDoc doc;
    VoltraTest::BuildColumnRulesDocument(doc);
    TemplateExporter::ExportFrom(doc, (TemplatesDir() / "rules").string());

    Voltra::TemplatePtr charges;
    Voltra::LoadTemplate("rules.crg", charges);
    // Residue name and number touch, so "ALA5" is one token and the chain becomes the number;
    // lines whose value touches the field before it ("GLY12345A1234.568") hold no entry.
    const std::vector<TemplateEntry> expected = {
        {"N", -0.4f, "ALA5", "A"},
        {"CA", -0.25f, "ALA5", "A"},
        {"1OCT", -0.8f, "ALA5", "A"},
        {"oct1", -0.8f, "ALA5", "A"},
        {"2OCT", -0.8f, "ALA5", "A"},
        {"OG", -0.65f, "SER6", "A"},
        {"1HD2", 0.419f, "ASN1234A"},
        {"CD12", 0.5f, "ASN1234A"},
        {"ABCDEFGHASN1234A", 0.1f},
        {"ZN", 2.0f},
        {"C1", 0.1f, "LIG12", "A"},
        {"C2", -12.5f, "ABC7", "A"},
        {"C3", 0.0f, "LONGRES3", "A"},
        {"O", -0.834f, "HOH301"},
        {"H1", 0.417f, "HOH301"},
        {"O", -0.834f, "HOH302"},
        {"O", -0.834f, "HOH303", "W"},
        {"X1", 0.25f, "9"},
        {"FE", 2.0f},
        {"Q1", 0.5f},
    };
    EXPECT_EQ(Entries(charges), expected);
    EXPECT_EQ(charges->GetValuePropertyName(), std::string("Voltra Charge"));

    Voltra::TemplatePtr radii;
    Voltra::LoadTemplate("rules.siz", radii);
    ASSERT_EQ(radii->GetEntries().size(), 20u);  // 21 atoms with a radius, less the GLY12345 line
    EXPECT_EQ(radii->GetEntries()[2], TemplateEntry("HB1", 1.1f, "ALA5", "A"));
    EXPECT_EQ(radii->GetValuePropertyName(), std::string("Voltra Radius"));
}

TEST_F(ExportRoundTrip, EveryExportedLineParsesAsTheLoaderReadsIt) {
    HostModel::ChemDoc doc;
    VoltraTest::BuildColumnRulesDocument(doc);
    TemplateExporter::ExportFrom(doc, (TemplatesDir() / "lines").string());
    Voltra::TemplatePtr loaded;
    Voltra::LoadTemplate("lines.siz", loaded);

    std::istringstream file(VoltraTest::ReadFileBytes(TemplatesDir() / "lines.siz"));
    std::vector<TemplateEntry> parsed;
    for (std::string line; std::getline(file, line);) {
        const TemplateEntry entry = Voltra::ParseTemplateLine(line);
        if (!entry.IsEmpty()) parsed.push_back(entry);
    }
    EXPECT_EQ(parsed, loaded->GetEntries());
    EXPECT_EQ(Voltra::ParseTemplateLine("N     ALA12  A  -0.400"), TemplateEntry("N", -0.4f, "ALA12", "A"));
}
