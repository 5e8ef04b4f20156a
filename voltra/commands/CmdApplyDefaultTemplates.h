// Voltra Default Charge and Size: charges from "default.crg", radii from "default.siz".
#pragma once

#include "host/VoltraApi.h"

#include "HostModel/Command.h"

namespace Voltra {

class VOLTRA_API CmdApplyDefaultTemplates : public HostModel::Command {
public:
    CmdApplyDefaultTemplates();
    ~CmdApplyDefaultTemplates() override;

    UpdateHint GetUpdateHint() const override;
    /// A document with at least one atom.
    bool IsSuitable(const HostModel::ChemDoc* doc) const override;
    HowBadly WantsCheckpoint() const override;
    HostModel::Command* Copy() const override;
    const char* GetName() const override;

protected:
    /// False, with the loader's message as error message, when a template does not load.
    bool Do(HostModel::ChemDoc* doc) override;
};

}  // namespace Voltra
