#include "AssignmentSummary.h"

#include "templates/PropertyVocabulary.h"

#include "HostModel/Atom.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/Molecule.h"
#include "HostModel/PropertyStore.h"
#include "HostModel/Residue.h"

#include <algorithm>
#include <boost/format.hpp>

namespace VoltraApp {
namespace {

constexpr const char* kNoSource = "(none)";

std::string ResidueTypeOf(const HostModel::Atom& atom) {
    const HostModel::Object* parent = atom.GetParent();
    if (parent && parent->IsA(HostModel::Residue::classType)) {
        return static_cast<const HostModel::Residue*>(parent)->GetResidueType();
    }
    return {};
}

std::string SourceText(const HostModel::PropertyStore& properties, HostModel::PropertyNameId name) {
    std::string text = properties.GetAsString(name);
    return text.empty() ? kNoSource : text;
}

}  // namespace

AssignmentSummary SummarizeAssignment(const HostModel::ChemDoc& doc) {
    using namespace HostModel;
    AssignmentSummary summary;
    const TreeRoot* root = doc.GetTreeRoot();
    if (!root) return summary;

    // Names are interned once; per atom only integer lookups remain.
    const PropertyNameId chargeName = PropertyNames::Intern(Voltra::kChargePropertyName);
    const PropertyNameId chargeSourceName = PropertyNames::Intern(Voltra::kChargeSourcePropertyName);
    const PropertyNameId radiusSourceName = PropertyNames::Intern(Voltra::kRadiusSourcePropertyName);

    std::map<std::pair<std::string, std::string>, MissingGroup> missing;
    DescendentIterator molecules(root, Molecule::classType);
    while (Object* molecule = molecules.GetNext()) {
        if (!molecule->IsVisible()) continue;
        MoleculeCharge charge{molecule->GetLabel(), 0.0, 0};
        DescendentIterator atoms(molecule, Atom::classType);
        while (Object* object = atoms.GetNext()) {
            const auto& atom = static_cast<const Atom&>(*object);
            const PropertyStore& properties = atom.Properties();
            float value = 0.0f;
            if (properties.GetFloat(chargeName, value)) charge.netCharge += value;
            ++charge.atoms;
            const std::string chargeSource = SourceText(properties, chargeSourceName);
            const std::string radiusSource = SourceText(properties, radiusSourceName);
            ++summary.chargeSources[chargeSource];
            ++summary.radiusSources[radiusSource];
            const bool chargeMissing = chargeSource == Voltra::kSourceMissing;
            const bool radiusMissing = radiusSource == Voltra::kSourceMissing;
            if (chargeMissing || radiusMissing) {
                ++summary.missingAtoms;
                auto key = std::make_pair(ResidueTypeOf(atom), atom.GetLabel());
                MissingGroup& group = missing[key];
                group.residueType = key.first;
                group.atomName = key.second;
                ++group.count;
                group.charge = group.charge || chargeMissing;
                group.radius = group.radius || radiusMissing;
            }
        }
        summary.atoms += charge.atoms;
        summary.molecules.push_back(std::move(charge));
    }
    for (auto& [key, group] : missing) summary.missing.push_back(std::move(group));
    std::stable_sort(summary.missing.begin(), summary.missing.end(),
                     [](const MissingGroup& a, const MissingGroup& b) { return a.count > b.count; });
    return summary;
}

void PrintSummary(std::ostream& out, const AssignmentSummary& summary, std::size_t maxResidueTypes) {
    auto printSources = [&out](const char* title, const std::map<std::string, std::size_t>& sources) {
        out << "  " << title;
        const char* separator = " ";
        for (const auto& [source, count] : sources) {
            out << separator << source << ' ' << count;
            separator = ", ";
        }
        out << '\n';
    };
    out << "  atoms: " << summary.atoms << '\n';
    printSources("charges:", summary.chargeSources);
    printSources("radii:  ", summary.radiusSources);
    for (const auto& molecule : summary.molecules) {
        out << "  net charge of " << molecule.label << ": " << boost::format("%.2f") % molecule.netCharge << " e ("
            << molecule.atoms << " atoms)\n";
    }
    if (summary.missingAtoms == 0) {
        out << "  no atom was left Missing\n";
        return;
    }
    // One block per residue type, most frequent first; atom names with their counts, wrapped.
    struct ResidueBlock {
        std::string residueType;
        std::size_t count = 0;
        std::vector<const MissingGroup*> groups;
    };
    std::vector<ResidueBlock> blocks;
    for (const auto& group : summary.missing) {
        auto it = std::find_if(blocks.begin(), blocks.end(),
                               [&group](const ResidueBlock& b) { return b.residueType == group.residueType; });
        if (it == blocks.end()) it = blocks.insert(blocks.end(), ResidueBlock{group.residueType, 0, {}});
        it->count += group.count;
        it->groups.push_back(&group);
    }
    std::stable_sort(blocks.begin(), blocks.end(),
                     [](const ResidueBlock& a, const ResidueBlock& b) { return a.count > b.count; });
    out << "  atoms left Missing: " << summary.missingAtoms << " (residue type, atoms, what: atom name x count)\n";
    constexpr std::size_t kLineWidth = 100;
    std::size_t shown = 0;
    for (const auto& block : blocks) {
        if (shown++ == maxResidueTypes) {
            out << "    ... and " << blocks.size() - maxResidueTypes << " more residue types\n";
            break;
        }
        // Say what is missing once per residue type when all its atoms miss the same thing.
        auto what = [](const MissingGroup& g) { return g.radius ? (g.charge ? "charge+radius" : "radius") : "charge"; };
        const bool uniform = std::all_of(block.groups.begin(), block.groups.end(), [&](const MissingGroup* g) {
            return std::string(what(*g)) == what(*block.groups.front());
        });
        std::string line = (boost::format("    %-5s %6d %s:") % (block.residueType.empty() ? "-" : block.residueType) %
                            block.count % (uniform ? what(*block.groups.front()) : "mixed"))
                               .str();
        const std::size_t indent = line.size();
        for (const MissingGroup* group : block.groups) {
            std::string item = group->atomName + "x" + std::to_string(group->count);
            if (!uniform) item += std::string("(") + what(*group) + ")";
            if (line.size() + item.size() + 1 > kLineWidth && line.size() > indent) {
                out << line << '\n';
                line = std::string(indent, ' ');
            }
            line += " " + item;
        }
        out << line << '\n';
    }
}

}  // namespace VoltraApp
