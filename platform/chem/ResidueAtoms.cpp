#include "chem/ResidueAtoms.h"

namespace HostChem {
namespace {
void CollectResidues(const HostModel::Object& object, std::vector<HostModel::Residue*>& residues) {
    for (std::size_t i = 0; i < object.GetNumChildren(); ++i) {
        HostModel::Object* child = object.GetChild(i);
        if (child->IsA(HostModel::Residue::classType)) {
            residues.push_back(static_cast<HostModel::Residue*>(child));
        } else if (!child->IsA(HostModel::Atom::classType)) {
            CollectResidues(*child, residues);  // molecules and chains: a few levels only
        }
    }
}
}  // namespace

std::vector<HostModel::Residue*> ResiduesBelow(const HostModel::Object& root) {
    std::vector<HostModel::Residue*> residues;
    CollectResidues(root, residues);
    return residues;
}

}  // namespace HostChem
