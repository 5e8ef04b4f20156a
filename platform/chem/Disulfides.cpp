#include "chem/Disulfides.h"

#include "chem/ResidueAtoms.h"

#include <algorithm>

namespace HostChem {

std::set<const HostModel::Residue*> FindBridgedCysteines(const std::vector<HostModel::Residue*>& candidates) {
    struct Sulfur {
        const HostModel::Atom* atom;
        const HostModel::Residue* residue;
    };
    std::vector<Sulfur> sulfurs;
    for (const HostModel::Residue* residue : candidates) {
        if (const HostModel::Atom* sg = FindResidueAtom(*residue, "SG")) sulfurs.push_back({sg, residue});
    }
    std::set<const HostModel::Residue*> bridged;
    for (const Sulfur& s : sulfurs) {
        for (const HostModel::Atom* partner : s.atom->GetBonds()) {
            if (partner->GetAtomicNumber() == 16 && partner->GetLabel() == "SG" && partner->GetParent() != s.residue) {
                bridged.insert(s.residue);
            }
        }
    }
    // Sweep along x: only sulfurs within the bridge distance in x can be partners, so a
    // million-atom structure costs a sort, not a square.
    std::sort(sulfurs.begin(), sulfurs.end(),
              [](const Sulfur& a, const Sulfur& b) { return a.atom->GetPosition().x < b.atom->GetPosition().x; });
    for (std::size_t i = 0; i < sulfurs.size(); ++i) {
        for (std::size_t j = i + 1; j < sulfurs.size(); ++j) {
            if (sulfurs[j].atom->GetPosition().x - sulfurs[i].atom->GetPosition().x > kDisulfideDistance) break;
            if (sulfurs[i].residue == sulfurs[j].residue) continue;
            if (AtomDistance(*sulfurs[i].atom, *sulfurs[j].atom) <= kDisulfideDistance) {
                bridged.insert(sulfurs[i].residue);
                bridged.insert(sulfurs[j].residue);
            }
        }
    }
    return bridged;
}

}  // namespace HostChem
