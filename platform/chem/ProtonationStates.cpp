#include "chem/ProtonationStates.h"

#include "HostModel/ChemDoc.h"

namespace HostChem {

void ChooseProtonationStates(HostModel::ChemDoc&) {}

}  // namespace HostChem
