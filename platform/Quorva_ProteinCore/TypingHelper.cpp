#include "Quorva_ProteinCore/TypingHelper.h"

#include "HostModel/Atom.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/DescendentIterator.h"

namespace Quorva_ProteinCore {

bool TypingHelper::IsTyped(const HostModel::ChemDoc& doc, bool requireCharges) {
    if (doc.GetForcefieldName().empty() || !doc.GetTreeRoot()) return false;
    HostModel::DescendentIterator atoms(doc.GetTreeRoot(), HostModel::Atom::classType);
    bool any = false;
    while (auto* object = atoms.GetNext()) {
        any = true;
        if (requireCharges && !static_cast<HostModel::Atom*>(object)->HasPartialCharge()) return false;
    }
    return any;
}

HostModel::CStringT TypingHelper::GetForcefieldBaseName(const HostModel::ChemDoc& doc) {
    return doc.GetForcefieldName();
}

float TypingHelper::GetAtomCharge(const HostModel::Atom& atom) { return atom.GetPartialCharge(); }

}  // namespace Quorva_ProteinCore
