// Renames hydrogens written in other conventions (PDB v2 "1HB2", Amber, CHARMM "HN"/"HT1",
// nucleic "H5'1") to the PDB v3 names the templates use.
#pragma once

#include "HostApi.h"

namespace HostModel {
class Molecule;
struct PreparationReport;
}  // namespace HostModel

namespace HostChem {

/// Renames the hydrogens of every residue of the molecule; records renamings in
/// report.hydrogensRenamed and hydrogens no convention explains in report.unknownHydrogens.
HOST_API void NameHydrogens(HostModel::Molecule& molecule, HostModel::PreparationReport& report);

}  // namespace HostChem
