// PQR records read straight into the tree: each atom's charge and radius, each residue's
// identity, chains split at TER and chain ids, models, and errors with their file and line.
#include "IoTestSupport.h"

#include "io/PqrStructureReader.h"
#include "io/ReadError.h"

#include "HostModel/DescendentIterator.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using namespace HostModel;
using namespace IoTest;
using HostIO::ReadPqrModel;

std::string Identity(const Residue& r) {
    std::string text = r.GetLabel() + "@" + r.GetInputChainId() + ":" + std::to_string(r.GetSequenceNumber());
    if (r.GetInsertionCode() != '\0') text += r.GetInsertionCode();
    return text;
}

std::vector<std::string> ResidueIdentities(const Molecule& molecule) {
    std::vector<std::string> out;
    for (const auto* chain : Children(molecule)) {
        for (const auto* residue : Children(*chain)) {
            out.push_back(ChainOutline(*chain) + " " + Identity(static_cast<const Residue&>(*residue)));
        }
    }
    return out;
}

std::string Message(const std::string& text, const std::string& name, int model = 0) {
    try {
        ReadPqrModel(text, name, model, "label");
    } catch (const HostIO::ReadError& e) {
        return e.what();
    }
    return "no error";
}

// Independent of the reader: atom name, charge and radius of every record, in file order.
struct RecordValues {
    std::string name;
    float charge;
    float radius;
};

std::vector<RecordValues> ValuesOfRecords(const std::string& text) {
    std::vector<RecordValues> out;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("ATOM", 0) != 0 && line.rfind("HETATM", 0) != 0) continue;
        std::istringstream fields(line);
        std::vector<std::string> all;
        for (std::string f; fields >> f;) all.push_back(f);
        out.push_back({all[2], std::stof(all[all.size() - 2]), std::stof(all.back())});
    }
    return out;
}

TEST(PqrIntoTree, 1AJJ_EveryAtomCarriesTheChargeAndRadiusOfItsRecord) {
    const std::string text = ReadText(CorpusPath("1AJJ_pH7_AMBER.pqr"));
    const auto records = ValuesOfRecords(text);
    const auto read = ReadPqrModel(text, "1AJJ_pH7_AMBER.pqr", 0, "1AJJ");
    ASSERT_EQ(read.radii.size(), records.size());
    double sum = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const Atom& atom = *read.radii[i].atom;
        ASSERT_EQ(atom.GetLabel(), records[i].name) << "record " << i;
        EXPECT_EQ(atom.GetPartialCharge(), records[i].charge) << "record " << i;
        EXPECT_EQ(read.radii[i].radius, records[i].radius) << "record " << i;
        sum += records[i].charge;
    }
    EXPECT_DOUBLE_EQ(read.totalCharge, sum);
    EXPECT_EQ(read.model.built.atoms.size(), records.size());
    EXPECT_EQ(read.model.built.molecule->GetLabel(), "1AJJ");
}

TEST(PqrIntoTree, ResiduesKeepNumberInsertionCodeAndChainId) {
    const std::string pqr =
        "ATOM      1  N   GLY A  52      0.000   0.000   0.000 -0.3000 1.8240\n"
        "ATOM      2  N   GLY A  52A     1.330   0.000   0.000 -0.3000 1.8240\n"
        "ATOM      3  CA  GLY A  52a     2.780   0.000   0.000  0.1000 1.9080\n"  // the same residue
        "ATOM      4  N   ALA A  52A     9.000   0.000   0.000 -0.3000 1.8240\n"  // another name: another
        "ATOM      5  N   GLY A-999     20.000   0.000   0.000 -0.3000 1.8240\n"
        "HETATM    6  O   WAT B   7     30.000   0.000   0.000 -0.8340 1.6612\n"
        "ATOM      7  N   GLY    12     40.000   0.000   0.000 -0.3000 1.8240\n";
    const auto read = ReadPqrModel(pqr, "identity.pqr", 0, "identity");
    EXPECT_EQ(ResidueIdentities(*read.model.built.molecule),
              (std::vector<std::string>{"AA:A GLY52@A:52", "AA:A GLY52A@A:52A", "AA:A ALA52A@A:52A", "AA:A GLY@A:0",
                                        "AA: GLY12@:12", "Chain:Water WAT7@B:7"}));
    // Radii stay in record order though the water's tree position is last.
    std::vector<std::string> order;
    for (const auto& r : read.radii) order.push_back(r.atom->GetLabel() + "/" + std::to_string(r.radius));
    EXPECT_EQ(order, (std::vector<std::string>{"N/1.824000", "N/1.824000", "CA/1.908000", "N/1.824000", "N/1.824000",
                                               "O/1.661200", "N/1.824000"}));
    EXPECT_EQ(read.model.built.residueCount, 6u);
}

