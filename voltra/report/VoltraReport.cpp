#include "report/VoltraReport.h"

#include "apply/Validity.h"
#include "templates/PropertyVocabulary.h"

#include "Common/AtomicFileWriter.h"
#include "Common/FixedColumns.h"
#include "Common/FixedField.h"
#include "Common/StringConversion.h"
#include "HostModel/Atom.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/Molecule.h"
#include "HostModel/PropertyStore.h"
#include "HostModel/Residue.h"
#include "HostModel/TreeRoot.h"

#include <algorithm>
#include <optional>
#include <ostream>

namespace Voltra {
namespace {

/// Labels come from structure files and users; they must not become markup. Appended to out:
/// most labels have nothing to escape and go in with one append.
void AppendEscapedHtml(std::string& out, const std::string& text) {
    const auto special = [](char c) { return c == '&' || c == '<' || c == '>' || c == '"' || c == '\''; };
    if (std::none_of(text.begin(), text.end(), special)) {
        out += text;
        return;
    }
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
}

/// Fixed point, two decimals, at least five characters: " 0.00", "-1.00", "12.50" ("%5.2f").
void AppendCharge(std::string& out, float charge) {
    char field[Common::kFixedFieldRoom];
    out.append(field, static_cast<std::size_t>(Common::WriteFixedField<5, 2>(field, charge) - field));
}

/// Single precision throughout: each addition is rounded to float, as Voltra's own sums are.
/// The atoms below node in tree order, as a DescendentIterator yields them, without its stack
/// (an allocation per residue) and without entering subtrees that hold no atom. chargeName is
/// the charge property's id, looked up once: by name, each atom would pay for a string and a
/// locked table.
void AddAtomCharges(const HostModel::Object& node, HostModel::PropertyNameId chargeName, float& sum) {
    for (std::size_t i = 0, n = node.GetNumChildren(); i < n; ++i) {
        const HostModel::Object& child = *node.GetChild(i);
        if (child.IsA(HostModel::Atom::classType)) {
            float value = 0.0f;
            child.Properties().GetFloat(chargeName, value);  // absent: stays 0
            sum += value;
        }
        if (child.MayHoldDescendentOf(HostModel::Atom::classType)) AddAtomCharges(child, chargeName, sum);
    }
}

/// The residues below node in tree order (a residue before the residues inside it), each with
/// its charge.
void AddResidueCharges(const HostModel::Object& node, std::optional<HostModel::PropertyNameId> chargeName,
                       VoltraReport::MoleculeCharges& charges) {
    for (std::size_t i = 0, n = node.GetNumChildren(); i < n; ++i) {
        const HostModel::Object& child = *node.GetChild(i);
        if (child.IsA(HostModel::Residue::classType)) {
            float residueSum = 0.0f;
            if (chargeName) AddAtomCharges(child, *chargeName, residueSum);  // a name nothing set: all absent
            charges.residues.emplace_back(&child, residueSum);
            charges.net += residueSum;
        }
        if (child.MayHoldDescendentOf(HostModel::Residue::classType)) AddResidueCharges(child, chargeName, charges);
    }
}

}  // namespace

VoltraReport::MoleculeCharges VoltraReport::ChargesOf(const HostModel::Object& molecule) {
    MoleculeCharges charges;
    AddResidueCharges(molecule, HostModel::PropertyNames::Find(kChargePropertyName), charges);
    return charges;
}

bool VoltraReport::IsSuitable(const HostModel::ChemDoc& doc) {
    return DocumentHasAtoms(&doc) && DocumentIsValidForVoltra(&doc, true);
}

std::string VoltraReport::Text(const HostModel::ChemDoc& doc) {
    std::string page = "<html>\n<title>Electrostatic Charge Report</title>\n<body>\n";
    HostModel::DescendentIterator molecules(doc.GetTreeRoot(), HostModel::Molecule::classType, false, 0, nullptr);
    while (const HostModel::Object* molecule = molecules.GetNext()) {
        if (!molecule->IsVisible()) continue;
        const MoleculeCharges charges = ChargesOf(*molecule);
        page.reserve(page.size() + 64 * charges.residues.size());
        page += "Voltra Molecule ";
        AppendEscapedHtml(page, molecule->GetLabel());
        page += " Net Charge: ";
        AppendCharge(page, charges.net);
        page += "\n<br/>\n<br/>\n";
        for (const auto& [residue, charge] : charges.residues) {
            page += "Voltra Residue ";
            AppendEscapedHtml(page, residue->GetLabel());
            page += " Charge: ";
            AppendCharge(page, charge);
            page += "\n<br/>\n";
        }
        page += "\n<br/>\n<br/>\n";
    }
    page += "</body></html>\n";
    return page;
}

void VoltraReport::Generate(std::ostream& out, const HostModel::ChemDoc& doc) { out << Text(doc); }

void VoltraReport::Generate(const std::wstring& path, const HostModel::ChemDoc& doc) {
    Common::WriteFileAtomically(Common::ToSString(path), Text(doc));
}

}  // namespace Voltra
