#include "chem/HydrogenPlacement.h"

#include "Common/TwoHalves.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/Molecule.h"
#include "HostModel/PreparationReport.h"
#include "HostModel/Residue.h"
#include "chem/HydrogenPlanner.h"
#include "chem/HydrogenRecipe.h"
#include "chem/MonomerLibrary.h"
#include "chem/ResidueAtoms.h"

#include <exception>
#include <optional>
#include <set>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace HostChem {

void AddMissingHydrogens(HostModel::Molecule& molecule, HostModel::Atom::HydrogenSet set,
                         HostModel::PreparationReport& report) {
    std::vector<HostModel::Residue*> residues;
    HostModel::DescendentIterator it(&molecule, HostModel::Residue::classType);
    while (HostModel::Object* object = it.GetNext()) residues.push_back(static_cast<HostModel::Residue*>(object));
    const std::optional<HostModel::PropertyNameId> terminalState =
        HostModel::PropertyNames::Find(TerminalStateProperty());
    // Every type's library file read before the first hydrogen is added: a file that cannot be
    // read then leaves the molecule as it was.
    std::unordered_set<std::string_view> types;
    for (const HostModel::Residue* residue : residues) {
        const std::string& type = residue->GetResidueType();
        if (!type.empty() && types.insert(type).second) SharedMonomerLibrary().Find(MonomerNameOf(type));
    }

    // Each half of the residues has its own planner, which adds each residue's hydrogens as
    // soon as they are placed: a residue's hydrogens change it and its atoms alone, so the
    // halves run at once. The document's revision is noted here, once, on this thread.
    HydrogenPlanner planners[2] = {{set, terminalState}, {set, terminalState}};
    std::size_t added[2] = {0, 0};
    std::exception_ptr failure;
    try {
        Common::RunInTwoHalves(residues.size(), kResiduesWorthASecondThread,
                               [&](std::size_t begin, std::size_t end, int part) {
                                   for (std::size_t i = begin; i < end; ++i)
                                       added[part] += planners[part].AddTo(*residues[i]);
                               });
    } catch (...) {
        failure = std::current_exception();  // beyond the library: memory running out
    }
    if (added[0] + added[1] > 0)
        if (HostModel::ChemDoc* doc = molecule.GetDocument()) doc->NoteChemistryChange();
    if (failure) std::rethrow_exception(failure);

    std::set<std::string> unknownTypes;
    for (const HydrogenPlanner& planner : planners) {
        for (const auto& [type, count] : planner.AddedPerType()) report.hydrogensAdded[type] += count;
        report.hydrogensNotPlaced.insert(report.hydrogensNotPlaced.end(), planner.NotPlaced().begin(),
                                         planner.NotPlaced().end());
        unknownTypes.insert(planner.UnknownTypes().begin(), planner.UnknownTypes().end());
    }
    for (const std::string& type : unknownTypes)
        report.warnings.push_back("no hydrogens added to " + type + ": not in the monomer library");
}

}  // namespace HostChem
