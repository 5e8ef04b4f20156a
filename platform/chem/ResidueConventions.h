// Reads the chemistry a structure file already states in names other than the PDB's current
// ones: residue and atom names of older PDB files, Amber and PDB2PQR (DNA as A/C/G/T, RNA as
// RA/RG5, O1P), and protonation states written as hydrogens (HIS with HD1 only is HID, ...).
#pragma once

#include "HostApi.h"

namespace HostModel {
class Molecule;
struct PreparationReport;
}  // namespace HostModel

namespace HostChem {

/// Renames residues and atoms of other conventions to the PDB's current names; the residue
/// label keeps the input's name. Records each mapping in report.namesMapped.
HOST_API void MapResidueNamesToPdb(HostModel::Molecule& molecule, HostModel::PreparationReport& report);

/// Sets the type name of residues whose hydrogens decide their protonation state (HID, HIE,
/// HIP, ASH, GLH, LYN, CYX, CYM); residues without hydrogens are left to the protonation step.
/// Records the counts in report.statesFromHydrogens.
HOST_API void ReadStatesFromHydrogens(HostModel::Molecule& molecule, HostModel::PreparationReport& report);

}  // namespace HostChem
