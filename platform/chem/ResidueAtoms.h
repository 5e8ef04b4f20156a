// Small questions about a residue's atoms that the protonation and naming steps ask.
#pragma once

#include "HostApi.h"

#include "HostModel/Atom.h"
#include "HostModel/Residue.h"
#include "chem/PackedName.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace HostChem {

/// Walks over more residues than this are shared between two threads (Common::RunInTwoHalves):
/// starting a thread costs more than a few thousand residues take.
constexpr std::size_t kResiduesWorthASecondThread = 2001;

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

/// Atom names that the protonation, chain-end and naming steps look for, one bit each.
enum Landmark : std::uint32_t {
    kLandmarkN = 1u << 0,
    kLandmarkC = 1u << 1,
    kLandmarkOXT = 1u << 2,
    kLandmarkO1 = 1u << 3,
    kLandmarkO2 = 1u << 4,
    kLandmarkHXT = 1u << 5,
    kLandmarkH1 = 1u << 6,
    kLandmarkH2 = 1u << 7,
    kLandmarkH3 = 1u << 8,
    kLandmarkHN1 = 1u << 9,
    kLandmarkHN2 = 1u << 10,
    kLandmarkHN3 = 1u << 11,
    kLandmarkO5Prime = 1u << 12,
    kLandmarkP = 1u << 13,
};

/// What one look at a residue's atoms tells the steps that would otherwise search it for each
/// name in turn. Names match exactly, as FindResidueAtom matches them.
struct ResidueLandmarks {
    HostModel::Atom* n = nullptr;  // the first atom labelled N, as FindResidueAtom finds it
    HostModel::Atom* c = nullptr;  // the first atom labelled C
    std::uint32_t present = 0;     // Landmark bits of the names some atom bears
    bool hasHydrogen = false;

    bool Has(std::uint32_t landmarks) const { return (present & landmarks) == landmarks; }
};

/// Looks at each atom of residue once; when hydrogens is given, appends the residue's hydrogens
/// to it in child order.
HOST_API ResidueLandmarks FindLandmarks(const HostModel::Residue& residue,
                                        std::vector<HostModel::Atom*>* hydrogens = nullptr);

/// The first atoms labelled N and C of residue and, when withHydrogen, whether it carries
/// hydrogens (present is left 0): a look that stops as soon as those are known, at the third
/// atom of most amino acids.
HOST_API ResidueLandmarks FindBackboneEnds(const HostModel::Residue& residue, bool withHydrogen);

/// True when atom is bonded to an atom labelled partnerLabel of another sub-unit: a peptide
/// bond at N (partner "C") or at C (partner "N").
HOST_API bool LinkedToOtherSubUnit(const HostModel::Atom& atom, PackedName partnerLabel,
                                   const HostModel::Residue& residue);

/// Every residue below root, in tree order.
HOST_API std::vector<HostModel::Residue*> ResiduesBelow(const HostModel::Object& root);

}  // namespace HostChem
