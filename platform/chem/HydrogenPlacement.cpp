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

#include <algorithm>
#include <atomic>
#include <exception>
#include <optional>
#include <set>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace HostChem {
namespace {

// Residues a thread takes at a time: a few milliseconds of placement, small beside a thread's
// share, large beside the cost of taking them.
constexpr std::size_t kResiduesPerBlock = 256;

}  // namespace

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

    // Each thread has its own planner, which adds each residue's hydrogens as soon as they are
    // placed: a residue's hydrogens change it and its atoms alone, so the threads run at once.
    // Residues are taken a block at a time by whichever thread is free: halves fixed in advance
    // ended 20-35 ms apart at 1M atoms, one core idle meanwhile. Each block notes where its
    // failures lie in its planner's list, to report them in residue order. The document's
    // revision is noted here, once, on this thread.
    HydrogenPlanner planners[2] = {{set, terminalState}, {set, terminalState}};
    std::size_t added[2] = {0, 0};
    struct BlockFailures {
        int part = 0;
        std::size_t first = 0, last = 0;  // in planners[part].NotPlaced()
    };
    const std::size_t blockCount = (residues.size() + kResiduesPerBlock - 1) / kResiduesPerBlock;
    std::vector<BlockFailures> blockFailures(blockCount);
    std::atomic<std::size_t> nextBlock{0};
    std::exception_ptr failure;
    try {
        Common::RunOnTwoThreads(residues.size() >= kResiduesWorthASecondThread, [&](int part) {
            HydrogenPlanner& planner = planners[part];
            for (std::size_t block = nextBlock++; block < blockCount; block = nextBlock++) {
                BlockFailures& failures = blockFailures[block];
                failures.part = part;
                failures.first = planner.NotPlaced().size();
                const std::size_t end = std::min(residues.size(), (block + 1) * kResiduesPerBlock);
                for (std::size_t i = block * kResiduesPerBlock; i < end; ++i)
                    added[part] += planner.AddTo(*residues[i]);
                failures.last = planner.NotPlaced().size();
            }
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
        unknownTypes.insert(planner.UnknownTypes().begin(), planner.UnknownTypes().end());
    }
    for (const BlockFailures& failures : blockFailures) {
        const std::vector<std::string>& notPlaced = planners[failures.part].NotPlaced();
        report.hydrogensNotPlaced.insert(report.hydrogensNotPlaced.end(), notPlaced.begin() + failures.first,
                                         notPlaced.begin() + failures.last);
    }
    for (const std::string& type : unknownTypes)
        report.warnings.push_back("no hydrogens added to " + type + ": not in the monomer library");
}

}  // namespace HostChem
