#include "Options.h"

#include "io/StructureFormat.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <utility>

namespace VoltraApp {
namespace {

struct OptionSpec {
    const char* longName;
    char shortName;  // 0: long form only
    bool takesValue;
};

constexpr OptionSpec kOptions[] = {
    {"assign", 'a', true},     {"forcefield", 'f', true}, {"zero-charges", 'z', false},
    {"templates", 'o', true},  {"report", 'r', true},     {"pqr", 'p', true},
    {"out-dir", 'O', true},    {"root", 0, true},         {"templates-dir", 0, true},
    {"model", 'm', true},      {"format", 0, true},       {"quiet", 'q', false},
    {"help", 'h', false},      {"no-complete", 0, false}, {"ph", 0, true},
    {"pka", 0, true},          {"version", 'V', false},   {"apbs-input", 0, true},
    {"summary-json", 0, true}, {"jobs", 'j', true},
};

const OptionSpec* FindLong(const std::string& name) {
    for (const auto& spec : kOptions) {
        if (name == spec.longName) return &spec;
    }
    return nullptr;
}

const OptionSpec* FindShort(char name) {
    for (const auto& spec : kOptions) {
        if (spec.shortName != 0 && spec.shortName == name) return &spec;
    }
    return nullptr;
}

Assignment ParseAssignment(const std::string& value) {
    if (value == "default") return Assignment::Default;
    if (value == "amber") return Assignment::AmberPlusDefault;
    if (value == "parse") return Assignment::Parse;
    if (value == "forcefield") return Assignment::ForceField;
    if (value == "none") return Assignment::None;
    throw UsageError("--assign: unknown assignment '" + value + "' (choose default, amber, parse, forcefield or none)");
}

int ParseModel(const std::string& value) {
    char* end = nullptr;
    const long number = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || number < 1 || number > 1000000) {
        throw UsageError("--model: '" + value + "' is not a model number (1, 2, ...)");
    }
    return static_cast<int>(number);
}

double ParsePh(const std::string& value) {
    char* end = nullptr;
    const double ph = std::strtod(value.c_str(), &end);
    if (value.empty() || *end != '\0' || !(ph >= 0.0 && ph <= 14.0)) {
        throw UsageError("--ph: '" + value + "' is not a pH between 0 and 14");
    }
    return ph;
}

int ParseJobs(const std::string& value) {
    char* end = nullptr;
    const long number = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || number < 1 || number > 1024) {
        throw UsageError("--jobs: '" + value + "' is not a number of inputs to run at once (1 to 1024)");
    }
    return static_cast<int>(number);
}

void Apply(Options& options, const OptionSpec& spec, const std::string& value) {
    const std::string name = spec.longName;
    if (name == "assign") options.assignment = ParseAssignment(value);
    else if (name == "forcefield") options.forcefieldName = value;
    else if (name == "zero-charges") options.zeroCharges = true;
    else if (name == "templates") options.templatePrefix = value;
    else if (name == "report") options.reportPath = value;
    else if (name == "pqr") options.pqrPath = value;
    else if (name == "out-dir") options.outDir = value;
    else if (name == "root") options.root = value;
    else if (name == "templates-dir") options.templatesDir = value;
    else if (name == "model") options.model = ParseModel(value);
    else if (name == "no-complete") options.completeMissingAtoms = false;
    else if (name == "ph") options.ph = ParsePh(value);
    else if (name == "pka") {
        if (value != "model" && value != "propka") {
            throw UsageError("--pka: unknown pKa source '" + value + "' (choose model or propka)");
        }
        options.pkaFromPropka = value == "propka";
    } else if (name == "format") {
        // The reader's own list of names, so that every name it takes is taken here.
        const std::optional<HostIO::StructureFormat> format = HostIO::ParseStructureFormat(value);
        if (!format) throw UsageError("--format: unknown format '" + value + "' (choose pdb, ent, cif, mmcif or pqr)");
        options.inputFormat = *format;
    } else if (name == "quiet") options.quiet = true;
    else if (name == "help") options.showHelp = true;
    else if (name == "version") options.showVersion = true;
    else if (name == "apbs-input") options.apbsInputPath = value;
    else if (name == "summary-json") options.summaryJsonPath = value;
    else if (name == "jobs") options.jobs = ParseJobs(value);
}

