// Chooses the protonation state of titratable residues at the document's pH and writes it as
// the residue's type name (HID, HIE, HIP, CYX, CYM, ASH, GLH, LYN; termini are recorded on the
// residue), so that hydrogen placement and template lookup see the variant.
#pragma once

#include "HostApi.h"

namespace HostModel {
class ChemDoc;
}

namespace HostChem {

/// Decides the states of every standard residue of the visible molecules that the input did
/// not already decide (its hydrogens), from ChemDoc::GetProtonationSettings; records the counts
/// in the document's PreparationReport. Throws std::runtime_error when the pKa source fails
/// (PROPKA missing or failing), with a message saying which.
HOST_API void ChooseProtonationStates(HostModel::ChemDoc& doc);

}  // namespace HostChem
