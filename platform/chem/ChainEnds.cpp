#include "chem/ChainEnds.h"

#include "chem/HydrogenPlacement.h"
#include "chem/ResidueAtoms.h"
#include "Common/TwoHalves.h"

#include "HostModel/Molecule.h"

#include <bitset>
#include <string>
#include <vector>

namespace HostChem {
namespace {

// The residue types with terminal parameter sets in the shipped charge templates; other amino
// acids (MSE, AR0, ...) keep their internal entries at a chain end.
bool HasTerminalSets(const std::string& type) {
    switch (PackName(type)) {
        case PackName("ALA"):
        case PackName("ARG"):
        case PackName("ASN"):
        case PackName("ASP"):
        case PackName("CYS"):
        case PackName("GLN"):
        case PackName("GLU"):
        case PackName("GLY"):
        case PackName("HIS"):
        case PackName("ILE"):
        case PackName("LEU"):
        case PackName("LYS"):
        case PackName("MET"):
        case PackName("PHE"):
        case PackName("PRO"):
        case PackName("SER"):
        case PackName("THR"):
        case PackName("TRP"):
        case PackName("TYR"):
        case PackName("VAL"):
        case PackName("ASH"):
        case PackName("CYM"):
        case PackName("CYX"):
        case PackName("GLH"):
        case PackName("HID"):
        case PackName("HIE"):
        case PackName("HIP"):
        case PackName("LYN"): return true;
        default: return false;
    }
}

bool IsChargedNTerminus(const HostModel::Residue& residue, const ResidueLandmarks& marks, bool proline) {
    // The caller has found no other residue's C on the N: a peptide bond or an acyl cap leaves
    // no free amine.
    if (residue.GetPropertyAsString(TerminalStateProperty()) == "NH2") return false;
    if (!marks.hasHydrogen) return true;
    // Hydrogens as the input gave them decide: NH3+ (proline NH2+) has one amine hydrogen more
    // than the neutral amine. PDB2PQR's PARSE naming spells them HN1 HN2 HN3.
    const std::uint32_t amine =
        marks.present & (kLandmarkH1 | kLandmarkH2 | kLandmarkH3 | kLandmarkHN1 | kLandmarkHN2 | kLandmarkHN3);
    return std::bitset<32>(amine).count() >= (proline ? 2u : 3u);
}

bool IsChargedCTerminus(const ResidueLandmarks& marks) {
    // PDB2PQR's PARSE naming writes the carboxylate oxygens as O1 and O2.
    const bool carboxylate = marks.Has(kLandmarkOXT) || marks.Has(kLandmarkO1 | kLandmarkO2);
    return carboxylate && !marks.Has(kLandmarkHXT);
}

}  // namespace

HostModel::Residue::ChainEnd ClassifyChainEnd(const HostModel::Residue& residue) {
    using ChainEnd = HostModel::Residue::ChainEnd;
    if (!residue.IsA(HostModel::AminoAcid::classType) || !HasTerminalSets(residue.GetResidueType())) {
        return ChainEnd::None;
    }
    // Inside a chain both ends are bonded on, which the first three atoms of most residues show;
    // only an end needs the look at every atom.
    const ResidueLandmarks ends = FindBackboneEnds(residue, false);
    const bool freeN = ends.n && !LinkedToOtherSubUnit(*ends.n, PackName("C"), residue);
    const bool freeC = ends.c && !LinkedToOtherSubUnit(*ends.c, PackName("N"), residue);
    if (!freeN && !freeC) return ChainEnd::None;
    const ResidueLandmarks marks = FindLandmarks(residue);
    const bool nTerminal = freeN && IsChargedNTerminus(residue, marks, residue.GetResidueType() == "PRO");
    const bool cTerminal = freeC && IsChargedCTerminus(marks);
    // A lone amino acid is both; no force field we follow has a set for the zwitterion, and
    // either set alone would leave its net charge wrong, so it keeps the internal entries
    // with their terminal-only atoms.
    if (nTerminal == cTerminal) return ChainEnd::None;
    return nTerminal ? ChainEnd::NTerminal : ChainEnd::CTerminal;
}

void MarkChainEnds(HostModel::Molecule& molecule) {
    // Each residue's end depends on its own atoms and its neighbours' bonds and labels, never on
    // another's end: the halves run at once.
    const std::vector<HostModel::Residue*> residues = ResiduesBelow(molecule);
    Common::RunInTwoHalves(residues.size(), kResiduesWorthASecondThread, [&](std::size_t begin, std::size_t end, int) {
        for (std::size_t i = begin; i < end; ++i) residues[i]->SetChainEnd(ClassifyChainEnd(*residues[i]));
    });
}

}  // namespace HostChem
