// What happens to a molecule right after it is read, before any command: names of other
// conventions mapped, hydrogens renamed, states read from hydrogens, heavy atoms completed.
#pragma once

#include "HostApi.h"

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

}  // namespace HostChem
