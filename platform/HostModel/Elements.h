// The periodic table as the host uses it: symbols, atomic numbers and van der Waals radii.
#pragma once

#include "HostApi.h"

#include <string>

namespace HostModel {

/// Atomic number of a symbol, ignoring case ("FE", "Fe"); 0 when unknown. "D" and "T" give 1.
HOST_API int AtomicNumberFromSymbol(const std::string& symbol);
/// Symbol in the periodic table's spelling ("C", "Fe"); empty for 0 or unknown numbers.
HOST_API const char* ElementSymbol(int atomicNumber);
/// Van der Waals radius in Å: Bondi (1964) where Bondi gives one, otherwise Mantina et al.
/// (J. Phys. Chem. A 113, 5806 (2009)) for main-group elements, otherwise 2.00.
HOST_API float VanDerWaalsRadius(int atomicNumber);

}  // namespace HostModel
