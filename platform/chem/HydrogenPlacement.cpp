#include "chem/HydrogenPlacement.h"

#include "HostModel/Chain.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/Molecule.h"
#include "HostModel/PreparationReport.h"
#include "HostModel/Residue.h"
#include "Quorva_ProteinCore/BuilderUtility.h"
#include "chem/HydrogenRecipe.h"

#include <gemmi/placeh.hpp>
#include <gemmi/topo.hpp>

#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>
#include <optional>
#include <set>
#include <thread>
#include <unordered_map>

namespace HostChem {
namespace {

using HostModel::Atom;
using HostModel::Residue;

// Within this of the nuclear X-H length a placement is taken; beyond it gemmi has failed
// silently (it leaves junk positions on residues whose restraints do not fit the atoms).
constexpr double kDistanceTolerance = 0.02;

struct ResidueJob {
    Residue* residue = nullptr;
    std::shared_ptr<const HydrogenRecipe> recipe;
    // The residue's atoms sorted by label, the first of equal labels only (as a map keeps them).
    std::vector<std::pair<const std::string*, Atom*>> atoms;
    const Atom* previousCarbon = nullptr;

    Atom* Find(const std::string& name) const {
        const auto it = std::lower_bound(atoms.begin(), atoms.end(), name,
                                         [](const auto& entry, const std::string& key) { return *entry.first < key; });
        return it != atoms.end() && *it->first == name ? it->second : nullptr;
    }
};

// A hydrogen made by a planner, to be added to the tree and bonded to its parent afterwards.
struct NewHydrogen {
    std::unique_ptr<Atom> atom;
    Atom* parent = nullptr;
};

// What one planner made of a run of residues, in their order.
struct PlanOutput {
    std::vector<NewHydrogen> hydrogens;
    std::vector<std::size_t> ends;  // per residue of the run: end of its hydrogens in hydrogens
    std::vector<std::pair<std::size_t, std::string>> failed;  // residue index, line for the report
    std::set<std::string> unknownTypes;
};

bool IsLinkElement(int z) { return z == 6 || z == 7 || z == 8 || z == 15 || z == 16 || z == 34; }

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

// Fills job for residue, reusing its storage. terminalState: the interned id of
// TerminalStateProperty(), absent when no object carries it.
void MakeJob(Residue& residue, HostModel::Atom::HydrogenSet set, std::optional<HostModel::PropertyNameId> terminalState,
             ResidueJob& job) {
    job.residue = &residue;
    job.recipe.reset();
    job.atoms.clear();
    job.previousCarbon = nullptr;
    const std::string& type = residue.GetResidueType();
    if (type.empty()) return;
    for (std::size_t i = 0; i < residue.GetNumChildren(); ++i) {
        HostModel::Object* child = residue.GetChild(i);
        if (child->IsA(Atom::classType)) job.atoms.emplace_back(&child->GetLabel(), static_cast<Atom*>(child));
    }
    std::stable_sort(job.atoms.begin(), job.atoms.end(),
                     [](const auto& a, const auto& b) { return *a.first < *b.first; });
    job.atoms.erase(std::unique(job.atoms.begin(), job.atoms.end(),
                                [](const auto& a, const auto& b) { return *a.first == *b.first; }),
                    job.atoms.end());
    ResidueForm form;
    form.electrostaticSet = set == Atom::ElectrostaticHydrogens;
    form.polarSet = set == Atom::PolarHydrogens;
    if (IsStandardAminoAcidType(type)) {
        const Atom* n = job.Find("N");
        form.nTerminus =
            residue.IsA(HostModel::AminoAcid::classType) && Quorva_ProteinCore::BuilderUtility::IsNTerminus(&residue);
        if (n && !form.nTerminus) job.previousCarbon = PreviousCarbon(*n);
        form.peptideContext = job.previousCarbon != nullptr;
        const std::string state = terminalState ? residue.Properties().GetAsString(*terminalState) : std::string();
        form.neutralNTerminus = form.nTerminus && state == "NH2";
        form.acidCTerminus = state == "COOH" && job.Find("OXT");
    }
    form.fivePrimeEnd = job.Find("O5'") && !job.Find("P");
    job.recipe = FindHydrogenRecipe(type, form);
}

// Bonds of a heavy atom to heavy atoms of other residues, each of which takes the place of
// one of its hydrogens (O3' to the next P, a disulfide SG, a ligand's covalent link). The
// library's amino acids already carry the in-chain N-H, so the peptide bond at N does not count.
std::size_t ExternalBonds(const Atom& atom, bool aminoAcid) {
    std::size_t count = 0;
    for (const Atom* partner : atom.GetBonds()) {
        if (partner->GetParent() == atom.GetParent() || !IsLinkElement(partner->GetAtomicNumber())) continue;
        if (aminoAcid && atom.GetLabel() == "N" && partner->GetLabel() == "C") continue;
        ++count;
    }
    return count;
}

std::size_t BondedHydrogens(const Atom& atom) {
    return std::count_if(atom.GetBonds().begin(), atom.GetBonds().end(),
                         [](const Atom* partner) { return partner->GetAtomicNumber() == 1; });
}

gemmi::Atom ToGemmi(const std::string& name, int atomicNumber, const HostModel::Vec3& position) {
    gemmi::Atom atom;
    atom.name = name;
    atom.element = gemmi::Element(atomicNumber);
    atom.pos = gemmi::Position(position.x, position.y, position.z);
    atom.occ = 1.0f;
    return atom;
}

// The hydrogens a residue lacks, per heavy atom, in the component's atom order.
struct MissingGroup {
    const std::string* parent;
    std::vector<const std::string*> hydrogens;
};

// A one-residue model with its restraint topology, made once per recipe and set of atom names
// and reused for every residue of that shape: only positions change between residues, and
// gemmi's placement reads the topology and positions alone. The topology points into model.
struct PlacementKit {
    gemmi::Residue model;  // the residue's atoms in label order, then "-C", then the hydrogens to place
    gemmi::Topo topo;
    std::size_t hostAtoms = 0;
    bool previousCarbon = false;
    struct Group {
        std::size_t parent;  // index into model.atoms
        std::string parentName;
        gemmi::El parentElement;
        std::vector<std::pair<std::size_t, std::string>> hydrogens;  // index into model.atoms, name
    };
    std::vector<Group> groups;
};

// missing: the first groups of the planner's scratch, which keeps the others for their storage.
std::unique_ptr<PlacementKit> MakeKit(const ResidueJob& job, bool previousCarbon,
                                      const std::vector<MissingGroup>& missing, std::size_t groups) {
    auto kit = std::make_unique<PlacementKit>();
    const gemmi::ChemComp& cc = job.recipe->chemComp;
    gemmi::Residue& model = kit->model;
    model.atoms.reserve(job.atoms.size() + 8);
    for (const auto& [name, atom] : job.atoms) model.atoms.push_back(ToGemmi(*name, atom->GetAtomicNumber(), {}));
    kit->hostAtoms = job.atoms.size();
    kit->previousCarbon = previousCarbon;
    if (previousCarbon) model.atoms.push_back(ToGemmi(PreviousCarbonName(), 6, {}));
    for (std::size_t g = 0; g < groups; ++g)
        for (const std::string* h : missing[g].hydrogens) model.atoms.push_back(ToGemmi(*h, 1, {}));

    gemmi::Topo& topo = kit->topo;
    topo.apply_restraints(cc.rt, model, nullptr);
    for (gemmi::Topo::Bond& bond : topo.bonds) {
        topo.bond_index.emplace(bond.atoms[0], &bond);
        if (bond.atoms[1] != bond.atoms[0]) topo.bond_index.emplace(bond.atoms[1], &bond);
    }
    for (gemmi::Topo::Angle& angle : topo.angles) topo.angle_index.emplace(angle.atoms[1], &angle);

    auto indexOf = [&](const std::string& name) {
        return static_cast<std::size_t>(model.find_atom(name, '*') - model.atoms.data());
    };
    for (std::size_t i = 0; i < groups; ++i) {
        const MissingGroup& group = missing[i];
        PlacementKit::Group g;
        g.parent = indexOf(*group.parent);
        g.parentName = *group.parent;
        g.parentElement = model.atoms[g.parent].element.elem;
        for (const std::string* h : group.hydrogens) g.hydrogens.emplace_back(indexOf(*h), *h);
        kit->groups.push_back(std::move(g));
    }
    return kit;
}

// One planner per thread: its kits, and the scratch of the residue in hand.
class Planner {
public:
    /// Appends the residue's new hydrogens to out.hydrogens and its failures, as residueIndex's.
    void Plan(const ResidueJob& job, std::size_t residueIndex, PlanOutput& out);

private:
    std::unordered_map<std::string, std::unique_ptr<PlacementKit>> kits_;
    std::vector<MissingGroup> missing_;  // the residue's groups first; the rest keep their storage
    std::string key_;
};

void Planner::Plan(const ResidueJob& job, std::size_t residueIndex, PlanOutput& out) {
    if (!job.recipe) return;
    const HydrogenRecipe& recipe = *job.recipe;
    const bool aminoAcid = IsStandardAminoAcidType(job.residue->GetResidueType());

    // Which hydrogens are missing, per heavy atom, in the component's atom order, so that
    // hydrogens follow their heavy atoms' order.
    std::size_t groups = 0;
    for (const auto& heavy : recipe.chemComp.atoms) {
        const auto entry = recipe.hydrogensOf.find(heavy.id);
        if (entry == recipe.hydrogensOf.end()) continue;
        const std::vector<std::string>& hydrogens = entry->second;
        const Atom* parent = job.Find(entry->first);
        if (!parent || parent->GetAtomicNumber() == 1) continue;
        const std::size_t external = std::min(ExternalBonds(*parent, aminoAcid), hydrogens.size());
        const std::size_t wanted = hydrogens.size() - external;
        if (BondedHydrogens(*parent) >= wanted) continue;
        if (groups == missing_.size()) missing_.emplace_back();
        MissingGroup& group = missing_[groups];
        group.parent = &entry->first;
        group.hydrogens.clear();
        for (std::size_t i = 0; i < wanted; ++i)
            if (!job.Find(hydrogens[i])) group.hydrogens.push_back(&hydrogens[i]);
        if (!group.hydrogens.empty()) ++groups;
    }
    if (groups == 0) return;

    // The kit's key: the recipe, the model's atoms (names and elements) and the groups.
    const bool previousCarbon =
        job.previousCarbon && recipe.chemComp.find_atom(PreviousCarbonName()) != recipe.chemComp.atoms.end();
    key_.assign(reinterpret_cast<const char*>(&job.recipe), sizeof(const HydrogenRecipe*));
    for (const auto& [name, atom] : job.atoms) {
        key_ += *name;
        key_ += '\0';
        key_ += static_cast<char>(atom->GetAtomicNumber());
    }
    key_ += previousCarbon ? '\1' : '\2';
    for (std::size_t g = 0; g < groups; ++g) {
        key_ += *missing_[g].parent;
        key_ += '\3';
        for (const std::string* h : missing_[g].hydrogens) {
            key_ += *h;
            key_ += '\0';
        }
    }
    std::unique_ptr<PlacementKit>& slot = kits_[key_];
    if (!slot) slot = MakeKit(job, previousCarbon, missing_, groups);
    PlacementKit& kit = *slot;

    // The state that a model made afresh would have: positions read, hydrogens at the origin.
    std::vector<gemmi::Atom>& atoms = kit.model.atoms;
    for (std::size_t i = 0; i < atoms.size(); ++i) {
        gemmi::Atom& atom = atoms[i];
        HostModel::Vec3 p{};
        if (i < kit.hostAtoms) p = job.atoms[i].second->GetPosition();
        else if (i == kit.hostAtoms && kit.previousCarbon) p = job.previousCarbon->GetPosition();
        atom.pos = gemmi::Position(p.x, p.y, p.z);
        atom.occ = 1.0f;
        atom.calc_flag = gemmi::CalcFlag::NotSet;
    }

    std::string where;
    for (const PlacementKit::Group& group : kit.groups) {
        const gemmi::Atom& parent = atoms[group.parent];
        Atom* hostParent = job.Find(group.parentName);
        std::string failure;
        try {
            gemmi::place_hydrogens(kit.topo, parent);
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
                if (where.empty()) where = Describe(*job.residue);
                out.failed.emplace_back(residueIndex, where + ": " + name + " on " + group.parentName + ": " + reason);
                continue;
            }
            auto hydrogen = std::make_unique<Atom>(name, 1);
            hydrogen->SetPosition({placed.pos.x, placed.pos.y, placed.pos.z});
            hydrogen->ReserveBonds(1);  // its one bond's room made here, on the planner's thread
            out.hydrogens.push_back({std::move(hydrogen), hostParent});
        }
    }
}

}  // namespace

