// What a residue of a structure file is: amino acid, nucleotide, water or ligand, and whether it
// belongs to a polymer. Worked out once per residue; chain placement, the tree's residue classes,
// bond perception and the list of unknown residue names all read this one answer.
#pragma once

#include "HostApi.h"

#include <string_view>

namespace HostIO {

/// A residue's chemistry as the tree shows it: AminoAcid and Nucleotide become residues of those
/// classes, with peptide or phosphodiester links; Other is a plain residue.
enum class ResidueType { AminoAcid, Nucleotide, Other };

/// Where the file says a residue belongs. mmCIF names the entity of every residue; PDB and PQR
/// name none, so there each residue is judged by its name, its backbone and its record.
enum class ResidueEntity { JudgeByName, Polymer, Water, Other };

/// What classification needs to know of a residue.
struct ResidueFacts {
    std::string_view name;  // as the file writes it: "ALA", "HIE", "TIP3"
    ResidueEntity entity = ResidueEntity::JudgeByName;
    bool hetatm = false;  // written as HETATM; read only when judging by name
    // Backbone atoms, in any conformer: tell residues missing from the residue table apart.
    bool hasAlphaCarbon = false;  // a carbon named CA
    bool hasPhosphorus = false;   // a phosphorus named P
    bool hasSugarC1 = false;      // an atom named C1'
};

/// Notes an atom of the residue that may be a backbone atom; atomicNumber as the tree has it.
HOST_API void NoteBackboneAtom(ResidueFacts& facts, std::string_view atomName, int atomicNumber);

struct ResidueClass {
    ResidueType type = ResidueType::Other;
    /// Water in any of its spellings (HOH, WAT, H2O, DOD, TIP3, SOL, ...) or of a water entity;
    /// such residues go into the water chain.
    bool water = false;
    /// Part of a polymer chain (never a water): its part's amino-acid or nucleic-acid chain.
    bool polymer = false;
    /// Links as a standard amino acid or nucleotide does (the 20 amino acids and their force-field
    /// variants, DNA and RNA nucleotides, other conventions' names for them).
    bool standard = false;
    /// In gemmi's residue table, a force-field variant, or a name of another convention.
    bool known = false;
    /// Counts toward its part's polymer kind (the file or the judgement puts it in a polymer
    /// entity), as backboneType.
    bool inPolymerEntity = false;
    /// The type judged with the backbone too, as inside a polymer.
    ResidueType backboneType = ResidueType::Other;
};

/// The one classification of a residue.
HOST_API ResidueClass ClassifyResidue(const ResidueFacts& facts);

}  // namespace HostIO
