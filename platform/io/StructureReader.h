// Reads a structure file (PDB, mmCIF or PQR, plain or gzip-compressed) into a document as one
// molecule.
//
// The document tree it builds:
//   Molecule   labelled with the entry id (PDB HEADER idCode, mmCIF _entry.id), else the file
//              name without directory and extensions ("stdin" for standard input)
//   > Chain    polymer residues of one chain id form an AminoAcidChain or a NucleicAcidChain
//              labelled with the chain id (mmCIF: auth_asym_id, possibly several characters);
//              gaps do not split a chain. Without chain ids each polymer run (ended by TER or
//              by a non-polymer residue) is a chain of its own, labelled "".
//              Ligands and ions (every non-polymer residue but water) go into a plain Chain
//              per chain id, labelled with the chain id, so that they stay residues with their
//              type name and chain for template look-ups.
//              Chains come in the order the file first mentions them; all waters go into one
//              plain Chain labelled "Water", the last one.
//   > Residue  AminoAcid, Nucleotide or plain Residue; id = sequence number, label = name +
//              number + insertion code ("ALA12", "GLY12A"), type name = residue name.
//   > Atom     label = atom name as written ("HD21", "OP1", "C1'"), element from the file (from
//              the name in PQR files), position in Å, bonds from geometry (BondPerception.h).
//
// One model is read: the first unless ReadOptions::model names another. Of alternative
// locations one conformer is kept (see AltlocChoice); at a position holding residues of
// different types (microheterogeneity) the residue carrying the kept conformer stays, alone.
//
// The molecule is built outside the document and attached at the end, so a read moves the
// document's chemistry revision exactly once.
#pragma once

#include "HostApi.h"
#include "io/ReadError.h"
#include "io/StructureFormat.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace HostModel {
class Atom;
class ChemDoc;
class Molecule;
}  // namespace HostModel

namespace HostIO {

/// Which conformer survives where atoms have alternative locations.
enum class AltlocChoice {
    /// In each residue, the first alternative location the file lists (usually "A"); the
    /// same letter throughout a well-formed file, so the conformer stays consistent.
    First,
    /// In each residue, the location with the highest occupancy, averaged over its atoms
    /// (ties: the first).
    HighestOccupancy,
};

struct ReadOptions {
    StructureFormat format = StructureFormat::Detect;
    /// Model number as the file gives it (PDB MODEL serial, mmCIF pdbx_PDB_model_num);
    /// 0 reads the first model.
    int model = 0;
    AltlocChoice altloc = AltlocChoice::First;
    /// For PQR input: the force field whose charges the file carries ("AMBER", "PARSE"). When
    /// given, the document is typed: ChemDoc::SetForcefieldName is set to it. Ignored, with a
    /// warning, for formats without charges.
    std::string forcefieldName;
    /// Build the heavy atoms that standard residues lack (never for PQR input, whose atoms are
    /// taken as they are).
    bool completeMissingAtoms = true;
};

/// A radius read from a PQR file, for the atom it belongs to.
struct AtomRadius {
    HostModel::Atom* atom;
    float radius;  // Å
};

/// What a read produced and met. Pointers stay valid while the document holds the molecule.
struct ReadResult {
    HostModel::Molecule* molecule = nullptr;
    std::string source;  // the path as given; "<stdin>" for "-"
    StructureFormat format = StructureFormat::Detect;
    bool compressed = false;
    int modelNumber = 0;         // number of the model read
    std::size_t modelCount = 0;  // models in the file

    std::size_t atomCount = 0;
    std::size_t residueCount = 0;
    std::size_t chainCount = 0;
    std::size_t bondCount = 0;

    AltlocChoice altlocChoice = AltlocChoice::First;
    std::size_t altlocAtomsDropped = 0;     // atoms of the conformers not kept
    std::size_t altlocResiduesDropped = 0;  // residues of microheterogeneity not kept

    /// Residue names that gemmi's residue table (nor the force-field variants HID, HIE, HIP,
    /// HSD, HSE, HSP, CYX, CYM, ASH, GLH, LYN) does not know, sorted, each once.
    std::vector<std::string> unknownResidues;
    /// Things worth telling the user that did not stop the read: one line each, lower case,
    /// without the file name (for the program to prefix, e.g. "<file>: warning: ...") but for
    /// those about one line of a PDB file, which start "<file>:<line>: ".
    std::vector<std::string> warnings;

    // PQR input only.
    bool hasCharges = false;
    double totalCharge = 0;                     // e, sum of the atoms' charges
    std::optional<double> declaredTotalCharge;  // e, as a PDB2PQR remark states it
    std::string declaredForcefield;             // as a PDB2PQR remark states it
    std::vector<AtomRadius> radii;              // in atom order
};

/// Reads the structure file at path ("-": standard input) into doc as one new molecule,
/// appended below the tree root. Throws ReadError, whose message starts with the file (and
/// line where one applies): missing or unreadable file, empty or binary content, corrupt gzip
/// data, a syntax error, no atoms, a model that is not there. doc is unchanged on error.
HOST_API ReadResult ReadStructure(HostModel::ChemDoc& doc, const std::string& path, const ReadOptions& options = {});

/// The same for a file's bytes (plain or gzip) already in memory; name stands for the file in
/// messages, in the label fallback and, for ReadOptions::format Detect, in telling the format.
HOST_API ReadResult ReadStructureFromMemory(HostModel::ChemDoc& doc, std::string bytes, const std::string& name,
                                            const ReadOptions& options = {});

}  // namespace HostIO
