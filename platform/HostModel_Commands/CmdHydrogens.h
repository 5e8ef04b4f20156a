// Adds or removes the hydrogens of the document's visible molecules.
//
// Adding first lets the protonation step choose the states of titratable residues (their type
// names become HID, HIE, HIP, CYX, CYM, ASH, GLH, LYN), then adds every missing hydrogen of the
// chosen set, placed from the CCP4 monomer library's geometry with nuclear X-H distances
// (C 1.09, N 1.01, O 0.96, S 1.34 Å). Hydrogens already present are kept. Termini: N-terminal
// amino acids get H1 H2 H3 (proline H2 H3; "Terminal State" NH2: H1 H2), "Terminal State"
// COOH puts HXT on OXT; a nucleotide without 5' phosphate gets HO5', one whose O3' links no
// further residue keeps HO3'. Any heavy atom bonded to a heavy atom of another residue (a
// disulfide, a covalent ligand) loses one hydrogen per such bond.
//
// The hydrogen sets are those the template files need:
//   AllHydrogens (0), for Amber charges (prot_amb.crg, nuca_amb.crg): every hydrogen of every
//     residue, as the Amber force field is all-atom.
//   PolarHydrogens (1): hydrogens on N, O and S only.
//   ElectrostaticHydrogens (2), for PARSE (parseres.crg, parseres.siz): exactly the hydrogens
//     to which PARSE gives a non-zero charge or radius. On amino acids these are the polar
//     hydrogens (on N, O, S) and the aromatic ring C-H (HIS, PHE, TYR, TRP); PARSE folds the
//     aliphatic C-H into their carbons (charge 0, radius 0), so leaving them out changes no
//     charge. On nucleotides, waters, caps and ligands the set holds every hydrogen.
#pragma once

#include "HostApi.h"
#include "HostModel/Atom.h"
#include "HostModel/Command.h"

namespace HostModel_Commands {

class HOST_API CmdHydrogens : public HostModel::Command {
public:
    enum hOperation { RemoveHydrogens = 0, AddHydrogens = 1 };

    CmdHydrogens(hOperation operation, HostModel::Atom::HydrogenSet hydrogenSet);

    hOperation GetOperation() const { return operation_; }
    HostModel::Atom::HydrogenSet GetHydrogenSet() const { return hydrogenSet_; }

    HostModel::Command* Copy() const override;
    const char* GetName() const override;

protected:
    /// Adding records hydrogens added and not placed in the document's PreparationReport.
    /// Removing takes away every hydrogen of the visible molecules (the set is not looked at).
    /// Throws std::runtime_error when the protonation step or a monomer library file fails.
    bool Do(HostModel::ChemDoc* doc) override;

private:
    hOperation operation_;
    HostModel::Atom::HydrogenSet hydrogenSet_;
};

}  // namespace HostModel_Commands
