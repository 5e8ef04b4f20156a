// pKa values from PROPKA 3, run as a separate program on the amino acids of a structure.
#pragma once

#include "HostApi.h"

#include "chem/PkaValues.h"

#include <string>
#include <vector>

namespace HostModel {
class Residue;
}

namespace HostChem {

/// Writes the heavy atoms of the residues to a PDB file in a scratch folder, runs program
/// (e.g. "propka3", found on PATH) on it and reads the summary of its .pka file. Amino acids are
/// written under their parent names (HID as HIS, CYX as CYS) with numbers of our own, so that
/// insertion codes and long chain names cannot confuse the program; ions and ligands go with
/// them as HETATM (a bound calcium shifts its aspartates by a unit), waters and nucleotides do
/// not. Values come back for the amino acids. Throws std::runtime_error when the program is not
/// installed, fails, or writes no summary.
HOST_API PkaTable RunPropka(const std::vector<HostModel::Residue*>& residues, const std::string& program);

/// The SUMMARY OF THIS PREDICTION section of a .pka file: group ("ASP", "N+", "C-"), residue
/// number, chain and pKa per line. Throws std::runtime_error naming path and line when the
/// section is missing or a line does not parse.
struct PropkaValue {
    std::string group;
    int residueNumber = 0;
    char chain = ' ';
    double pka = 0;
};
HOST_API std::vector<PropkaValue> ParsePropkaSummary(const std::string& text, const std::string& path);

/// The program's full path when it can be run (a path, or a name found on PATH); empty if not.
HOST_API std::string FindProgram(const std::string& program);

}  // namespace HostChem
