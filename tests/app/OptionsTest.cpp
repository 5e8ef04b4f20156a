// Command-line parsing of the voltra program: forms of options, standard input, errors, --out-dir.
#include "Options.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

namespace {

using VoltraApp::Assignment;
using VoltraApp::Options;
using VoltraApp::ParseOptions;
using VoltraApp::UsageError;

std::string Show(const std::optional<std::string>& value) { return value ? "'" + *value + "'" : "unset"; }
std::string Show(HostIO::StructureFormat format) { return HostIO::StructureFormatName(format); }

// Every field, so a comparison also catches an option that changed something it should not.
std::string Show(const Options& o) {
    const char* assignments[] = {"default", "amber", "parse", "forcefield", "none"};
    std::ostringstream text;
    text << "input='" << o.input << "' format=" << Show(o.inputFormat) << " model=" << o.model
         << " assign=" << assignments[static_cast<int>(o.assignment)] << " forcefield='" << o.forcefieldName
         << "' zero=" << o.zeroCharges << " templates=" << Show(o.templatePrefix) << " report=" << Show(o.reportPath)
         << " pqr=" << Show(o.pqrPath) << " outDir=" << Show(o.outDir) << " root=" << Show(o.root)
         << " quiet=" << o.quiet << " help=" << o.showHelp << " version=" << o.showVersion;
    return text.str();
}

std::string Join(const std::vector<std::string>& args) {
    std::string text;
    for (const auto& arg : args) text += (text.empty() ? "" : " ") + ("[" + arg + "]");
    return text;
}

struct ParseCase {
    std::vector<std::string> args;
    std::function<void(Options&)> expect;  // turns default options into the expected ones
};

TEST(ParseOptions, AcceptedForms) {
    const std::vector<ParseCase> cases = {
        {{"x.pdb"}, [](Options& o) { o.input = "x.pdb"; }},
        // Long options: "=value" and a separate value.
        {{"--assign=amber", "x.pdb"},
         [](Options& o) {
             o.input = "x.pdb";
             o.assignment = Assignment::AmberPlusDefault;
         }},
        {{"--assign", "parse", "x.pdb"},
         [](Options& o) {
             o.input = "x.pdb";
             o.assignment = Assignment::Parse;
         }},
        {{"x.pdb", "--assign", "none"},
         [](Options& o) {
             o.input = "x.pdb";
             o.assignment = Assignment::None;
         }},
        {{"--assign=default", "x"}, [](Options& o) { o.input = "x"; }},
        // Short options: separate value, attached value, grouped flags, a value closing a group.
        {{"-a", "amber", "x"},
         [](Options& o) {
             o.input = "x";
             o.assignment = Assignment::AmberPlusDefault;
         }},
        {{"-aparse", "x"},
         [](Options& o) {
             o.input = "x";
             o.assignment = Assignment::Parse;
         }},
        {{"-qz", "x"},
         [](Options& o) {
             o.input = "x";
             o.quiet = true;
             o.zeroCharges = true;
         }},
        {{"-zqaparse", "x"},
         [](Options& o) {
             o.input = "x";
             o.quiet = true;
             o.zeroCharges = true;
             o.assignment = Assignment::Parse;
         }},
        {{"-qo", "out/pre", "x"},
         [](Options& o) {
             o.input = "x";
             o.quiet = true;
             o.templatePrefix = "out/pre";
         }},
        {{"-a", "forcefield", "-f", "AMBER", "x.pqr"},
         [](Options& o) {
             o.input = "x.pqr";
             o.assignment = Assignment::ForceField;
             o.forcefieldName = "AMBER";
         }},
        {{"--assign=forcefield", "--forcefield=PARSE", "x.pqr"},
         [](Options& o) {
             o.input = "x.pqr";
             o.assignment = Assignment::ForceField;
             o.forcefieldName = "PARSE";
         }},
        // A value may itself look like an option or contain "=".
        {{"-p", "-", "x"},
         [](Options& o) {
             o.input = "x";
             o.pqrPath = "-";
         }},
        {{"--report", "-", "x"},
         [](Options& o) {
             o.input = "x";
             o.reportPath = "-";
         }},
        {{"--pqr=a=b.pqr", "x"},
         [](Options& o) {
             o.input = "x";
             o.pqrPath = "a=b.pqr";
         }},
        {{"-o", "t", "-r", "r.html", "-p", "p.pqr", "x"},
         [](Options& o) {
             o.input = "x";
             o.templatePrefix = "t";
             o.reportPath = "r.html";
             o.pqrPath = "p.pqr";
         }},
        {{"-O", "outdir", "x"},
         [](Options& o) {
             o.input = "x";
             o.outDir = "outdir";
         }},
        {{"--out-dir=outdir", "x"},
         [](Options& o) {
             o.input = "x";
             o.outDir = "outdir";
         }},
        {{"--root", "/opt/voltra/bin", "x"},
         [](Options& o) {
             o.input = "x";
             o.root = "/opt/voltra/bin";
         }},
        {{"-m", "3", "x"},
         [](Options& o) {
             o.input = "x";
             o.model = 3;
         }},
        {{"-m12", "x"},
         [](Options& o) {
             o.input = "x";
             o.model = 12;
         }},
        {{"--model=1000000", "x"},
         [](Options& o) {
             o.input = "x";
             o.model = 1000000;
         }},
        {{"--format=cif", "x.txt"},
         [](Options& o) {
             o.input = "x.txt";
             o.inputFormat = HostIO::StructureFormat::Mmcif;
         }},
        {{"--format", "pqr", "x"},
         [](Options& o) {
             o.input = "x";
             o.inputFormat = HostIO::StructureFormat::Pqr;
         }},
        // Every name the reader takes, in any case.
        {{"--format=mmcif", "x"},
         [](Options& o) {
             o.input = "x";
             o.inputFormat = HostIO::StructureFormat::Mmcif;
         }},
        {{"--format=ent", "x"},
         [](Options& o) {
             o.input = "x";
             o.inputFormat = HostIO::StructureFormat::Pdb;
         }},
        {{"--format=PDB", "x"},
         [](Options& o) {
             o.input = "x";
             o.inputFormat = HostIO::StructureFormat::Pdb;
         }},
        {{"--zero-charges", "--quiet", "x"},
         [](Options& o) {
             o.input = "x";
             o.zeroCharges = true;
             o.quiet = true;
         }},
        // The last of repeated options wins.
        {{"-a", "amber", "-a", "parse", "x"},
         [](Options& o) {
             o.input = "x";
             o.assignment = Assignment::Parse;
         }},
        // "-" is standard input, wherever it stands.
        {{"-"}, [](Options& o) { o.input = "-"; }},
        {{"-", "-q"},
         [](Options& o) {
             o.input = "-";
             o.quiet = true;
         }},
        {{"-q", "-", "-p", "-"},
         [](Options& o) {
             o.input = "-";
             o.quiet = true;
             o.pqrPath = "-";
         }},
        // After "--" everything is an input, even what looks like an option.
        {{"--", "-q"}, [](Options& o) { o.input = "-q"; }},
        {{"-z", "--", "--help"},
         [](Options& o) {
             o.input = "--help";
             o.zeroCharges = true;
         }},
        {{"--", "-"}, [](Options& o) { o.input = "-"; }},
        // Help and version need no input and skip the consistency checks.
        {{"--help"}, [](Options& o) { o.showHelp = true; }},
        {{"-h"}, [](Options& o) { o.showHelp = true; }},
        {{"-V"}, [](Options& o) { o.showVersion = true; }},
        {{"--version"}, [](Options& o) { o.showVersion = true; }},
        {{"--assign=forcefield", "-h"},
         [](Options& o) {
             o.showHelp = true;
             o.assignment = Assignment::ForceField;
         }},
    };
    for (const auto& c : cases) {
        Options expected;
        c.expect(expected);
        try {
            EXPECT_EQ(Show(ParseOptions(c.args)), Show(expected)) << Join(c.args);
        } catch (const UsageError& e) {
            ADD_FAILURE() << Join(c.args) << " was refused: " << e.what();
        }
    }
}

TEST(ParseOptions, RefusalsNameTheProblem) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--bogus", "x"}, "unknown option '--bogus' (see --help)"},
        {{"--bogus=1", "x"}, "unknown option '--bogus' (see --help)"},
        {{"-x", "x"}, "unknown option '-x' (see --help)"},
        {{"-qx", "x"}, "unknown option '-x' (see --help)"},
        {{"--Assign=parse", "x"}, "unknown option '--Assign' (see --help)"},
        {{"x", "--assign"}, "option '--assign' needs a value"},
        {{"x", "-a"}, "option '-a' needs a value"},
        {{"x", "-qa"}, "option '-a' needs a value"},
        {{"--quiet=yes", "x"}, "option '--quiet' takes no value"},
        {{"--help=1"}, "option '--help' takes no value"},
        {{"--assign=magic", "x"},
         "--assign: unknown assignment 'magic' (choose default, amber, parse, forcefield or none)"},
        {{"--assign=", "x"}, "--assign: unknown assignment '' (choose default, amber, parse, forcefield or none)"},
        // A value-taking short option takes the rest of its group as the value.
        {{"-af", "AMBER", "x"}, "--assign: unknown assignment 'f' (choose default, amber, parse, forcefield or none)"},
        {{"-a", "AMBER", "x"},
         "--assign: unknown assignment 'AMBER' (choose default, amber, parse, forcefield or none)"},
        {{"-m", "0", "x"}, "--model: '0' is not a model number (1, 2, ...)"},
        {{"-m", "-1", "x"}, "--model: '-1' is not a model number (1, 2, ...)"},
        {{"--model=2x", "x"}, "--model: '2x' is not a model number (1, 2, ...)"},
        {{"--model=", "x"}, "--model: '' is not a model number (1, 2, ...)"},
        {{"--model=99999999999", "x"}, "--model: '99999999999' is not a model number (1, 2, ...)"},
        {{"--format=xyz", "x"}, "--format: unknown format 'xyz' (choose pdb, ent, cif, mmcif or pqr)"},
        {{}, "no input structure given (see --help)"},
        {{"-q"}, "no input structure given (see --help)"},
        {{"--"}, "no input structure given (see --help)"},
        {{"a.pdb", "b.pdb"}, "several inputs need --out-dir=DIR for their outputs"},
        {{"a.pdb", "--", "-"}, "several inputs need --out-dir=DIR for their outputs"},
        {{"-O", "d", "a.pdb", "x/a.pdb.gz"}, "inputs 'a.pdb' and 'x/a.pdb.gz' would both write 'a.*' into d"},
        {{"-O", "d", "-p", "p.pqr", "a.pdb", "b.pdb"},
         "--pqr names one output; with several inputs, --out-dir names them"},
        {{"--apbs-input=a.in", "a.pdb"},
         "--apbs-input needs --pqr=FILE (or --out-dir): the APBS input refers to the PQR file"},
        {{"--apbs-input=a.in", "-p", "-", "a.pdb"}, "--apbs-input needs the PQR in a file, not on standard output"},
        {{"--summary-json=-", "-p", "-", "a.pdb"},
         "only one of --report, --pqr and --summary-json can write to standard output"},
        {{"-j", "0", "a.pdb"}, "--jobs: '0' is not a number of inputs to run at once (1 to 1024)"},
        {{"--assign=forcefield", "x.pqr"},
         "--assign=forcefield needs --forcefield=NAME, the force field the input's charges come from"},
        {{"-a", "forcefield", "--forcefield=", "x.pqr"},
         "--assign=forcefield needs --forcefield=NAME, the force field the input's charges come from"},
        {{"-o", "-", "x"}, "--templates: writes two files (.siz and .crg) and cannot go to standard output"},
        {{"-r", "-", "-p", "-", "x"}, "--report and --pqr cannot both write to standard output"},
        {{"-z", "--assign=none", "x"}, "--zero-charges needs an assignment to zero (not --assign=none)"},
        {{"--root=a", "--templates-dir=b", "x"},
         "--root and --templates-dir both say where the templates are: give one"},
    };
    for (const auto& [args, message] : cases) {
        try {
            const Options options = ParseOptions(args);
            ADD_FAILURE() << Join(args) << " was accepted: " << Show(options);
        } catch (const UsageError& e) {
            EXPECT_EQ(std::string(e.what()), message) << Join(args);
        }
    }
}

