// What happens to a molecule right after it is read, before any command: names of other
// conventions mapped, hydrogens renamed, states read from hydrogens, heavy atoms completed.
#pragma once

#include "HostApi.h"

#include <cstddef>

namespace HostModel {
class Molecule;
struct PreparationReport;
}  // namespace HostModel

namespace HostChem {

struct PreparationOptions {
    /// Build missing heavy atoms of standard residues (off for PQR input and --no-complete).
    bool completeMissingAtoms = true;
};

/// Runs the steps in their order on a molecule not yet attached to a document.
HOST_API void PrepareReadMolecule(HostModel::Molecule& molecule, HostModel::PreparationReport& report,
                                  const PreparationOptions& options);

/// The same, the residues' names looked at on two threads when the molecule has at least
/// residuesWorthASecondThread residues; the result does not depend on it.
void PrepareReadMolecule(HostModel::Molecule& molecule, HostModel::PreparationReport& report,
                         const PreparationOptions& options, std::size_t residuesWorthASecondThread);

}  // namespace HostChem
