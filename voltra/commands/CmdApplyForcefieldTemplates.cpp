// The Apply Forcefield Parameters command.
#include "commands/CmdApplyForcefieldTemplates.h"

#include "Common/Exception.h"
#include "Common/StringConversion.h"
#include "HostModel/Atom.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/TreeRoot.h"
#include "Quorva_ProteinCore/TypingHelper.h"
#include "apply/ChemistryTrackerHelper.h"
#include "apply/TemplateApplicator.h"
#include "apply/Validity.h"
#include "apply/VisibleMolecules.h"
#include "host/Messages.h"
#include "templates/PropertyVocabulary.h"
#include "templates/Template.h"
#include "templates/TemplateFileIO.h"

namespace Voltra {

std::string SelectRadiusFileForForcefield(const std::string& forcefieldBaseName) {
    struct Row {
        const char* forcefield;
        const char* radiusFile;
    };
    static const Row kRows[] = {
        {"qtf", "bondi.siz"},      {"Vorlan", "bondi.siz"},     {"vorlan22", "bondi.siz"},
        {"vorlan27", "bondi.siz"}, {"vorlan19", "default.siz"}, {"KEMBRIX", "default.siz"},
    };
    for (const Row& row : kRows) {
        if (forcefieldBaseName == row.forcefield) return row.radiusFile;
    }
    return "bondi.siz";
}

void ApplyForcefieldCharges(HostModel::ChemDoc* doc) {
    if (doc == nullptr || doc->GetTreeRoot() == nullptr) return;
    HostModel::TreeRoot& root = *doc->GetTreeRoot();
    const Template& charges = SharedChargeTemplate();
    static const std::string forceField(kSourceForceField);
    const HostModel::OrdCollection molecules = CollectVisibleMolecules(root);
    for (HostModel::Object* molecule : molecules) {
        HostModel::DescendentIterator atoms(molecule, HostModel::Atom::classType, false, 0, nullptr);
        while (HostModel::Object* atom = atoms.GetNext()) {
            charges.SetValue(
                *atom, Quorva_ProteinCore::TypingHelper::GetAtomCharge(static_cast<const HostModel::Atom&>(*atom)));
            charges.SetSource(*atom, forceField);
        }
        molecule->SetProperty(charges.GetTemplatePropertyName(), kForceFieldTemplateRecord, kTemplatePropertyFlags);
    }
    ChemistryTrackerHelper::StartTracking(root);
}

CmdApplyForcefieldTemplates::CmdApplyForcefieldTemplates() = default;

CmdApplyForcefieldTemplates::~CmdApplyForcefieldTemplates() = default;

HostModel::Command::UpdateHint CmdApplyForcefieldTemplates::GetUpdateHint() const { return UpdateEverything; }

bool CmdApplyForcefieldTemplates::IsSuitable(const HostModel::ChemDoc* doc) const {
    return DocumentHasAtoms(doc) && Quorva_ProteinCore::TypingHelper::IsTyped(*doc, true);
}

HostModel::Command::HowBadly CmdApplyForcefieldTemplates::WantsCheckpoint() const { return CheckpointAlways; }

HostModel::Command* CmdApplyForcefieldTemplates::Copy() const { return new CmdApplyForcefieldTemplates(); }

const char* CmdApplyForcefieldTemplates::GetName() const {
    static CachedName name(NameApplyForcefieldParameters);
    return name.Get();
}

bool CmdApplyForcefieldTemplates::Do(HostModel::ChemDoc* doc) {
    // Checked again although IsSuitable tests it: the host may run the command regardless.
    if (doc == nullptr) return false;
    if (!Quorva_ProteinCore::TypingHelper::IsTyped(*doc, true)) {
        SetErrorMessage(LoadMessageNarrow(ErrorNoForcefield));
        return false;
    }

    TemplatePtr radii;
    try {
        LoadTemplate(SelectRadiusFileForForcefield(Quorva_ProteinCore::TypingHelper::GetForcefieldBaseName(*doc)),
                     radii);
    } catch (Common::Exception& e) {
        SetErrorMessage(Common::ToSString(std::wstring(e.GetMessageText())));
        return false;
    }

    ResetTemplateProperties(doc);
    ApplyForcefieldCharges(doc);
    {
        TemplateApplicator applicator(doc);
        applicator.ApplyRadiusTemplate(radii);
    }
    return true;
}

}  // namespace Voltra
