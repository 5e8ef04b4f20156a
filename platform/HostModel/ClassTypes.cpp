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
constexpr ClassInfo kObject{"Object", nullptr};
constexpr ClassInfo kTreeRoot{"TreeRoot", &kObject};
constexpr ClassInfo kMolecule{"Molecule", &kObject};
constexpr ClassInfo kChain{"Chain", &kObject};
constexpr ClassInfo kAminoAcidChain{"AminoAcidChain", &kChain};
constexpr ClassInfo kNucleicAcidChain{"NucleicAcidChain", &kChain};
constexpr ClassInfo kSubUnit{"SubUnit", &kObject};
constexpr ClassInfo kResidue{"Residue", &kSubUnit};
constexpr ClassInfo kAminoAcid{"AminoAcid", &kResidue};
constexpr ClassInfo kNucleotide{"Nucleotide", &kResidue};
constexpr ClassInfo kAtom3d{"Atom3d", &kObject};
constexpr ClassInfo kAtom{"Atom", &kAtom3d};
constexpr ClassInfo kChemistryTracker{"ChemistryTracker", &kObject};
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
