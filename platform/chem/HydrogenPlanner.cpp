#include "chem/HydrogenPlanner.h"

#include "HostModel/Chain.h"
#include "HostModel/Residue.h"
#include "Quorva_ProteinCore/BuilderUtility.h"
#include "chem/HydrogenRecipe.h"
#include "chem/PackedName.h"

#include <gemmi/placeh.hpp>
#include <gemmi/topo.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>

namespace HostChem {
namespace {

using HostModel::Atom;
using HostModel::Residue;

// Within this of the nuclear X-H length a placement is taken; beyond it gemmi has failed
// silently (it leaves junk positions on residues whose restraints do not fit the atoms).
constexpr double kDistanceTolerance = 0.02;

// A shape key's word for a child that is not an atom; no packed name or element equals it.
constexpr std::uint64_t kNotAnAtom = ~std::uint64_t{0} - 1;

bool IsLinkElement(int z) { return z == 6 || z == 7 || z == 8 || z == 15 || z == 16 || z == 34; }

// A name as key words: packed when it fits, else a marker, its length and its bytes.
void AppendName(std::vector<std::uint64_t>& key, const std::string& name) {
    const PackedName packed = PackName(name);
    key.push_back(packed);
    if (packed != kUnpackedName) return;
    key.push_back(name.size());
    for (std::size_t at = 0; at < name.size(); at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, name.data() + at, std::min<std::size_t>(8, name.size() - at));
        key.push_back(word);
    }
}

std::string Describe(const Residue& residue) {
    std::string text = residue.GetLabel();
    if (const HostModel::Object* chain = residue.GetParent(); chain && chain->IsA(HostModel::Chain::classType))
        text += " chain " + chain->GetLabel();
    return text;
}

// The heavy partner of a standard amino acid's N in the previous residue: its carbonyl C.
const Atom* PreviousCarbon(const Atom& n) {
    for (const Atom* partner : n.GetBonds())
        if (partner->GetParent() != n.GetParent() && partner->GetLabel() == "C") return partner;
    return nullptr;
}

gemmi::Atom ToGemmi(const std::string& name, int atomicNumber) {
    gemmi::Atom atom;
    atom.name = name;
    atom.element = gemmi::Element(atomicNumber);
    atom.occ = 1.0f;
    return atom;
}

std::uint8_t FormBits(const ResidueForm& form) {
    std::uint8_t bits = 0;
    int bit = 0;
    for (bool flag : {form.nTerminus, form.neutralNTerminus, form.acidCTerminus, form.fivePrimeEnd, form.peptideContext,
                      form.electrostaticSet, form.polarSet, form.allVariants})
        bits |= static_cast<std::uint8_t>(flag) << bit++;
    return bits;
}

// A one-residue model with its restraint topology, made once per group template and set of
// hydrogens to place, and reused for every residue of that kind: only positions change between
// residues, and gemmi's placement reads the topology and positions alone. The topology points
// into model.
struct PlacementKit {
    gemmi::Residue model;  // the residue's atoms in label order, then "-C", then the hydrogens to place
    gemmi::Topo topo;      // all of the residue's restraints; the groups' point into it
    struct Group {
        std::size_t parent;       // index into model.atoms
        std::uint32_t hostChild;  // the parent's index among the residue's children
        const std::string* parentName;
        gemmi::El parentElement;
        std::vector<std::pair<std::size_t, const std::string*>> hydrogens;  // index into model.atoms, name
        std::unique_ptr<gemmi::Topo> restraints;                            // those the placement on parent may consult
    };
    std::vector<Group> groups;
};

// The recipe of one shape in one form, and what it says of the shape's atoms.
struct GroupTemplate {
    std::shared_ptr<const HydrogenRecipe> recipe;  // null: the monomer library lacks the type
    bool previousCarbon = false;                   // the model holds the previous residue's C
    struct Group {
        std::uint32_t slot;   // the parent among the shape's atoms in label order
        std::uint32_t child;  // the parent among the residue's children
        const std::string* parentName;
        bool peptideN;  // an amino acid's N: its peptide bond takes no hydrogen's place
        std::vector<const std::string*> hydrogens;
        std::size_t firstAbsent;  // the first of hydrogens the shape lacks; hydrogens.size() if none
        std::vector<bool> present;
    };
    std::vector<Group> groups;
    // Per how many hydrogens each group wants (0: none missing), the kit that places them.
    std::vector<std::pair<std::vector<std::uint32_t>, std::unique_ptr<PlacementKit>>> kits;
};

}  // namespace

