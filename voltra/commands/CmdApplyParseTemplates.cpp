// The Parse command.
#include "commands/CmdApplyParseTemplates.h"

#include "apply/Validity.h"
#include "commands/TemplateSetCommand.h"
#include "host/Messages.h"

namespace Voltra {
namespace {
const TemplateSet kTemplates{
    {{"parseres.crg", TemplateKind::Charge}, {"parseres.siz", TemplateKind::Radius}, {}}, 2, 2};
}  // namespace

CmdApplyParseTemplates::CmdApplyParseTemplates() = default;

CmdApplyParseTemplates::~CmdApplyParseTemplates() = default;

HostModel::Command::UpdateHint CmdApplyParseTemplates::GetUpdateHint() const { return UpdateEverything; }

bool CmdApplyParseTemplates::IsSuitable(const HostModel::ChemDoc* doc) const { return DocumentHasAtoms(doc); }

HostModel::Command::HowBadly CmdApplyParseTemplates::WantsCheckpoint() const { return CheckpointAlways; }

HostModel::Command* CmdApplyParseTemplates::Copy() const { return new CmdApplyParseTemplates(); }

const char* CmdApplyParseTemplates::GetName() const {
    static CachedName name(NameParse);
    return name.Get();
}

bool CmdApplyParseTemplates::Do(HostModel::ChemDoc* doc) { return RunTemplateSet(*this, doc, kTemplates); }

}  // namespace Voltra