void CheckConsistency(const Options& options) {
    if (options.assignment == Assignment::ForceField && options.forcefieldName.empty()) {
        throw UsageError("--assign=forcefield needs --forcefield=NAME, the force field the input's charges come from");
    }
    if (options.templatePrefix && *options.templatePrefix == "-") {
        throw UsageError("--templates: writes two files (.siz and .crg) and cannot go to standard output");
    }
    if (options.reportPath && options.pqrPath && *options.reportPath == "-" && *options.pqrPath == "-") {
        throw UsageError("--report and --pqr cannot both write to standard output");
    }
    if (options.root && options.templatesDir) {
        throw UsageError("--root and --templates-dir both say where the templates are: give one");
    }
    if (options.zeroCharges && options.assignment == Assignment::None) {
        throw UsageError("--zero-charges needs an assignment to zero (not --assign=none)");
    }
    if (options.apbsInputPath) {
        if (*options.apbsInputPath == "-" || options.apbsInputPath->empty()) {
            throw UsageError("--apbs-input: needs a file name (APBS reads its input from a file)");
        }
        if (!options.pqrPath && !options.outDir) {
            throw UsageError("--apbs-input needs --pqr=FILE (or --out-dir): the APBS input refers to the PQR file");
        }
        if (options.pqrPath && *options.pqrPath == "-") {
            throw UsageError("--apbs-input needs the PQR in a file, not on standard output");
        }
    }
    int toStandardOutput = 0;
    for (const auto* path : {&options.reportPath, &options.pqrPath, &options.summaryJsonPath}) {
        if (*path && **path == "-") ++toStandardOutput;
    }
    if (toStandardOutput > 1)
        throw UsageError("only one of --report, --pqr and --summary-json can write to standard output");
}

// Several inputs write into --out-dir only: a single named output would be overwritten by each.
void CheckInputs(const Options& options) {
    if (options.inputs.size() < 2) return;
    if (!options.outDir) throw UsageError("several inputs need --out-dir=DIR for their outputs");
    const std::pair<const std::optional<std::string>*, const char*> single[] = {
        {&options.templatePrefix, "--templates"},
        {&options.reportPath, "--report"},
        {&options.pqrPath, "--pqr"},
        {&options.apbsInputPath, "--apbs-input"}};
    for (const auto& [path, name] : single) {
        if (*path) throw UsageError(std::string(name) + " names one output; with several inputs, --out-dir names them");
    }
    std::map<std::string, std::string> byStem;
    for (const auto& input : options.inputs) {
        const auto [it, added] = byStem.emplace(HostIO::StructureFileStem(input), input);
        if (!added) {
            throw UsageError("inputs '" + it->second + "' and '" + input + "' would both write '" + it->first +
                             ".*' into " + *options.outDir);
        }
    }
}

}  // namespace

Options ParseOptions(const std::vector<std::string>& args) {
    Options options;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {
            positional.insert(positional.end(), args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        }
        if (arg.rfind("--", 0) == 0) {
            const auto eq = arg.find('=');
            const std::string name = arg.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
            const OptionSpec* spec = FindLong(name);
            if (!spec) throw UsageError("unknown option '--" + name + "' (see --help)");
            std::string value;
            if (spec->takesValue) {
                if (eq != std::string::npos) {
                    value = arg.substr(eq + 1);
                } else if (i + 1 < args.size()) {
                    value = args[++i];
                } else {
                    throw UsageError("option '--" + name + "' needs a value");
                }
            } else if (eq != std::string::npos) {
                throw UsageError("option '--" + name + "' takes no value");
            }
            Apply(options, *spec, value);
            continue;
        }
        if (arg.size() > 1 && arg[0] == '-') {
            // Short options may be grouped (-qz); a value may follow directly (-adefault) or separately.
            for (std::size_t k = 1; k < arg.size(); ++k) {
                const OptionSpec* spec = FindShort(arg[k]);
                if (!spec) throw UsageError(std::string("unknown option '-") + arg[k] + "' (see --help)");
                if (!spec->takesValue) {
                    Apply(options, *spec, {});
                    continue;
                }
                std::string value;
                if (k + 1 < arg.size()) {
                    value = arg.substr(k + 1);
                } else if (i + 1 < args.size()) {
                    value = args[++i];
                } else {
                    throw UsageError(std::string("option '-") + arg[k] + "' needs a value");
                }
                Apply(options, *spec, value);
                break;
            }
            continue;
        }
        positional.push_back(arg);  // includes "-" for standard input
    }
    if (options.showHelp || options.showVersion) return options;
    if (positional.empty()) throw UsageError("no input structure given (see --help)");
    options.inputs = positional;
    options.input = positional.front();
    CheckConsistency(options);
    CheckInputs(options);
    return options;
}

