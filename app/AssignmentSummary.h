// What an assignment left on the atoms: counts per Source, net charges, and the atoms left "Missing".
#pragma once

#include <cstddef>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace HostModel {
class ChemDoc;
struct PreparationReport;
}  // namespace HostModel

namespace VoltraApp {

struct MissingGroup {
    std::string residueType;  // empty for atoms outside any residue
    std::string atomName;
    std::size_t count = 0;
    bool charge = false;  // the charge was left "Missing"
    bool radius = false;  // the radius was left "Missing"
};

struct ChainCharge {
    std::string label;
    double netCharge = 0.0;  // e
    std::size_t atoms = 0;
};

struct MoleculeCharge {
    std::string label;
    double netCharge = 0.0;  // e, over every atom of the molecule (residues and loose atoms)
    std::size_t atoms = 0;
    std::vector<ChainCharge> chains;  // tree order; atoms outside chains count for the molecule only
    /// e, what the HTML report shows (VoltraReport::ChargesOf: residues only, single precision).
    double reportNetCharge = 0.0;
};

struct AssignmentSummary {
    std::size_t atoms = 0;
    std::map<std::string, std::size_t> chargeSources;  // Source text -> atoms ("(none)" when absent)
    std::map<std::string, std::size_t> radiusSources;
    std::vector<MoleculeCharge> molecules;  // visible molecules, tree order
    std::vector<MissingGroup> missing;      // most frequent first
    std::size_t missingAtoms = 0;           // atoms with a "Missing" charge or radius
};

/// Reads the per-atom Voltra properties of the document's visible molecules.
AssignmentSummary SummarizeAssignment(const HostModel::ChemDoc& doc);

/// The human-readable summary for standard error; the atoms left Missing are listed per residue
/// type, at most maxResidueTypes of them. A molecule whose report figure differs from the exact
/// sum by more than kReportChargeTolerance gets both.
constexpr double kReportChargeTolerance = 0.005;  // e
void PrintSummary(std::ostream& out, const AssignmentSummary& summary, std::size_t maxResidueTypes = 25);

/// What preparation did, one line per non-empty part ("  hydrogens added: 2,596 (LYS 312, ...)");
/// nothing when it did nothing. The report's warnings are left to the caller's warning lines.
void PrintPreparation(std::ostream& out, const HostModel::PreparationReport& report);

}  // namespace VoltraApp
