#include "chem/HydrogenNaming.h"

#include "HostModel/Atom.h"
#include "HostModel/Chain.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/Molecule.h"
#include "HostModel/PreparationReport.h"
#include "HostModel/Residue.h"
#include "Quorva_ProteinCore/BuilderUtility.h"
#include "chem/HydrogenRecipe.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <string_view>

namespace HostChem {
namespace {

using HostModel::Atom;
using HostModel::Residue;

// The conventions differ in three ways, which this undoes before hydrogens are matched to
// their heavy atom's names: PDB v2 puts the number first ("1HB2" is HB21, "2HB" is HB2),
// older files write primes as '*' ("H5*1"), and the numbering of equivalent hydrogens starts
// at 1 (HB1/HB2, HT1-HT3, H5'1/H5'2) where the current names start at 2 or have none (HB2/HB3,
// H1-H3, H5'/H5''). The first two are fixed here; the third by matching in sorted order.
std::string NormalizedName(std::string name) {
    std::replace(name.begin(), name.end(), '*', '\'');
    std::size_t digits = 0;
    while (digits < name.size() && std::isdigit(static_cast<unsigned char>(name[digits]))) ++digits;
    if (digits > 0 && digits < name.size()) name = name.substr(digits) + name.substr(0, digits);
    return name;
}

std::string Describe(const Residue& residue) {
    std::string text = residue.GetLabel();
    if (const HostModel::Object* chain = residue.GetParent(); chain && chain->IsA(HostModel::Chain::classType))
        text += " chain " + chain->GetLabel();
    return text;
}

bool HasHydrogen(const Residue& residue) {
    for (std::size_t i = 0; i < residue.GetNumChildren(); ++i) {
        const HostModel::Object* child = residue.GetChild(i);
        if (child->IsA(Atom::classType) && static_cast<const Atom*>(child)->GetAtomicNumber() == 1) return true;
    }
    return false;
}

// The heavy atom of the residue a hydrogen is bonded to (the last one, if several); null for none.
const Atom* ParentInResidue(const Atom& h, const Residue& residue) {
    const Atom* parent = nullptr;
    for (const Atom* partner : h.GetBonds())
        if (partner->GetParent() == &residue && partner->GetAtomicNumber() != 1) parent = partner;
    return parent;
}

// True when naming would neither rename nor report: every hydrogen bears a name the recipe gives
// its heavy atom or, bonded to none, a name the recipe knows. Hydrogens the placement added are
// named so already; only those read from a file can fail this.
bool AllHydrogensNamed(const Residue& residue, const std::vector<Atom*>& hydrogens, const HydrogenRecipe& recipe) {
    for (const Atom* h : hydrogens) {
        const Atom* parent = ParentInResidue(*h, residue);
        if (!parent) {
            if (!recipe.parentOf.count(h->GetLabel())) return false;
            continue;
        }
        const auto targets = recipe.hydrogensOf.find(parent->GetLabel());
        if (targets == recipe.hydrogensOf.end() ||
            std::find(targets->second.begin(), targets->second.end(), h->GetLabel()) == targets->second.end())
            return false;
    }
    return true;
}

}  // namespace

void NameResidueHydrogens(Residue& residue, HostModel::PreparationReport& report) {
    const std::string& type = residue.GetResidueType();
    if (type.empty()) return;
    std::vector<Atom*> hydrogens;
    bool hasOxt = false, hasO5 = false, hasP = false;
    for (std::size_t i = 0; i < residue.GetNumChildren(); ++i) {
        HostModel::Object* child = residue.GetChild(i);
        if (!child->IsA(Atom::classType)) continue;
        Atom* atom = static_cast<Atom*>(child);
        const std::string_view label = atom->GetLabel();
        hasOxt = hasOxt || label == "OXT";
        hasO5 = hasO5 || label == "O5'";
        hasP = hasP || label == "P";
        if (atom->GetAtomicNumber() == 1) hydrogens.push_back(atom);
    }
    ResidueForm form;
    form.allVariants = true;
    form.nTerminus = residue.IsA(HostModel::AminoAcid::classType) && IsStandardAminoAcidType(type) &&
                     Quorva_ProteinCore::BuilderUtility::IsNTerminus(&residue);
    form.acidCTerminus = hasOxt;
    form.fivePrimeEnd = hasO5 && !hasP;
    const auto recipe = FindHydrogenRecipe(MonomerNameOf(type), form);
    if (!recipe || AllHydrogensNamed(residue, hydrogens, *recipe)) return;

    // Hydrogens grouped by their heavy atom, from the bonds read with the structure.
    std::map<std::string, std::vector<Atom*>> byParent;
    std::vector<Atom*> orphans;
    for (Atom* h : hydrogens) {
        const Atom* parent = ParentInResidue(*h, residue);
        if (parent) byParent[parent->GetLabel()].push_back(h);
        else orphans.push_back(h);
    }
    const std::string where = Describe(residue);
    for (auto& [parentName, group] : byParent) {
        const auto targetsIt = recipe->hydrogensOf.find(parentName);
        std::vector<std::string> targets;
        if (targetsIt != recipe->hydrogensOf.end()) targets = targetsIt->second;
        const bool allNamed = std::all_of(group.begin(), group.end(), [&](const Atom* h) {
            return std::find(targets.begin(), targets.end(), h->GetLabel()) != targets.end();
        });
        if (allNamed) continue;
        std::sort(targets.begin(), targets.end());
        std::stable_sort(group.begin(), group.end(), [](const Atom* a, const Atom* b) {
            return NormalizedName(a->GetLabel()) < NormalizedName(b->GetLabel());
        });
        for (std::size_t i = 0; i < group.size(); ++i) {
            if (i >= targets.size()) {
                report.unknownHydrogens.push_back(where + ": " + group[i]->GetLabel() + " on " + parentName);
                continue;
            }
            if (group[i]->GetLabel() == targets[i]) continue;
            ++report.hydrogensRenamed[group[i]->GetLabel() + " -> " + targets[i]];
            group[i]->SetLabel(targets[i]);
        }
    }
    for (const Atom* h : orphans)
        if (!recipe->parentOf.count(h->GetLabel()))
            report.unknownHydrogens.push_back(where + ": " + h->GetLabel() + " bonded to no heavy atom");
}

void NameHydrogens(HostModel::Molecule& molecule, HostModel::PreparationReport& report) {
    HostModel::DescendentIterator it(&molecule, Residue::classType);
    while (HostModel::Object* object = it.GetNext()) {
        Residue& residue = static_cast<Residue&>(*object);
        if (HasHydrogen(residue)) NameResidueHydrogens(residue, report);
    }
}

}  // namespace HostChem
