// An independent count of the atoms a structure file holds, for checking what the program read.
#pragma once

#include <cstddef>
#include <string>

namespace AppTest {

/// The bytes of a file, inflated when it is gzip-compressed; throws std::runtime_error.
std::string ReadStructureText(const std::string& path);

/// Atoms of the first model, one conformer per residue: those without an alternative location
/// and those of the first location letter the residue lists. PDB (ATOM/HETATM up to the first
/// ENDMDL), mmCIF (the _atom_site loop) or PQR (every ATOM/HETATM record; a fileName ending in
/// ".pqr" says so).
std::size_t CountFirstModelAtoms(const std::string& text, const std::string& fileName);

}  // namespace AppTest
