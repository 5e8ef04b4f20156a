// Amber + Default: hydrogens added and named, then charges from "prot_amb.crg", radii from
// "default.siz" and charges again from "nuca_amb.crg" (which keeps what it has no entry for).
#pragma once

#include "host/VoltraApi.h"

#include "HostModel/Command.h"

namespace Voltra {

class VOLTRA_API CmdApplyAmberPlusDefaultTemplates : public HostModel::Command {
public:
    CmdApplyAmberPlusDefaultTemplates();
    ~CmdApplyAmberPlusDefaultTemplates() override;

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
