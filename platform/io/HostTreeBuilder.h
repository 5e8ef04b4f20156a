// Builds the host tree of one model, whatever the format it comes from: residues with their
// identity and class, their atoms with element and position, placed in chains (ChainPlacement.h),
// and the bonds between the atoms (BondPerception.h). The format readers hand it the residues of
// each part of the file in file order, one conformer of each.
#pragma once

#include "io/BondPerception.h"
#include "io/ChainPlacement.h"
#include "io/ResidueClassification.h"

#include "HostModel/Molecule.h"
#include "HostModel/Residue.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace HostModel {
class Atom;
}  // namespace HostModel

namespace HostIO {

/// A residue's identity as the file writes it.
struct ResidueSite {
    std::string_view name;
    std::optional<int> number;  // sequence number; none when the file gives none
    char insertionCode = '\0';  // '\0' when none
};

struct AtomSite {
    std::string_view name;       // as written: "HD21", "OP1", "C1'"
    int atomicNumber = 0;        // 0 when the file gives no known element
    double x = 0, y = 0, z = 0;  // Å
};

/// The molecule of one model, outside any document, and what was met building it.
struct BuiltMolecule {
    std::unique_ptr<HostModel::Molecule> molecule;
    std::vector<HostModel::Atom*> atoms;  // in the order they were added
    std::size_t residueCount = 0;
    std::size_t chainCount = 0;
    std::size_t bondCount = 0;
    std::size_t unknownElements = 0;
    std::string firstUnknownElement;  // "'X1' in residue 'LIG5'"
    std::set<std::string> unknownResidues;
};

/// What a format's reader hands back: the molecule of the model read, and the file's models.
struct ModelRead {
    BuiltMolecule built;
    std::size_t modelCount = 0;
    int modelNumber = 0;
    std::size_t altlocAtomsDropped = 0;
    std::size_t altlocResiduesDropped = 0;
};

/// A residue with its atoms, made before its place in the tree is known, and what placing it
/// takes.
struct MadeResidue {
    std::unique_ptr<HostModel::Residue> residue;
    ResidueClass residueClass;
    std::uint8_t bondFlags = 0;
};

/// The residues of one part of a file, made in file order by MakeResidue, for
/// HostTreeBuilder::AddPart. Making them needs no builder, so it may happen on another thread.
struct MadePart {
    std::string chainId;
    ChainKind polymerKind = ChainKind::OtherPolymer;
    std::vector<MadeResidue> residues;
    std::vector<BondAtom> bondAtoms;  // every atom of the residues in order; residue: its index in residues
    std::vector<BondPair> bonds;      // inside the residues (BondWithinResidue), indices into bondAtoms
    std::size_t unknownElements = 0;
    std::string firstUnknownElement;  // of this part
};

/// Starts part as a part of the file: see HostTreeBuilder::StartPart.
void StartMadePart(MadePart& part, const std::string& chainId, ChainKind polymerKind);
/// Makes a residue of part with its atoms (at least one) and appends it. Throws ReadError
/// (naming fileName) for an atom whose coordinate is not finite or beyond kCoordinateLimit.
void MakeResidue(MadePart& part, const ResidueSite& site, const ResidueClass& residueClass,
                 const std::vector<AtomSite>& atoms, const std::string& fileName);

class HostTreeBuilder {
public:
    /// label names the molecule; fileName is for messages.
    HostTreeBuilder(const std::string& label, const std::string& fileName);
    ~HostTreeBuilder();
    HostTreeBuilder(const HostTreeBuilder&) = delete;
    HostTreeBuilder& operator=(const HostTreeBuilder&) = delete;

    /// Makes room for up to atoms atoms, so that the per-atom lists do not grow by doubling;
    /// room never filled costs address space only.
    void ReserveAtoms(std::size_t atoms);
    /// Starts a part of the file: the residues it groups under chainId (a chain of a PDB or mmCIF
    /// model, a PQR chain up to its TER), whose polymer residues form chains of polymerKind.
    void StartPart(const std::string& chainId, ChainKind polymerKind);
    /// Adds a residue of the current part with its atoms (at least one). Throws ReadError for an
    /// atom whose coordinate is not finite or beyond kCoordinateLimit.
    void AddResidue(const ResidueSite& site, const ResidueClass& residueClass, const std::vector<AtomSite>& atoms);
    /// Places the residues of a part made beforehand, as StartPart and AddResidue would have.
    void AddPart(MadePart&& part);
    /// Moves the chains into the molecule and bonds its atoms.
    BuiltMolecule Finish();

    const std::string& FileName() const { return fileName_; }

private:
    void Place(MadeResidue&& made);
    // Adds the part's bond records and unknown elements, and empties them.
    void TakeAtomsOf(MadePart& part);

    std::string fileName_;
    BuiltMolecule out_;
    ChainTable chains_;
    std::string chainId_;
    ChainKind polymerKind_ = ChainKind::OtherPolymer;
    bool previousWasPolymer_ = false;
    MadePart current_;  // AddResidue's residue on its way to its place
    std::vector<BondAtom> bondAtoms_;
    std::vector<BondPair> bondsWithinResidues_;
    std::vector<std::uint8_t> residueFlags_;
};

}  // namespace HostIO
