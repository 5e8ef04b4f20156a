// Adds or removes hydrogens. NOT YET IMPLEMENTED: hydrogen placement is a later piece of work;
// until it lands, executing this command changes nothing and reports success.
#pragma once

#include "HostApi.h"
#include "HostModel/Atom.h"
#include "HostModel/Command.h"

namespace HostModel_Commands {

class HOST_API CmdHydrogens : public HostModel::Command {
public:
    enum hOperation { RemoveHydrogens = 0, AddHydrogens = 1 };

    CmdHydrogens(hOperation operation, HostModel::Atom::HydrogenSet hydrogenSet);

    hOperation GetOperation() const { return operation_; }
    HostModel::Atom::HydrogenSet GetHydrogenSet() const { return hydrogenSet_; }

    HostModel::Command* Copy() const override;
    const char* GetName() const override;

protected:
    bool Do(HostModel::ChemDoc* doc) override;

private:
    hOperation operation_;
    HostModel::Atom::HydrogenSet hydrogenSet_;
};

}  // namespace HostModel_Commands
