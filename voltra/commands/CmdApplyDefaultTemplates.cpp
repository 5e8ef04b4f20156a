// The Voltra Default Charge and Size command.
#include "commands/CmdApplyDefaultTemplates.h"

#include "apply/Validity.h"
#include "commands/TemplateSetCommand.h"
#include "host/Messages.h"

namespace Voltra {
namespace {
const TemplateSet kTemplates{{{"default.crg", TemplateKind::Charge}, {"default.siz", TemplateKind::Radius}, {}}, 2, 0};
}  // namespace

CmdApplyDefaultTemplates::CmdApplyDefaultTemplates() = default;

CmdApplyDefaultTemplates::~CmdApplyDefaultTemplates() = default;

HostModel::Command::UpdateHint CmdApplyDefaultTemplates::GetUpdateHint() const { return UpdateEverything; }

bool CmdApplyDefaultTemplates::IsSuitable(const HostModel::ChemDoc* doc) const { return DocumentHasAtoms(doc); }

HostModel::Command::HowBadly CmdApplyDefaultTemplates::WantsCheckpoint() const { return CheckpointAlways; }

HostModel::Command* CmdApplyDefaultTemplates::Copy() const { return new CmdApplyDefaultTemplates(); }

const char* CmdApplyDefaultTemplates::GetName() const {
    static CachedName name(NameDefaultChargeAndSize);
    return name.Get();
}

bool CmdApplyDefaultTemplates::Do(HostModel::ChemDoc* doc) { return RunTemplateSet(*this, doc, kTemplates); }

}  // namespace Voltra
