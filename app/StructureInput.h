// Reads the program's input structure into the document and describes what was read.
#pragma once

#include "Options.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace HostModel {
class ChemDoc;
}

namespace VoltraApp {

/// The input could not be read; the message starts with the file (and line).
class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct StructureSummary {
    std::string description;            // one line: file, format, model, counts
    std::vector<std::string> warnings;  // full sentences
};

/// Throws InputError.
StructureSummary ReadStructureInto(HostModel::ChemDoc& doc, const Options& options);

}  // namespace VoltraApp
