// Renames hydrogens to the standard names of their residues. NOT YET IMPLEMENTED: until
// hydrogen naming lands, executing this command changes nothing and reports success.
#pragma once

#include "HostApi.h"
#include "HostModel/Command.h"

namespace HostModel_Commands {

class HOST_API CmdNameHydrogens : public HostModel::Command {
public:
    CmdNameHydrogens() = default;

    HostModel::Command* Copy() const override;
    const char* GetName() const override;

protected:
    bool Do(HostModel::ChemDoc* doc) override;
};

}  // namespace HostModel_Commands
