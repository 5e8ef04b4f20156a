// The four steps in two walks. The first does, residue by residue, what needs only the residue
// itself: the name mapped, the atoms looked at once (hydrogens; heavy atoms for the completion),
// the hydrogens named. Between the walks, the states: a cysteine's needs every cysteine's
// sulfur, named but not yet completed. The second walk completes, from the census of the first,
// once every atom it may report a contact with bears its final name.
//
// Every step still meets the residues in tree order, so the report's lists come out in the order
// the steps one after another would give them; its counts are maps, which order themselves.
//
// A large molecule's first walk is a look on two threads, then a walk on this one over what the
// look left: the look changes nothing and reports nothing, it finds the few residues whose names
// change (mapped, hydrogens renamed) and takes the census of the others, whose atoms no step
// renames. The walk then does for those few, in tree order, what the one walk would do.
#include "chem/StructurePreparation.h"

#include "chem/HeavyAtomCensus.h"
#include "chem/HydrogenNaming.h"
#include "chem/ResidueCompletion.h"
#include "chem/ResidueAtoms.h"
#include "chem/ResidueConventions.h"

#include "Common/TwoHalves.h"

#include "HostModel/Atom.h"
#include "HostModel/Molecule.h"
#include "HostModel/Residue.h"

#include <cstdint>
#include <exception>
#include <vector>

namespace HostChem {
namespace {

class NamingWalk {
public:
    NamingWalk(const HostModel::Molecule& molecule, HostModel::PreparationReport& report, bool census)
        : report_(report), takeCensus_(census) {
        // At most every child of the molecule's chains is counted.
        std::size_t residues = 0;
        for (std::size_t i = 0; i < molecule.GetNumChildren(); ++i) residues += molecule.GetChild(i)->GetNumChildren();
        if (takeCensus_) census_.Reserve(residues);
    }

    // The residues below object as ResiduesBelow finds them; those directly below the
    // molecule's children are the ones the completion visits, and so the ones counted.
    void Visit(const HostModel::Object& object, int depth) {
        for (std::size_t i = 0; i < object.GetNumChildren(); ++i) {
            HostModel::Object* child = object.GetChild(i);
            if (child->IsA(HostModel::Residue::classType))
                VisitResidue(static_cast<HostModel::Residue&>(*child), depth == 1);
            else if (!child->IsA(HostModel::Atom::classType))
                Visit(*child, depth + 1);
        }
    }

    const HeavyAtomCensus& Census() const { return census_; }
    const std::vector<HostModel::Residue*>& Cysteines() const { return cysteines_; }
    const std::vector<HostModel::Residue*>& Decidable() const { return decidable_; }

private:
    void VisitResidue(HostModel::Residue& residue, bool counted) {
        // Names first: the completion counts atoms, and the states look hydrogens up, under them.
        mapper_.Map(residue, report_);
        const ResidueAtomScan scan = census_.Take(residue, counted && takeCensus_);
        if (scan.hasHydrogen) namer_.NameResidue(residue, report_);
        if (!residue.IsA(HostModel::AminoAcid::classType)) return;
        if (IsCysteineStateName(residue.GetResidueType())) cysteines_.push_back(&residue);
        // Hydrogens anywhere on the residue show that the file states its hydrogens; a
        // residue without any is the protonation step's to decide.
        if (scan.hasHydrogen) decidable_.push_back(&residue);
    }

    HostModel::PreparationReport& report_;
    const bool takeCensus_;
    ResidueNameMapper mapper_;
    HydrogenNamer namer_;
    HeavyAtomCensus census_;
    std::vector<HostModel::Residue*> cysteines_;
    std::vector<HostModel::Residue*> decidable_;
};

// The residues the naming walk visits, in its order, and whether the completion visits them.
struct WalkedResidue {
    HostModel::Residue* residue;
    bool counted;
};

void CollectWalked(const HostModel::Object& object, int depth, std::vector<WalkedResidue>& residues) {
    for (std::size_t i = 0; i < object.GetNumChildren(); ++i) {
        HostModel::Object* child = object.GetChild(i);
        if (child->IsA(HostModel::Residue::classType))
            residues.push_back({static_cast<HostModel::Residue*>(child), depth == 1});
        else if (!child->IsA(HostModel::Atom::classType))
            CollectWalked(*child, depth + 1, residues);
    }
}

// A hydrogen labelled C bonded to another residue: the one label of another residue that the
// naming of a residue reads (whether its N is peptide-bonded). Should such a label change, the
// residues after it are named again in the walk, as the one walk would have met them.
bool HydrogenCalledCBondedOut(const HostModel::Residue& residue) {
    for (std::size_t i = 0; i < residue.GetNumChildren(); ++i) {
        const HostModel::Object* child = residue.GetChild(i);
        if (!child->IsA(HostModel::Atom::classType) || child->GetLabel() != "C") continue;
        const auto& atom = static_cast<const HostModel::Atom&>(*child);
        if (atom.GetAtomicNumber() != 1) continue;
        for (const HostModel::Atom* partner : atom.GetBonds())
            if (partner->GetParent() != &residue) return true;
    }
    return false;
}

class TwoThreadNaming {
public:
    TwoThreadNaming(const HostModel::Molecule& molecule, bool census) : takeCensus_(census) {
        CollectWalked(molecule, 0, residues_);
        findings_.assign(residues_.size(), 0);
    }

