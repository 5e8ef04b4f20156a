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
#include <memory>
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

/// What WritePqr writes, handed over in pieces. A large structure's records are made in blocks of
/// atoms on this thread and one more, each taking the next block when free: the text is never
/// held whole.
void FormatPqr(const HostModel::ChemDoc& doc, const std::string& description, const PqrChunkSink& sink);

/// FormatPqr, open to more threads: while one thread writes, any other may lend a hand with the
/// blocks of records. Blocks made ahead of the one written are bounded, whoever makes them.
class PqrFormatJob {
public:
    PqrFormatJob(const HostModel::ChemDoc& doc, std::string description);
    ~PqrFormatJob();
    PqrFormatJob(const PqrFormatJob&) = delete;
    PqrFormatJob& operator=(const PqrFormatJob&) = delete;

    /// Hands the whole text to sink, in order, as FormatPqr does; call it once. Throws what sink
    /// or the formatting throws, after which helpers return.
    void Write(const PqrChunkSink& sink);
    /// Makes blocks of records until none is left to take or the writing has ended, then
    /// returns; waits for Write to start first. A failure is handed to Write, not thrown here.
    void Help() noexcept;
    /// The text will not be written (Write was never reached): helpers return. Write calls it
    /// itself when it ends.
    void End() noexcept;

private:
    class Blocks;
    std::unique_ptr<Blocks> blocks_;
};

}  // namespace VoltraApp
