// PROPKA's summary read, and PROPKA run as a program where it is installed.
#include "ChemTestStructures.h"

#include "chem/PropkaRunner.h"
#include "io/StructureReader.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

const char* const kSummary =
    "some preamble\n"
    "SUMMARY OF THIS PREDICTION\n"
    "       Group      pKa  model-pKa   ligand atom-type\n"
    "   ASP  25 A     2.96       3.80                      \n"
    "   HIS  11 B     6.68       6.50                      \n"
    "   N+    4 A     7.89       8.00                      \n"
    "   C-  129 A     2.95       3.20                      \n"
    "--------------------------------------------------------------------------------\n"
    "Free energy of   folding (kcal/mol) as a function of pH (using neutral reference)\n"
    "   ASP  99 A     1.00       3.80                      \n";

TEST(PropkaSummary, ReadsTheSummarySectionOnly) {
    const auto values = HostChem::ParsePropkaSummary(kSummary, "x.pka");
    ASSERT_EQ(values.size(), 4u);
    EXPECT_EQ(values[0].group, "ASP");
    EXPECT_EQ(values[0].residueNumber, 25);
    EXPECT_EQ(values[0].chain, 'A');
    EXPECT_DOUBLE_EQ(values[0].pka, 2.96);
    EXPECT_EQ(values[1].chain, 'B');
    EXPECT_EQ(values[2].group, "N+");
    EXPECT_EQ(values[3].group, "C-");
    EXPECT_DOUBLE_EQ(values[3].pka, 2.95);
}

TEST(PropkaSummary, ErrorsNameFileAndLine) {
    try {
        HostChem::ParsePropkaSummary("SUMMARY OF THIS PREDICTION\nheader\n   ASP  x A  2.0\n", "run/s.pka");
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("run/s.pka:3"), std::string::npos) << e.what();
    }
    EXPECT_THROW(HostChem::ParsePropkaSummary("nothing here\n", "s.pka"), std::runtime_error);
}

TEST(PropkaProgram, MissingProgramIsAClearError) {
    try {
        HostChem::RunPropka({}, "/nonexistent-folder/propka3");
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("not installed"), std::string::npos) << message;
        EXPECT_NE(message.find("python3-propka"), std::string::npos) << message;
    }
    EXPECT_TRUE(HostChem::FindProgram("no-such-program-voltra").empty());
    EXPECT_FALSE(HostChem::FindProgram("sh").empty());
}

TEST(PropkaProgram, ValuesForCorpusStructureBelongToItsResidues) {
    if (HostChem::FindProgram("propka3").empty()) GTEST_SKIP() << "propka3 not installed";
    HostModel::ChemDoc doc;
    HostIO::ReadStructureFromMemory(doc, ChemTest::CorpusText("1AJJ.pdb"), "1AJJ.pdb");
    const std::vector<HostModel::Residue*> residues = ChemTest::Residues(doc);
    std::size_t aminoAcids = 0;
    const HostModel::Residue* asp25 = nullptr;
    const HostModel::Residue* lys31 = nullptr;
    for (HostModel::Residue* residue : residues) {
        if (!residue->IsA(HostModel::AminoAcid::classType)) continue;
        ++aminoAcids;
        if (residue->GetLabel() == "ASP25") asp25 = residue;
        if (residue->GetLabel() == "LYS31") lys31 = residue;
    }
    ASSERT_TRUE(asp25 && lys31);
    const HostChem::PkaTable table = HostChem::RunPropka(residues, "propka3");
    EXPECT_LE(table.Size(), aminoAcids + 2) << "values only for amino acids";
    EXPECT_GE(table.Size(), 15u);  // 4 ASP, 4 GLU, 2 HIS, 6 CYS, 2 LYS, 1 ARG, N+ in 1AJJ
    // PROPKA 3.5's values on this file (run by hand: ASP25 2.96, LYS31 10.69), off the model.
    EXPECT_NEAR(table.Get(asp25, HostChem::TitratableGroup::Asp), 2.96, 0.3);
    EXPECT_NEAR(table.Get(lys31, HostChem::TitratableGroup::Lys), 10.69, 0.3);
    EXPECT_DOUBLE_EQ(table.Get(asp25, HostChem::TitratableGroup::Lys), 10.5) << "no value: the model's";
}

}  // namespace
