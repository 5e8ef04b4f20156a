// Turns one part of a gemmi model (a gemmi::Chain: the residues of one chain id up to a change
// of id or a TER) into residues of the host tree, one conformer per position. Both readers of
// PDB text and the mmCIF reader hand their parts here, so that every path classifies residues
// and chooses conformers the same way.
#pragma once

#include "io/AltlocSelection.h"
#include "io/HostTreeBuilder.h"

#include <gemmi/model.hpp>

#include <string>

namespace HostIO {

/// Makes part's residues with their atoms into made (emptied first by the caller), one conformer
/// per position, without a builder: on any thread. Throws ReadError as MakeResidue does.
void MakePart(const gemmi::Chain& part, bool judgeByName, AltlocFilter& altlocs, const std::string& fileName,
              MadePart& made);

/// Adds part's residues to builder. judgeByName: the file names no entities (PDB), so residues
/// are classified by name rather than by gemmi's entity types. Throws ReadError as
/// HostTreeBuilder::AddResidue does.
void ConvertPart(const gemmi::Chain& part, bool judgeByName, AltlocFilter& altlocs, HostTreeBuilder& builder);

}  // namespace HostIO
