#include "PqrWriter.h"

#include "templates/PropertyVocabulary.h"

#include "HostModel/Atom.h"
#include "HostModel/Chain.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/Residue.h"

#include "Common/StringConversion.h"

#include <cstdio>
#include <sstream>
#include <stdexcept>

namespace VoltraApp {
namespace {

struct AtomPlace {
    const HostModel::Residue* residue = nullptr;
    std::string chainId;
};

AtomPlace PlaceOf(const HostModel::Atom& atom) {
    AtomPlace place;
    const HostModel::Object* parent = atom.GetParent();
    if (parent && parent->IsA(HostModel::Residue::classType)) {
        place.residue = static_cast<const HostModel::Residue*>(parent);
        parent = parent->GetParent();
    }
    // APBS reads a chain id of one character only; longer labels ("Water", mmCIF's "AA") are
    // left out rather than make the record unreadable there.
    if (parent && parent->IsA(HostModel::Chain::classType) && parent->GetLabel().size() == 1) {
        place.chainId = parent->GetLabel();
    }
    return place;
}

// The residue number with its insertion code: the label is name + number + code ("GLY12A").
std::string ResidueNumberText(const HostModel::Residue& residue) {
    std::string number = std::to_string(residue.GetID());
    const std::string& label = residue.GetLabel();
    const auto at = label.rfind(number);
    if (at != std::string::npos && at + number.size() < label.size()) number += label.substr(at + number.size());
    return number;
}

// APBS takes the word ATOM or HETATM anywhere, remarks included, for the start of a record;
// such words in free text are quoted so that they are not.
std::string QuoteRecordWords(const std::string& text) {
    std::istringstream words(text);
    std::string out;
    std::string word;
    while (words >> word) {
        if (Common::CompareNoCase(word, "ATOM") == 0 || Common::CompareNoCase(word, "HETATM") == 0) {
            word = "'" + word + "'";
        }
        out += (out.empty() ? "" : " ") + word;
    }
    return out;
}

bool IsMissing(const HostModel::PropertyStore& properties, HostModel::PropertyNameId chargeSource,
               HostModel::PropertyNameId radiusSource) {
    const std::string charge = properties.GetAsString(chargeSource);
    const std::string radius = properties.GetAsString(radiusSource);
    return charge.empty() || radius.empty() || charge == Voltra::kSourceMissing || radius == Voltra::kSourceMissing;
}

}  // namespace

PqrStats CountPqrAtoms(const HostModel::ChemDoc& doc) {
    using namespace HostModel;
    PqrStats stats;
    if (!doc.GetTreeRoot()) return stats;
    const PropertyNameId chargeSource = PropertyNames::Intern(Voltra::kChargeSourcePropertyName);
    const PropertyNameId radiusSource = PropertyNames::Intern(Voltra::kRadiusSourcePropertyName);
    DescendentIterator atoms(doc.GetTreeRoot(), Atom::classType);
    while (Object* atom = atoms.GetNext()) {
        ++stats.atoms;
        if (IsMissing(atom->Properties(), chargeSource, radiusSource)) ++stats.missing;
    }
    return stats;
}

void WritePqr(std::ostream& out, const HostModel::ChemDoc& doc, const std::string& description) {
    using namespace HostModel;
    const PqrStats stats = CountPqrAtoms(doc);
    out << "REMARK   1 PQR file written by voltra\n";
    out << "REMARK   1 " << QuoteRecordWords(description) << '\n';
    out << "REMARK   1 Fields (white-space separated): record, serial, name, residue, chain, resSeq, x, y, z, "
           "charge, radius\n";
    out << "REMARK   5 " << stats.missing << " of " << stats.atoms
        << " atoms have a charge or radius left Missing; they are written with the values they have\n";
    if (!doc.GetTreeRoot()) return;

    const PropertyNameId chargeName = PropertyNames::Intern(Voltra::kChargePropertyName);
    const PropertyNameId radiusName = PropertyNames::Intern(Voltra::kRadiusPropertyName);
    std::string line(256, '\0');
    std::size_t serial = 0;
    DescendentIterator atoms(doc.GetTreeRoot(), Atom::classType);
    while (Object* object = atoms.GetNext()) {
        const auto& atom = static_cast<const Atom&>(*object);
        const AtomPlace place = PlaceOf(atom);
        float charge = 0.0f;
        float radius = 0.0f;
        atom.Properties().GetFloat(chargeName, charge);
        atom.Properties().GetFloat(radiusName, radius);
        const bool polymer = place.residue && (place.residue->IsA(AminoAcid::classType) ||
                                               place.residue->IsA(Nucleotide::classType));
        const std::string residueName = place.residue ? place.residue->GetResidueType() : std::string();
        const std::string residueNumber = place.residue ? ResidueNumberText(*place.residue) : std::string("0");
        // Names of up to three characters start one column in, as in PDB files.
        const std::string& name = atom.GetLabel();
        const std::string paddedName = name.size() < 4 ? " " + name : name;
        const Vec3& p = atom.GetPosition();
        const char* format = "%-6s %5zu %-4s %4s %s%s%4s    %8.3f %8.3f %8.3f %8.4f %7.4f\n";
        auto print = [&](char* buffer, std::size_t size) {
            return std::snprintf(buffer, size, format, polymer ? "ATOM" : "HETATM", serial, paddedName.c_str(),
                                 residueName.empty() ? "UNK" : residueName.c_str(), place.chainId.c_str(),
                                 place.chainId.empty() ? "" : " ", residueNumber.c_str(), p.x, p.y, p.z,
                                 static_cast<double>(charge), static_cast<double>(radius));
        };
        ++serial;
        int written = print(line.data(), line.size());
        if (written >= 0 && static_cast<std::size_t>(written) >= line.size()) {
            line.resize(static_cast<std::size_t>(written) + 1);  // an unusually long label
            written = print(line.data(), line.size());
        }
        if (written < 0) throw std::runtime_error("cannot format the PQR record of atom " + std::to_string(serial));
        out.write(line.data(), written);
    }
}

}  // namespace VoltraApp
