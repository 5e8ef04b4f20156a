// The Zero Charges command.
#include "commands/CmdZeroVoltraCharges.h"

#include "apply/Validity.h"
#include "host/Messages.h"
#include "templates/PropertyVocabulary.h"
#include "templates/Template.h"

#include "HostModel/Atom.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/OrdCollection.h"
#include "HostModel/TreeRoot.h"

#include <string>

namespace Voltra {

CmdZeroVoltraCharges::CmdZeroVoltraCharges() = default;

CmdZeroVoltraCharges::~CmdZeroVoltraCharges() = default;

HostModel::Command::UpdateHint CmdZeroVoltraCharges::GetUpdateHint() const { return UpdateProperties; }

bool CmdZeroVoltraCharges::IsSuitable(const HostModel::ChemDoc* doc) const {
    return DocumentHasAtoms(doc) && DocumentIsValidForVoltra(doc, true);
}

HostModel::Command::HowBadly CmdZeroVoltraCharges::WantsCheckpoint() const { return CheckpointNever; }

HostModel::Command* CmdZeroVoltraCharges::Copy() const { return new CmdZeroVoltraCharges(); }

const char* CmdZeroVoltraCharges::GetName() const {
    static CachedName name(NameZeroCharges);
    return name.Get();
}

bool CmdZeroVoltraCharges::Do(HostModel::ChemDoc* doc) {
    if (doc == nullptr || doc->GetTreeRoot() == nullptr) return false;
    // Every atom the tree root holds, those of hidden molecules included.
    HostModel::OrdCollection atoms(0, -1);
    doc->GetTreeRoot()->CollectDescendents(atoms, HostModel::Atom::classType, false);
    const Template& charges = SharedChargeTemplate();
    static const std::string zero(kSourceZero);
    for (HostModel::Object* atom : atoms) {
        charges.SetValue(*atom, 0.0f);
        charges.SetSource(*atom, zero);
    }
    return true;
}

}  // namespace Voltra