void ResolveOutDir(Options& options) {
    if (!options.outDir) return;
    namespace fs = std::filesystem;
    const fs::path base = fs::path(*options.outDir) / HostIO::StructureFileStem(options.input);
    // Without an assignment there are no template values to write or report: the folder gets the
    // PQR alone, the atoms as read with no values assigned.
    if (options.assignment != Assignment::None) {
        if (!options.templatePrefix) options.templatePrefix = base.string();
        if (!options.reportPath) options.reportPath = base.string() + ".html";
    }
    if (!options.pqrPath) options.pqrPath = base.string() + ".pqr";
}

Options OptionsForInput(const Options& options, std::size_t index) {
    Options one = options;
    one.input = options.inputs.at(index);
    one.inputs = {one.input};
    ResolveOutDir(one);
    return one;
}

std::string HelpText() {
    return R"(Usage: voltra [OPTIONS] INPUT...

Assigns Voltra partial charges and radii to the atoms of a structure and writes
Voltra's template files, an HTML charge report and a PQR file.

INPUT is a PDB, mmCIF or PQR file, optionally gzip-compressed, or '-' for
standard input. Several inputs are run one document each, --jobs at once, and
need --out-dir; one input's failure does not stop the others.

Assignment:
  -a, --assign=KIND        default     Voltra default charges and sizes (default)
                           amber       Amber charges + default sizes
                           parse       Parse charges and sizes
                           forcefield  the input's own charges (PQR) with radii
                                       chosen by force-field name
                           none        read and report only; writes only the PQR
  -f, --forcefield=NAME    force field the PQR charges come from (AMBER, PARSE,
                           ...); needed by --assign=forcefield
  -z, --zero-charges       set every charge to zero after the assignment
      --ph=VALUE           pH for the protonation states that amber and parse
                           choose for residues without hydrogens (default 7.0)
      --pka=SOURCE         model   fixed model pKa values per group (default)
                           propka  pKa values from PROPKA 3 (propka3 program)

Output (nothing is written unless asked for):
  -o, --templates=PREFIX   write PREFIX.siz and PREFIX.crg (Voltra templates)
  -r, --report=FILE        write the HTML charge report ('-': standard output)
  -p, --pqr=FILE           write a PQR file with the Voltra charges and radii
                           ('-': standard output)
  -O, --out-dir=DIR        write all three into DIR (made if missing), named
                           after the input
                           (explicit -o/-r/-p still win)
      --apbs-input=FILE    write an APBS input for the PQR file: solvation
                           energy (solvated minus reference), grid sized as
                           pdb2pqr's psize does; needs --pqr or --out-dir
      --summary-json=FILE  write the summary as JSON, one object per input
                           ('-': standard output)

Input:
  -m, --model=N            read model N (default: the first model)
      --format=FMT         read INPUT as pdb (or ent), cif (or mmcif) or pqr instead of guessing
      --no-complete        keep standard residues as read: do not build their
                           missing heavy atoms (side chains, C-terminal OXT)

Templates:
      --root=DIR           persistence root: templates are read from
                           DIR/../share/voltra/templates (default: the folder of
                           the voltra executable; environment: VOLTRA_ROOT)
      --templates-dir=DIR  read the templates from the folder DIR itself

Runs:
  -j, --jobs=N             run N inputs at once (default: the number of cores)

Other:
  -q, --quiet              print nothing but errors
  -h, --help               show this help
  -V, --version            show the version

Exit status: 0 success, 2 usage error, 3 input could not be read,
4 a command refused or failed, 5 an output could not be written,
1 internal error. With several inputs, the worst of theirs, in the order
1 (worst), 5, 4, 3, 0.
)";
}

}  // namespace VoltraApp
