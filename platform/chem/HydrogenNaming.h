// Renames hydrogens written in other conventions (PDB v2 "1HB2", Amber, CHARMM "HN"/"HT1",
// nucleic "H5'1") to the PDB v3 names the templates use.
#pragma once

#include "HostApi.h"

namespace HostModel {
class Molecule;
class Residue;
struct PreparationReport;
}  // namespace HostModel

namespace HostChem {

/// Renames the hydrogens of every residue of the molecule; records renamings in
/// report.hydrogensRenamed and hydrogens no convention explains in report.unknownHydrogens.
HOST_API void NameHydrogens(HostModel::Molecule& molecule, HostModel::PreparationReport& report);

/// NameHydrogens on one residue that carries hydrogens, for a walk that has looked at its atoms.
void NameResidueHydrogens(HostModel::Residue& residue, HostModel::PreparationReport& report);

}  // namespace HostChem
