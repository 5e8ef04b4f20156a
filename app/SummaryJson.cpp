#include "SummaryJson.h"

#include <nlohmann/json.hpp>

namespace VoltraApp {
namespace {

using nlohmann::json;

// Counts keyed by name; an empty map stays an empty object, so readers need no special case.
json Counts(const std::map<std::string, std::size_t>& counts) {
    json object = json::object();
    for (const auto& [name, count] : counts) object[name] = count;
    return object;
}

json Preparation(const HostModel::PreparationReport& report) {
    json object;
    object["namesMapped"] = Counts(report.namesMapped);
    object["statesFromHydrogens"] = Counts(report.statesFromHydrogens);
    object["statesChosen"] = Counts(report.statesChosen);
    // pH and pKa source mean something only when the protonation step ran.
    object["ph"] = report.pkaSource.empty() ? json(nullptr) : json(report.ph);
    object["pkaSource"] = report.pkaSource.empty() ? json(nullptr) : json(report.pkaSource);
    object["atomsCompleted"] = Counts(report.atomsCompleted);
    object["residuesLeftIncomplete"] = report.residuesLeftIncomplete;
    object["hydrogensAdded"] = Counts(report.hydrogensAdded);
    object["hydrogensNotPlaced"] = report.hydrogensNotPlaced;
    object["hydrogensRenamed"] = Counts(report.hydrogensRenamed);
    object["unknownHydrogens"] = report.unknownHydrogens;
    object["warnings"] = report.warnings;
    return object;
}

json Assignment(const AssignmentSummary& summary) {
    json object;
    object["atoms"] = summary.atoms;
    object["chargeSources"] = Counts(summary.chargeSources);
    object["radiusSources"] = Counts(summary.radiusSources);
    json molecules = json::array();
    for (const auto& molecule : summary.molecules) {
        json chains = json::array();
        for (const auto& chain : molecule.chains) {
            chains.push_back({{"label", chain.label}, {"atoms", chain.atoms}, {"netCharge", chain.netCharge}});
        }
        molecules.push_back({{"label", molecule.label},
                             {"atoms", molecule.atoms},
                             {"netCharge", molecule.netCharge},
                             {"reportNetCharge", molecule.reportNetCharge},
                             {"chains", std::move(chains)}});
    }
    object["molecules"] = std::move(molecules);
    json missing = json::array();
    for (const auto& group : summary.missing) {
        missing.push_back({{"residueType", group.residueType},
                           {"atomName", group.atomName},
                           {"count", group.count},
                           {"charge", group.charge},
                           {"radius", group.radius}});
    }
    object["missingAtoms"] = summary.missingAtoms;
    object["missing"] = std::move(missing);
    return object;
}

json Optional(const std::optional<std::string>& value) { return value ? json(*value) : json(nullptr); }

json Outcome(const InputOutcome& outcome) {
    json object;
    object["input"] = outcome.input;
    object["exitCode"] = outcome.exitCode;
    object["error"] = outcome.exitCode == 0 ? json(nullptr) : json(outcome.error);
    object["read"] = outcome.readDescription.empty() ? json(nullptr) : json(outcome.readDescription);
    object["assignment"] = outcome.assignmentDescription.empty() ? json(nullptr) : json(outcome.assignmentDescription);
    object["summary"] = outcome.assigned && outcome.exitCode == 0 ? Assignment(outcome.summary) : json(nullptr);
    object["preparation"] = Preparation(outcome.preparation);
    object["warnings"] = outcome.warnings;
    object["outputs"] = {{"templates", Optional(outcome.templatePrefix)},
                         {"report", Optional(outcome.reportPath)},
                         {"pqr", Optional(outcome.pqrPath)},
                         {"apbsInput", Optional(outcome.apbsInputPath)}};
    return object;
}

}  // namespace

std::string SummaryJsonText(const std::vector<InputOutcome>& outcomes) {
    json array = json::array();
    for (const auto& outcome : outcomes) array.push_back(Outcome(outcome));
    // File names need not be UTF-8; invalid bytes become U+FFFD rather than failing the summary.
    return array.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace VoltraApp
