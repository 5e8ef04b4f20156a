// The HTML charge report: each visible molecule's net charge and the charge of each residue.
#pragma once

#include "host/VoltraApi.h"

#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

namespace HostModel {
class ChemDoc;
class Object;
}  // namespace HostModel

namespace Voltra {

class VOLTRA_API VoltraReport {
public:
    /// One molecule's figures as the report prints them: each residue's "Voltra Charge" summed in
    /// single precision, and the net charge as the single-precision sum of those (e).
    struct MoleculeCharges {
        std::vector<std::pair<const HostModel::Object*, float>> residues;  // tree order
        float net = 0.0f;
    };
    static MoleculeCharges ChargesOf(const HostModel::Object& molecule);

    /// The document has atoms and every visible molecule carries a template record.
    static bool IsSuitable(const HostModel::ChemDoc& doc);
    /// Writes the page to out. Charges are "Voltra Charge" summed in single precision per residue;
    /// a molecule's net charge is the sum of its residues, so atoms outside residues do not count.
    /// Hidden molecules are left out; hidden residues and atoms of visible molecules count.
    static void Generate(std::ostream& out, const HostModel::ChemDoc& doc);
    /// The page Generate writes, as text; it only reads the document, so another thread may make
    /// it while the document is not changed.
    static std::string Text(const HostModel::ChemDoc& doc);
    /// Writes the page to the file at path, replacing it only once the page is complete. Throws
    /// Common::Exception naming the file and the reason when it cannot be written.
    static void Generate(const std::wstring& path, const HostModel::ChemDoc& doc);
};

}  // namespace Voltra
