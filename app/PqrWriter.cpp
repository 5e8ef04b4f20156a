#include "PqrWriter.h"
#include "SourceTexts.h"

#include "templates/PropertyVocabulary.h"

#include "HostModel/Atom.h"
#include "HostModel/Chain.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/Residue.h"

#include "Common/FixedColumns.h"
#include "Common/Text.h"

#include <algorithm>
#include <sstream>

namespace VoltraApp {
namespace {

using Common::AppendRight;
using Common::WriteFixed;
using Common::WriteUnsignedRight;

// Room for one record beyond its name and residue columns: five numbers and the fixed text.
constexpr std::size_t kPqrLineRoom = 5 * Common::kFixedFieldRoom + 64;

struct AtomPlace {
    const HostModel::Residue* residue = nullptr;
    std::string chainId;
};

// APBS reads a chain id of one character only; longer ones (mmCIF's "AA") are left out rather
// than make the record unreadable there. A residue's chain id is the input's, so waters keep
// theirs though the tree holds them in the "Water" chain.
AtomPlace PlaceOf(const HostModel::Atom& atom) {
    AtomPlace place;
    const HostModel::Object* parent = atom.GetParent();
    if (parent && parent->IsA(HostModel::Residue::classType)) {
        place.residue = static_cast<const HostModel::Residue*>(parent);
        if (place.residue->GetInputChainId().size() == 1) place.chainId = place.residue->GetInputChainId();
    } else if (parent && parent->IsA(HostModel::Chain::classType) && parent->GetLabel().size() == 1) {
        place.chainId = parent->GetLabel();
    }
    return place;
}

std::string ResidueNumberText(const HostModel::Residue& residue) {
    std::string number = std::to_string(residue.GetSequenceNumber());
    if (residue.GetInsertionCode() != '\0') number += residue.GetInsertionCode();
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

}  // namespace

PqrStats CountPqrAtoms(const HostModel::ChemDoc& doc) {
    using namespace HostModel;
    PqrStats stats;
    if (!doc.GetTreeRoot()) return stats;
    const PropertyNameId chargeSource = PropertyNames::Intern(Voltra::kChargeSourcePropertyName);
    const PropertyNameId radiusSource = PropertyNames::Intern(Voltra::kRadiusSourcePropertyName);
    const SourceTexts sources;
    DescendentIterator atoms(doc.GetTreeRoot(), Atom::classType);
    while (Object* atom = atoms.GetNext()) {
        ++stats.atoms;
        const PropertyStore& properties = atom->Properties();
        if (sources.ProvenanceOf(properties, chargeSource) != Voltra::ValueProvenance::Given ||
            sources.ProvenanceOf(properties, radiusSource) != Voltra::ValueProvenance::Given) {
            ++stats.missing;
        }
    }
    return stats;
}

void WritePqr(std::ostream& out, const HostModel::ChemDoc& doc, const std::string& description) {
    FormatPqr(doc, description, [&out](const std::string& chunk) {
        out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    });
}

void FormatPqr(const HostModel::ChemDoc& doc, const std::string& description, const PqrChunkSink& sink) {
    using namespace HostModel;
    const PqrStats stats = CountPqrAtoms(doc);
    std::string text;
    text.reserve(kPqrChunkBytes + kPqrLineRoom + 4096);
    text += "REMARK   1 PQR file written by voltra\n";
    text += "REMARK   1 " + QuoteRecordWords(description) + '\n';
    text +=
        "REMARK   1 Fields (white-space separated): record, serial, name, residue, chain, resSeq, x, y, z, "
        "charge, radius\n";
    text += "REMARK   5 " + std::to_string(stats.missing) + " of " + std::to_string(stats.atoms) +
            " atoms have a charge or radius left Missing; they are written with the values they have\n";
    if (!doc.GetTreeRoot()) {
        sink(text);
        return;
    }

    // Records are put together by hand, straight into the piece's memory: snprintf's five
    // floating-point conversions per atom, then one string append per field, were most of the
    // time of a large file. Same fields and widths as
    // "%-6s %5zu %-4s %4s %s%s%4s    %8.3f %8.3f %8.3f %8.4f %7.4f\n".
    const PropertyNameId chargeName = PropertyNames::Intern(Voltra::kChargePropertyName);
    const PropertyNameId radiusName = PropertyNames::Intern(Voltra::kRadiusPropertyName);
    std::string residuePart;  // " %4s %s%s%4s    ": the same for every atom of a residue
    const Object* partOf = nullptr;
    bool polymer = false;
    std::size_t serial = 0;
    // The piece is written through a pointer within its size, which shrinks to what is written
    // only when the piece is handed over.
    std::size_t used = text.size();
    text.resize(std::max(text.capacity(), used + kPqrLineRoom));
    DescendentIterator atoms(doc.GetTreeRoot(), Atom::classType);
    while (Object* object = atoms.GetNext()) {
        const auto& atom = static_cast<const Atom&>(*object);
        if (serial == 0 || atom.GetParent() != partOf) {
            partOf = atom.GetParent();
            const AtomPlace place = PlaceOf(atom);
            polymer = place.residue &&
                      (place.residue->IsA(AminoAcid::classType) || place.residue->IsA(Nucleotide::classType));
            const std::string residueName = place.residue ? place.residue->GetResidueType() : std::string();
            residuePart.assign(1, ' ');
            AppendRight(residuePart, residueName.empty() ? std::string("UNK") : residueName, 4);
            residuePart += ' ';
            if (!place.chainId.empty()) residuePart += place.chainId + ' ';
            AppendRight(residuePart, place.residue ? ResidueNumberText(*place.residue) : std::string("0"), 4);
            residuePart += "    ";
        }
        float charge = 0.0f;
        float radius = 0.0f;
        atom.Properties().GetFloat(chargeName, charge);
        atom.Properties().GetFloat(radiusName, radius);
        const std::string& name = atom.GetLabel();
        const std::size_t room = kPqrLineRoom + name.size() + residuePart.size();
        if (text.size() - used < room) text.resize(used + room);

        char* const start = &text[used];
        char* p = start;
        p = std::copy_n(polymer ? "ATOM   " : "HETATM ", 7, p);
        p = WriteUnsignedRight(p, ++serial, 5);
        *p++ = ' ';
        // Names of up to three characters start one column in, as in PDB files.
        char* const nameStart = p;
        if (name.size() < 4) *p++ = ' ';
        p = std::copy(name.begin(), name.end(), p);
        while (p - nameStart < 4) *p++ = ' ';
        p = std::copy(residuePart.begin(), residuePart.end(), p);
        const Vec3& position = atom.GetPosition();
        p = WriteFixed(p, position.x, 8, 3);
        *p++ = ' ';
        p = WriteFixed(p, position.y, 8, 3);
        *p++ = ' ';
        p = WriteFixed(p, position.z, 8, 3);
        *p++ = ' ';
        p = WriteFixed(p, charge, 8, 4);
        *p++ = ' ';
        p = WriteFixed(p, radius, 7, 4);
        *p++ = '\n';
        used += static_cast<std::size_t>(p - start);
        if (used >= kPqrChunkBytes) {
            text.resize(used);
            sink(text);
            used = 0;
            text.resize(text.capacity());
        }
    }
    text.resize(used);
    sink(text);
}

}  // namespace VoltraApp
