// Checks and mends the bytes of a PDB file before gemmi 0.5.7's reader sees them, for the
// records that reader mishandles: connection records too short for their fields (read past
// their end), charge fields of the pre-1996 layout (refused), coordinates that are not numbers
// of a sane size (passed on).
#pragma once

#include "HostApi.h"

#include <string>
#include <string_view>
#include <vector>

namespace HostIO {

/// Coordinates beyond this (Å) are refused: 10^6 Å holds any assembly with room to spare, and
/// squared distances of such values stay far inside float's range.
constexpr double kCoordinateLimit = 1e6;

/// Whether a coordinate (Å) is one the reader accepts: finite and within ±kCoordinateLimit.
HOST_API bool IsAcceptedCoordinate(double value);

/// Mends text in place, line by line as gemmi splits it, and returns warnings (one line each,
/// starting "<name>:<line>: "):
///  - an SSBOND, LINK or CISPEP record shorter than 80 columns is padded with blanks to 80,
///    with a warning when it ends inside one of its fields;
///  - a charge field (columns 79-80 of ATOM/HETATM) that is not a formal charge ("2+", "1-",
///    blank) is blanked; one warning names the first such line and counts them.
/// Throws ReadError naming name and the line for an ATOM/HETATM coordinate that gemmi would
/// read as NaN, infinity or a value rejected by IsAcceptedCoordinate.
HOST_API std::vector<std::string> GuardPdbRecords(std::string& text, const std::string& name);

/// Whether GuardPdbRecords would change text, which is only read: a text that needs nothing
/// mended can be read where it lies. Throws the ReadError GuardPdbRecords throws for a
/// coordinate met before the first record to mend; a later one is left to GuardPdbRecords.
HOST_API bool PdbRecordsNeedMending(std::string_view text, const std::string& name);

}  // namespace HostIO
