// Whether documents and molecules carry a Voltra assignment, and whether a document has atoms.
#pragma once

#include "host/VoltraApi.h"

namespace HostModel {
class ChemDoc;
class Molecule;
class Object;
}  // namespace HostModel

namespace Voltra {

/// A non-empty "Voltra Charge Template", else a non-empty "Voltra Radius Template".
bool MoleculeHasTemplate(const HostModel::Object* molecule);
/// Hidden molecules pass when skipHidden is set.
bool IsMoleculeValid(const HostModel::Molecule* molecule, bool skipHidden);
/// IsMoleculeValid(molecule, true); molecule must not be null.
VOLTRA_API bool MoleculeIsValidForVoltra(const HostModel::Molecule* molecule);
/// Every Molecule below node is valid; true when there are none.
bool AllMoleculesValid(const HostModel::Object* node, bool skipHidden);
/// doc must not be null: a tree root and AllMoleculesValid of it.
bool DocumentIsValidForVoltra(const HostModel::ChemDoc* doc, bool skipHidden);
/// doc, its tree root and at least one atom exist.
bool DocumentHasAtoms(const HostModel::ChemDoc* doc);

}  // namespace Voltra