    void Run(HostModel::PreparationReport& report, std::size_t worthASecondThread) {
        HeavyAtomCensus parts[2];
        Common::RunInTwoHalves(residues_.size(), worthASecondThread,
                               [&](std::size_t begin, std::size_t end, int part) { Look(begin, end, parts[part]); });
        census_ = std::move(parts[0]);
        census_.Append(parts[1]);
        Walk(report);
    }

    const HeavyAtomCensus& Census() const { return census_; }
    const std::vector<HostModel::Residue*>& Cysteines() const { return cysteines_; }
    const std::vector<HostModel::Residue*>& Decidable() const { return decidable_; }

private:
    // What the look found of a residue, a bit each.
    enum Finding : std::uint8_t {
        kRenamed = 1,         // the mapper renames it or an atom: all of it is left to the walk
        kHydrogensNamed = 2,  // the namer renames or reports a hydrogen, or fails
        kHasHydrogen = 4,
        kAminoAcid = 8,
        kCysteine = 16,  // under a cysteine's name as read
    };

    void Look(std::size_t begin, std::size_t end, HeavyAtomCensus& census) {
        ResidueNameMapper mapper;
        HydrogenNamer namer;
        if (takeCensus_) census.Reserve(end - begin);
        for (std::size_t i = begin; i < end; ++i) {
            const HostModel::Residue& residue = *residues_[i].residue;
            const bool counted = takeCensus_ && residues_[i].counted;
            std::uint8_t found = residue.IsA(HostModel::AminoAcid::classType) ? kAminoAcid : 0;
            if (mapper.Changes(residue)) {
                census.LeaveToCompletion(residue, counted);
                found |= kRenamed;
                if (CarriesHydrogens(residue)) found |= kHasHydrogen;
            } else {
                if (census.Take(residue, counted).hasHydrogen) found |= kHasHydrogen;
                if ((found & kAminoAcid) && IsCysteineStateName(residue.GetResidueType())) found |= kCysteine;
            }
            if ((found & (kHasHydrogen | kRenamed)) == kHasHydrogen) {
                // A failure is the walk's to meet again, in tree order, as the one walk meets it.
                try {
                    if (namer.FindMisnamed(const_cast<HostModel::Residue&>(residue))) found |= kHydrogensNamed;
                } catch (const std::exception&) {
                    found |= kHydrogensNamed;
                }
            }
            findings_[i] = found;
        }
    }

    void Walk(HostModel::PreparationReport& report) {
        bool againFromHere = false;
        for (std::size_t i = 0; i < residues_.size(); ++i) {
            HostModel::Residue& residue = *residues_[i].residue;
            const std::uint8_t found = findings_[i];
            const bool hasHydrogen = (found & kHasHydrogen) != 0;
            bool cysteine = (found & kCysteine) != 0;
            if (againFromHere || (found & (kRenamed | kHydrogensNamed))) {
                const bool linkedC = HydrogenCalledCBondedOut(residue);
                mapper_.Map(residue, report);
                if (hasHydrogen) namer_.NameResidue(residue, report);
                againFromHere = againFromHere || linkedC || HydrogenCalledCBondedOut(residue);
                cysteine = (found & kAminoAcid) && IsCysteineStateName(residue.GetResidueType());
            }
            if (!(found & kAminoAcid)) continue;
            if (cysteine) cysteines_.push_back(&residue);
            if (hasHydrogen) decidable_.push_back(&residue);
        }
    }

    const bool takeCensus_;
    std::vector<WalkedResidue> residues_;
    std::vector<std::uint8_t> findings_;
    ResidueNameMapper mapper_;
    HydrogenNamer namer_;
    HeavyAtomCensus census_;
    std::vector<HostModel::Residue*> cysteines_;
    std::vector<HostModel::Residue*> decidable_;
};

}  // namespace

void PrepareReadMolecule(HostModel::Molecule& molecule, HostModel::PreparationReport& report,
                         const PreparationOptions& options) {
    PrepareReadMolecule(molecule, report, options, kResiduesWorthASecondThread);
}

void PrepareReadMolecule(HostModel::Molecule& molecule, HostModel::PreparationReport& report,
                         const PreparationOptions& options, std::size_t residuesWorthASecondThread) {
    // The residues directly below the chains, which are nearly all of them, decide.
    std::size_t residues = 0;
    for (std::size_t i = 0; i < molecule.GetNumChildren(); ++i) residues += molecule.GetChild(i)->GetNumChildren();
    if (residues >= residuesWorthASecondThread) {
        TwoThreadNaming halves(molecule, options.completeMissingAtoms);
        halves.Run(report, residuesWorthASecondThread);
        ReadStatesFromHydrogens(halves.Decidable(), halves.Cysteines(), report);
        if (options.completeMissingAtoms) CompleteMissingHeavyAtoms(molecule, report, halves.Census());
        return;
    }
    NamingWalk naming(molecule, report, options.completeMissingAtoms);
    naming.Visit(molecule, 0);
    ReadStatesFromHydrogens(naming.Decidable(), naming.Cysteines(), report);
    if (options.completeMissingAtoms) CompleteMissingHeavyAtoms(molecule, report, naming.Census());
}

}  // namespace HostChem
