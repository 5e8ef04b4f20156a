#include "report/VoltraReport.h"

#include "apply/Validity.h"
#include "templates/PropertyVocabulary.h"

#include "Common/AtomicFileWriter.h"
#include "Common/StringConversion.h"
#include "HostModel/Atom.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/Molecule.h"
#include "HostModel/Residue.h"
#include "HostModel/TreeRoot.h"

#include <boost/format.hpp>

#include <ostream>
#include <sstream>

namespace Voltra {
namespace {

/// Labels come from structure files and users; they must not become markup.
std::string EscapeHtml(const std::string& text) {
    std::string out;
    out.reserve(text.size());
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
    return out;
}

/// Fixed point, two decimals, at least five characters: " 0.00", "-1.00", "12.50".
std::string FormatCharge(float charge) { return (boost::format("%5.2f") % charge).str(); }

/// Single precision throughout: each addition is rounded to float, as Voltra's own sums are.
float ResidueCharge(const HostModel::Object& residue) {
    float sum = 0.0f;
    HostModel::DescendentIterator atoms(&residue, HostModel::Atom::classType, false, 0, nullptr);
    while (const HostModel::Object* atom = atoms.GetNext()) {
        float value = 0.0f;
        atom->GetProperty(kChargePropertyName, value);  // absent: stays 0
        sum += value;
    }
    return sum;
}

}  // namespace

VoltraReport::MoleculeCharges VoltraReport::ChargesOf(const HostModel::Object& molecule) {
    MoleculeCharges charges;
    HostModel::DescendentIterator residues(&molecule, HostModel::Residue::classType, false, 0, nullptr);
    while (const HostModel::Object* residue = residues.GetNext()) {
        const float residueSum = ResidueCharge(*residue);
        charges.residues.emplace_back(residue, residueSum);
        charges.net += residueSum;
    }
    return charges;
}

bool VoltraReport::IsSuitable(const HostModel::ChemDoc& doc) {
    return DocumentHasAtoms(&doc) && DocumentIsValidForVoltra(&doc, true);
}

void VoltraReport::Generate(std::ostream& out, const HostModel::ChemDoc& doc) {
    out << "<html>\n<title>" << "Electrostatic Charge Report" << "</title>\n<body>\n";
    HostModel::DescendentIterator molecules(doc.GetTreeRoot(), HostModel::Molecule::classType, false, 0, nullptr);
    while (const HostModel::Object* molecule = molecules.GetNext()) {
        if (!molecule->IsVisible()) continue;
        const MoleculeCharges charges = ChargesOf(*molecule);
        out << "Voltra Molecule " << EscapeHtml(molecule->GetLabel()) << " Net Charge: " << FormatCharge(charges.net)
            << "\n<br/>\n<br/>\n";
        for (const auto& [residue, charge] : charges.residues) {
            out << "Voltra Residue " << EscapeHtml(residue->GetLabel()) << " Charge: " << FormatCharge(charge)
                << "\n<br/>\n";
        }
        out << "\n<br/>\n<br/>\n";
    }
    out << "</body></html>\n";
}

void VoltraReport::Generate(const std::wstring& path, const HostModel::ChemDoc& doc) {
    std::ostringstream page;
    Generate(page, doc);
    Common::WriteFileAtomically(Common::ToSString(path), page.str());
}

}  // namespace Voltra
