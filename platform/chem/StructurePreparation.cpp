#include "chem/StructurePreparation.h"

#include "chem/HydrogenNaming.h"
#include "chem/ResidueCompletion.h"
#include "chem/ResidueConventions.h"

namespace HostChem {

void PrepareReadMolecule(HostModel::Molecule& molecule, HostModel::PreparationReport& report,
                         const PreparationOptions& options) {
    // Names first: the hydrogens that decide states are looked up under their current names.
    MapResidueNamesToPdb(molecule, report);
    NameHydrogens(molecule, report);
    ReadStatesFromHydrogens(molecule, report);
    if (options.completeMissingAtoms) CompleteMissingHeavyAtoms(molecule, report);
}

}  // namespace HostChem