struct HydrogenPlanner::Shape {
    std::string type;
    bool aminoAcid = false;
    std::vector<std::uint32_t> sorted;  // children that are atoms, in label order, the first of equal labels
    std::vector<std::string> names;     // their labels
    std::vector<int> elements;          // their atomic numbers
    std::size_t added = 0;
    std::vector<std::pair<std::uint8_t, std::unique_ptr<GroupTemplate>>> templates;  // per form
    // What the form of a residue of this shape depends on besides its bonds.
    long nChild = -1;  // the atom labelled N among the residue's children
    bool hasOXT = false;
    bool fivePrimeEnd = false;  // O5' and no P

    /// Index into sorted of the atom labelled name, or -1.
    long Find(const std::string& name) const {
        const auto it = std::lower_bound(names.begin(), names.end(), name);
        return it != names.end() && *it == name ? it - names.begin() : -1;
    }
};

namespace {

std::unique_ptr<GroupTemplate> MakeTemplate(const HydrogenPlanner::Shape& shape, const ResidueForm& form) {
    auto t = std::make_unique<GroupTemplate>();
    t->recipe = FindHydrogenRecipe(shape.type, form);
    if (!t->recipe) return t;
    const HydrogenRecipe& recipe = *t->recipe;
    t->previousCarbon =
        form.peptideContext && recipe.chemComp.find_atom(PreviousCarbonName()) != recipe.chemComp.atoms.end();
    // In the component's atom order, so that hydrogens follow their heavy atoms' order.
    for (const auto& heavy : recipe.chemComp.atoms) {
        const auto entry = recipe.hydrogensOf.find(heavy.id);
        if (entry == recipe.hydrogensOf.end()) continue;
        const long slot = shape.Find(entry->first);
        if (slot < 0 || shape.elements[slot] == 1) continue;
        GroupTemplate::Group group;
        group.slot = static_cast<std::uint32_t>(slot);
        group.child = shape.sorted[slot];
        group.parentName = &entry->first;
        group.peptideN = shape.aminoAcid && entry->first == "N";
        for (const std::string& h : entry->second) {
            group.hydrogens.push_back(&h);
            group.present.push_back(shape.Find(h) >= 0);
        }
        group.firstAbsent = std::find(group.present.begin(), group.present.end(), false) - group.present.begin();
        t->groups.push_back(std::move(group));
    }
    return t;
}

// The restraints gemmi's placement of the hydrogens on atom may consult, in the residue's order:
// atom's bonds, the angles about it, the torsions about its bonds, its chiral centre, the planes
// that hold it. The placement takes the first fit of each kind, so it finds here what it finds
// in the residue's whole topology, with searches of a few restraints instead of all of them.
std::unique_ptr<gemmi::Topo> RestraintsOf(const gemmi::Topo& all, const gemmi::Atom* atom) {
    auto sub = std::make_unique<gemmi::Topo>();
    for (const gemmi::Topo::Bond& bond : all.bonds)
        if (bond.atoms[0] == atom || bond.atoms[1] == atom) sub->bonds.push_back(bond);
    for (const gemmi::Topo::Angle& angle : all.angles)
        if (angle.atoms[1] == atom) sub->angles.push_back(angle);
    for (const gemmi::Topo::Torsion& torsion : all.torsions)
        if (torsion.atoms[1] == atom || torsion.atoms[2] == atom) sub->torsions.push_back(torsion);
    for (const gemmi::Topo::Chirality& chirality : all.chirs)
        if (chirality.atoms[0] == atom) sub->chirs.push_back(chirality);
    for (const gemmi::Topo::Plane& plane : all.planes)
        if (plane.has(atom)) sub->planes.push_back(plane);
    for (gemmi::Topo::Bond& bond : sub->bonds) {
        sub->bond_index.emplace(bond.atoms[0], &bond);
        if (bond.atoms[1] != bond.atoms[0]) sub->bond_index.emplace(bond.atoms[1], &bond);
    }
    for (gemmi::Topo::Angle& angle : sub->angles) sub->angle_index.emplace(angle.atoms[1], &angle);
    return sub;
}

// variant: per group of t, how many of its hydrogens it wants (0 when it lacks none of them).
std::unique_ptr<PlacementKit> MakeKit(const HydrogenPlanner::Shape& shape, const GroupTemplate& t,
                                      const std::vector<std::uint32_t>& variant) {
    auto kit = std::make_unique<PlacementKit>();
    gemmi::Residue& model = kit->model;
    model.atoms.reserve(shape.names.size() + 8);
    for (std::size_t i = 0; i < shape.names.size(); ++i)
        model.atoms.push_back(ToGemmi(shape.names[i], shape.elements[i]));
    if (t.previousCarbon) model.atoms.push_back(ToGemmi(PreviousCarbonName(), 6));
    for (std::size_t g = 0; g < t.groups.size(); ++g)
        for (std::uint32_t i = 0; i < variant[g]; ++i)
            if (!t.groups[g].present[i]) model.atoms.push_back(ToGemmi(*t.groups[g].hydrogens[i], 1));

    kit->topo.apply_restraints(t.recipe->chemComp.rt, model, nullptr);

    auto indexOf = [&](const std::string& name) {
        return static_cast<std::size_t>(model.find_atom(name, '*') - model.atoms.data());
    };
    for (std::size_t g = 0; g < t.groups.size(); ++g) {
        if (variant[g] == 0) continue;
        const GroupTemplate::Group& group = t.groups[g];
        PlacementKit::Group k;
        k.parent = indexOf(*group.parentName);
        k.hostChild = group.child;
        k.parentName = group.parentName;
        k.parentElement = model.atoms[k.parent].element.elem;
        for (std::uint32_t i = 0; i < variant[g]; ++i)
            if (!group.present[i]) k.hydrogens.emplace_back(indexOf(*group.hydrogens[i]), group.hydrogens[i]);
        k.restraints = RestraintsOf(kit->topo, &model.atoms[k.parent]);
        kit->groups.push_back(std::move(k));
    }
    return kit;
}

}  // namespace

