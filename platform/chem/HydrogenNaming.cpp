#include "chem/HydrogenNaming.h"

#include "HostModel/Atom.h"
#include "HostModel/Chain.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/Molecule.h"
#include "HostModel/PreparationReport.h"
#include "HostModel/Residue.h"
#include "chem/HydrogenRecipe.h"
#include "chem/ResidueAtoms.h"
#include "Common/TwoHalves.h"

#include <algorithm>
#include <cctype>
#include <map>
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

// AllHydrogensNamed by packed names; false, so that the strings decide, for a name too long to pack.
bool AllHydrogensNamedPacked(const Residue& residue, const std::vector<Atom*>& hydrogens,
                             const std::vector<std::pair<PackedName, PackedName>>& allowed,
                             const std::vector<PackedName>& known) {
    for (const Atom* h : hydrogens) {
        const PackedName name = PackName(h->GetLabel());
        if (name == kUnpackedName) return false;
        const Atom* parent = ParentInResidue(*h, residue);
        if (!parent) {
            if (!std::binary_search(known.begin(), known.end(), name)) return false;
            continue;
        }
        if (!std::binary_search(allowed.begin(), allowed.end(), std::make_pair(PackName(parent->GetLabel()), name)))
            return false;
    }
    return true;
}

// Renames what AllHydrogensNamed found misnamed and reports what no name fits.
void RenameHydrogens(Residue& residue, const std::vector<Atom*>& hydrogens, const HydrogenRecipe& recipe,
                     HostModel::PreparationReport& report) {
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
        const auto targetsIt = recipe.hydrogensOf.find(parentName);
        std::vector<std::string> targets;
        if (targetsIt != recipe.hydrogensOf.end()) targets = targetsIt->second;
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
        if (!recipe.parentOf.count(h->GetLabel()))
            report.unknownHydrogens.push_back(where + ": " + h->GetLabel() + " bonded to no heavy atom");
}

// The form bits of the recipe key: the only parts of the form naming sets.
constexpr unsigned kNTerminusBit = 1, kAcidCTerminusBit = 2, kFivePrimeEndBit = 4;

ResidueForm NamingForm(unsigned formBits) {
    ResidueForm form;
    form.allVariants = true;
    form.nTerminus = (formBits & kNTerminusBit) != 0;
    form.acidCTerminus = (formBits & kAcidCTerminusBit) != 0;
    form.fivePrimeEnd = (formBits & kFivePrimeEndBit) != 0;
    return form;
}

}  // namespace

HydrogenNamer::HydrogenNamer() = default;
HydrogenNamer::~HydrogenNamer() = default;

const HydrogenNamer::Recipe& HydrogenNamer::RecipeOf(const TypeFacts& type, unsigned formBits) {
    const PackedName monomer = PackName(type.monomer);
    if (monomer != kUnpackedName) {
        for (const std::unique_ptr<Recipe>& known : recipes_)
            if (known->monomer == monomer && known->formBits == formBits) return *known;
    }
    auto made = std::make_unique<Recipe>();
    made->monomer = monomer;
    made->formBits = formBits;
    made->recipe = FindHydrogenRecipe(type.monomer, NamingForm(formBits));
    if (made->recipe) {
        made->packed = true;
        for (const auto& [parent, hydrogens] : made->recipe->hydrogensOf)
            for (const std::string& h : hydrogens) made->allowed.emplace_back(PackName(parent), PackName(h));
        for (const auto& entry : made->recipe->parentOf) made->known.push_back(PackName(entry.first));
        for (const auto& [parent, h] : made->allowed)
            made->packed = made->packed && parent != kUnpackedName && h != kUnpackedName;
        for (PackedName h : made->known) made->packed = made->packed && h != kUnpackedName;
        std::sort(made->allowed.begin(), made->allowed.end());
        std::sort(made->known.begin(), made->known.end());
    }
    if (monomer == kUnpackedName) {
        unpackedRecipe_ = std::move(made);
        return *unpackedRecipe_;
    }
    recipes_.push_back(std::move(made));
    return *recipes_.back();
}

