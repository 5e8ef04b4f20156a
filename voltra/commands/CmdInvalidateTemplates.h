// Invalidate Electrostatics Templates: withdraws the assignment of the visible molecules (their
// template records, values and combined Sources; the two Sources stay) and stops tracking.
#pragma once

#include "host/VoltraApi.h"

#include "HostModel/Command.h"

namespace Voltra {

class VOLTRA_API CmdInvalidateTemplates : public HostModel::Command {
public:
    CmdInvalidateTemplates();
    ~CmdInvalidateTemplates() override;

    UpdateHint GetUpdateHint() const override;
    /// A document whose visible molecules all carry an assignment.
    bool IsSuitable(const HostModel::ChemDoc* doc) const override;
    /// Not undoable: the withdrawn values are not kept anywhere.
    bool IsUndoable() const override;
    HowBadly WantsCheckpoint() const override;
    HostModel::Command* Copy() const override;
    /// False only for a null document or one without a tree root.
    bool Do(HostModel::ChemDoc* doc) override;
    const char* GetName() const override;
};

}  // namespace Voltra
