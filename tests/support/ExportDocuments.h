// Test support: small documents with Voltra charges and radii set directly on their atoms.
#pragma once

#include "HostModel/Atom.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/Molecule.h"

#include <optional>
#include <string>

namespace VoltraTest {

/// Adds an atom below parent; charge and radius become "Voltra Charge" and "Voltra Radius".
HostModel::Atom& AddAtom(HostModel::Object& parent, const std::string& label, int atomicNumber,
                         std::optional<float> charge, std::optional<float> radius = std::nullopt);

/// Adds a molecule below the tree root with the template records the template commands leave.
HostModel::Molecule& AddMolecule(HostModel::ChemDoc& doc, const std::string& label, bool withTemplate = true);

/// One molecule that exercises every column rule of the exported files: hydrogen rotation,
/// OCT1/oct1/OCT2, long names, numbers 1234 and 12345, values 1234.5678 and 12345.678,
/// negative values, chains AB, Water, water, WATER and unnamed, a hidden residue, atoms outside
/// residues, and atoms with only a charge or only a radius.
void BuildColumnRulesDocument(HostModel::ChemDoc& doc);

}  // namespace VoltraTest