std::shared_ptr<const HydrogenRecipe> HydrogenNamer::FindMisnamed(Residue& residue) {
    const std::string& typeName = residue.GetResidueType();
    if (typeName.empty()) return nullptr;
    hydrogens_.clear();
    const ResidueLandmarks marks = FindLandmarks(residue, &hydrogens_);
    if (!marks.hasHydrogen) return nullptr;
    const TypeFacts& type = types_.Get(typeName, [](const std::string& name) {
        return TypeFacts{MonomerNameOf(name), IsStandardAminoAcidType(name)};
    });
    unsigned formBits = 0;
    if (type.standardAminoAcid && residue.IsA(HostModel::AminoAcid::classType) &&
        (!marks.n || !LinkedToOtherSubUnit(*marks.n, PackName("C"), residue)))
        formBits |= kNTerminusBit;
    if (marks.Has(kLandmarkOXT)) formBits |= kAcidCTerminusBit;
    if (marks.Has(kLandmarkO5Prime) && !marks.Has(kLandmarkP)) formBits |= kFivePrimeEndBit;
    const Recipe& recipe = RecipeOf(type, formBits);
    if (!recipe.recipe) return nullptr;
    if (recipe.packed && AllHydrogensNamedPacked(residue, hydrogens_, recipe.allowed, recipe.known)) return nullptr;
    if (AllHydrogensNamed(residue, hydrogens_, *recipe.recipe)) return nullptr;
    return recipe.recipe;
}

void HydrogenNamer::NameResidue(Residue& residue, HostModel::PreparationReport& report) {
    if (const std::shared_ptr<const HydrogenRecipe> recipe = FindMisnamed(residue))
        RenameHydrogens(residue, hydrogens_, *recipe, report);
}

void NameHydrogens(HostModel::Molecule& molecule, HostModel::PreparationReport& report) {
    std::vector<Residue*> residues;
    HostModel::DescendentIterator it(&molecule, Residue::classType);
    while (HostModel::Object* object = it.GetNext()) residues.push_back(static_cast<Residue*>(object));

    // Which residues need renaming is found on two threads, looking only; the renaming and the
    // report follow on this one, in residue order.
    using Misnamed = std::pair<std::size_t, std::shared_ptr<const HydrogenRecipe>>;
    std::vector<Misnamed> misnamed[2];
    Common::RunInTwoHalves(residues.size(), kResiduesWorthASecondThread, [&](std::size_t begin, std::size_t end, int part) {
        HydrogenNamer namer;
        for (std::size_t i = begin; i < end; ++i)
            if (auto recipe = namer.FindMisnamed(*residues[i])) misnamed[part].emplace_back(i, std::move(recipe));
    });
    std::vector<Atom*> hydrogens;
    for (const std::vector<Misnamed>& part : misnamed) {
        for (const auto& [index, recipe] : part) {
            Residue& residue = *residues[index];
            hydrogens.clear();
            FindLandmarks(residue, &hydrogens);
            // The one label of another residue a look reads is that of an atom bonded to its N,
            // asked whether it is a C. Should a hydrogen so labelled lose that name here, the
            // residues after this one are looked at again, as one walk would have met them.
            const bool relabelsNeighbourC = std::any_of(hydrogens.begin(), hydrogens.end(), [&](const Atom* h) {
                return h->GetLabel() == "C" && std::any_of(h->GetBonds().begin(), h->GetBonds().end(),
                                                           [&](const Atom* a) { return a->GetParent() != &residue; });
            });
            RenameHydrogens(residue, hydrogens, *recipe, report);
            if (relabelsNeighbourC) {
                HydrogenNamer namer;
                for (std::size_t i = index + 1; i < residues.size(); ++i) namer.NameResidue(*residues[i], report);
                return;
            }
        }
    }
}

}  // namespace HostChem
