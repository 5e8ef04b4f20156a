// Where the program's outputs go: device nodes written in place (never replaced by a file), and
// file and folder names that are not UTF-8 kept byte for byte on every output; the input limit.
#include "support/ProgramRunner.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

using namespace AppTest;
namespace fs = std::filesystem;

std::string Corpus(const std::string& name) { return std::string(VOLTRA_CORPUS_DIR) + "/" + name; }

ProgramResult Voltra(const std::vector<std::string>& args, const TempFolder& temp) {
    ProgramRun run;
    run.program = VOLTRA_PROGRAM;
    run.args = args;
    run.workDir = temp.Path().string();
    run.stdoutPath = temp / "stdout.txt";
    run.environment.emplace("VOLTRA_ROOT", std::nullopt);
    return RunProgram(run);
}

bool MakeCharDevice(const std::string& path, unsigned minor) {
    return ::mknod(path.c_str(), S_IFCHR | 0666, ::makedev(1, minor)) == 0;
}

bool IsCharDevice(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

// --- Device outputs ------------------------------------------------------------------------

TEST(DeviceOutputs, NullNodeStaysADeviceForEveryOutput) {
    TempFolder temp;
    fs::create_directory(temp.Path() / "dev");
    const std::string dev = temp / "dev";
    for (const char* name : {"null", "null.siz", "null.crg"}) {
        if (!MakeCharDevice(dev + "/" + name, 3)) GTEST_SKIP() << "mknod is not allowed here";
    }
    const ProgramResult result =
        Voltra({"-q", "-o", dev + "/null", "-r", dev + "/null", "-p", dev + "/null", Corpus("1AJJ.pdb")}, temp);
    EXPECT_EQ(result.exitCode, 0) << Describe(result);
    for (const char* name : {"null", "null.siz", "null.crg"}) EXPECT_TRUE(IsCharDevice(dev + "/" + name)) << name;
    EXPECT_EQ(FolderEntries(dev), (std::set<std::string>{"null", "null.siz", "null.crg"}));
}

TEST(DeviceOutputs, FullNodeIsExitFiveWithTheSystemsMessage) {
    TempFolder temp;
    fs::create_directory(temp.Path() / "dev");
    const std::string dev = temp / "dev";
    for (const char* name : {"full", "full.siz", "full.crg"}) {
        if (!MakeCharDevice(dev + "/" + name, 7)) GTEST_SKIP() << "mknod is not allowed here";
    }
    const struct {
        const char* option;
        const char* what;  // how the message starts
    } cases[] = {{"-p", "pqr"}, {"-r", "report"}, {"-o", "templates"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.option);
        const ProgramResult result = Voltra({"-q", c.option, dev + "/full", Corpus("1AJJ.pdb")}, temp);
        EXPECT_EQ(result.exitCode, 5) << Describe(result);
        EXPECT_EQ(result.err.rfind(std::string("voltra: ") + c.what + ": Cannot write '" + dev + "/full", 0), 0u)
            << result.err;
        EXPECT_NE(result.err.find("': No space left on device\n"), std::string::npos) << result.err;
    }
    for (const char* name : {"full", "full.siz", "full.crg"}) EXPECT_TRUE(IsCharDevice(dev + "/" + name)) << name;
    EXPECT_EQ(FolderEntries(dev), (std::set<std::string>{"full", "full.siz", "full.crg"}));
}

// --- Names that are not UTF-8 --------------------------------------------------------------

struct NameCase {
    const char* what;
    std::string name;  // the input's stem, used for its folder too
};

const NameCase kNames[] = {
    {"Latin-1", "caf\xE9"},
    {"invalid UTF-8 sequences", "bad\xC3\x28-\xFF\xFE-\xED\xA0\x80"},
    {"cut multi-byte sequence", "cut\xE2\x82"},
    {"valid multi-byte UTF-8", "caf\xC3\xA9-\xE2\x82\xAC-\xF0\x9F\x98\x80"},
};

TEST(NonUtf8Names, OutDirNamesEveryOutputAfterTheInput) {
    const TempFolder reference;
    const ProgramResult plain = Voltra({"-q", "-O", reference / "out", Corpus("1AJJ.pdb")}, reference);
    ASSERT_EQ(plain.exitCode, 0) << Describe(plain);
    for (const NameCase& c : kNames) {
        SCOPED_TRACE(c.what);
        TempFolder temp;
        const fs::path inFolder = temp.Path() / ("in-" + c.name);
        fs::create_directory(inFolder);
        fs::copy_file(Corpus("1AJJ.pdb"), inFolder / (c.name + ".pdb"));
        const std::string outFolder = temp / ("out-" + c.name);
        const ProgramResult result = Voltra({"-q", "-O", outFolder, (inFolder / (c.name + ".pdb")).string()}, temp);
        ASSERT_EQ(result.exitCode, 0) << Describe(result);
        const std::set<std::string> expected = {c.name + ".crg", c.name + ".siz", c.name + ".html", c.name + ".pqr"};
        EXPECT_EQ(FolderEntries(outFolder), expected);
        for (const char* ext : {".crg", ".siz", ".html", ".pqr"}) {
            EXPECT_EQ(ReadFile(outFolder + "/" + c.name + ext), ReadFile(reference / (std::string("out/1AJJ") + ext)))
                << ext;
        }
    }
}

TEST(NonUtf8Names, ExplicitOutputsKeepTheirBytes) {
    for (const NameCase& c : kNames) {
        SCOPED_TRACE(c.what);
        TempFolder temp;
        const fs::path outFolder = temp.Path() / ("out-" + c.name);
        fs::create_directory(outFolder);
        const std::string base = (outFolder / c.name).string();
        const ProgramResult result = Voltra(
            {"-q", "-o", base, "-r", base + "-report.html", "-p", base + "-atoms.pqr", Corpus("1AJJ.pdb")}, temp);
        ASSERT_EQ(result.exitCode, 0) << Describe(result);
        EXPECT_EQ(FolderEntries(outFolder), (std::set<std::string>{c.name + ".crg", c.name + ".siz",
                                                                   c.name + "-report.html", c.name + "-atoms.pqr"}));
    }
}

TEST(NonUtf8Names, MissingFolderIsNamedByteForByte) {
    TempFolder temp;
    const std::string missing = temp / "caf\xE9/none/r.html";
    const ProgramResult result = Voltra({"-q", "-r", missing, Corpus("1AJJ.pdb")}, temp);
    EXPECT_EQ(result.exitCode, 5) << Describe(result);
    EXPECT_EQ(result.err, "voltra: report: Cannot write '" + missing + "': No such file or directory\n");
}

// The PQR file is written on other threads while the main thread lends a hand at the end: when
// its file cannot even be opened, the run still ends with the file's error, at once.
TEST(NonUtf8Names, MissingFolderOfThePqrIsNamedAndNothingWaits) {
    TempFolder temp;
    const std::string missing = temp / "caf\xE9/none/atoms.pqr";
    fs::create_directory(temp.Path() / "out");
    const ProgramResult result = Voltra({"-q", "-o", temp / "out/t", "-p", missing, Corpus("1AJJ.pdb")}, temp);
    EXPECT_EQ(result.exitCode, 5) << Describe(result);
    EXPECT_EQ(result.err, "voltra: pqr: Cannot write '" + missing + "': No such file or directory\n");
    EXPECT_EQ(FolderEntries(temp.Path() / "out"), (std::set<std::string>{"t.crg", "t.siz"}));
}

}  // namespace

