// The Amber + Default command.
#include "commands/CmdApplyAmberPlusDefaultTemplates.h"

#include "apply/Validity.h"
#include "commands/TemplateSetCommand.h"
#include "host/Messages.h"

namespace Voltra {
namespace {
// The nucleic-acid charges come last so they win on atoms that both charge files know.
const TemplateSet kTemplates{{{"prot_amb.crg", TemplateKind::Charge},
                              {"default.siz", TemplateKind::Radius},
                              {"nuca_amb.crg", TemplateKind::Charge}},
                             3,
                             1};
}  // namespace

CmdApplyAmberPlusDefaultTemplates::CmdApplyAmberPlusDefaultTemplates() = default;

CmdApplyAmberPlusDefaultTemplates::~CmdApplyAmberPlusDefaultTemplates() = default;

HostModel::Command::UpdateHint CmdApplyAmberPlusDefaultTemplates::GetUpdateHint() const { return UpdateEverything; }

bool CmdApplyAmberPlusDefaultTemplates::IsSuitable(const HostModel::ChemDoc* doc) const {
    return DocumentHasAtoms(doc);
}

HostModel::Command::HowBadly CmdApplyAmberPlusDefaultTemplates::WantsCheckpoint() const { return CheckpointAlways; }

HostModel::Command* CmdApplyAmberPlusDefaultTemplates::Copy() const { return new CmdApplyAmberPlusDefaultTemplates(); }

const char* CmdApplyAmberPlusDefaultTemplates::GetName() const {
    static CachedName name(NameAmberPlusDefault);
    return name.Get();
}

bool CmdApplyAmberPlusDefaultTemplates::Do(HostModel::ChemDoc* doc) { return RunTemplateSet(*this, doc, kTemplates); }

}  // namespace Voltra
