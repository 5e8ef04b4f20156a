#include "HostModel_Commands/CmdHydrogens.h"

namespace HostModel_Commands {

CmdHydrogens::CmdHydrogens(hOperation operation, HostModel::Atom::HydrogenSet hydrogenSet)
    : operation_(operation), hydrogenSet_(hydrogenSet) {}

HostModel::Command* CmdHydrogens::Copy() const { return new CmdHydrogens(operation_, hydrogenSet_); }

const char* CmdHydrogens::GetName() const {
    return operation_ == AddHydrogens ? "Add Hydrogens" : "Remove Hydrogens";
}

bool CmdHydrogens::Do(HostModel::ChemDoc* doc) {
    // Placement is not implemented yet: the document is left as it is.
    return doc != nullptr;
}

}  // namespace HostModel_Commands
