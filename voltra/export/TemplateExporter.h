// Writes the charges and radii assigned to a document as a pair of Voltra template files.
#pragma once

#include "host/VoltraApi.h"
#include "templates/TemplateEntry.h"

#include <iosfwd>
#include <string>

namespace HostModel {
class Atom;
class ChemDoc;
}  // namespace HostModel

namespace Voltra {

class Template;

class TemplateExporter {
public:
    /// Writes path + ".siz" (radii) and path + ".crg" (charges), the extensions appended to path
    /// as given. Both files are replaced together or not at all. Throws Common::Exception when
    /// the document has no tree root, does not hold exactly one molecule, or has a visible
    /// molecule without a template record (nothing is written then), and when a file cannot be
    /// written (naming the file and the reason; the previous files stay as they were).
    VOLTRA_API static void ExportFrom(const HostModel::ChemDoc& doc, const std::string& path);

    /// Appends the header comment and one entry per atom of the visible molecules that carries
    /// the template's value property, in molecule order, then tree order.
    static void CollectFromDocument(const HostModel::ChemDoc& doc, Template& target);
    /// The atom's key (hydrogen names rotated) with the value of the template's value property;
    /// an empty atom name when the atom lacks that property.
    static TemplateEntry MakeExportEntry(const Template& target, const HostModel::Atom& atom);
    /// The whole file: the composed header, a line end, then one line per entry.
    static void WriteTemplateFile(std::ostream& out, const Template& source);
    /// One data line, line end included: columns 1-6 atom, 7-9 residue, 10-13 number,
    /// 14 chain, 15-22 value with three decimals; longer fields shift the rest right.
    static std::string FormatTemplateLine(const TemplateEntry& entry);
};

}  // namespace Voltra
