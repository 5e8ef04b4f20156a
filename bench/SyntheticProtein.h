// Builds large protein-like documents for benchmarks: one molecule, amino-acid chains of
// residues with hydrogens, backbone and side-chain bonds, atom names as force fields spell them.
#pragma once

#include "HostModel/ChemDoc.h"
#include "HostModel/Molecule.h"

#include <cstddef>

namespace VoltraBench {

/// Appends one molecule with exactly atomCount atoms to doc's tree root and returns it.
/// Chains hold residuesPerChain residues (8 residue kinds of 7 to 20 atoms, cycled).
HostModel::Molecule& BuildSyntheticProtein(HostModel::ChemDoc& doc, std::size_t atomCount,
                                           std::size_t residuesPerChain = 1000);

}  // namespace VoltraBench
