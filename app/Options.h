// Command-line options of the voltra program.
#pragma once

#include "io/StructureFormat.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace VoltraApp {

enum class Assignment { Default, AmberPlusDefault, Parse, ForceField, None };

struct Options {
    std::vector<std::string> inputs;  // paths, "-" for standard input; in command-line order
    std::string input;                // the input of this run (the first of inputs)
    HostIO::StructureFormat inputFormat = HostIO::StructureFormat::Detect;  // --format; Detect guesses
    int model = 0;                                                          // 1-based model number; 0 = the first model
    bool completeMissingAtoms = true;  // build standard residues' missing heavy atoms
    Assignment assignment = Assignment::Default;
    std::string forcefieldName;  // names the typing of PQR charges
    bool zeroCharges = false;
    std::optional<std::string> templatePrefix;   // writes <prefix>.siz and <prefix>.crg
    std::optional<std::string> reportPath;       // "-" for standard output
    std::optional<std::string> pqrPath;          // "-" for standard output
    std::optional<std::string> outDir;           // all three outputs named after the input
    std::optional<std::string> apbsInputPath;    // APBS input for the PQR written
    std::optional<std::string> summaryJsonPath;  // "-" for standard output
    int jobs = 0;                                // inputs run at once; 0 = the number of cores
    // Set by the program, not an option: its process ends after the run, so the document of a
    // single input is left for the system to reclaim instead of being freed object by object.
    bool leaveDocumentToExit = false;
    std::optional<std::string> root;          // persistence root (templates in root/../share/voltra/templates)
    std::optional<std::string> templatesDir;  // the templates folder itself
    double ph = 7.0;                          // pH of the protonation states
    bool pkaFromPropka = false;               // --pka=propka: pKa values from PROPKA 3
    bool quiet = false;
    bool showHelp = false;
    bool showVersion = false;
};

/// A command line that cannot be understood; the message is meant for the user.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Parses argv (without the program name); throws UsageError.
Options ParseOptions(const std::vector<std::string>& args);

/// Fills the output paths that --out-dir implies for those not given explicitly.
void ResolveOutDir(Options& options);

/// The options of one input's run: input is inputs[index], outputs resolved against --out-dir.
Options OptionsForInput(const Options& options, std::size_t index);

std::string HelpText();

}  // namespace VoltraApp
