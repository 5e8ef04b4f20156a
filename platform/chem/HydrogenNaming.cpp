#include "chem/HydrogenNaming.h"

#include "HostModel/Molecule.h"
#include "HostModel/PreparationReport.h"

namespace HostChem {

void NameHydrogens(HostModel::Molecule&, HostModel::PreparationReport&) {}

}  // namespace HostChem
