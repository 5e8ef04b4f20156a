// The installed tree (`cmake --install` into a scratch prefix, the CTest fixture): its man page,
// its CMake package as another project uses it, and the Snakemake workflow run on its program.
#include "support/ProgramRunner.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include <unistd.h>

namespace {

using AppTest::Describe;
using AppTest::ProgramResult;
using AppTest::ProgramRun;
using AppTest::RunProgram;
using VoltraTest::ReadFileBytes;
namespace fs = std::filesystem;

const fs::path kPrefix = VOLTRA_INSTALL_PREFIX;
const fs::path kVoltra = kPrefix / "bin" / "voltra";

// The absolute path of a program on PATH; empty when there is none.
std::string FindOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const fs::path candidate = fs::path(folder.empty() ? "." : folder) / name;
        if (::access(candidate.c_str(), X_OK) == 0) return fs::absolute(candidate).string();
    }
    return {};
}

ProgramResult RunTool(const std::string& program, std::vector<std::string> args, const std::string& workDir = {}) {
    ProgramRun run;
    run.program = program;
    run.args = std::move(args);
    run.workDir = workDir;
    // The installed program finds its templates from its own folder, not from the test's settings.
    run.environment.emplace("VOLTRA_ROOT", std::nullopt);
    return RunProgram(run);
}

// The long options the installed program's --help lists, each once.
std::set<std::string> HelpLongOptions() {
    const ProgramResult help = RunTool(kVoltra, {"--help"});
    EXPECT_EQ(help.exitCode, 0) << Describe(help);
    std::set<std::string> options;
    const std::regex optionLine(R"(^ +(?:-\w, )?(--[a-z][a-z-]*))");
    std::istringstream lines(help.out);
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (std::regex_search(line, match, optionLine)) options.insert(match[1]);
    }
    return options;
}

// The JSON summary the installed program gives of one structure (default charges and sizes).
nlohmann::json ProgramSummary(const std::string& structure) {
    const ProgramResult result = RunTool(kVoltra, {"-q", "--summary-json=-", structure});
    if (result.exitCode != 0) throw std::runtime_error("voltra failed: " + Describe(result));
    return nlohmann::json::parse(result.out);
}

TEST(InstalledTree, ManPageRendersEveryLongOptionOfTheHelp) {
    const fs::path page = kPrefix / "share/man/man1/voltra.1";
    ASSERT_TRUE(fs::is_regular_file(page)) << page;
    const std::string man = FindOnPath("man");
    if (man.empty()) GTEST_SKIP() << "man is not installed (Debian package man-db)";
    ProgramRun render;
    render.program = man;
    render.args = {"-l", "-P", "cat", page.string()};
    render.environment = {
        {"LC_ALL", "C"}, {"MANWIDTH", "100"}, {"MANROFFOPT", "-ww"}, {"MAN_KEEP_FORMATTING", std::nullopt}};
    const ProgramResult rendered = RunProgram(render);
    ASSERT_EQ(rendered.exitCode, 0) << Describe(rendered);
    EXPECT_EQ(rendered.err.find("warning"), std::string::npos) << rendered.err;
    EXPECT_NE(rendered.out.find("voltra - assign Voltra charges and radii"), std::string::npos) << rendered.out;
    EXPECT_NE(rendered.out.find("EXIT STATUS"), std::string::npos);
    EXPECT_NE(rendered.out.find("VOLTRA_MAX_INPUT_BYTES"), std::string::npos);

    const std::set<std::string> options = HelpLongOptions();
    ASSERT_GE(options.size(), 15u) << "the help text was not read: too few long options";
    for (const std::string& option : options) {
        // As an option heading: at the start of a line, or after its short form.
        const std::regex heading("(^|\\n) +(-\\w, )?" + option + "([=\\n ]|$)");
        EXPECT_TRUE(std::regex_search(rendered.out, heading)) << option << " is not an option of the man page";
    }
}

TEST(InstalledTree, HoldsThePublicHeadersAndNotTheInternalOnes) {
    for (const char* header :
         {"include/quorva_host/HostModel/ChemDoc.h", "include/quorva_host/io/StructureReader.h",
          "include/voltra/commands/CmdApplyDefaultTemplates.h", "lib/cmake/VoltraTools/VoltraToolsConfig.cmake",
          "lib/cmake/VoltraTools/VoltraToolsConfigVersion.cmake"}) {
        EXPECT_TRUE(fs::is_regular_file(kPrefix / header)) << header;
    }
    for (const char* internal : {"include/quorva_host/io/PqrParser.h", "include/quorva_host/chem",
                                 "include/voltra/apply/TemplateApplicator.h"}) {
        EXPECT_FALSE(fs::exists(kPrefix / internal)) << internal;
    }
}

