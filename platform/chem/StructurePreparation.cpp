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

#include <algorithm>
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

// The children of the molecule's chains numbered through in tree order, so that each thread finds
// its residues without a walk to list them first: at a million atoms, that walk alone costs a
// sixth of the look.
class ChainChildren {
public:
    /// False when the molecule holds a residue outside any chain, which this numbering skips.
    bool Number(const HostModel::Molecule& molecule) {
        starts_.push_back(0);
        for (std::size_t i = 0; i < molecule.GetNumChildren(); ++i) {
            const HostModel::Object* chain = molecule.GetChild(i);
            if (chain->IsA(HostModel::Residue::classType)) return false;
            chains_.push_back(chain);
            starts_.push_back(starts_.back() + chain->GetNumChildren());
        }
        return true;
    }

    std::size_t Size() const { return starts_.back(); }

    /// Calls f(index, child) for the children numbered begin to end, in order.
    template <class F>
    void ForEach(std::size_t begin, std::size_t end, F&& f) const {
        std::size_t chain = static_cast<std::size_t>(std::upper_bound(starts_.begin(), starts_.end(), begin) -
                                                     starts_.begin()) - 1;
        for (std::size_t index = begin; index < end; ++index) {
            while (index >= starts_[chain + 1]) ++chain;
            f(index, chains_[chain]->GetChild(index - starts_[chain]));
        }
    }

private:
    std::vector<const HostModel::Object*> chains_;
    std::vector<std::size_t> starts_;  // a chain's first number; the last: how many in all
};

class TwoThreadNaming {
public:
    TwoThreadNaming(const ChainChildren& children, bool census)
        : children_(children), takeCensus_(census), findings_(children.Size(), 0) {}

    void Run(HostModel::PreparationReport& report, std::size_t worthASecondThread) {
        HeavyAtomCensus parts[2];
        Common::RunInTwoHalves(children_.Size(), worthASecondThread,
                               [&](std::size_t begin, std::size_t end, int part) { Look(begin, end, parts[part]); });
        census_ = std::move(parts[0]);
        census_.Append(parts[1]);
        children_.ForEach(0, children_.Size(), [&](std::size_t index, HostModel::Object* child) {
            const std::uint8_t found = findings_[index];
            if (found & kResidue) Walk(static_cast<HostModel::Residue&>(*child), found, report);
            else if (found & kHolder) WalkBelow(*child, report);
        });
    }

    const HeavyAtomCensus& Census() const { return census_; }
    const std::vector<HostModel::Residue*>& Cysteines() const { return cysteines_; }
    const std::vector<HostModel::Residue*>& Decidable() const { return decidable_; }

private:
    // What the look found of a chain's child, a bit each; 0 for an atom.
    enum Finding : std::uint8_t {
        kResidue = 1,
        kHolder = 2,          // neither residue nor atom: its residues are all left to the walk
        kRenamed = 4,         // the mapper renames the residue or an atom: all of it is left to the walk
        kHydrogensNamed = 8,  // the namer renames or reports a hydrogen, or fails
        kHasHydrogen = 16,
        kAminoAcid = 32,
        kCysteine = 64,  // under a cysteine's name as read
    };

    void Look(std::size_t begin, std::size_t end, HeavyAtomCensus& census) {
        ResidueNameMapper mapper;
        HydrogenNamer namer;
        if (takeCensus_) census.Reserve(end - begin);
        children_.ForEach(begin, end, [&](std::size_t index, HostModel::Object* child) {
            if (!child->IsA(HostModel::Residue::classType)) {
                findings_[index] = child->IsA(HostModel::Atom::classType) ? 0 : kHolder;
                return;
            }
            auto& residue = static_cast<HostModel::Residue&>(*child);
            std::uint8_t found = kResidue | (residue.IsA(HostModel::AminoAcid::classType) ? kAminoAcid : 0);
            if (mapper.Changes(residue)) {
                census.LeaveToCompletion(residue, takeCensus_);
                found |= kRenamed;
                if (CarriesHydrogens(residue)) found |= kHasHydrogen;
            } else {
                if (census.Take(residue, takeCensus_).hasHydrogen) found |= kHasHydrogen;
                if ((found & kAminoAcid) && IsCysteineStateName(residue.GetResidueType())) found |= kCysteine;
            }
            if ((found & (kHasHydrogen | kRenamed)) == kHasHydrogen) {
                // A failure is the walk's to meet again, in tree order, as the one walk meets it.
                try {
                    if (namer.FindMisnamed(residue)) found |= kHydrogensNamed;
                } catch (const std::exception&) {
                    found |= kHydrogensNamed;
                }
            }
            findings_[index] = found;
        });
    }

    void Walk(HostModel::Residue& residue, std::uint8_t found, HostModel::PreparationReport& report) {
        bool cysteine = (found & kCysteine) != 0;
        if (againFromHere_ || (found & (kRenamed | kHydrogensNamed))) {
            const bool linkedC = HydrogenCalledCBondedOut(residue);
            mapper_.Map(residue, report);
            if (found & kHasHydrogen) namer_.NameResidue(residue, report);
            againFromHere_ = againFromHere_ || linkedC || HydrogenCalledCBondedOut(residue);
            cysteine = (found & kAminoAcid) && IsCysteineStateName(residue.GetResidueType());
        }
        if (!(found & kAminoAcid)) return;
        if (cysteine) cysteines_.push_back(&residue);
        if (found & kHasHydrogen) decidable_.push_back(&residue);
    }

    // The residues below a holder, which the completion does not count: named here, in order.
    void WalkBelow(const HostModel::Object& holder, HostModel::PreparationReport& report) {
        for (std::size_t i = 0; i < holder.GetNumChildren(); ++i) {
            HostModel::Object* child = holder.GetChild(i);
            if (child->IsA(HostModel::Residue::classType)) {
                auto& residue = static_cast<HostModel::Residue&>(*child);
                std::uint8_t found = kResidue | kRenamed;
                if (residue.IsA(HostModel::AminoAcid::classType)) found |= kAminoAcid;
                if (CarriesHydrogens(residue)) found |= kHasHydrogen;
                Walk(residue, found, report);
            } else if (!child->IsA(HostModel::Atom::classType)) {
                WalkBelow(*child, report);
            }
        }
    }

    const ChainChildren& children_;
    const bool takeCensus_;
    std::vector<std::uint8_t> findings_;
    ResidueNameMapper mapper_;
    HydrogenNamer namer_;
    bool againFromHere_ = false;  // a label another residue's naming reads has changed
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
    ChainChildren children;
    if (children.Number(molecule) && children.Size() >= residuesWorthASecondThread) {
        TwoThreadNaming halves(children, options.completeMissingAtoms);
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
