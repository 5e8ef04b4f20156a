#include "PqrWriter.h"
#include "SourceTexts.h"

#include "apply/AtomWalkSplit.h"
#include "templates/PropertyVocabulary.h"

#include "HostModel/Atom.h"
#include "HostModel/Chain.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/OrdCollection.h"
#include "HostModel/Residue.h"

#include "Common/FixedColumns.h"
#include "Common/Text.h"

#include <algorithm>
#include <cstdint>
#include <future>
#include <sstream>
#include <vector>

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

namespace {

// Below this many atoms a second thread costs more than it saves.
constexpr std::size_t kAtomsForTwoThreads = 32768;

// What one atom's place in the counts is.
void Count(const HostModel::Atom& atom, HostModel::PropertyNameId chargeSource, HostModel::PropertyNameId radiusSource,
           const SourceTexts& sources, PqrStats& stats) {
    ++stats.atoms;
    const HostModel::PropertyStore& properties = atom.Properties();
    if (sources.ProvenanceOf(properties, chargeSource) != Voltra::ValueProvenance::Given ||
        sources.ProvenanceOf(properties, radiusSource) != Voltra::ValueProvenance::Given) {
        ++stats.missing;
    }
}

PqrStats CountRange(const Voltra::AtomRange& range) {
    using namespace HostModel;
    PqrStats stats;
    const PropertyNameId chargeSource = PropertyNames::Intern(Voltra::kChargeSourcePropertyName);
    const PropertyNameId radiusSource = PropertyNames::Intern(Voltra::kRadiusSourcePropertyName);
    const SourceTexts sources;
    Voltra::ForEachAtom(range, [&](const Atom& atom) { Count(atom, chargeSource, radiusSource, sources, stats); });
    return stats;
}

// The records of a range of atoms, put together by hand straight into a piece's memory:
// snprintf's five floating-point conversions per atom, then one string append per field, were
// most of the time of a large file. Same fields and widths as
// "%-6s %5zu %-4s %4s %s%s%4s    %8.3f %8.3f %8.3f %8.4f %7.4f\n".
class RecordWriter {
public:
    RecordWriter()
        : chargeName_(HostModel::PropertyNames::Intern(Voltra::kChargePropertyName)),
          radiusName_(HostModel::PropertyNames::Intern(Voltra::kRadiusPropertyName)) {}

    /// Appends the records of range, numbered from serial + 1, to text (whose first used bytes
    /// are kept), handing text to sink and starting it again whenever it holds kPqrChunkBytes.
    template <class Sink>
    void Write(const Voltra::AtomRange& range, std::size_t serial, std::string& text, std::size_t used,
               Sink&& sink) {
        // The piece is written through a pointer within its size, which shrinks to what is
        // written only when the piece is handed over.
        text.resize(std::max(text.capacity(), used + kPqrLineRoom));
        Voltra::ForEachAtom(range, [&](const HostModel::Atom& atom) {
            if (atom.GetParent() != partOf_ || !started_) EnterParent(atom);
            const std::string& name = atom.GetLabel();
            const std::size_t room = kPqrLineRoom + name.size() + residuePart_.size();
            if (text.size() - used < room) text.resize(used + room);
            char* const start = &text[used];
            used += static_cast<std::size_t>(WriteRecord(start, atom, ++serial) - start);
            if (used >= kPqrChunkBytes) {
                text.resize(used);
                sink(text);
                used = 0;
                text.resize(text.capacity());
            }
        });
        text.resize(used);
        sink(text);
    }

private:
    void EnterParent(const HostModel::Atom& atom) {
        using namespace HostModel;
        started_ = true;
        partOf_ = atom.GetParent();
        const AtomPlace place = PlaceOf(atom);
        polymer_ =
            place.residue && (place.residue->IsA(AminoAcid::classType) || place.residue->IsA(Nucleotide::classType));
        const std::string residueName = place.residue ? place.residue->GetResidueType() : std::string();
        residuePart_.assign(1, ' ');
        AppendRight(residuePart_, residueName.empty() ? std::string("UNK") : residueName, 4);
        residuePart_ += ' ';
        if (!place.chainId.empty()) residuePart_ += place.chainId + ' ';
        AppendRight(residuePart_, place.residue ? ResidueNumberText(*place.residue) : std::string("0"), 4);
        residuePart_ += "    ";
    }

