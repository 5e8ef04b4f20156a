#include "HostModel_Commands/CmdNameHydrogens.h"

#include "HostModel_Commands/VisibleMoleculeList.h"
#include "chem/HydrogenNaming.h"

namespace HostModel_Commands {

HostModel::Command* CmdNameHydrogens::Copy() const { return new CmdNameHydrogens(); }

const char* CmdNameHydrogens::GetName() const { return "Name Hydrogens"; }

bool CmdNameHydrogens::Do(HostModel::ChemDoc* doc) {
    if (!doc) return false;
    for (HostModel::Molecule* molecule : VisibleMoleculeList(*doc))
        HostChem::NameHydrogens(*molecule, doc->GetPreparationReport());
    return true;
}

}  // namespace HostModel_Commands