namespace {

// --- The input size limit from the environment ----------------------------------------------

TEST(InputSizeLimit, EnvironmentSetsItAndBadValuesAreUsageErrors) {
    TempFolder temp;
    const struct {
        const char* value;
        int exitCode;
        std::string err;
    } cases[] = {
        {"1K", 3,
         "voltra: " + Corpus("1pfe.cif.gz") +
             ": expands past 1024 bytes (set VOLTRA_MAX_INPUT_BYTES to raise the limit)\n"},
        {"1000", 3,
         "voltra: " + Corpus("1AJJ.pdb") +
             ": larger than 1000 bytes (set VOLTRA_MAX_INPUT_BYTES to raise the limit)\n"},
        {"64M", 0, ""},
        {"0", 0, ""},
        {"12 M", 2,
         "voltra: VOLTRA_MAX_INPUT_BYTES: '12 M' is not a size (bytes, or a number followed by K, M, G or T; 0: no "
         "limit)\n"},
        {"-5", 2, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        ProgramRun run;
        run.program = VOLTRA_PROGRAM;
        const bool gz = std::string(c.value) == "1K" || std::string(c.value) == "0";
        run.args = {"-q", "-a", "none", Corpus(gz ? "1pfe.cif.gz" : "1AJJ.pdb")};
        run.workDir = temp.Path().string();
        run.environment = {{"VOLTRA_ROOT", std::nullopt}, {"VOLTRA_MAX_INPUT_BYTES", std::string(c.value)}};
        const ProgramResult result = RunProgram(run);
        EXPECT_EQ(result.exitCode, c.exitCode) << Describe(result);
        if (!c.err.empty() || c.exitCode == 0) {
            EXPECT_EQ(result.err, c.err);
        }
    }
}

}  // namespace