TEST(PqrIntoTree, TerAndChainIdsEndChainsAndLigandsStayResidues) {
    std::string pqr;
    int serial = 0;
    auto add = [&](const char* record, const char* name, const char* residue, const char* chain, int number, double x) {
        char line[120];
        std::snprintf(line, sizeof line, "%-6s%5d %-4s %-3s %s %3d %10.3f %8.3f %8.3f  0.1000 1.5000\n", record,
                      ++serial, name, residue, chain, number, x, 0.0, 0.0);
        pqr += line;
    };
    // Without chain ids: a peptide, TER, a ligand, a second peptide; then waters in two spellings.
    for (int r = 1; r <= 2; ++r)
        add("ATOM", "N", "GLY", "", r, 4.3 * r), add("ATOM", "CA", "GLY", "", r, 4.3 * r + 1.45);
    pqr += "TER\n";
    add("HETATM", "C1", "LIG", "", 10, 30);
    for (int r = 3; r <= 4; ++r)
        add("ATOM", "N", "GLY", "", r, 50 + 4.3 * r), add("ATOM", "CA", "GLY", "", r, 51.45 + 4.3 * r);
    add("HETATM", "OH2", "TIP3", "", 20, 90);
    add("HETATM", "O", "HOH", "", 21, 95);
    const auto read = ReadPqrModel(pqr, "runs.pqr", 0, "runs");
    EXPECT_EQ(ResidueIdentities(*read.model.built.molecule),
              (std::vector<std::string>{"AA: GLY1@:1", "AA: GLY2@:2", "Chain: LIG10@:10", "AA: GLY3@:3", "AA: GLY4@:4",
                                        "Chain:Water TIP320@:20", "Chain:Water HOH21@:21"}));
    EXPECT_EQ(read.model.built.chainCount, 4u);
    EXPECT_EQ(read.model.built.unknownResidues, (std::set<std::string>{"LIG"}));
}

TEST(PqrIntoTree, ModelsAreChosenByNumberAndNamedWhenMissing) {
    const std::string atom = " N   GLY A   1       %d.000   0.000   0.000 -0.3000 1.8240\n";
    auto record = [&atom](int x) {
        char line[100];
        std::snprintf(line, sizeof line, ("ATOM      1" + atom).c_str(), x);
        return std::string(line);
    };
    // Atoms after ENDMDL without MODEL form the next model, numbered after the count.
    const std::string pqr = "MODEL        1\n" + record(1) + "ENDMDL\nMODEL        2\n" + record(2) + "ENDMDL\n" +
                            record(3) + "END\n" + record(4);
    for (int model : {0, 1, 2, 3}) {
        const auto read = ReadPqrModel(pqr, "models.pqr", model, "models");
        EXPECT_EQ(read.model.modelCount, 3u);
        EXPECT_EQ(read.model.modelNumber, model == 0 ? 1 : model);
        ASSERT_EQ(read.radii.size(), 1u);
        EXPECT_DOUBLE_EQ(read.radii[0].atom->GetPosition().x, model == 0 ? 1.0 : model);
    }
    EXPECT_EQ(Message(pqr, "models.pqr", 9), "models.pqr: no model 9; the file has 3 models (1 to 3)");
    EXPECT_EQ(Message("MODEL 1\n" + record(1) + "ENDMDL\nMODEL 5\nENDMDL\n", "empty.pqr", 5),
              "empty.pqr: model 5 has no atoms");
    EXPECT_EQ(Message("REMARK nothing\n", "none.pqr"), "none.pqr: no atoms found");
    EXPECT_EQ(Message("MODEL 4\nENDMDL\n", "one.pqr"), "one.pqr: no atoms found");
}

TEST(PqrIntoTree, ErrorsNameTheFileAndTheLine) {
    const std::string good = "ATOM      1  N   GLY A   1       0.000   0.000   0.000 -0.3000 1.8240\n";
    EXPECT_EQ(Message("REMARK 1\n" + good + "ATOM 2 CA GLY A 1 1.0 inf 2.0 0.1 1.5\n", "bad.pqr"),
              "bad.pqr:3: field 'inf' is not a finite number (expected x, y, z, charge and radius after residue "
              "number 1)");
    EXPECT_EQ(Message(good + "MODEL x\n", "model.pqr"), "model.pqr:2: model number 'x' is not a number");
    EXPECT_EQ(Message(good + "ATOM 2 CA GLY A 1 2000000.0 0.0 0.0 0.1 1.5\n", "far.pqr"),
              "far.pqr: atom 'CA' of residue 'GLY1' has a coordinate that is not a finite number within 1e6 Å");
}

}  // namespace
