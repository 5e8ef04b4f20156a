// Reads PDB files (streamed record by record, or through gemmi's reader) and mmCIF files
// (through the streaming reader into gemmi's model), and builds the host tree of one model,
// one conformer per position.
#pragma once

#include "io/HostTreeBuilder.h"
#include "io/StructureReader.h"

#include <string>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace HostIO {

struct GemmiModelRead {
    ModelRead model;
    /// The record guards' warnings on a PDB file (PdbRecordGuards.h); none for mmCIF.
    std::vector<std::string> warnings;
};

/// Reads text (PDB or mmCIF, as format says; freed once parsed) and builds the model that
/// options.model names, labelled with the entry id or else defaultLabel. A PDB file is streamed
/// (PdbStreamReader.h) unless VOLTRA_PDB_STREAMING=0; where the stream declines a file, gemmi's
/// reader reads it, so that results and messages are gemmi's. Throws ReadError naming name (and
/// the line where one applies).
GemmiModelRead ReadGemmiModel(std::string text, const std::string& name, StructureFormat format,
                              const ReadOptions& options, const std::string& defaultLabel);

/// ReadGemmiModel for PDB text read where it lies (a mapped file), which the caller lets go
/// through release once the stream no longer needs it. Empty, with nothing read, where the text
/// needs mending first or streaming is off: the caller then reads it as ReadGemmiModel does.
std::optional<GemmiModelRead> ReadPdbModelInPlace(std::string_view text, const std::function<void()>& release,
                                                  const std::string& name, const ReadOptions& options,
                                                  const std::string& defaultLabel);

/// The reference path for PDB text already mended by GuardPdbRecords: gemmi's whole Structure,
/// then the model. Throws ReadError as ReadGemmiModel does.
ModelRead ReadPdbThroughGemmi(std::string text, const std::string& name, const ReadOptions& options,
                              const std::string& defaultLabel);

}  // namespace HostIO
