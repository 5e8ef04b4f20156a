// Which chain of the tree each residue joins. Polymer residues of one chain id form an amino-acid
// or nucleic-acid chain; without chain ids each uninterrupted polymer run is a chain of its own.
// Ligands and ions stay in a plain chain per chain id; all waters share one chain, "Water", the
// last. Chains come in the order the file first mentions them.
#pragma once

#include "io/ResidueClassification.h"

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace HostModel {
class Chain;
class Molecule;
}  // namespace HostModel

namespace HostIO {

enum class ChainKind { Peptide, Nucleic, OtherPolymer, Ligand };

/// The polymer kind of a part of a file (the residues it groups under one chain id): peptide or
/// nucleic acid when more than half of its polymer residues are amino acids or nucleotides.
ChainKind PolymerKindByMajority(const std::vector<ResidueClass>& partResidues);

/// Places residues in host chains and owns the chains until they join the molecule.
class ChainTable {
public:
    ChainTable();
    ~ChainTable();
    ChainTable(const ChainTable&) = delete;
    ChainTable& operator=(const ChainTable&) = delete;

    /// The chain for a residue of chain id name; newRun tells that the residue does not follow a
    /// polymer residue of its part (so, without a chain id, it starts another chain).
    HostModel::Chain& Get(const std::string& name, ChainKind kind, bool newRun);
    HostModel::Chain& Water();
    /// Moves the non-empty chains into molecule, waters last; returns how many.
    std::size_t MoveInto(HostModel::Molecule& molecule);

private:
    HostModel::Chain& Create(const std::string& name, ChainKind kind);

    std::vector<std::unique_ptr<HostModel::Chain>> chains_;
    std::map<std::pair<std::string, ChainKind>, HostModel::Chain*> byKey_;
    std::unique_ptr<HostModel::Chain> water_;
    HostModel::Chain* run_ = nullptr;
    ChainKind runKind_ = ChainKind::Peptide;
    // The chain of the last look-up by key: residues come a part at a time, and a part's
    // residues all ask for the same one.
    HostModel::Chain* lastFound_ = nullptr;
    std::string lastName_;
    ChainKind lastKind_ = ChainKind::Peptide;
};

}  // namespace HostIO