std::size_t HydrogenPlanner::ShapeKeyHash::operator()(const std::vector<std::uint64_t>& key) const {
    std::uint64_t h = key.size();
    for (std::uint64_t word : key) {
        h = (h ^ word) * 0x9E3779B97F4A7C15ull;
        h ^= h >> 29;
    }
    return static_cast<std::size_t>(h);
}

HydrogenPlanner::HydrogenPlanner(HostModel::Atom::HydrogenSet set,
                                 std::optional<HostModel::PropertyNameId> terminalState)
    : set_(set), terminalState_(terminalState) {}

HydrogenPlanner::~HydrogenPlanner() = default;

HydrogenPlanner::Shape& HydrogenPlanner::ShapeOf(const Residue& residue) {
    key_.clear();
    children_.clear();
    AppendName(key_, residue.GetResidueType());
    for (std::size_t i = 0; i < residue.GetNumChildren(); ++i) {
        HostModel::Object* child = residue.GetChild(i);
        if (!child->IsA(Atom::classType)) {
            children_.push_back(nullptr);
            key_.push_back(kNotAnAtom);
            continue;
        }
        Atom* atom = static_cast<Atom*>(child);
        children_.push_back(atom);
        AppendName(key_, atom->GetLabel());
        key_.push_back(static_cast<std::uint64_t>(atom->GetAtomicNumber()));
    }
    if (const auto known = shapes_.find(key_); known != shapes_.end()) return *known->second;

    auto made = std::make_unique<Shape>();
    Shape& shape = *made;
    shape.type = residue.GetResidueType();
    shape.aminoAcid = IsStandardAminoAcidType(shape.type);
    for (std::uint32_t i = 0; i < children_.size(); ++i)
        if (children_[i]) shape.sorted.push_back(i);
    // As a map from label to atom keeps them: the first of equal labels.
    std::stable_sort(shape.sorted.begin(), shape.sorted.end(), [&](std::uint32_t a, std::uint32_t b) {
        return children_[a]->GetLabel() < children_[b]->GetLabel();
    });
    shape.sorted.erase(std::unique(shape.sorted.begin(), shape.sorted.end(),
                                   [&](std::uint32_t a, std::uint32_t b) {
                                       return children_[a]->GetLabel() == children_[b]->GetLabel();
                                   }),
                       shape.sorted.end());
    for (std::uint32_t child : shape.sorted) {
        shape.names.push_back(children_[child]->GetLabel());
        shape.elements.push_back(children_[child]->GetAtomicNumber());
    }
    auto childOf = [&](const char* name) {
        const long slot = shape.Find(name);
        return slot < 0 ? -1L : static_cast<long>(shape.sorted[slot]);
    };
    shape.nChild = childOf("N");
    shape.hasOXT = childOf("OXT") >= 0;
    shape.fivePrimeEnd = childOf("O5'") >= 0 && childOf("P") < 0;
    return *shapes_.emplace(key_, std::move(made)).first->second;
}

