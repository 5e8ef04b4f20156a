// The element of an atom known only by its name, as in PQR files, which carry no element column.
#pragma once

#include "HostApi.h"

#include <string_view>

namespace HostIO {

/// Atomic number for an atom name within a residue; 0 when the name gives no element.
/// Leading digits are skipped ("1HD2" is a hydrogen). A one-atom residue named after its atom
/// is that element ("CA" in residue "CA" is calcium, "Na+" in "Na+" sodium). Names starting with
/// CL, BR, FE, ZN, MG, MN, CU or SE are those elements (no amino-acid or nucleotide atom name
/// starts so; "SE" of selenomethionine is selenium). Otherwise the first letter decides, so
/// "CA" in an amino acid is carbon and "NA" in a heme is nitrogen.
HOST_API int ElementFromAtomName(std::string_view atomName, std::string_view residueName);

}  // namespace HostIO