struct OutDirCase {
    std::string input;
    std::string base;  // expected path of the outputs without extension
};

TEST(ResolveOutDir, NamesOutputsAfterTheInput) {
    const std::vector<OutDirCase> cases = {
        {"x.cif.gz", "out/x"},
        {"x.cif", "out/x"},
        {"/data/pdb/1abc.pdb", "out/1abc"},
        {"1abc.pdb.gz", "out/1abc"},
        {"pdb1abc.ent.gz", "out/pdb1abc"},
        {"../1AJJ_pH7_AMBER.pqr", "out/1AJJ_pH7_AMBER"},
        {"model.mmcif", "out/model"},
        {"structure", "out/structure"},
        {"my.protein.pdb", "out/my.protein"},
        {"x.txt", "out/x.txt"},
        {"-", "out/stdin"},
    };
    for (const auto& c : cases) {
        Options options = ParseOptions({"-O", "out", c.input});
        VoltraApp::ResolveOutDir(options);
        EXPECT_EQ(Show(options.templatePrefix), Show(c.base)) << c.input;
        EXPECT_EQ(Show(options.reportPath), Show(c.base + ".html")) << c.input;
        EXPECT_EQ(Show(options.pqrPath), Show(c.base + ".pqr")) << c.input;
    }
}

TEST(ResolveOutDir, ExplicitOutputsWin) {
    Options options = ParseOptions({"-O", "out", "-p", "-", "-o", "elsewhere/t", "x.pdb"});
    VoltraApp::ResolveOutDir(options);
    EXPECT_EQ(Show(options.templatePrefix), Show(std::string("elsewhere/t")));
    EXPECT_EQ(Show(options.pqrPath), Show(std::string("-")));
    EXPECT_EQ(Show(options.reportPath), Show(std::string("out/x.html")));
}

