// Marks the charged free ends of amino-acid chains on their residues, so that charge templates
// can give them the terminal parameter sets force fields define (Amber's NALA, CHIE, ...).
#pragma once

#include "HostApi.h"

#include "HostModel/Residue.h"

namespace HostModel {
class Molecule;
}

namespace HostChem {

/// The chain end a residue is for templates: NTerminal for a free, charged amine (no other
/// residue's C on its N, not chosen neutral, all its amine hydrogens present when it carries
/// hydrogens); CTerminal for a carboxylate (its C bonded to no other residue's N, OXT present,
/// no HXT). A residue that is both, a capped or cyclic end, a neutral end and a residue whose
/// type is not a standard amino acid or one of its protonation variants is None.
HOST_API HostModel::Residue::ChainEnd ClassifyChainEnd(const HostModel::Residue& residue);

/// Sets every residue's chain end below molecule (ClassifyChainEnd), clearing stale ones.
HOST_API void MarkChainEnds(HostModel::Molecule& molecule);

}  // namespace HostChem
