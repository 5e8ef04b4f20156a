// The class records of every document class, in one place so that each is constant-initialised
// from its base's record (no static initialisation order between files).
#include "HostModel/Atom.h"
#include "HostModel/Chain.h"
#include "HostModel/ChemistryTracker.h"
#include "HostModel/Molecule.h"
#include "HostModel/Residue.h"
#include "HostModel/TreeRoot.h"

namespace HostModel {
namespace {
// Each class has a bit of its own in ClassKinds; a sixteenth class would need a wider type.
constexpr ClassInfo kObject{"Object", nullptr, 1u << 0};
constexpr ClassInfo kTreeRoot{"TreeRoot", &kObject, 1u << 1};
constexpr ClassInfo kMolecule{"Molecule", &kObject, 1u << 2};
constexpr ClassInfo kChain{"Chain", &kObject, 1u << 3};
constexpr ClassInfo kAminoAcidChain{"AminoAcidChain", &kChain, 1u << 4};
constexpr ClassInfo kNucleicAcidChain{"NucleicAcidChain", &kChain, 1u << 5};
constexpr ClassInfo kSubUnit{"SubUnit", &kObject, 1u << 6};
constexpr ClassInfo kResidue{"Residue", &kSubUnit, 1u << 7};
constexpr ClassInfo kAminoAcid{"AminoAcid", &kResidue, 1u << 8};
constexpr ClassInfo kNucleotide{"Nucleotide", &kResidue, 1u << 9};
constexpr ClassInfo kAtom3d{"Atom3d", &kObject, 1u << 10};
constexpr ClassInfo kAtom{"Atom", &kAtom3d, 1u << 11};
constexpr ClassInfo kChemistryTracker{"ChemistryTracker", &kObject, 1u << 12};
}  // namespace

const ClassType Object::classType = &kObject;
const ClassType TreeRoot::classType = &kTreeRoot;
const ClassType Molecule::classType = &kMolecule;
const ClassType Chain::classType = &kChain;
const ClassType AminoAcidChain::classType = &kAminoAcidChain;
const ClassType NucleicAcidChain::classType = &kNucleicAcidChain;
const ClassType SubUnit::classType = &kSubUnit;
const ClassType Residue::classType = &kResidue;
const ClassType AminoAcid::classType = &kAminoAcid;
const ClassType Nucleotide::classType = &kNucleotide;
const ClassType Atom3d::classType = &kAtom3d;
const ClassType Atom::classType = &kAtom;
const ClassType ChemistryTracker::classType = &kChemistryTracker;

}  // namespace HostModel