TEST(ResolveOutDir, WithoutAnAssignmentOnlyThePqrIsWritten) {
    Options options = ParseOptions({"--assign=none", "-O", "out", "x.pqr"});
    VoltraApp::ResolveOutDir(options);
    EXPECT_EQ(Show(options.pqrPath), Show(std::string("out/x.pqr")));
    EXPECT_EQ(Show(options.templatePrefix), Show(std::optional<std::string>()));
    EXPECT_EQ(Show(options.reportPath), Show(std::optional<std::string>()));
}

TEST(ResolveOutDir, WithoutOutDirNothingIsWritten) {
    Options options = ParseOptions({"x.pdb"});
    const std::string before = Show(options);
    VoltraApp::ResolveOutDir(options);
    EXPECT_EQ(Show(options), before);
}

// The structure reader names the molecule after the file with its extensions dropped whatever
// their case (1ABC.PDB.GZ -> 1ABC), and tells the format from ".PDB" as from ".pdb"; the output
// names should follow the same rule. Today the comparison is case-sensitive, so the outputs of
// "1ABC.PDB.GZ" are named "1ABC.PDB.GZ.pqr" and so on.
TEST(ResolveOutDir, UpperCaseExtensionsAreDropped) {
    for (const auto& c : std::vector<OutDirCase>{
             {"1ABC.PDB", "out/1ABC"}, {"1ABC.PDB.GZ", "out/1ABC"}, {"x.Cif.Gz", "out/x"}, {"1AJJ.PQR", "out/1AJJ"}}) {
        Options options = ParseOptions({"-O", "out", c.input});
        VoltraApp::ResolveOutDir(options);
        EXPECT_EQ(Show(options.pqrPath), Show(c.base + ".pqr")) << c.input;
    }
}

