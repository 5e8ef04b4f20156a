// Which ring nitrogen of a neutral histidine carries the hydrogen (HID: ND1, HIE: NE2), judged
// from the hydrogen-bond partners around the ring.
#pragma once

#include "HostApi.h"

#include <memory>
#include <string>
#include <vector>

namespace HostModel {
class Atom;
class Residue;
}  // namespace HostModel

namespace HostChem {

/// The polar heavy atoms (N, O) and metal ions of a structure, by grid cell for neighbour queries.
class HOST_API PolarAtoms {
public:
    explicit PolarAtoms(const std::vector<HostModel::Residue*>& residues);
    /// Indexes only the atoms Near can find for the atoms of around (a structure's histidine
    /// ring nitrogens, say), so that a few queries need not sort a million atoms; Near on any
    /// other atom may miss some.
    PolarAtoms(const std::vector<HostModel::Residue*>& residues, const std::vector<const HostModel::Atom*>& around);
    ~PolarAtoms();
    PolarAtoms(const PolarAtoms&) = delete;
    PolarAtoms& operator=(const PolarAtoms&) = delete;

    /// Atoms within radius of atom, atom itself excluded.
    std::vector<const HostModel::Atom*> Near(const HostModel::Atom& atom, double radius) const;

private:
    struct Grid;
    std::unique_ptr<Grid> grid_;
};

/// What a neighbouring atom can do in a hydrogen bond with a ring nitrogen.
enum class BondPartner { Acceptor, Donor, Either, Metal, None };
HOST_API BondPartner ClassifyPartner(const HostModel::Atom& atom);

/// "HID" or "HIE" for a histidine residue that is neutral.
///
/// The rule: a ring nitrogen that carries the hydrogen donates it, so acceptors near it
/// (carbonyl and carboxylate oxygens) favour it, and it cannot accept, so donors near the other
/// nitrogen (amide and amine N-H) favour it as well. Oxygens of ligands and ions that the
/// monomer library shows without a hydrogen (sulfate, carboxylate, carbonyl) are acceptors. Each nitrogen's score counts the acceptors
/// within 3.3 Å of it plus the donors within 3.3 Å of the other nitrogen; a metal ion within
/// 2.6 Å of a nitrogen binds its lone pair and counts as two donors. Partners that can do
/// either (water, hydroxyl groups, other histidines) favour neither. The higher score wins;
/// a tie, a histidine with no partners in particular, gives HIE, the tautomer most frequent in
/// proteins and the one a plain HIS stands for in the templates.
HOST_API std::string ChooseHistidineTautomer(const HostModel::Residue& histidine, const PolarAtoms& polar);

}  // namespace HostChem
