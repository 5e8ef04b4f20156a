// Builds the missing heavy atoms of one residue from its monomer's restraints in the CCP4
// monomer library: bond lengths, bond angles, torsions (side-chain chi angles and the ring and
// plane constants), chirality and planes. The library's files carry no ideal coordinates, so
// instead of superposing an ideal residue on the atoms present, each missing atom is placed
// from three atoms already placed (bond length and angle from the library, exactly), its one
// free torsion chosen by scoring every restraint that the placed atoms make measurable, plus
// contacts with the atoms around. Torsions with several minima (chi angles) try each; the
// preferred one (see TorsionPreference) wins unless another avoids a contact.
#pragma once

#include "HostApi.h"
#include "HostModel/Atom.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace gemmi {
struct ChemComp;
}

namespace HostChem {

struct ResidueBuilderTopology;

struct NamedPosition {
    std::string name;  // the library's atom name
    HostModel::Vec3 position;
};

struct BuiltAtom {
    std::string name;
    HostModel::Vec3 position;
    /// The closest atom not bonded within three bonds, among the residue and the environment:
    /// its index into the environment, or -1 for an atom of the residue, or -2 when none is
    /// within 4 Å; and its distance in Å.
    long closestEnvironmentAtom = -2;
    double closestDistance = 0;
};

struct BuildOutcome {
    bool complete = false;
    std::vector<BuiltAtom> built;  // in the order placed; empty unless complete
    std::string failure;           // why not complete: "no placed atoms to build NZ from"
};

class HOST_API ResidueBuilder {
public:
    /// Chi angles with three minima: the library's value first, or the most common rotamers
    /// of proteins first (chi1 -60, later chi angles 180). On crystal structures the common
    /// rotamers land side chains nearer the crystal (2.2 against 2.5 A RMSD), so they are
    /// the default.
    enum class TorsionPreference { Library, CommonRotamers };

    explicit ResidueBuilder(const gemmi::ChemComp& monomer,
                            TorsionPreference preference = TorsionPreference::CommonRotamers);

    /// Places the atoms named in missing (heavy atoms of the monomer) from the present ones
    /// (heavy atoms, library names). environment: heavy atoms of other residues near this one,
    /// kept at a distance. All or nothing: when one atom cannot be placed (no three placed
    /// atoms to build it from, or a name the library does not know) nothing is built.
    BuildOutcome Build(const std::vector<NamedPosition>& present, const std::vector<std::string>& missing,
                       const std::vector<HostModel::Vec3>& environment) const;

private:
    std::string monomerName_;
    std::shared_ptr<const ResidueBuilderTopology> topology_;
};

}  // namespace HostChem
