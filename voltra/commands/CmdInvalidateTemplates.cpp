// The Invalidate Electrostatics Templates command.
#include "commands/CmdInvalidateTemplates.h"

#include "apply/ChemistryTrackerHelper.h"
#include "templates/PropertyIds.h"
#include "apply/Validity.h"
#include "apply/VisibleMolecules.h"
#include "host/Messages.h"
#include "templates/PropertyVocabulary.h"
#include "templates/Template.h"

#include "HostModel/Atom.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/Molecule.h"
#include "HostModel/TreeRoot.h"

namespace Voltra {

CmdInvalidateTemplates::CmdInvalidateTemplates() = default;

CmdInvalidateTemplates::~CmdInvalidateTemplates() = default;

HostModel::Command::UpdateHint CmdInvalidateTemplates::GetUpdateHint() const { return UpdateEverything; }

bool CmdInvalidateTemplates::IsSuitable(const HostModel::ChemDoc* doc) const {
    return doc != nullptr && DocumentIsValidForVoltra(doc, true);
}

bool CmdInvalidateTemplates::IsUndoable() const { return false; }

HostModel::Command::HowBadly CmdInvalidateTemplates::WantsCheckpoint() const { return CheckpointAlways; }

HostModel::Command* CmdInvalidateTemplates::Copy() const { return new CmdInvalidateTemplates(); }

const char* CmdInvalidateTemplates::GetName() const {
    static CachedName name(NameInvalidateTemplates);
    return name.Get();
}

bool CmdInvalidateTemplates::Do(HostModel::ChemDoc* doc) {
    // Do is public here, so it may be reached without IsSuitable.
    if (doc == nullptr || doc->GetTreeRoot() == nullptr) return false;
    HostModel::TreeRoot& root = *doc->GetTreeRoot();
    ChemistryTrackerHelper::StopTracking(root);

    const char* chargeTemplateName = SharedChargeTemplate().GetTemplatePropertyName();
    const char* radiusTemplateName = SharedRadiusTemplate().GetTemplatePropertyName();
    HostModel::DescendentIterator allMolecules(&root, HostModel::Molecule::classType, false, 0, nullptr);
    while (HostModel::Object* molecule = allMolecules.GetNext()) {
        if (!molecule->IsVisible()) continue;
        molecule->RemoveProperty(chargeTemplateName);
        molecule->RemoveProperty(radiusTemplateName);
    }

    const HostModel::PropertyNameId chargeId = PropertyId(SharedChargeTemplate().GetValuePropertyName());
    const HostModel::PropertyNameId radiusId = PropertyId(SharedRadiusTemplate().GetValuePropertyName());
    const HostModel::PropertyNameId combinedId = PropertyId(kCombinedSourcePropertyName);
    const HostModel::OrdCollection visibleMolecules = CollectVisibleMolecules(root);
    for (HostModel::Object* molecule : visibleMolecules) {
        HostModel::DescendentIterator atoms(molecule, HostModel::Atom::classType, false, 0, nullptr);
        while (HostModel::Object* atom = atoms.GetNext()) {
            HostModel::PropertyStore& properties = atom->Properties();
            properties.Remove(chargeId);
            properties.Remove(radiusId);
            properties.Remove(combinedId);
        }
    }
    return true;
}

}  // namespace Voltra
