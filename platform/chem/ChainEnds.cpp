#include "chem/ChainEnds.h"

#include "chem/HydrogenPlacement.h"
#include "chem/ResidueAtoms.h"

#include "HostModel/Molecule.h"
#include "Quorva_ProteinCore/BuilderUtility.h"

#include <set>
#include <string>

namespace HostChem {
namespace {

// The residue types with terminal parameter sets in the shipped charge templates; other amino
// acids (MSE, AR0, ...) keep their internal entries at a chain end.
bool HasTerminalSets(const std::string& type) {
    static const std::set<std::string> kTypes = {"ALA", "ARG", "ASN", "ASP", "CYS", "GLN", "GLU", "GLY", "HIS", "ILE",
                                                 "LEU", "LYS", "MET", "PHE", "PRO", "SER", "THR", "TRP", "TYR", "VAL",
                                                 "ASH", "CYM", "CYX", "GLH", "HID", "HIE", "HIP", "LYN"};
    return kTypes.count(type) != 0;
}

bool LinkedTo(const HostModel::Atom& atom, const char* partnerLabel, const HostModel::Residue& residue) {
    for (const HostModel::Atom* partner : atom.GetBonds()) {
        const HostModel::Object* owner = partner->GetParent();
        if (partner->GetLabel() == partnerLabel && owner != &residue && owner &&
            owner->IsA(HostModel::SubUnit::classType)) {
            return true;
        }
    }
    return false;
}

bool IsChargedNTerminus(const HostModel::Residue& residue, bool proline) {
    if (!HasResidueAtom(residue, "N") || !Quorva_ProteinCore::BuilderUtility::IsNTerminus(&residue)) return false;
    if (residue.GetPropertyAsString(TerminalStateProperty()) == "NH2") return false;
    if (!CarriesHydrogens(residue)) return true;
    // Hydrogens as the input gave them decide: NH3+ (proline NH2+) has one amine hydrogen more
    // than the neutral amine. PDB2PQR's PARSE naming spells them HN1 HN2 HN3.
    int amineHydrogens = 0;
    for (const char* name : {"H1", "H2", "H3", "HN1", "HN2", "HN3"})
        amineHydrogens += HasResidueAtom(residue, name) ? 1 : 0;
    return amineHydrogens >= (proline ? 2 : 3);
}

bool IsChargedCTerminus(const HostModel::Residue& residue) {
    const HostModel::Atom* c = FindResidueAtom(residue, "C");
    if (c == nullptr || LinkedTo(*c, "N", residue)) return false;
    // PDB2PQR's PARSE naming writes the carboxylate oxygens as O1 and O2.
    const bool carboxylate =
        HasResidueAtom(residue, "OXT") || (HasResidueAtom(residue, "O1") && HasResidueAtom(residue, "O2"));
    return carboxylate && !HasResidueAtom(residue, "HXT");
}

}  // namespace

HostModel::Residue::ChainEnd ClassifyChainEnd(const HostModel::Residue& residue) {
    using ChainEnd = HostModel::Residue::ChainEnd;
    if (!residue.IsA(HostModel::AminoAcid::classType) || !HasTerminalSets(residue.GetResidueType())) {
        return ChainEnd::None;
    }
    const bool nTerminal = IsChargedNTerminus(residue, residue.GetResidueType() == "PRO");
    const bool cTerminal = IsChargedCTerminus(residue);
    // A lone amino acid is both; no force field we follow has a set for the zwitterion, and
    // either set alone would leave its net charge wrong, so it keeps the internal entries
    // with their terminal-only atoms.
    if (nTerminal == cTerminal) return ChainEnd::None;
    return nTerminal ? ChainEnd::NTerminal : ChainEnd::CTerminal;
}

void MarkChainEnds(HostModel::Molecule& molecule) {
    for (HostModel::Residue* residue : ResiduesBelow(molecule)) residue->SetChainEnd(ClassifyChainEnd(*residue));
}

}  // namespace HostChem
