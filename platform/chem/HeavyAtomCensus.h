// Which heavy atoms of its monomer each amino acid and nucleotide has, and whether it carries
// hydrogens: what the preparation's steps ask of a residue's atoms, found in one look at them.
// The preparation takes the census while it names a residue and hands it to the completion,
// which then need not visit a million atoms again.
// Internal to the platform: it hands out gemmi types.
#pragma once

#include "chem/PackedName.h"
#include "chem/TypeNameMemo.h"

#include <gemmi/chemcomp.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace HostModel {
class Residue;
}

namespace HostChem {

/// The monomer a residue type is completed to: the parent of protonation variants (HID -> HIS,
/// CYX -> CYS, ...) and the standard amino acids themselves; the DNA and RNA nucleotides for
/// nucleotides. Null for any other type.
const std::string* CompletionMonomerName(const std::string& typeName, bool aminoAcid);

/// The heavy atoms of one monomer, in the library's order, packed for matching; a mask bit i
/// stands for names[i].
struct MonomerHeavyAtoms {
    static constexpr std::size_t kMaxAtoms = 64;

    std::vector<std::string> names;
    /// names packed; empty when one is too long to pack or there are more than kMaxAtoms.
    std::vector<PackedName> keys;
    bool indexed = false;
    std::uint64_t oxt = 0;         // only the C-terminal amino acid gets OXT
    std::uint64_t phosphate = 0;   // P OP1 OP2 OP3: a 5' end has none
    std::uint64_t op3 = 0;         // a 5' monophosphate's third oxygen: never built
    std::uint64_t phosphorus = 0;  // P

    std::uint64_t All() const { return keys.size() == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << keys.size()) - 1; }
};

MonomerHeavyAtoms IndexHeavyAtoms(const gemmi::ChemComp& monomer);

/// What one look at a residue's atoms tells.
struct ResidueAtomScan {
    bool hasHydrogen = false;
    /// The monomer's heavy atoms present among the residue's atoms that are not hydrogens.
    std::uint64_t present = 0;
};

/// Looks at every atom of residue once; present is left 0 when heavy is null or not indexed.
ResidueAtomScan ScanResidueAtoms(const HostModel::Residue& residue, const MonomerHeavyAtoms* heavy);

/// The scans of the amino acids and nucleotides directly below the chains of a molecule, in tree
/// order, taken by one walk and read back in the same order by the completion: the residues the
/// completion visits, no more, no fewer. Eight bytes a residue, so that counting a million-atom
/// structure touches little fresh memory.
class HeavyAtomCensus {
public:
    /// What the census knows of one residue: the monomer it was counted against (null: not
    /// counted, the completion looks itself) and which of the monomer's heavy atoms it has.
    struct Count {
        const gemmi::ChemComp* monomer;
        std::uint64_t present;
    };

    /// Makes room for up to residues counts in one allocation.
    void Reserve(std::size_t residues) { counts_.reserve(residues); }

    /// Scans residue (named as its completion will name it, up to a protonation variant), and
    /// when counted and an amino acid or nucleotide, records it as the next count.
    ResidueAtomScan Take(const HostModel::Residue& residue, bool counted);

    /// Where Take would record a count, records that the completion must look at the residue
    /// itself: for a residue whose names may yet change.
    void LeaveToCompletion(const HostModel::Residue& residue, bool counted);

    /// Appends the counts of a census taken over the residues after this one's.
    void Append(const HeavyAtomCensus& later);

    std::size_t Size() const { return counts_.size(); }
    Count operator[](std::size_t index) const;

private:
    // A count packed: the mask in the low kMaskBits bits, above it 1 + the monomer's place in
    // monomers_, or 0 when not counted.
    static constexpr unsigned kMaskBits = 48;

    struct Monomer {
        const gemmi::ChemComp* monomer = nullptr;
        MonomerHeavyAtoms heavy;
        std::uint64_t tag = 0;  // what goes above the mask; 0: residues of this type are not counted
    };
    const Monomer& MonomerOf(const std::string& typeName, bool aminoAcid);

    TypeNameMemo<Monomer> aminoAcids_;
    TypeNameMemo<Monomer> nucleotides_;
    std::vector<const gemmi::ChemComp*> monomers_;
    std::vector<std::uint64_t> counts_;
    int libraryAvailable_ = -1;  // unknown until first asked
};

}  // namespace HostChem
