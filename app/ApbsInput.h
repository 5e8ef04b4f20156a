// An APBS input that computes the solvation energy of the PQR file the program writes.
//
// The grid follows the sizing rules of pdb2pqr's psize, so that the input matches what users of
// pdb2pqr --apbs-input know: the molecule's extent (atom centres plus radii), a coarse grid of
// 1.7 times it, a fine grid 20 Å larger than it (at most the coarse one), 0.5 Å spacing rounded
// to 32n+1 points a side (at least 33), and points taken off the largest side while the grid
// would need more than 400 MB at 200 bytes a point.
#pragma once

#include <array>
#include <string>

namespace HostModel {
class ChemDoc;
}

namespace VoltraApp {

struct ApbsGrid {
    std::array<double, 3> extent{};  // Å, of the atoms with their radii
    std::array<double, 3> coarse{};  // cglen, Å
    std::array<double, 3> fine{};    // fglen, Å
    std::array<int, 3> points{};     // dime
};

/// The grid for atoms spanning low..high (Å, radii included).
ApbsGrid SizeApbsGrid(const std::array<double, 3>& low, const std::array<double, 3>& high);

/// The grid for every atom of the document, with its Voltra radius; throws std::invalid_argument
/// when the document has no atoms.
ApbsGrid SizeApbsGrid(const HostModel::ChemDoc& doc);

/// The input text: reads pqrName, solves the linearised Poisson-Boltzmann equation in water with
/// 0.15 M of monovalent ions ("solvated") and in a medium of the solute's dielectric without ions
/// ("reference") on the same grid, and prints the difference of their energies (kJ/mol).
std::string ApbsInputText(const std::string& pqrName, const ApbsGrid& grid);

/// How the APBS input at apbsInputPath names the PQR at pqrPath: the file name alone when both lie
/// in one folder (APBS is then run from that folder, as with pdb2pqr), else the absolute path.
/// Throws std::invalid_argument for names with white space, which APBS cannot read.
std::string PqrNameForApbs(const std::string& pqrPath, const std::string& apbsInputPath);

}  // namespace VoltraApp
