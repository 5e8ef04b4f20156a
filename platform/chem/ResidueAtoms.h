// Small questions about a residue's atoms that the protonation and naming steps ask.
#pragma once

#include "HostApi.h"

#include "HostModel/Atom.h"
#include "HostModel/Residue.h"

#include <cmath>
#include <string_view>
#include <vector>

namespace HostChem {

/// The residue's atom labelled label, or null.
inline HostModel::Atom* FindResidueAtom(const HostModel::Object& residue, std::string_view label) {
    for (std::size_t i = 0; i < residue.GetNumChildren(); ++i) {
        HostModel::Object* child = residue.GetChild(i);
        if (child->GetLabel() == label && child->IsA(HostModel::Atom::classType)) {
            return static_cast<HostModel::Atom*>(child);
        }
    }
    return nullptr;
}

inline bool HasResidueAtom(const HostModel::Object& residue, std::string_view label) {
    return FindResidueAtom(residue, label) != nullptr;
}

inline bool CarriesHydrogens(const HostModel::Object& residue) {
    for (std::size_t i = 0; i < residue.GetNumChildren(); ++i) {
        const HostModel::Object* child = residue.GetChild(i);
        if (child->IsA(HostModel::Atom::classType) &&
            static_cast<const HostModel::Atom*>(child)->GetAtomicNumber() == 1) {
            return true;
        }
    }
    return false;
}

inline double AtomDistance(const HostModel::Atom& a, const HostModel::Atom& b) {
    const HostModel::Vec3& p = a.GetPosition();
    const HostModel::Vec3& q = b.GetPosition();
    return std::sqrt((p.x - q.x) * (p.x - q.x) + (p.y - q.y) * (p.y - q.y) + (p.z - q.z) * (p.z - q.z));
}

/// Every residue below root, in tree order.
HOST_API std::vector<HostModel::Residue*> ResiduesBelow(const HostModel::Object& root);

}  // namespace HostChem
