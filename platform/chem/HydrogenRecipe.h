// Which hydrogens a residue carries, in which form (variant, terminus, nucleic end), made from
// the monomer library's component with our edits: names trimmed, variant hydrogens removed or
// added, terminal groups, nuclear X-H distances. Shared by hydrogen placement and naming.
// Internal to the platform: it hands out gemmi types.
#pragma once

#include "HostApi.h"

#include <gemmi/chemcomp.hpp>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace HostChem {

/// The form of one residue instance that changes its hydrogens.
struct ResidueForm {
    bool nTerminus = false;         // amino acid that nothing precedes: H1 H2 H3 (proline H2 H3)
    bool neutralNTerminus = false;  // "Terminal State" NH2: H1 H2 only
    bool acidCTerminus = false;     // "Terminal State" COOH: HXT on OXT
    bool fivePrimeEnd = false;      // nucleotide with O5' and no P: HO5'
    bool peptideContext = false;    // the previous residue's C is known (atom "-C" of the recipe)
    bool electrostaticSet = false;  // hydrogen set 2: see CmdHydrogens.h
    bool polarSet = false;          // hydrogen set 1: hydrogens on N, O, S only
    bool allVariants = false;       // every hydrogen any protonation variant names (for naming)

    std::string Key() const;
};

/// Name of the atom that stands for the previous residue's carbonyl C in a recipe.
inline const char* PreviousCarbonName() { return "-C"; }

struct HydrogenRecipe {
    gemmi::ChemComp chemComp;  // edited copy; restraints name atoms of one residue (comp 1)
    /// Heavy atom -> its hydrogens, in the component's order.
    std::map<std::string, std::vector<std::string>> hydrogensOf;
    /// Hydrogen -> its heavy atom.
    std::map<std::string, std::string> parentOf;
};

/// The Amber name of a variant spelled the PARSE or CHARMM way (CSS -> CYX, HI+ -> HIP,
/// HSD -> HID, LY0 -> LYN, AS0 -> ASH, GL0 -> GLH, TY- -> TYM, H2O/WAT/TIP3/SOL -> HOH); the
/// type name otherwise.
HOST_API std::string VariantNameOf(const std::string& typeName);

/// The monomer-library name of a residue type: the parent compound of protonation variants
/// (HID HIE HIP -> HIS, CYX CYM -> CYS, ASH -> ASP, GLH -> GLU, LYN -> LYS, TYM -> TYR, and
/// their other spellings), the type name otherwise; the library's HIE, CYX, CSS, ... are
/// unrelated compounds.
HOST_API std::string MonomerNameOf(const std::string& typeName);

/// True for the 20 standard amino acids and their protonation variants.
HOST_API bool IsStandardAminoAcidType(const std::string& typeName);

/// The recipe of a residue type in a form, cached; null when the monomer library has no such
/// component. Throws std::runtime_error when the library file cannot be read. Thread-safe.
HOST_API std::shared_ptr<const HydrogenRecipe> FindHydrogenRecipe(const std::string& typeName, const ResidueForm& form);

/// Builds a recipe without the cache (the form's edits applied to a copy of component).
HydrogenRecipe MakeHydrogenRecipe(const gemmi::ChemComp& component, const std::string& typeName,
                                  const ResidueForm& form);

/// Nuclear X-H distance in Å for a hydrogen on an atom of that element (C 1.09, N 1.01,
/// O 0.96, S 1.34; others keep the library's value, given as fallback).
double NuclearHydrogenDistance(gemmi::El parent, double fallback);

}  // namespace HostChem
