// Validity of a Voltra assignment: a molecule is assigned once it records a template file.
#include "apply/Validity.h"

#include "templates/PropertyVocabulary.h"

#include "HostModel/Atom.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/Molecule.h"
#include "HostModel/TreeRoot.h"

namespace Voltra {

bool MoleculeHasTemplate(const HostModel::Object* molecule) {
    // Only the length counts: "Automatic" or any file name makes the molecule assigned.
    if (!molecule->GetPropertyAsString(kChargeTemplatePropertyName).empty()) return true;
    return !molecule->GetPropertyAsString(kRadiusTemplatePropertyName).empty();
}

bool IsMoleculeValid(const HostModel::Molecule* molecule, bool skipHidden) {
    if (skipHidden && !molecule->IsVisible()) return true;
    return MoleculeHasTemplate(molecule);
}

bool MoleculeIsValidForVoltra(const HostModel::Molecule* molecule) { return IsMoleculeValid(molecule, true); }

bool AllMoleculesValid(const HostModel::Object* node, bool skipHidden) {
    // No visibility filter here: hidden molecules are visited and passed by IsMoleculeValid.
    HostModel::DescendentIterator molecules(node, HostModel::Molecule::classType, false, 0, nullptr);
    while (HostModel::Object* molecule = molecules.GetNext()) {
        if (!IsMoleculeValid(static_cast<const HostModel::Molecule*>(molecule), skipHidden)) return false;
    }
    return true;
}

bool DocumentIsValidForVoltra(const HostModel::ChemDoc* doc, bool skipHidden) {
    const HostModel::TreeRoot* root = doc->GetTreeRoot();
    return root != nullptr && AllMoleculesValid(root, skipHidden);
}

bool DocumentHasAtoms(const HostModel::ChemDoc* doc) {
    if (doc == nullptr) return false;
    const HostModel::TreeRoot* root = doc->GetTreeRoot();
    return root != nullptr && root->CheckTypeExists(HostModel::Atom::classType, 1, 0x7FFFFFFF, 0);
}

}  // namespace Voltra
