// The four steps in two walks. The first does, residue by residue, what needs only the residue
// itself: the name mapped, the atoms looked at once (hydrogens; heavy atoms for the completion),
// the hydrogens named. Between the walks, the states: a cysteine's needs every cysteine's
// sulfur, named but not yet completed. The second walk completes, from the census of the first,
// once every atom it may report a contact with bears its final name.
//
// Every step still meets the residues in tree order, so the report's lists come out in the order
// the steps one after another would give them; its counts are maps, which order themselves.
#include "chem/StructurePreparation.h"

#include "chem/HeavyAtomCensus.h"
#include "chem/HydrogenNaming.h"
#include "chem/ResidueCompletion.h"
#include "chem/ResidueConventions.h"

#include "HostModel/Atom.h"
#include "HostModel/Molecule.h"
#include "HostModel/Residue.h"

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

}  // namespace

void PrepareReadMolecule(HostModel::Molecule& molecule, HostModel::PreparationReport& report,
                         const PreparationOptions& options) {
    NamingWalk naming(molecule, report, options.completeMissingAtoms);
    naming.Visit(molecule, 0);
    ReadStatesFromHydrogens(naming.Decidable(), naming.Cysteines(), report);
    if (options.completeMissingAtoms) CompleteMissingHeavyAtoms(molecule, report, naming.Census());
}

}  // namespace HostChem
