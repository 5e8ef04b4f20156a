// Reads PQR files: PDB-like atom records whose occupancy and B-factor columns carry charge and
// radius. PQR has no fixed columns: fields are split on white space (tabs too), the chain column
// may be missing, a long serial may run into the record name ("HETATM10661"), a chain id may run
// into a four-digit residue number ("A1000"), and coordinates may run into each other
// ("-100.123-200.456"). Serials are not interpreted, so hybrid-36 and overflowing serials pass.
#pragma once

#include "HostApi.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace HostIO {

/// One ATOM or HETATM record. The views point into the text being parsed.
struct PqrAtomRecord {
    bool hetatm = false;
    std::string_view atomName;     // as written, e.g. "HD21", "C1'"
    std::string_view residueName;  // e.g. "HIE", "WAT"
    std::string_view chain;        // empty when the record has no chain column
    int residueNumber = 0;
    char insertionCode = ' ';    // ' ' when none
    double x = 0, y = 0, z = 0;  // Å
    float charge = 0;            // e
    float radius = 0;            // Å
    int line = 0;                // 1-based line of the record in the file
};

/// Receives the records of a PQR file in file order.
class HOST_API PqrHandler {
public:
    virtual ~PqrHandler() = default;
    virtual void OnAtom(const PqrAtomRecord& record) = 0;
    /// A TER record: the chain before it ends.
    virtual void OnTer() {}
    /// A MODEL record with its number.
    virtual void OnModel(int /*number*/) {}
    virtual void OnEndModel() {}
};

/// What the remarks of PDB2PQR's output say about the whole file.
struct PqrRemarks {
    std::optional<double> totalCharge;  // e, from "Total charge on this biomolecule: 2.0000 e"
    std::string forcefield;             // from "Forcefield Used: AMBER"; empty when absent
};

/// Parses text (a whole PQR file) and hands its records to handler; reading stops at an END
/// record. fileName is for messages. Throws ReadError naming the file and line of the first
/// record that cannot be read, quoting the offending field.
HOST_API PqrRemarks ParsePqr(std::string_view text, const std::string& fileName, PqrHandler& handler);

}  // namespace HostIO