void AddMissingHydrogens(HostModel::Molecule& molecule, HostModel::Atom::HydrogenSet set,
                         HostModel::PreparationReport& report) {
    std::vector<Residue*> residues;
    HostModel::DescendentIterator it(&molecule, Residue::classType);
    while (HostModel::Object* object = it.GetNext()) residues.push_back(static_cast<Residue*>(object));
    const std::optional<HostModel::PropertyNameId> terminalState =
        HostModel::PropertyNames::Find(TerminalStateProperty());

    // Planning reads the tree only, so both halves run at once, each making its hydrogens (their
    // allocation is much of the cost); the tree changes afterwards, in residue order. Each half
    // has its own planner: the kits are its own.
    auto plan = [&](std::size_t begin, std::size_t end, PlanOutput& out, std::exception_ptr& error) {
        try {
            Planner planner;
            ResidueJob job;
            out.ends.reserve(end - begin);
            for (std::size_t i = begin; i < end; ++i) {
                MakeJob(*residues[i], set, terminalState, job);
                if (!job.recipe && !residues[i]->GetResidueType().empty())
                    out.unknownTypes.insert(residues[i]->GetResidueType());
                planner.Plan(job, i, out);
                out.ends.push_back(out.hydrogens.size());
            }
        } catch (...) {
            error = std::current_exception();
        }
    };
    const std::size_t half = residues.size() > 2000 ? residues.size() / 2 : residues.size();
    PlanOutput outputs[2];
    std::exception_ptr failure, secondFailure;
    std::thread second;
    if (half < residues.size())
        second = std::thread(plan, half, residues.size(), std::ref(outputs[1]), std::ref(secondFailure));
    plan(0, half, outputs[0], failure);
    if (second.joinable()) second.join();
    if (failure) std::rethrow_exception(failure);
    if (secondFailure) std::rethrow_exception(secondFailure);

    const std::size_t begins[2] = {0, half};
    for (std::size_t part = 0; part < 2; ++part) {
        PlanOutput& out = outputs[part];
        auto failed = out.failed.begin();
        std::size_t next = 0;
        for (std::size_t k = 0; k < out.ends.size(); ++k) {
            const std::size_t index = begins[part] + k;
            Residue& residue = *residues[index];
            const std::size_t first = next;
            // Room for the residue's new atoms, and for each heavy atom's new bonds, made once
            // each instead of lists doubling as they fill.
            if (out.ends[k] > first) residue.ReserveChildren(residue.GetNumChildren() + (out.ends[k] - first));
            for (; next < out.ends[k]; ++next) {
                NewHydrogen& h = out.hydrogens[next];
                if (next == first || out.hydrogens[next - 1].parent != h.parent) {
                    std::size_t run = 1;
                    while (next + run < out.ends[k] && out.hydrogens[next + run].parent == h.parent) ++run;
                    h.parent->ReserveBonds(h.parent->GetBonds().size() + run);
                }
                Atom& atom = residue.Add(std::move(h.atom));
                Atom::Bond(*h.parent, atom);
            }
            if (next > first) report.hydrogensAdded[residue.GetResidueType()] += next - first;
            for (; failed != out.failed.end() && failed->first == index; ++failed)
                report.hydrogensNotPlaced.push_back(std::move(failed->second));
        }
    }
    std::set<std::string> unknownTypes = std::move(outputs[0].unknownTypes);
    unknownTypes.insert(outputs[1].unknownTypes.begin(), outputs[1].unknownTypes.end());
    for (const std::string& type : unknownTypes)
        report.warnings.push_back("no hydrogens added to " + type + ": not in the monomer library");
}

}  // namespace HostChem
