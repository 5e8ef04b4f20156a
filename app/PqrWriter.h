// Writes a document's atoms with their Voltra charges and radii as a PQR file.
//
// PQR has no formal standard; APBS and PDB2PQR read it by splitting on white space. The fields
// are therefore always separated by at least one blank, whatever their size: serials past
// 99,999 and coordinates below -999.999 Å stay readable, unlike fixed columns. APBS reads
// one-character chain ids only, so longer chain labels ("Water", mmCIF ids such as "AA") are
// left out, as are the words ATOM and HETATM in remarks (quoted), which it would take for records.
// Fields: record, serial, atom name, residue name, chain id (left out when not one character),
// residue number (with insertion code appended), x, y, z (Å, 3 decimals), charge (e, 4 decimals), radius (Å, 4 decimals).
#pragma once

#include <cstddef>
#include <functional>
#include <ostream>
#include <string>

namespace HostModel {
class ChemDoc;
}

namespace VoltraApp {

struct PqrStats {
    std::size_t atoms = 0;
    std::size_t missing = 0;  // atoms whose charge or radius Source is "Missing" or absent
};

/// Counts what WritePqr would write, for its header remark.
PqrStats CountPqrAtoms(const HostModel::ChemDoc& doc);

/// Writes every atom of every molecule, in tree order. Atoms without a Voltra value are written
/// with 0 for it; the header says how many atoms were left "Missing". description goes into the
/// header remarks (for example the assignment used).
void WritePqr(std::ostream& out, const HostModel::ChemDoc& doc, const std::string& description);

/// Receives the PQR text in order, in pieces of at most about kPqrChunkBytes (some may be
/// shorter, the last empty); a piece is only valid during the call.
using PqrChunkSink = std::function<void(const std::string&)>;
constexpr std::size_t kPqrChunkBytes = std::size_t{1} << 20;

/// What WritePqr writes, handed over in pieces. A large structure's records are made on two
/// threads, which take turns at blocks of atoms: the text is never held whole.
void FormatPqr(const HostModel::ChemDoc& doc, const std::string& description, const PqrChunkSink& sink);

}  // namespace VoltraApp
