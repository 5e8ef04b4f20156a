// Fuzzes one whole run of the program on a small document: read, one of the assignments,
// templates, report and PQR written to a scratch folder. The first byte picks the input format
// (modulo 3: 0 PDB, 1 mmCIF, 2 PQR) and the assignment (divided by 3, modulo 5); the rest is
// the file. Every exit status but the internal error's is an answer; that one is a defect.
//
// The options come from the program's own command-line parser, so the harness runs what a user
// running `voltra` runs, and cannot drift from it when options are added.
#include "ScratchFolder.h"

#include "ExitCodes.h"
#include "Options.h"
#include "VoltraRun.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace VoltraApp;
    if (size == 0) return 0;
    static const char* const kFormats[] = {"pdb", "cif", "pqr"};
    static const char* const kAssignments[] = {"default", "amber", "parse", "forcefield", "none"};
    const std::string& scratch = VoltraFuzz::ScratchFolder();
    const std::string input = scratch + "/input";
    std::ofstream(input, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));

    const char* assignment = kAssignments[(data[0] / 3) % 5];
    std::vector<std::string> args = {"--quiet", std::string("--format=") + kFormats[data[0] % 3],
                                     std::string("--assign=") + assignment, "--out-dir=" + scratch + "/out",
                                     std::string("--root=") + VOLTRA_FUZZ_ROOT};
    if (std::string(assignment) == "forcefield")
        args.push_back((data[0] & 0x80) ? "--forcefield=PARSE" : "--forcefield=AMBER");
    args.push_back(input);
    const Options options = ParseOptions(args);
    if (options.inputs.size() != 1) {
        std::fprintf(stderr, "pipeline_fuzzer: the options name %zu inputs, not the one file written\n",
                     options.inputs.size());
        std::abort();
    }

    // A run that reports success must have written what it was asked for; the PQR is written
    // with --out-dir whatever the assignment.
    const std::string pqr = scratch + "/out/input.pqr";
    std::remove(pqr.c_str());
    std::ostringstream out, err;
    const int status = Run(options, out, err);
    if (status == kExitInternalError) {
        std::fprintf(stderr, "pipeline_fuzzer: internal error (exit %d): %s\n", status, err.str().c_str());
        std::abort();
    }
    if (status == kExitSuccess && !std::ifstream(pqr)) {
        std::fprintf(stderr, "pipeline_fuzzer: the run succeeded but wrote no %s\n", pqr.c_str());
        std::abort();
    }
    return 0;
}
