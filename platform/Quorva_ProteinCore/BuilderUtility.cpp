#include "Quorva_ProteinCore/BuilderUtility.h"

#include "HostModel/Atom.h"
#include "HostModel/Residue.h"

namespace Quorva_ProteinCore {

bool BuilderUtility::IsNTerminus(const HostModel::SubUnit* subUnit) {
    if (!subUnit || !subUnit->IsA(HostModel::AminoAcid::classType)) return false;
    const HostModel::Atom* n = static_cast<const HostModel::Residue*>(subUnit)->FindAtom("N");
    if (!n) return true;
    for (const HostModel::Atom* partner : n->GetBonds()) {
        const HostModel::Object* owner = partner->GetParent();
        // Any residue's carbonyl "C": a peptide bond, or an acyl cap such as ACE, which leaves
        // an amide rather than a free amine.
        if (partner->GetLabel() == "C" && owner != subUnit && owner && owner->IsA(HostModel::SubUnit::classType)) {
            return false;
        }
    }
    return true;
}

}  // namespace Quorva_ProteinCore
