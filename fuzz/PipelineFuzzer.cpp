// Fuzzes one whole run of the program on a small document: read, one of the assignments,
// templates, report and PQR written to a scratch folder. The first byte picks the input format
// (modulo 3: 0 PDB, 1 mmCIF, 2 PQR) and the assignment (divided by 3, modulo 5); the rest is
// the file. Every exit status but the internal error's is an answer; that one is a defect.
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

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace VoltraApp;
    if (size == 0) return 0;
    static const HostIO::StructureFormat kFormats[] = {HostIO::StructureFormat::Pdb, HostIO::StructureFormat::Mmcif,
                                                      HostIO::StructureFormat::Pqr};
    static const Assignment kAssignments[] = {Assignment::Default, Assignment::AmberPlusDefault, Assignment::Parse,
                                              Assignment::ForceField, Assignment::None};
    const std::string& scratch = VoltraFuzz::ScratchFolder();
    Options options;
    options.input = scratch + "/input";
    options.inputFormat = kFormats[data[0] % 3];
    options.assignment = kAssignments[(data[0] / 3) % 5];
    if (options.assignment == Assignment::ForceField) options.forcefieldName = (data[0] & 0x80) ? "PARSE" : "AMBER";
    options.outDir = scratch + "/out";
    options.root = VOLTRA_FUZZ_ROOT;
    options.quiet = true;
    std::ofstream(options.input, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    std::ostringstream out, err;
    const int status = Run(options, out, err);
    if (status == kExitInternalError) {
        std::fprintf(stderr, "pipeline_fuzzer: internal error (exit %d): %s\n", status, err.str().c_str());
        std::abort();
    }
    return 0;
}
