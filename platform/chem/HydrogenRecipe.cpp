#include "chem/HydrogenRecipe.h"

#include "chem/MonomerLibrary.h"

#include <algorithm>
#include <mutex>
#include <set>
#include <unordered_set>

namespace HostChem {
namespace {

using gemmi::Restraints;

std::string Trim(const std::string& text) {
    const std::size_t begin = text.find_first_not_of(' ');
    if (begin == std::string::npos) return {};
    return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

// 1,188 library files carry names with trailing blanks ("H2' "); the structures never do.
void TrimNames(gemmi::ChemComp& cc) {
    for (auto& atom : cc.atoms) atom.id = Trim(atom.id);
    auto trim = [](Restraints::AtomId& id) { id.atom = Trim(id.atom); };
    for (auto& b : cc.rt.bonds) trim(b.id1), trim(b.id2);
    for (auto& a : cc.rt.angles) trim(a.id1), trim(a.id2), trim(a.id3);
    for (auto& t : cc.rt.torsions) trim(t.id1), trim(t.id2), trim(t.id3), trim(t.id4);
    for (auto& c : cc.rt.chirs) trim(c.id_ctr), trim(c.id1), trim(c.id2), trim(c.id3);
    for (auto& p : cc.rt.planes)
        for (auto& id : p.ids) trim(id);
}

void RemoveAtom(gemmi::ChemComp& cc, const std::string& name) {
    const auto it = cc.find_atom(name);
    if (it == cc.atoms.end()) return;
    cc.atoms.erase(it);
    Restraints& rt = cc.rt;
    auto drop = [&](auto& list, auto uses) { list.erase(std::remove_if(list.begin(), list.end(), uses), list.end()); };
    drop(rt.bonds, [&](const Restraints::Bond& b) { return b.id1 == name || b.id2 == name; });
    drop(rt.angles, [&](const Restraints::Angle& a) { return a.id1 == name || a.id2 == name || a.id3 == name; });
    drop(rt.torsions, [&](const Restraints::Torsion& t) {
        return t.id1 == name || t.id2 == name || t.id3 == name || t.id4 == name;
    });
    drop(rt.chirs, [&](const Restraints::Chirality& c) {
        return c.id_ctr == name || c.id1 == name || c.id2 == name || c.id3 == name;
    });
    for (auto& plane : rt.planes)
        plane.ids.erase(std::remove(plane.ids.begin(), plane.ids.end(), name), plane.ids.end());
}

double AngleValue(const gemmi::ChemComp& cc, const std::string& a, const std::string& centre, const std::string& b,
                  double fallback) {
    for (const auto& angle : cc.rt.angles)
        if (angle.id2 == centre && ((angle.id1 == a && angle.id3 == b) || (angle.id1 == b && angle.id3 == a)))
            return angle.value;
    return fallback;
}

Restraints::AtomId Id(const std::string& name) { return Restraints::AtomId{1, name}; }

void AddAtom(gemmi::ChemComp& cc, const std::string& name, gemmi::El element) {
    if (cc.find_atom(name) != cc.atoms.end()) return;
    cc.atoms.push_back(gemmi::ChemComp::Atom{name, gemmi::Element(element), 0.0f, element == gemmi::El::H ? "H" : ""});
}

void AddBond(gemmi::ChemComp& cc, const std::string& a, const std::string& b, double length) {
    cc.rt.bonds.push_back({Id(a), Id(b), gemmi::BondType::Single, false, length, 0.02, length, 0.02});
}

void AddAngle(gemmi::ChemComp& cc, const std::string& a, const std::string& centre, const std::string& b,
              double value) {
    cc.rt.angles.push_back({Id(a), Id(centre), Id(b), value, 3.0});
}

void AddTorsion(gemmi::ChemComp& cc, const std::string& a, const std::string& b, const std::string& c,
                const std::string& d, double value, int period) {
    cc.rt.torsions.push_back({"added", Id(a), Id(b), Id(c), Id(d), value, 10.0, period});
}

/// A hydrogen on an atom with one heavy neighbour, placed by an angle and a torsion.
void AddHydroxylHydrogen(gemmi::ChemComp& cc, const std::string& h, const std::string& o, const std::string& next,
                         const std::string& torsionEnd, double torsion) {
    if (cc.find_atom(o) == cc.atoms.end()) AddAtom(cc, o, gemmi::El::O);
    AddAtom(cc, h, gemmi::El::H);
    AddBond(cc, o, h, 0.96);
    AddAngle(cc, next, o, h, 109.5);
    AddTorsion(cc, h, o, next, torsionEnd, torsion, 1);
}

void ApplyVariant(gemmi::ChemComp& cc, const std::string& typeName) {
    const std::string type = VariantNameOf(typeName);
    if (type == "HID") RemoveAtom(cc, "HE2");
    else if (type == "HIE" || type == "HIS") RemoveAtom(cc, "HD1");
    else if (type == "CYX" || type == "CYM") RemoveAtom(cc, "HG");
    else if (type == "LYN") RemoveAtom(cc, "HZ1");
    else if (type == "TYM") RemoveAtom(cc, "HH");
    else if (type == "ASH") AddHydroxylHydrogen(cc, "HD2", "OD2", "CG", "OD1", 0.0);
    else if (type == "GLH") AddHydroxylHydrogen(cc, "HE2", "OE2", "CD", "OE1", 0.0);
}

void ApplyNTerminus(gemmi::ChemComp& cc, bool proline, bool neutral) {
    RemoveAtom(cc, "H");
    std::vector<std::string> names =
        proline ? std::vector<std::string>{"H2", "H3"} : std::vector<std::string>{"H1", "H2", "H3"};
    if (neutral) names.pop_back();
    for (const std::string& h : names) {
        AddAtom(cc, h, gemmi::El::H);
        AddBond(cc, "N", h, 1.01);
        AddAngle(cc, "CA", "N", h, 109.5);
        if (proline) AddAngle(cc, "CD", "N", h, 109.5);
    }
    for (std::size_t i = 0; i < names.size(); ++i)
        for (std::size_t j = i + 1; j < names.size(); ++j) AddAngle(cc, names[i], "N", names[j], 109.5);
    if (!proline) AddTorsion(cc, names[0], "N", "CA", "C", 180.0, 3);
}

// The peptide hydrogen lies in the plane of C(-1), N and CA: the angles round N add up to 360.
void ApplyPeptideContext(gemmi::ChemComp& cc) {
    if (cc.find_atom("H") == cc.atoms.end()) return;
    const double cnca = 121.7;  // C(-1)-N-CA of the library's TRANS link
    const double hnca = AngleValue(cc, "H", "N", "CA", 118.3);
    AddAtom(cc, PreviousCarbonName(), gemmi::El::C);
    AddBond(cc, "N", PreviousCarbonName(), 1.329);
    AddAngle(cc, "CA", "N", PreviousCarbonName(), cnca);
    AddAngle(cc, "H", "N", PreviousCarbonName(), 360.0 - cnca - hnca);
}

std::map<std::string, std::string> ParentsOfHydrogens(const gemmi::ChemComp& cc) {
    std::map<std::string, std::string> parents;
    for (const auto& atom : cc.atoms) {
        if (!atom.is_hydrogen()) continue;
        for (const auto& bond : cc.rt.bonds) {
            const Restraints::AtomId* other = bond.other(atom.id);
            if (!other) continue;
            const auto partner = cc.find_atom(other->atom);
            if (partner != cc.atoms.end() && !partner->is_hydrogen()) {
                parents[atom.id] = other->atom;
                break;
            }
        }
    }
    return parents;
}

}  // namespace

std::string ResidueForm::Key() const {
    std::string key;
    for (bool flag : {nTerminus, neutralNTerminus, acidCTerminus, fivePrimeEnd, peptideContext, electrostaticSet,
                      polarSet, allVariants})
        key += flag ? '1' : '0';
    return key;
}

namespace {
// PARSE (PDB2PQR's PARSE naming) and CHARMM spell the variants their own way.
const std::map<std::string, std::string>& VariantAliases() {
    static const std::map<std::string, std::string> aliases = {
        {"CSS", "CYX"}, {"CY-", "CYM"}, {"HI+", "HIP"}, {"HSP", "HIP"},  {"HSD", "HID"},
        {"HSE", "HIE"}, {"LY0", "LYN"}, {"AS0", "ASH"}, {"GL0", "GLH"},  {"TY-", "TYM"},
        {"AR0", "ARG"}, {"H2O", "HOH"}, {"WAT", "HOH"}, {"TIP3", "HOH"}, {"SOL", "HOH"}};
    return aliases;
}

const std::map<std::string, std::string>& VariantParents() {
    static const std::map<std::string, std::string> parents = {{"HID", "HIS"}, {"HIE", "HIS"}, {"HIP", "HIS"},
                                                               {"CYX", "CYS"}, {"CYM", "CYS"}, {"ASH", "ASP"},
                                                               {"GLH", "GLU"}, {"LYN", "LYS"}, {"TYM", "TYR"}};
    return parents;
}
}  // namespace

std::string VariantNameOf(const std::string& typeName) {
    const auto it = VariantAliases().find(typeName);
    return it == VariantAliases().end() ? typeName : it->second;
}

std::string MonomerNameOf(const std::string& typeName) {
    const std::string variant = VariantNameOf(typeName);
    const auto it = VariantParents().find(variant);
    return it == VariantParents().end() ? variant : it->second;
}

namespace {
const std::set<std::string>& StandardMonomers() {
    static const std::set<std::string> names = {"ALA", "ARG", "ASN", "ASP", "CYS", "GLN", "GLU", "GLY", "HIS", "ILE",
                                                "LEU", "LYS", "MET", "PHE", "PRO", "SER", "THR", "TRP", "TYR", "VAL"};
    return names;
}
}  // namespace

bool IsStandardAminoAcidType(const std::string& typeName) {
    // Asked several times per residue, so every qualifying spelling is found once: a name that
    // is neither alias nor variant is its own monomer name, so the candidates are the standard
    // names and the two tables' keys.
    static const std::unordered_set<std::string> spellings = [] {
        std::vector<std::string> candidates(StandardMonomers().begin(), StandardMonomers().end());
        for (const auto* table : {&VariantAliases(), &VariantParents()})
            for (const auto& entry : *table) candidates.push_back(entry.first);
        std::unordered_set<std::string> qualifying;
        for (const std::string& name : candidates)
            if (StandardMonomers().count(MonomerNameOf(name))) qualifying.insert(name);
        return qualifying;
    }();
    return spellings.count(typeName) != 0;
}

double NuclearHydrogenDistance(gemmi::El parent, double fallback) {
    switch (parent) {
        case gemmi::El::C: return 1.09;
        case gemmi::El::N: return 1.01;
        case gemmi::El::O: return 0.96;
        case gemmi::El::S: return 1.34;
        default: return fallback;
    }
}

HydrogenRecipe MakeHydrogenRecipe(const gemmi::ChemComp& component, const std::string& typeName,
                                  const ResidueForm& form) {
    HydrogenRecipe recipe;
    gemmi::ChemComp& cc = recipe.chemComp;
    cc = component;
    TrimNames(cc);
    const bool aminoAcid = IsStandardAminoAcidType(typeName);
    if (aminoAcid) {
        if (!form.allVariants) ApplyVariant(cc, typeName);
        else if (MonomerNameOf(typeName) == "ASP") ApplyVariant(cc, "ASH");
        else if (MonomerNameOf(typeName) == "GLU") ApplyVariant(cc, "GLH");
        if (form.nTerminus) ApplyNTerminus(cc, MonomerNameOf(typeName) == "PRO", form.neutralNTerminus);
        else if (form.peptideContext) ApplyPeptideContext(cc);
        if (form.acidCTerminus) AddHydroxylHydrogen(cc, "HXT", "OXT", "C", "O", 0.0);
    }
    if (form.fivePrimeEnd && cc.find_atom("O5'") != cc.atoms.end() && cc.find_atom("HO5'") == cc.atoms.end())
        AddHydroxylHydrogen(cc, "HO5'", "O5'", "C5'", "C4'", 180.0);

    std::map<std::string, std::string> parents = ParentsOfHydrogens(cc);
    // Hydrogen sets smaller than all: drop what the set leaves out, with its restraints.
    if (form.polarSet || (form.electrostaticSet && aminoAcid)) {
        for (const auto& [h, parent] : parents) {
            const auto parentAtom = cc.find_atom(parent);
            const bool onCarbon = parentAtom->el == gemmi::El::C;
            // Aromatic ring carbons are the library's CR* energy types (CR1, CR15, CR16, ...).
            const bool aromatic = parentAtom->chem_type.compare(0, 2, "CR") == 0;
            if (onCarbon && (form.polarSet || !aromatic)) RemoveAtom(cc, h);
        }
        parents = ParentsOfHydrogens(cc);
    }
    for (auto& bond : cc.rt.bonds) {
        const auto a = cc.find_atom(bond.id1.atom), b = cc.find_atom(bond.id2.atom);
        if (a == cc.atoms.end() || b == cc.atoms.end() || a->is_hydrogen() == b->is_hydrogen()) continue;
        const gemmi::El heavy = a->is_hydrogen() ? b->el.elem : a->el.elem;
        bond.value = bond.value_nucleus = NuclearHydrogenDistance(heavy, bond.value_nucleus);
    }
    for (const auto& atom : cc.atoms)
        if (atom.is_hydrogen())
            if (const auto it = parents.find(atom.id); it != parents.end()) {
                recipe.parentOf[atom.id] = it->second;
                recipe.hydrogensOf[it->second].push_back(atom.id);
            }
    return recipe;
}

std::shared_ptr<const HydrogenRecipe> FindHydrogenRecipe(const std::string& typeName, const ResidueForm& form) {
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<const HydrogenRecipe>> cache;
    const std::string key = typeName + "|" + form.Key();
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (const auto it = cache.find(key); it != cache.end()) return it->second;
    }
    const gemmi::ChemComp* component = SharedMonomerLibrary().Find(MonomerNameOf(typeName));
    std::shared_ptr<const HydrogenRecipe> recipe;
    if (component) recipe = std::make_shared<HydrogenRecipe>(MakeHydrogenRecipe(*component, typeName, form));
    std::lock_guard<std::mutex> lock(mutex);
    return cache.emplace(key, recipe).first->second;
}

}  // namespace HostChem