    char* WriteRecord(char* p, const HostModel::Atom& atom, std::size_t serial) const {
        float charge = 0.0f;
        float radius = 0.0f;
        atom.Properties().GetFloat(chargeName_, charge);
        atom.Properties().GetFloat(radiusName_, radius);
        const std::string& name = atom.GetLabel();
        p = std::copy_n(polymer_ ? "ATOM   " : "HETATM ", 7, p);
        p = WriteUnsignedRight(p, serial, 5);
        *p++ = ' ';
        // Names of up to three characters start one column in, as in PDB files.
        char* const nameStart = p;
        if (name.size() < 4) *p++ = ' ';
        p = std::copy(name.begin(), name.end(), p);
        while (p - nameStart < 4) *p++ = ' ';
        p = std::copy(residuePart_.begin(), residuePart_.end(), p);
        const HostModel::Vec3& position = atom.GetPosition();
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
        return p;
    }

    HostModel::PropertyNameId chargeName_;
    HostModel::PropertyNameId radiusName_;
    std::string residuePart_;  // " %4s %s%s%4s    ": the same for every atom of a residue
    const HostModel::Object* partOf_ = nullptr;
    bool started_ = false;
    bool polymer_ = false;
};

std::string Header(const std::string& description, const PqrStats& stats) {
    std::string text;
    text.reserve(kPqrChunkBytes + kPqrLineRoom + 4096);
    text += "REMARK   1 PQR file written by voltra\n";
    text += "REMARK   1 " + QuoteRecordWords(description) + '\n';
    text +=
        "REMARK   1 Fields (white-space separated): record, serial, name, residue, chain, resSeq, x, y, z, "
        "charge, radius\n";
    text += "REMARK   5 " + std::to_string(stats.missing) + " of " + std::to_string(stats.atoms) +
            " atoms have a charge or radius left Missing; they are written with the values they have\n";
    return text;
}

// The second half of the atoms, made on its own thread into pieces held until the first half is
// written: its records' serial numbers start after the first half's atoms, which that thread
// counts for the header meanwhile.
struct SecondHalf {
    std::vector<std::string> pieces;
};

}  // namespace

PqrStats CountPqrAtoms(const HostModel::ChemDoc& doc) {
    PqrStats stats;
    if (!doc.GetTreeRoot()) return stats;
    HostModel::OrdCollection all;
    all.Add(doc.GetTreeRoot());
    return CountRange(Voltra::SplitAtomWalk(all, SIZE_MAX).front());
}

void WritePqr(std::ostream& out, const HostModel::ChemDoc& doc, const std::string& description) {
    FormatPqr(doc, description, [&out](const std::string& chunk) {
        out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    });
}

void FormatPqr(const HostModel::ChemDoc& doc, const std::string& description, const PqrChunkSink& sink) {
    if (!doc.GetTreeRoot()) {
        sink(Header(description, PqrStats()));
        return;
    }
    // The root's atoms in tree order, as a DescendentIterator walks them; in two halves for two
    // threads when there are many.
    HostModel::OrdCollection all;
    all.Add(doc.GetTreeRoot());
    const std::vector<Voltra::AtomRange> ranges = Voltra::SplitAtomWalk(all, kAtomsForTwoThreads);
    if (ranges.size() == 1) {
        std::string text = Header(description, CountRange(ranges[0]));
        RecordWriter().Write(ranges[0], 0, text, text.size(), sink);
        return;
    }
    // Each thread counts its half first; the header needs both counts, the second half's
    // serial numbers the first's. Neither promise is left unkept, whatever throws, so that no
    // thread waits for ever.
    std::promise<PqrStats> firstCounted;
    std::promise<PqrStats> secondCounted;
    std::future<PqrStats> firstCount = firstCounted.get_future();
    std::future<PqrStats> secondCount = secondCounted.get_future();
    std::future<SecondHalf> second = std::async(std::launch::async, [&] {
        PqrStats counted;
        try {
            counted = CountRange(ranges[1]);
        } catch (...) {
            secondCounted.set_exception(std::current_exception());
            throw;
        }
        secondCounted.set_value(counted);
        const std::size_t before = firstCount.get().atoms;
        SecondHalf half;
        std::string text;
        text.reserve(kPqrChunkBytes + kPqrLineRoom + 4096);
        RecordWriter().Write(ranges[1], before, text, 0,
                             [&half](const std::string& piece) { half.pieces.push_back(piece); });
        return half;
    });
    PqrStats stats;
    try {
        stats = CountRange(ranges[0]);
    } catch (...) {
        firstCounted.set_exception(std::current_exception());
        throw;
    }
    firstCounted.set_value(stats);
    const PqrStats other = secondCount.get();
    stats.atoms += other.atoms;
    stats.missing += other.missing;
    std::string text = Header(description, stats);
    RecordWriter().Write(ranges[0], 0, text, text.size(), sink);
    for (const std::string& piece : second.get().pieces) sink(piece);
}

}  // namespace VoltraApp
