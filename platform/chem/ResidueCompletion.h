// Builds the heavy atoms that standard residues lack in the input (side chains, the C-terminal
// OXT) from the monomer library's geometry, placed on the atoms present.
#pragma once

#include "HostApi.h"

namespace HostModel {
class Molecule;
struct PreparationReport;
}  // namespace HostModel

namespace HostChem {

/// Completes every standard amino acid and nucleotide of the molecule; records atoms built and
/// residues left incomplete in report. Residues without the atoms to build from are left as
/// they are and reported.
HOST_API void CompleteMissingHeavyAtoms(HostModel::Molecule& molecule, HostModel::PreparationReport& report);

class HeavyAtomCensus;

/// The same, with the heavy atoms of the molecule's residues already counted by census.
void CompleteMissingHeavyAtoms(HostModel::Molecule& molecule, HostModel::PreparationReport& report,
                               const HeavyAtomCensus& census);

}  // namespace HostChem
