// Reads PDB files through gemmi's reader and mmCIF files through the streaming reader into
// gemmi's model, and builds the host tree of one model of it, one conformer per position.
#pragma once

#include "io/HostTreeBuilder.h"
#include "io/StructureReader.h"

#include <string>
#include <vector>

namespace HostIO {

struct GemmiModelRead {
    ModelRead model;
    /// The record guards' warnings on a PDB file (PdbRecordGuards.h); none for mmCIF.
    std::vector<std::string> warnings;
};

/// Reads text (PDB or mmCIF, as format says; freed once parsed) and builds the model that
/// options.model names, labelled with the entry id or else defaultLabel. Throws ReadError naming
/// name (and the line where one applies).
GemmiModelRead ReadGemmiModel(std::string text, const std::string& name, StructureFormat format,
                              const ReadOptions& options, const std::string& defaultLabel);

}  // namespace HostIO
