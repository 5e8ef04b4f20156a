// Renames hydrogens written in other conventions (PDB v2 "1HB2", Amber, CHARMM "HN"/"HT1",
// nucleic "H5'1") to the PDB v3 names the templates use.
#pragma once

#include "HostApi.h"

#include "chem/PackedName.h"
#include "chem/TypeNameMemo.h"

#include <memory>
#include <string>
#include <vector>

namespace HostModel {
class Atom;
class Molecule;
class Residue;
struct PreparationReport;
}  // namespace HostModel

namespace HostChem {

/// Renames the hydrogens of every residue of the molecule; records renamings in
/// report.hydrogensRenamed and hydrogens no convention explains in report.unknownHydrogens.
HOST_API void NameHydrogens(HostModel::Molecule& molecule, HostModel::PreparationReport& report);

struct HydrogenRecipe;

/// NameHydrogens one residue at a time, for a walk that visits every residue: what a residue's
/// type name and form decide (its recipe, the names the recipe allows) is worked out once per
/// type and form, and residues whose hydrogens all bear allowed names, as every hydrogen the
/// placement added does, are told by integer compares.
class HydrogenNamer {
public:
    HydrogenNamer();
    ~HydrogenNamer();
    HydrogenNamer(const HydrogenNamer&) = delete;
    HydrogenNamer& operator=(const HydrogenNamer&) = delete;

    /// Names the hydrogens of residue, if it has any. Throws std::runtime_error when the monomer
    /// library cannot be read.
    void NameResidue(HostModel::Residue& residue, HostModel::PreparationReport& report);

    /// The recipe by which NameResidue would rename or report some of residue's hydrogens; null
    /// when it would do neither. Changes nothing but the namer's memory, so that namers on two
    /// threads may look at the residues of one structure at once. Throws as NameResidue.
    std::shared_ptr<const HydrogenRecipe> FindMisnamed(HostModel::Residue& residue);

private:
    struct TypeFacts {
        std::string monomer;  // MonomerNameOf the type
        bool standardAminoAcid = false;
    };
    /// A recipe with the names it allows, packed and sorted, for the check that most residues
    /// pass; packed is false when a name does not pack, and the check then compares strings.
    struct Recipe {
        PackedName monomer = 0;
        unsigned formBits = 0;
        std::shared_ptr<const HydrogenRecipe> recipe;
        bool packed = false;
        std::vector<std::pair<PackedName, PackedName>> allowed;  // (heavy atom, one of its hydrogens)
        std::vector<PackedName> known;                           // every hydrogen the recipe names
    };
    const Recipe& RecipeOf(const TypeFacts& type, unsigned formBits);

    TypeNameMemo<TypeFacts> types_;
    std::vector<std::unique_ptr<Recipe>> recipes_;
    std::unique_ptr<Recipe> unpackedRecipe_;  // for a monomer name too long to pack
    std::vector<HostModel::Atom*> hydrogens_;
};

}  // namespace HostChem
