// Reads PDB text record by record, as gemmi 0.5.7's read_pdb_from_stream reads it with
// split_chain_on_ter, and hands each part of the model read (the residues of one chain id up to a
// change of id or a TER, what gemmi makes a gemmi::Chain) to the tree builder as soon as it ends.
// gemmi's whole Structure never exists: other models are only counted and named, and of the
// other records only those that name the entry or stop gemmi's reader are looked at.
#pragma once

#include "io/HostTreeBuilder.h"
#include "io/StructureReader.h"

#include <functional>
#include <string>
#include <string_view>

namespace HostIO {

enum class PdbReadThreads {
    BySize,  // the file's halves at once on a large file, else two on a file large enough, else one
    One,
    Two,     // the records read on a second thread beside the build, whatever the size
    Halves,  // the two halves of the text read at once beside the build, where a TER record splits it
    // Two, with every part's residues made by one side (for tests; Two shares them out as the
    // threads keep up).
    TwoReaderMakes,
    TwoBuilderMakes,
};

/// The model options.model names, from PDB text mended by GuardPdbRecords, as
/// ReadPdbThroughGemmi builds it. Throws ReadError where gemmi's reader refuses the file, the
/// model is missing or empty, or the builder refuses an atom; the message is not always gemmi's,
/// so the program then reads the file through gemmi. When releaseText is given, it is called
/// once every record is read and the model checked, to let the text go (a string emptied, a
/// mapping undone): the bonds, the largest step of the build, are found without it alive.
/// threads: whether the records are read on a second thread while this one builds the tree.
/// Either way the model, the errors and their order are the same.
ModelRead ReadPdbStreaming(std::string_view text, const std::string& name, const ReadOptions& options,
                           const std::string& defaultLabel, const std::function<void()>& releaseText = {},
                           PdbReadThreads threads = PdbReadThreads::BySize);

}  // namespace HostIO
