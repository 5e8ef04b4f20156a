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
std::uint32_t LandmarkOf(PackedName name) {
    switch (name) {
        case PackName("N"): return kLandmarkN;
        case PackName("C"): return kLandmarkC;
        case PackName("OXT"): return kLandmarkOXT;
        case PackName("O1"): return kLandmarkO1;
        case PackName("O2"): return kLandmarkO2;
        case PackName("HXT"): return kLandmarkHXT;
        case PackName("H1"): return kLandmarkH1;
        case PackName("H2"): return kLandmarkH2;
        case PackName("H3"): return kLandmarkH3;
        case PackName("HN1"): return kLandmarkHN1;
        case PackName("HN2"): return kLandmarkHN2;
        case PackName("HN3"): return kLandmarkHN3;
        case PackName("O5'"): return kLandmarkO5Prime;
        case PackName("P"): return kLandmarkP;
        default: return 0;
    }
}
}  // namespace

ResidueLandmarks FindLandmarks(const HostModel::Residue& residue, std::vector<HostModel::Atom*>* hydrogens) {
    ResidueLandmarks marks;
    for (std::size_t i = 0; i < residue.GetNumChildren(); ++i) {
        HostModel::Object* child = residue.GetChild(i);
        if (!child->IsA(HostModel::Atom::classType)) continue;
        auto* atom = static_cast<HostModel::Atom*>(child);
        if (atom->GetAtomicNumber() == 1) {
            marks.hasHydrogen = true;
            if (hydrogens) hydrogens->push_back(atom);
        }
        const std::uint32_t landmark = LandmarkOf(PackName(atom->GetLabel()));
        if (landmark == 0) continue;
        if (landmark == kLandmarkN && !marks.n) marks.n = atom;
        if (landmark == kLandmarkC && !marks.c) marks.c = atom;
        marks.present |= landmark;
    }
    return marks;
}

ResidueLandmarks FindBackboneEnds(const HostModel::Residue& residue, bool withHydrogen) {
    ResidueLandmarks marks;
    bool hydrogenKnown = !withHydrogen;
    for (std::size_t i = 0; i < residue.GetNumChildren(); ++i) {
        HostModel::Object* child = residue.GetChild(i);
        if (!child->IsA(HostModel::Atom::classType)) continue;
        auto* atom = static_cast<HostModel::Atom*>(child);
        if (!hydrogenKnown && atom->GetAtomicNumber() == 1) hydrogenKnown = marks.hasHydrogen = true;
        const PackedName name = PackName(atom->GetLabel());
        if (!marks.n && name == PackName("N")) marks.n = atom;
        if (!marks.c && name == PackName("C")) marks.c = atom;
        if (hydrogenKnown && marks.n && marks.c) break;
    }
    return marks;
}

bool LinkedToOtherSubUnit(const HostModel::Atom& atom, PackedName partnerLabel, const HostModel::Residue& residue) {
    for (const HostModel::Atom* partner : atom.GetBonds()) {
        const HostModel::Object* owner = partner->GetParent();
        if (owner != &residue && owner && PackName(partner->GetLabel()) == partnerLabel &&
            owner->IsA(HostModel::SubUnit::classType)) {
            return true;
        }
    }
    return false;
}

std::vector<HostModel::Residue*> ResiduesBelow(const HostModel::Object& root) {
    std::vector<HostModel::Residue*> residues;
    CollectResidues(root, residues);
    return residues;
}

}  // namespace HostChem
