#include "AssignmentSummary.h"
#include "SourceTexts.h"

#include "report/VoltraReport.h"
#include "templates/PropertyVocabulary.h"

#include "HostModel/Atom.h"
#include "HostModel/Chain.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/Molecule.h"
#include "HostModel/PreparationReport.h"
#include "HostModel/PropertyStore.h"
#include "HostModel/Residue.h"

#include <algorithm>
#include <cmath>
#include <deque>
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

// Counts Sources by their pooled text ids, texts only at the end: neighbouring atoms mostly share
// their sources, so the count of the id seen last is kept at hand and the few others searched.
class SourceCounter {
public:
    SourceCounter(std::map<std::string, std::size_t>& counts, const SourceTexts& texts)
        : counts_(counts), texts_(texts) {}
    SourceCounter(const SourceCounter&) = delete;
    SourceCounter& operator=(const SourceCounter&) = delete;
    ~SourceCounter() { Flush(); }

    // Counts the Source under its text ("(none)" when absent); true when it left the value Missing.
    bool Count(const HostModel::PropertyStore& properties, HostModel::PropertyNameId name) {
        HostModel::PropertyTextId text = 0;
        if (!properties.GetTextId(name, text)) {
            // Absent, or written as a number: counted under the text it reads as.
            const std::string rendered = properties.GetAsString(name);
            ++counts_[rendered.empty() ? std::string(kNoSource) : rendered];
            return false;
        }
        if (last_ == nullptr || last_->first != text) last_ = &Find(text);
        ++last_->second;
        return texts_.ProvenanceOfText(text) == Voltra::ValueProvenance::Missing;
    }

    void Flush() {
        for (const auto& [text, count] : byText_) {
            const bool absent = texts_.ProvenanceOfText(text) == Voltra::ValueProvenance::Absent;
            counts_[absent ? std::string(kNoSource) : HostModel::PropertyTexts::Get(text)] += count;
        }
        byText_.clear();
        last_ = nullptr;
    }

private:
    std::pair<HostModel::PropertyTextId, std::size_t>& Find(HostModel::PropertyTextId text) {
        for (auto& entry : byText_) {
            if (entry.first == text) return entry;
        }
        return byText_.emplace_back(text, 0);  // a deque: entries stay put
    }

    std::map<std::string, std::size_t>& counts_;
    const SourceTexts& texts_;
    std::deque<std::pair<HostModel::PropertyTextId, std::size_t>> byText_;
    std::pair<HostModel::PropertyTextId, std::size_t>* last_ = nullptr;
};

