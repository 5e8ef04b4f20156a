// Adds the hydrogens a molecule's residues lack, placed from the monomer library's bond lengths,
// angles, torsions and planes (gemmi's placement), with nuclear X-H distances.
#pragma once

#include "HostApi.h"
#include "HostModel/Atom.h"

namespace HostModel {
class Molecule;
struct PreparationReport;
}  // namespace HostModel

namespace HostChem {

/// Adds every missing hydrogen of the set to each residue of the molecule that the monomer
/// library knows (under the parent name for protonation variants); hydrogens present are
/// kept. Counts what it added per residue type in report.hydrogensAdded; hydrogens whose
/// placement failed are left out and listed in report.hydrogensNotPlaced, residues the library
/// does not know in report.warnings. Notes one chemistry change when it adds any. Throws
/// std::runtime_error, changing nothing, when a library file is unreadable.
HOST_API void AddMissingHydrogens(HostModel::Molecule& molecule, HostModel::Atom::HydrogenSet set,
                                  HostModel::PreparationReport& report);

/// Property of a terminal amino acid that the protonation step may set: "NH3+", "NH2", "COO-"
/// or "COOH"; absent means the charged form.
inline const char* TerminalStateProperty() { return "Terminal State"; }

}  // namespace HostChem
