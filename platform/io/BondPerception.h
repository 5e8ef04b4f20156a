// Covalent bonds of a structure found from its geometry, through a cell grid, in linear time.
//
// Within a residue two atoms are bonded when they lie closer than the sum of their covalent
// radii plus a tolerance. Between residues, chemistry limits what geometry may propose:
// waters and single-atom ions bond to nothing outside themselves, hydrogens only inside their
// residue; amino acids link C to N, nucleotides O3' to P, within a fixed cut-off whatever
// their order in the chain (so a head-to-tail cyclic peptide closes and a chain break stays
// open); two standard polymer residues bond otherwise only through a disulfide (SG-SG), and
// any pair involving another residue (ligand, modified residue) by radii. Each hydrogen keeps
// only its nearest partner.
#pragma once

#include "HostApi.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace HostIO {

/// An atom's part in the links between residues.
enum class BondRole : std::uint8_t { None, PeptideC, PeptideN, NucleicO3, NucleicP, DisulfideS };

struct BondAtom {
    float x = 0, y = 0, z = 0;  // Å
    float covalentRadius = 0;   // Å
    std::uint32_t residue = 0;  // index into the residue flags
    BondRole role = BondRole::None;
    bool hydrogen = false;
};

/// Bits of a residue's flags.
enum ResidueFlags : std::uint8_t {
    kWaterResidue = 1,
    kIonResidue = 2,              // a single atom of a metal or halogen
    kStandardPolymerResidue = 4,  // a standard amino acid or nucleotide
    kAminoAcidResidue = 8,
    kNucleotideResidue = 16,
};

struct BondRules {
    float tolerance = 0.45f;            // Å added to the sum of covalent radii
    float minimumDistance = 0.4f;       // Å; atoms closer than this are duplicates, never bonded
    float peptideCutoff = 2.0f;         // Å, C-N between amino acids (1.33 Å at equilibrium)
    float phosphodiesterCutoff = 2.4f;  // Å, O3'-P between nucleotides (1.6 Å at equilibrium)
};

using BondPair = std::pair<std::uint32_t, std::uint32_t>;  // atom indices, first < second

/// Whether a and b, d2 (Å²) apart, may be bonded; hydrogens are further limited to their
/// nearest allowed partner by PerceiveBonds.
HOST_API bool BondAllowed(const BondAtom& a, std::uint8_t residueFlagsA, const BondAtom& b, std::uint8_t residueFlagsB,
                          float d2, const BondRules& rules);

/// All bonds among atoms, sorted. residueFlags is indexed by BondAtom::residue.
HOST_API std::vector<BondPair> PerceiveBonds(const std::vector<BondAtom>& atoms,
                                             const std::vector<std::uint8_t>& residueFlags,
                                             const BondRules& rules = {});

/// Residues up to this many atoms compare all their pairs; larger ones (a whole membrane written
/// as one residue) go through the grid like the bonds between residues.
constexpr std::uint32_t kSmallResidue = 64;

/// The bonds inside one residue of at most kSmallResidue atoms, atoms[first, first + count),
/// as PerceiveBonds finds them (each hydrogen with its nearest partner), appended to bonds; a
/// larger residue adds nothing here. A reader can find them as each residue is made, on any
/// thread.
HOST_API void BondWithinResidue(const std::vector<BondAtom>& atoms, std::uint32_t first, std::uint32_t count,
                                std::uint8_t residueFlags, std::vector<BondPair>& bonds, const BondRules& rules = {});

/// The bonds PerceiveBonds finds besides those BondWithinResidue finds in residues of at most
/// kSmallResidue atoms: between residues, and inside larger ones; in no particular order.
HOST_API std::vector<BondPair> PerceiveRemainingBonds(const std::vector<BondAtom>& atoms,
                                                      const std::vector<std::uint8_t>& residueFlags,
                                                      const BondRules& rules = {});

/// PerceiveBonds where the bonds inside every residue of at most kSmallResidue atoms were found
/// already, by BondWithinResidue (in any order): the rest are found and all returned sorted.
HOST_API std::vector<BondPair> PerceiveBondsBetweenResidues(const std::vector<BondAtom>& atoms,
                                                            const std::vector<std::uint8_t>& residueFlags,
                                                            std::vector<BondPair> withinSmallResidues,
                                                            const BondRules& rules = {});

}  // namespace HostIO
