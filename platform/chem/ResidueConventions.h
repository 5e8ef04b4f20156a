// Reads the chemistry a structure file already states in names other than the PDB's current
// ones: residue and atom names of older PDB files, Amber and PDB2PQR (DNA as A/C/G/T, RNA as
// RA/RG5, O1P), and protonation states written as hydrogens (HIS with HD1 only is HID, ...).
#pragma once

#include "HostApi.h"

#include <memory>
#include <string>
#include <vector>

namespace HostModel {
class Molecule;
class Residue;
struct PreparationReport;
}  // namespace HostModel

namespace HostChem {

/// True for the spellings of water that the field's programs write (HOH, WAT, H2O, DOD, TIP3,
/// TIP4, TP3, T3P, SOL, ...); the reader puts such residues in the water chain.
HOST_API bool IsWaterResidueName(const std::string& name);

/// True for residue names of other conventions that MapResidueNamesToPdb renames to a PDB name
/// (RA, DA5, HSD, NMA, ...; not the single letters A, C, G, which are PDB names themselves).
HOST_API bool IsMappedResidueName(const std::string& name);

/// Renames residues and atoms of other conventions to the PDB's current names; the residue
/// label keeps the input's name. Records each mapping in report.namesMapped.
HOST_API void MapResidueNamesToPdb(HostModel::Molecule& molecule, HostModel::PreparationReport& report);

/// MapResidueNamesToPdb a residue at a time, for a walk that does more at each residue; what a
/// type name says is worked out once per name.
class ResidueNameMapper {
public:
    ResidueNameMapper();
    ~ResidueNameMapper();
    ResidueNameMapper(const ResidueNameMapper&) = delete;
    ResidueNameMapper& operator=(const ResidueNameMapper&) = delete;

    void Map(HostModel::Residue& residue, HostModel::PreparationReport& report);

    /// True when Map would rename the residue or one of its atoms; changes nothing but the
    /// mapper's memory, so that mappers on two threads may look at one structure at once.
    bool Changes(const HostModel::Residue& residue);

private:
    struct Memo;
    std::unique_ptr<Memo> memo_;
};

/// Sets the type name of residues whose hydrogens decide their protonation state (HID, HIE,
/// HIP, ASH, GLH, LYN, CYX, CYM); residues without hydrogens are left to the protonation step.
/// Records the counts in report.statesFromHydrogens.
HOST_API void ReadStatesFromHydrogens(HostModel::Molecule& molecule, HostModel::PreparationReport& report);

/// True for the names a cysteine has among the states (CYS, CYX, CYM).
bool IsCysteineStateName(const std::string& name);

/// ReadStatesFromHydrogens on residues already sorted out: decidable are the amino acids that
/// carry hydrogens, cysteines every amino acid named as one (bridges decide CYX), both in tree
/// order.
void ReadStatesFromHydrogens(const std::vector<HostModel::Residue*>& decidable,
                             const std::vector<HostModel::Residue*>& cysteines, HostModel::PreparationReport& report);

}  // namespace HostChem
