// Zero Charges: every atom's Voltra charge becomes 0.0 with Source "Zero"; radii stay.
#pragma once

#include "host/VoltraApi.h"

#include "HostModel/Command.h"

namespace Voltra {

class VOLTRA_API CmdZeroVoltraCharges : public HostModel::Command {
public:
    CmdZeroVoltraCharges();
    ~CmdZeroVoltraCharges() override;

    UpdateHint GetUpdateHint() const override;
    /// A document with atoms whose visible molecules all carry an assignment.
    bool IsSuitable(const HostModel::ChemDoc* doc) const override;
    HowBadly WantsCheckpoint() const override;
    HostModel::Command* Copy() const override;
    const char* GetName() const override;

protected:
    /// False only for a null document or one without a tree root.
    bool Do(HostModel::ChemDoc* doc) override;
};

}  // namespace Voltra
