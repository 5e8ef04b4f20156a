// gemmi's messages about a file it cannot read, as our ReadError: location first, then what.
#pragma once

#include <string>

namespace HostIO {

/// gemmi's PDB reader: "Problem in line 6: The line is too short to be correct:\nATOM ..."
/// becomes "<name>:6: the line is too short to be correct: 'ATOM ...'".
[[noreturn]] void ThrowPdbReaderError(const std::string& name, const std::string& message);

/// PEGTL's CIF syntax errors: "<name>:<line>:<column>: <message>" becomes a ReadError with that
/// line and column; other messages a ReadError without.
[[noreturn]] void ThrowCifReaderError(const std::string& name, const std::string& message);

}  // namespace HostIO