TEST(HelpText, ListsEveryOption) {
    const std::string help = VoltraApp::HelpText();
    EXPECT_EQ(help.rfind("Usage: voltra [OPTIONS] INPUT...\n", 0), 0u);
    for (const char* option :
         {"-a, --assign=KIND", "-f, --forcefield=NAME", "-z, --zero-charges", "-o, --templates=PREFIX",
          "-r, --report=FILE", "-p, --pqr=FILE", "-O, --out-dir=DIR", "-m, --model=N", "--format=FMT", "--root=DIR",
          "-q, --quiet", "-h, --help", "-V, --version"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
    // Every option the help names is one the parser accepts.
    for (const auto& args : std::vector<std::vector<std::string>>{{"--assign=none", "x"},
                                                                  {"--forcefield=A", "x"},
                                                                  {"--zero-charges", "x"},
                                                                  {"--templates=t", "x"},
                                                                  {"--report=r", "x"},
                                                                  {"--pqr=p", "x"},
                                                                  {"--out-dir=o", "x"},
                                                                  {"--model=1", "x"},
                                                                  {"--format=pdb", "x"},
                                                                  {"--root=r", "x"},
                                                                  {"--quiet", "x"},
                                                                  {"--help"},
                                                                  {"--version"}}) {
        EXPECT_NO_THROW(ParseOptions(args)) << Join(args);
    }
}

}  // namespace
