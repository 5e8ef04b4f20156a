#include "StructureInput.h"

#include "io/StructureReader.h"

#include <sstream>

namespace VoltraApp {
namespace {

std::string JoinNames(const std::vector<std::string>& names, std::size_t limit) {
    std::string text;
    for (std::size_t i = 0; i < names.size() && i < limit; ++i) text += (i ? ", " : "") + names[i];
    if (names.size() > limit) text += ", ...";
    return text;
}

}  // namespace

StructureSummary ReadStructureInto(HostModel::ChemDoc& doc, const Options& options) {
    HostIO::ReadOptions readOptions;
    readOptions.format = options.inputFormat;
    readOptions.model = options.model;
    readOptions.completeMissingAtoms = options.completeMissingAtoms;
    readOptions.forcefieldName = options.forcefieldName;

    HostIO::ReadResult result;
    try {
        result = HostIO::ReadStructure(doc, options.input, readOptions);
    } catch (const HostIO::ReadError& e) {
        throw InputError(e.what());
    }

    StructureSummary summary;
    std::ostringstream line;
    line << "read " << result.source << " (" << HostIO::StructureFormatName(result.format)
         << (result.compressed ? ", gzip" : "") << "): model " << result.modelNumber;
    if (result.modelCount > 1) line << " of " << result.modelCount;
    line << ", " << result.atomCount << " atoms, " << result.residueCount << " residues, " << result.chainCount
         << " chains";
    if (result.altlocAtomsDropped > 0) {
        line << "; kept one conformer, dropped " << result.altlocAtomsDropped << " alternative atoms";
    }
    summary.description = line.str();
    summary.warnings = result.warnings;
    if (!result.unknownResidues.empty()) {
        summary.warnings.push_back("residues not in the residue table (no template entries likely): " +
                                   JoinNames(result.unknownResidues, 20));
    }
    return summary;
}

}  // namespace VoltraApp
