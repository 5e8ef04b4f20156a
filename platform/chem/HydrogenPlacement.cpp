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
#include <map>
#include <set>
#include <thread>

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
    std::map<std::string, Atom*> atoms;  // the residue's atoms by label
    const Atom* previousCarbon = nullptr;
};

struct PlacedHydrogen {
    std::string name;
    Atom* parent = nullptr;
    HostModel::Vec3 position;
};

struct ResidueResult {
    std::vector<PlacedHydrogen> placed;
    std::vector<std::string> failed;
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

ResidueJob MakeJob(Residue& residue, HostModel::Atom::HydrogenSet set) {
    ResidueJob job;
    job.residue = &residue;
    const std::string type = residue.GetResidueType();
    if (type.empty()) return job;
    for (std::size_t i = 0; i < residue.GetNumChildren(); ++i) {
        HostModel::Object* child = residue.GetChild(i);
        if (child->IsA(Atom::classType)) job.atoms.emplace(child->GetLabel(), static_cast<Atom*>(child));
    }
    ResidueForm form;
    form.electrostaticSet = set == Atom::ElectrostaticHydrogens;
    form.polarSet = set == Atom::PolarHydrogens;
    if (IsStandardAminoAcidType(type)) {
        const auto n = job.atoms.find("N");
        form.nTerminus = residue.IsA(HostModel::AminoAcid::classType) && Quorva_ProteinCore::BuilderUtility::IsNTerminus(&residue);
        if (n != job.atoms.end() && !form.nTerminus) job.previousCarbon = PreviousCarbon(*n->second);
        form.peptideContext = job.previousCarbon != nullptr;
        const std::string state = residue.GetPropertyAsString(TerminalStateProperty());
        form.neutralNTerminus = form.nTerminus && state == "NH2";
        form.acidCTerminus = state == "COOH" && job.atoms.count("OXT");
    }
    form.fivePrimeEnd = job.atoms.count("O5'") && !job.atoms.count("P");
    job.recipe = FindHydrogenRecipe(type, form);
    return job;
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

ResidueResult PlanResidue(const ResidueJob& job) {
    ResidueResult result;
    if (!job.recipe) return result;
    const HydrogenRecipe& recipe = *job.recipe;
    const bool aminoAcid = IsStandardAminoAcidType(job.residue->GetResidueType());

    // Which hydrogens are missing, per heavy atom.
    std::vector<std::pair<std::string, std::vector<std::string>>> missing;
    // In the component's atom order, so that hydrogens follow their heavy atoms' order.
    for (const auto& heavy : recipe.chemComp.atoms) {
        const auto entry = recipe.hydrogensOf.find(heavy.id);
        if (entry == recipe.hydrogensOf.end()) continue;
        const std::string& parentName = entry->first;
        const std::vector<std::string>& hydrogens = entry->second;
        const auto parent = job.atoms.find(parentName);
        if (parent == job.atoms.end() || parent->second->GetAtomicNumber() == 1) continue;
        std::vector<std::string> wanted = hydrogens;
        const std::size_t external = std::min(ExternalBonds(*parent->second, aminoAcid), wanted.size());
        wanted.resize(wanted.size() - external);
        if (BondedHydrogens(*parent->second) >= wanted.size()) continue;
        std::vector<std::string> absent;
        for (const std::string& h : wanted)
            if (!job.atoms.count(h)) absent.push_back(h);
        if (!absent.empty()) missing.emplace_back(parentName, std::move(absent));
    }
    if (missing.empty()) return result;

    // A one-residue model: the atoms present, the previous C, the hydrogens to place.
    gemmi::Residue model;
    model.atoms.reserve(job.atoms.size() + 8);
    for (const auto& [name, atom] : job.atoms) model.atoms.push_back(ToGemmi(name, atom->GetAtomicNumber(), atom->GetPosition()));
    if (job.previousCarbon && recipe.chemComp.find_atom(PreviousCarbonName()) != recipe.chemComp.atoms.end())
        model.atoms.push_back(ToGemmi(PreviousCarbonName(), 6, job.previousCarbon->GetPosition()));
    for (const auto& entry : missing)
        for (const std::string& h : entry.second) model.atoms.push_back(ToGemmi(h, 1, {}));

    gemmi::Topo topo;
    topo.apply_restraints(recipe.chemComp.rt, model, nullptr);
    for (gemmi::Topo::Bond& bond : topo.bonds) {
        topo.bond_index.emplace(bond.atoms[0], &bond);
        if (bond.atoms[1] != bond.atoms[0]) topo.bond_index.emplace(bond.atoms[1], &bond);
    }
    for (gemmi::Topo::Angle& angle : topo.angles) topo.angle_index.emplace(angle.atoms[1], &angle);

    const std::string where = Describe(*job.residue);
    for (const auto& [parentName, hydrogens] : missing) {
        const gemmi::Atom* parent = model.find_atom(parentName, '*');
        Atom* hostParent = job.atoms.at(parentName);
        std::string failure;
        try {
            gemmi::place_hydrogens(topo, *parent);
        } catch (const std::exception& e) {
            failure = e.what();
            while (!failure.empty() && (failure.back() == '\n' || failure.back() == '.')) failure.pop_back();
        }
        for (const std::string& h : hydrogens) {
            const gemmi::Atom* placed = model.find_atom(h, '*');
            const double target = NuclearHydrogenDistance(parent->element.elem, -1.0);
            const double distance = placed->pos.dist(parent->pos);
            std::string reason = failure;
            if (reason.empty() && !(std::isfinite(distance) && (target < 0 || std::abs(distance - target) <= kDistanceTolerance)))
                reason = "no consistent geometry";
            if (!reason.empty()) {
                result.failed.push_back(where + ": " + h + " on " + parentName + ": " + reason);
                continue;
            }
            result.placed.push_back({h, hostParent, {placed->pos.x, placed->pos.y, placed->pos.z}});
        }
    }
    return result;
}

}  // namespace

void AddMissingHydrogens(HostModel::Molecule& molecule, HostModel::Atom::HydrogenSet set,
                         HostModel::PreparationReport& report) {
    std::vector<Residue*> residues;
    HostModel::DescendentIterator it(&molecule, Residue::classType);
    while (HostModel::Object* object = it.GetNext()) residues.push_back(static_cast<Residue*>(object));

    std::vector<ResidueJob> jobs;
    jobs.reserve(residues.size());
    std::set<std::string> unknownTypes;
    for (Residue* residue : residues) {
        jobs.push_back(MakeJob(*residue, set));
        if (!jobs.back().recipe && !residue->GetResidueType().empty()) unknownTypes.insert(residue->GetResidueType());
    }

    // Planning reads the tree only, so both halves run at once; the tree changes afterwards.
    std::vector<ResidueResult> results(jobs.size());
    std::exception_ptr failure;
    auto plan = [&](std::size_t begin, std::size_t end, std::exception_ptr& error) {
        try {
            for (std::size_t i = begin; i < end; ++i) results[i] = PlanResidue(jobs[i]);
        } catch (...) {
            error = std::current_exception();
        }
    };
    const std::size_t half = jobs.size() > 2000 ? jobs.size() / 2 : jobs.size();
    std::exception_ptr secondFailure;
    std::thread second;
    if (half < jobs.size()) second = std::thread(plan, half, jobs.size(), std::ref(secondFailure));
    plan(0, half, failure);
    if (second.joinable()) second.join();
    if (failure) std::rethrow_exception(failure);
    if (secondFailure) std::rethrow_exception(secondFailure);

    for (std::size_t i = 0; i < jobs.size(); ++i) {
        Residue& residue = *jobs[i].residue;
        for (const PlacedHydrogen& h : results[i].placed) {
            Atom& atom = residue.Add(std::make_unique<Atom>(h.name, 1));
            atom.SetPosition(h.position);
            Atom::Bond(*h.parent, atom);
        }
        if (!results[i].placed.empty()) report.hydrogensAdded[residue.GetResidueType()] += results[i].placed.size();
        for (std::string& line : results[i].failed) report.hydrogensNotPlaced.push_back(std::move(line));
    }
    for (const std::string& type : unknownTypes)
        report.warnings.push_back("no hydrogens added to " + type + ": not in the monomer library");
}

}  // namespace HostChem
