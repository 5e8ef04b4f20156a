#include "chem/ResidueCompletion.h"

#include "HostModel/Molecule.h"
#include "HostModel/PreparationReport.h"

namespace HostChem {

void CompleteMissingHeavyAtoms(HostModel::Molecule&, HostModel::PreparationReport&) {}

}  // namespace HostChem
