#include "HostModel_Commands/CmdNameHydrogens.h"

namespace HostModel_Commands {

HostModel::Command* CmdNameHydrogens::Copy() const { return new CmdNameHydrogens(); }

const char* CmdNameHydrogens::GetName() const { return "Name Hydrogens"; }

bool CmdNameHydrogens::Do(HostModel::ChemDoc* doc) {
    // Naming is not implemented yet: the document is left as it is.
    return doc != nullptr;
}

}  // namespace HostModel_Commands