// Another project finds the package, compiles every installed header and links the imported
// targets; its program assigns default charges to 1AJJ through the API and agrees with the
// installed voltra's own summary.
TEST(InstalledTree, PackageBuildsAConsumerThatAssignsDefaultCharges) {
    const fs::path build = kPrefix.parent_path() / "consumer-build";
    fs::remove_all(build);
    std::vector<std::string> configure = {"-S",
                                          VOLTRA_CONSUMER_SOURCE_DIR,
                                          "-B",
                                          build.string(),
                                          "-DCMAKE_PREFIX_PATH=" + kPrefix.string(),
                                          "-DCMAKE_CXX_COMPILER=" VOLTRA_CXX_COMPILER};
    if (std::string(VOLTRA_CXX_COMPILER_LAUNCHER).size()) {
        configure.push_back("-DCMAKE_CXX_COMPILER_LAUNCHER=" VOLTRA_CXX_COMPILER_LAUNCHER);
    }
    const ProgramResult configured = RunTool(VOLTRA_CMAKE_COMMAND, configure);
    ASSERT_EQ(configured.exitCode, 0) << Describe(configured);
    const ProgramResult built = RunTool(VOLTRA_CMAKE_COMMAND, {"--build", build.string(), "-j2"});
    ASSERT_EQ(built.exitCode, 0) << Describe(built);

    const std::string structure = std::string(VOLTRA_CORPUS_DIR) + "/1AJJ.pdb";
    const ProgramResult consumer = RunTool((build / "net_charge").string(), {structure});
    ASSERT_EQ(consumer.exitCode, 0) << Describe(consumer);

    const nlohmann::json molecule = ProgramSummary(structure).at(0).at("summary").at("molecules").at(0);
    char expected[160];
    std::snprintf(expected, sizeof expected, "%s: %zu atoms, net charge %.2f e, valid for Voltra: yes\n",
                  molecule.at("label").get<std::string>().c_str(), molecule.at("atoms").get<std::size_t>(),
                  molecule.at("netCharge").get<double>());
    EXPECT_EQ(consumer.out, expected);

    // The reader's error crosses the library boundary as the type the API names.
    VoltraTest::ScratchFolder folder;
    VoltraTest::WriteFileBytes(folder / "empty.pdb", "");
    const ProgramResult failed = RunTool((build / "net_charge").string(), {folder / "empty.pdb"});
    EXPECT_EQ(failed.exitCode, 1) << Describe(failed);
    EXPECT_NE(failed.err.find("empty.pdb"), std::string::npos) << failed.err;
}

// examples/workflow on three corpus structures (PDB, mmCIF, gzip-compressed mmCIF), two jobs
// at once, with the installed program.
TEST(Workflow, RunsEachStructureAndMergesTheSummaries) {
    const std::string snakemake = FindOnPath("snakemake");
    if (snakemake.empty()) GTEST_SKIP() << "snakemake is not installed (Debian package snakemake)";
    VoltraTest::ScratchFolder folder;
    const std::map<std::string, std::string> structures = {
        {"1AJJ", "1AJJ.pdb"}, {"1FAS", "1FAS.cif"}, {"1pfe", "1pfe.cif.gz"}};
    fs::create_directory(folder.Path() / "in");
    for (const auto& [name, file] : structures) {
        fs::copy_file(fs::path(VOLTRA_CORPUS_DIR) / file, folder.Path() / "in" / file);
    }
    const ProgramResult run =
        RunTool(snakemake,
                {"-j", "2", "--snakefile", std::string(VOLTRA_SOURCE_DIR) + "/examples/workflow/Snakefile", "--config",
                 "structures=in", "out=out", "voltra=" + kVoltra.string()},
                folder.Path().string());
    ASSERT_EQ(run.exitCode, 0) << Describe(run);

    const fs::path out = folder.Path() / "out";
    const nlohmann::json merged = nlohmann::json::parse(ReadFileBytes(out / "summary.json"));
    ASSERT_TRUE(merged.is_array());
    ASSERT_EQ(merged.size(), structures.size()) << merged.dump(1);
    std::set<std::string> inputs;
    for (const auto& [name, file] : structures) {
        for (const char* extension : {".crg", ".siz", ".html", ".pqr"}) {
            EXPECT_GT(fs::file_size(out / (name + extension)), 0u) << name << extension;
        }
        const nlohmann::json own = nlohmann::json::parse(ReadFileBytes(out / "summaries" / (name + ".json")));
        ASSERT_EQ(own.size(), 1u) << name;
        EXPECT_EQ(own[0].at("input"), "in/" + file);
        EXPECT_EQ(own[0].at("exitCode"), 0) << own[0].dump(1);
        EXPECT_EQ(own[0].at("outputs").at("pqr"), "out/" + name + ".pqr");
        // The merged summary holds each file's own object unchanged.
        bool found = false;
        for (const auto& entry : merged) found = found || entry == own[0];
        EXPECT_TRUE(found) << name << " is not in the merged summary as its own summary has it";
    }
    // One row per molecule: input, label, atoms, net charge, atoms left Missing.
    const std::string table = ReadFileBytes(out / "net_charges.tsv");
    const std::string row1ajj = "in/1AJJ.pdb\t1AJJ\t";
    EXPECT_EQ(table.rfind("input\tmolecule\tatoms\tnet_charge_e\tmissing_atoms\n", 0), 0u) << table;
    EXPECT_NE(table.find(row1ajj), std::string::npos) << table;
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 4) << table;
}

}  // namespace
