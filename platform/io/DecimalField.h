// Numbers of fixed-column fields, read as gemmi 0.5.7's PDB reader reads them (read_double:
// blanks and a '+' skipped, the longest number at the start taken, 0 when there is none), but
// without its general parser for the usual "  -12.345": that number is its digits divided by a
// power of ten, one correctly rounded division, so it comes out bit for bit as gemmi's.
#pragma once

#include "HostApi.h"

namespace HostIO {

/// The value gemmi's pdb_impl::read_double(begin, width) gives.
HOST_API double ReadDecimalField(const char* begin, int width);

}  // namespace HostIO