std::size_t HydrogenPlanner::AddTo(Residue& residue) {
    const std::string& type = residue.GetResidueType();
    if (type.empty()) return 0;
    Shape& shape = ShapeOf(residue);

    ResidueForm form;
    form.electrostaticSet = set_ == Atom::ElectrostaticHydrogens;
    form.polarSet = set_ == Atom::PolarHydrogens;
    const Atom* previousCarbon = nullptr;
    if (shape.aminoAcid) {
        form.nTerminus =
            residue.IsA(HostModel::AminoAcid::classType) && Quorva_ProteinCore::BuilderUtility::IsNTerminus(&residue);
        if (shape.nChild >= 0 && !form.nTerminus) previousCarbon = PreviousCarbon(*children_[shape.nChild]);
        form.peptideContext = previousCarbon != nullptr;
        const std::string state = terminalState_ ? residue.Properties().GetAsString(*terminalState_) : std::string();
        form.neutralNTerminus = form.nTerminus && state == "NH2";
        form.acidCTerminus = state == "COOH" && shape.hasOXT;
    }
    form.fivePrimeEnd = shape.fivePrimeEnd;

    const std::uint8_t bits = FormBits(form);
    auto known = std::find_if(shape.templates.begin(), shape.templates.end(),
                              [bits](const auto& entry) { return entry.first == bits; });
    if (known == shape.templates.end()) {
        shape.templates.emplace_back(bits, MakeTemplate(shape, form));
        known = shape.templates.end() - 1;
        if (!known->second->recipe) unknownTypes_.insert(type);
    }
    GroupTemplate& t = *known->second;
    if (!t.recipe) return 0;

    // Per group, how many hydrogens its parent wants: one fewer for each bond to a heavy atom of
    // another residue (O3' to the next P, a disulfide SG, a ligand's covalent link); none when
    // it carries that many already or the residue has every one of them.
    variant_.assign(t.groups.size(), 0);
    bool missing = false;
    for (std::size_t g = 0; g < t.groups.size(); ++g) {
        const GroupTemplate::Group& group = t.groups[g];
        const Atom& parent = *children_[group.child];
        std::size_t external = 0, hydrogens = 0;
        for (const Atom* partner : parent.GetBonds()) {
            const int z = partner->GetAtomicNumber();
            if (z == 1) ++hydrogens;
            else if (partner->GetParent() != parent.GetParent() && IsLinkElement(z) &&
                     !(group.peptideN && partner->GetLabel() == "C"))
                ++external;
        }
        const std::size_t wanted = group.hydrogens.size() - std::min(external, group.hydrogens.size());
        if (hydrogens >= wanted || group.firstAbsent >= wanted) continue;
        variant_[g] = static_cast<std::uint32_t>(wanted);
        missing = true;
    }
    if (!missing) return 0;

    auto entry = std::find_if(t.kits.begin(), t.kits.end(), [&](const auto& kit) { return kit.first == variant_; });
    if (entry == t.kits.end()) {
        t.kits.emplace_back(variant_, MakeKit(shape, t, variant_));
        entry = t.kits.end() - 1;
    }
    PlacementKit& kit = *entry->second;

    // The state that a model made afresh would have: positions read, hydrogens at the origin.
    std::vector<gemmi::Atom>& atoms = kit.model.atoms;
    const std::size_t hostAtoms = shape.sorted.size();
    for (std::size_t i = 0; i < atoms.size(); ++i) {
        gemmi::Atom& atom = atoms[i];
        HostModel::Vec3 p{};
        if (i < hostAtoms) p = children_[shape.sorted[i]]->GetPosition();
        else if (i == hostAtoms && t.previousCarbon) p = previousCarbon->GetPosition();
        atom.pos = gemmi::Position(p.x, p.y, p.z);
        atom.occ = 1.0f;
        atom.calc_flag = gemmi::CalcFlag::NotSet;
    }

    made_.clear();
    std::string where;
    for (const PlacementKit::Group& group : kit.groups) {
        const gemmi::Atom& parent = atoms[group.parent];
        std::string failure;
        try {
            gemmi::place_hydrogens(*group.restraints, parent);
        } catch (const std::exception& e) {
            failure = e.what();
            while (!failure.empty() && (failure.back() == '\n' || failure.back() == '.')) failure.pop_back();
        }
        const double target = NuclearHydrogenDistance(group.parentElement, -1.0);
        for (const auto& [index, name] : group.hydrogens) {
            const gemmi::Atom& placed = atoms[index];
            const double distance = placed.pos.dist(parent.pos);
            std::string reason = failure;
            if (reason.empty() &&
                !(std::isfinite(distance) && (target < 0 || std::abs(distance - target) <= kDistanceTolerance)))
                reason = "no consistent geometry";
            if (!reason.empty()) {
                if (where.empty()) where = Describe(residue);
                notPlaced_.push_back(where + ": " + *name + " on " + *group.parentName + ": " + reason);
                continue;
            }
            auto hydrogen = std::make_unique<Atom>(*name, 1);
            hydrogen->SetPosition({placed.pos.x, placed.pos.y, placed.pos.z});
            hydrogen->ReserveBonds(1);
            made_.emplace_back(std::move(hydrogen), children_[group.hostChild]);
        }
    }
    if (made_.empty()) return 0;

    // Room for the residue's new atoms, and for each parent's new bonds, made once each instead
    // of lists doubling as they fill.
    residue.ReserveChildren(residue.GetNumChildren() + made_.size());
    for (std::size_t i = 0; i < made_.size(); ++i) {
        Atom& parent = *made_[i].second;
        if (i == 0 || made_[i - 1].second != &parent) {
            std::size_t run = 1;
            while (i + run < made_.size() && made_[i + run].second == &parent) ++run;
            parent.ReserveBonds(parent.GetBonds().size() + run);
        }
        Atom& hydrogen = static_cast<Atom&>(residue.AddChildUnnoted(std::move(made_[i].first)));
        Atom::BondUnnoted(parent, hydrogen);
    }
    shape.added += made_.size();
    return made_.size();
}

std::map<std::string, std::size_t> HydrogenPlanner::AddedPerType() const {
    std::map<std::string, std::size_t> added;
    for (const auto& [key, shape] : shapes_)
        if (shape->added > 0) added[shape->type] += shape->added;
    return added;
}

}  // namespace HostChem
