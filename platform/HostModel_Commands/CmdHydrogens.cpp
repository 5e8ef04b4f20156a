#include "HostModel_Commands/CmdHydrogens.h"

#include "HostModel/ChemDoc.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/Molecule.h"
#include "HostModel_Commands/VisibleMoleculeList.h"
#include "chem/ChainEnds.h"
#include "chem/HydrogenPlacement.h"
#include "chem/ProtonationStates.h"

#include <vector>

namespace HostModel_Commands {
namespace {

void RemoveAllHydrogens(HostModel::Molecule& molecule) {
    std::vector<HostModel::Object*> hydrogens;
    HostModel::DescendentIterator it(&molecule, HostModel::Atom::classType);
    while (HostModel::Object* atom = it.GetNext())
        if (static_cast<HostModel::Atom*>(atom)->GetAtomicNumber() == 1) hydrogens.push_back(atom);
    for (HostModel::Object* h : hydrogens) h->GetParent()->RemoveChild(*h);
}

}  // namespace

CmdHydrogens::CmdHydrogens(hOperation operation, HostModel::Atom::HydrogenSet hydrogenSet)
    : operation_(operation), hydrogenSet_(hydrogenSet) {}

HostModel::Command* CmdHydrogens::Copy() const { return new CmdHydrogens(operation_, hydrogenSet_); }

const char* CmdHydrogens::GetName() const { return operation_ == AddHydrogens ? "Add Hydrogens" : "Remove Hydrogens"; }

bool CmdHydrogens::Do(HostModel::ChemDoc* doc) {
    if (!doc) return false;
    if (operation_ == RemoveHydrogens) {
        for (HostModel::Molecule* molecule : VisibleMoleculeList(*doc)) RemoveAllHydrogens(*molecule);
        return true;
    }
    // States first: the hydrogens placed depend on the variant names it sets.
    HostChem::ChooseProtonationStates(*doc);
    // Chain ends last: whether an end is charged shows in the states and hydrogens it now has.
    for (HostModel::Molecule* molecule : VisibleMoleculeList(*doc)) {
        HostChem::AddMissingHydrogens(*molecule, hydrogenSet_, doc->GetPreparationReport());
        HostChem::MarkChainEnds(*molecule);
    }
    return true;
}

}  // namespace HostModel_Commands
