// Writes the charges and radii assigned to a document as a pair of Voltra template files.
#pragma once

#include "host/VoltraApi.h"
#include "templates/TemplateEntry.h"

#include <string>

namespace HostModel {
class ChemDoc;
}

namespace Voltra {

class TemplateExporter {
public:
    /// Writes path + ".siz" (radii) and path + ".crg" (charges), the extensions appended to path
    /// as given. Both files are replaced together or not at all. Throws Common::Exception when
    /// the document has no tree root, does not hold exactly one molecule, or has a visible
    /// molecule without a template record (nothing is written then), and when a file cannot be
    /// written (naming the file and the reason; the previous files stay as they were).
    VOLTRA_API static void ExportFrom(const HostModel::ChemDoc& doc, const std::string& path);

    /// One data line, line end included: columns 1-6 atom, 7-9 residue, 10-13 number,
    /// 14 chain, 15-22 value with three decimals; longer fields shift the rest right.
    static std::string FormatTemplateLine(const TemplateEntry& entry);
};

}  // namespace Voltra
