#include "chem/ResidueCompletion.h"

#include "HostModel/ChemDoc.h"

namespace HostChem {

void CompleteMissingHeavyAtoms(HostModel::ChemDoc&) {}

}  // namespace HostChem