const HostModel::Object* ChainAtOrAbove(const HostModel::Object* object) {
    for (const HostModel::Object* up = object; up; up = up->GetParent()) {
        if (up->IsA(HostModel::Chain::classType)) return up;
    }
    return nullptr;
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
    const SourceTexts texts;
    SourceCounter chargeSources(summary.chargeSources, texts);
    SourceCounter radiusSources(summary.radiusSources, texts);
    DescendentIterator molecules(root, Molecule::classType);
    while (Object* molecule = molecules.GetNext()) {
        if (!molecule->IsVisible()) continue;
        MoleculeCharge charge{molecule->GetLabel(), 0.0, 0, {}};
        DescendentIterator atoms(molecule, Atom::classType);
        const Object* currentChain = nullptr;
        // Atoms of one parent come together: their chain is found once.
        const Object* chainOfParent = nullptr;
        const Object* lastParent = nullptr;
        bool firstAtom = true;
        while (Object* object = atoms.GetNext()) {
            const auto& atom = static_cast<const Atom&>(*object);
            const PropertyStore& properties = atom.Properties();
            float value = 0.0f;
            const bool hasCharge = properties.GetFloat(chargeName, value);
            if (hasCharge) charge.netCharge += value;
            ++charge.atoms;
            // Atoms of a chain come one after another in tree order.
            if (firstAtom || atom.GetParent() != lastParent) {
                lastParent = atom.GetParent();
                chainOfParent = ChainAtOrAbove(lastParent);
                firstAtom = false;
            }
            if (const Object* chain = chainOfParent) {
                if (chain != currentChain) {
                    charge.chains.push_back(ChainCharge{chain->GetLabel(), 0.0, 0});
                    currentChain = chain;
                }
                if (hasCharge) charge.chains.back().netCharge += value;
                ++charge.chains.back().atoms;
            }
            const bool chargeMissing = chargeSources.Count(properties, chargeSourceName);
            const bool radiusMissing = radiusSources.Count(properties, radiusSourceName);
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
        charge.reportNetCharge = Voltra::VoltraReport::ChargesOf(*molecule).net;
        summary.atoms += charge.atoms;
        summary.molecules.push_back(std::move(charge));
    }
    chargeSources.Flush();
    radiusSources.Flush();
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
            << molecule.atoms << " atoms)";
        if (std::abs(molecule.netCharge - molecule.reportNetCharge) > kReportChargeTolerance) {
            out << ", in the report " << boost::format("%.2f") % molecule.reportNetCharge
                << " e (its residues only, summed in single precision)";
        }
        out << '\n';
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

namespace {

// 2596 -> "2,596": counts of atoms in a large structure stay readable.
std::string Grouped(std::size_t number) {
    std::string digits = std::to_string(number);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), ",");
    return digits;
}

std::size_t Total(const std::map<std::string, std::size_t>& counts) {
    std::size_t total = 0;
    for (const auto& entry : counts) total += entry.second;
    return total;
}

// "LYS 312, ARG 200, ..." most frequent first, at most limit of them.
std::string CountList(const std::map<std::string, std::size_t>& counts, std::size_t limit = 8) {
    std::vector<std::pair<std::string, std::size_t>> items(counts.begin(), counts.end());
    std::stable_sort(items.begin(), items.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    std::string text;
    for (std::size_t i = 0; i < items.size() && i < limit; ++i) {
        text += (i ? ", " : "") + items[i].first + " " + Grouped(items[i].second);
    }
    if (items.size() > limit) text += ", ...";
    return text;
}

std::string LineList(const std::vector<std::string>& lines, std::size_t limit = 5) {
    std::string text;
    for (std::size_t i = 0; i < lines.size() && i < limit; ++i) text += (i ? "; " : "") + lines[i];
    if (lines.size() > limit) text += "; ...";
    return text;
}

}  // namespace

void PrintPreparation(std::ostream& out, const HostModel::PreparationReport& report) {
    auto counted = [&out](const char* title, const std::map<std::string, std::size_t>& counts) {
        if (counts.empty()) return;
        out << "  " << title << ": " << Grouped(Total(counts)) << " (" << CountList(counts) << ")\n";
    };
    auto listed = [&out](const char* title, const std::vector<std::string>& lines) {
        if (lines.empty()) return;
        out << "  " << title << ": " << Grouped(lines.size()) << " (" << LineList(lines) << ")\n";
    };
    counted("names mapped", report.namesMapped);
    if (!report.statesFromHydrogens.empty()) {
        out << "  states from hydrogens: " << CountList(report.statesFromHydrogens, 12) << '\n';
    }
    if (!report.statesChosen.empty() || !report.pkaSource.empty()) {
        out << "  states: " << (report.statesChosen.empty() ? "none to choose" : CountList(report.statesChosen, 12));
        if (!report.pkaSource.empty()) {
            out << " (pH " << boost::format("%.1f") % report.ph << ", " << report.pkaSource << " pKa)";
        }
        out << '\n';
    }
    counted("atoms completed", report.atomsCompleted);
    listed("left incomplete", report.residuesLeftIncomplete);
    counted("hydrogens added", report.hydrogensAdded);
    listed("hydrogens not placed", report.hydrogensNotPlaced);
    counted("hydrogens renamed", report.hydrogensRenamed);
    listed("unknown hydrogens", report.unknownHydrogens);
}

}  // namespace VoltraApp
