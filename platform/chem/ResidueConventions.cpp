#include "chem/ResidueConventions.h"

#include "HostModel/Molecule.h"
#include "HostModel/PreparationReport.h"

namespace HostChem {

void MapResidueNamesToPdb(HostModel::Molecule&, HostModel::PreparationReport&) {}

void ReadStatesFromHydrogens(HostModel::Molecule&, HostModel::PreparationReport&) {}

}  // namespace HostChem
