#include "PqrWriter.h"
#include "SerialColumn.h"
#include "SourceTexts.h"

#include "templates/PropertyVocabulary.h"

#include "HostModel/Atom.h"
#include "HostModel/Chain.h"
#include "HostModel/ChemDoc.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/Residue.h"

#include "Common/FixedColumns.h"
#include "Common/FixedField.h"
#include "Common/ShortText.h"
#include "Common/Text.h"
#include "io/PartHandoff.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <future>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace VoltraApp {
namespace {

using Common::WriteFixedField;

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
// The threads take turns at blocks of this many atoms, so that the text made ahead of what is
// written is at most two blocks, whatever the document's size.
constexpr std::size_t kBlockAtoms = 16384;

// The records of atoms, put together by hand straight into a piece's memory: snprintf's five
// floating-point conversions per atom, then one string append per field, were most of the time
// of a large file. Same fields and widths as
// "%-6s %5zu %-4s %4s %s%s%4s    %8.3f %8.3f %8.3f %8.4f %7.4f\n".
class RecordWriter {
public:
    RecordWriter()
        : chargeName_(HostModel::PropertyNames::Intern(Voltra::kChargePropertyName)),
          radiusName_(HostModel::PropertyNames::Intern(Voltra::kRadiusPropertyName)) {}

    /// Appends the records of atoms [first, last), numbered from serial + 1, to the used bytes
    /// of text, handing text to sink and starting it again whenever it holds chunkBytes.
    /// Returns the bytes of text used; text's size beyond them is room, not records.
    template <class Sink>
    std::size_t Write(const HostModel::Atom* const* first, const HostModel::Atom* const* last, std::size_t serial,
                      std::string& text, std::size_t used, std::size_t chunkBytes, Sink&& sink) {
        // The piece is written through a pointer within its size, which shrinks to what is
        // written only when the piece is handed over.
        if (text.size() < used + kPqrLineRoom) text.resize(std::max(text.capacity(), used + kPqrLineRoom));
        SerialColumn serials(serial);
        for (; first != last; ++first) {
            const HostModel::Atom& atom = **first;
            if (atom.GetParent() != partOf_ || !started_) EnterParent(atom);
            const std::size_t room = kPqrLineRoom + atom.GetLabel().size() + residuePart_.size();
            if (text.size() - used < room) text.resize(std::max(2 * text.size(), used + room));
            char* const start = &text[used];
            used += static_cast<std::size_t>(WriteRecord(start, atom, serials) - start);
            if (used >= chunkBytes) {
                text.resize(used);
                sink(text);
                used = 0;
                text.resize(text.capacity());
            }
        }
        return used;
    }

private:
    // The residue's columns are put together in place: a string per field and one append each
    // cost about as much as writing the records of its atoms.
    void EnterParent(const HostModel::Atom& atom) {
        using namespace HostModel;
        started_ = true;
        partOf_ = atom.GetParent();
        const AtomPlace place = PlaceOf(atom);
        polymer_ =
            place.residue && (place.residue->IsA(AminoAcid::classType) || place.residue->IsA(Nucleotide::classType));
        std::string_view residueName = place.residue ? std::string_view(place.residue->GetResidueType()) : "";
        if (residueName.empty()) residueName = "UNK";
        char number[24] = {'0'};  // the sequence number and insertion code, or "0" outside a residue
        char* numberEnd = number + 1;
        if (place.residue) {
            numberEnd = std::to_chars(number, number + sizeof number - 1, place.residue->GetSequenceNumber()).ptr;
            if (place.residue->GetInsertionCode() != '\0') *numberEnd++ = place.residue->GetInsertionCode();
        }
        const auto numberSize = static_cast<std::size_t>(numberEnd - number);
        const std::size_t chainSize = place.chainId.empty() ? 0 : place.chainId.size() + 1;
        // " %4s %s%s%4s    ": name, chain id and blank when there is one, number.
        residuePart_.resize(1 + std::max<std::size_t>(residueName.size(), 4) + 1 + chainSize +
                            std::max<std::size_t>(numberSize, 4) + 4);
        char* p = residuePart_.data();
        *p++ = ' ';
        for (std::size_t i = residueName.size(); i < 4; ++i) *p++ = ' ';
        p = std::copy(residueName.begin(), residueName.end(), p);
        *p++ = ' ';
        if (chainSize != 0) {
            p = std::copy(place.chainId.begin(), place.chainId.end(), p);
            *p++ = ' ';
        }
        for (std::size_t i = numberSize; i < 4; ++i) *p++ = ' ';
        p = std::copy(number, numberEnd, p);
        std::fill_n(p, 4, ' ');
    }

    char* WriteRecord(char* p, const HostModel::Atom& atom, SerialColumn& serials) const {
        float charge = 0.0f;
        float radius = 0.0f;
        atom.Properties().GetFloat(chargeName_, charge);
        atom.Properties().GetFloat(radiusName_, radius);
        const std::string& name = atom.GetLabel();
        p = std::copy_n(polymer_ ? "ATOM   " : "HETATM ", 7, p);
        p = serials.WriteNext(p);
        *p++ = ' ';
        // Names of up to three characters start one column in, as in PDB files.
        char* const nameStart = p;
        if (name.size() < 4) *p++ = ' ';
        p = Common::WriteShortText(p, name);
        while (p - nameStart < 4) *p++ = ' ';
        p = Common::WriteShortText(p, residuePart_);
        const HostModel::Vec3& position = atom.GetPosition();
        p = WriteFixedField<8, 3>(p, position.x);
        *p++ = ' ';
        p = WriteFixedField<8, 3>(p, position.y);
        *p++ = ' ';
        p = WriteFixedField<8, 3>(p, position.z);
        *p++ = ' ';
        p = WriteFixedField<8, 4>(p, charge);
        *p++ = ' ';
        p = WriteFixedField<7, 4>(p, radius);
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

// The header's counts, and the atoms in tree order when atoms is given, in one walk.
PqrStats CollectAtoms(const HostModel::ChemDoc& doc, std::vector<const HostModel::Atom*>* atoms) {
    using namespace HostModel;
    PqrStats stats;
    if (!doc.GetTreeRoot()) return stats;
    const PropertyNameId chargeSource = PropertyNames::Intern(Voltra::kChargeSourcePropertyName);
    const PropertyNameId radiusSource = PropertyNames::Intern(Voltra::kRadiusSourcePropertyName);
    const SourceTexts sources;
    DescendentIterator walk(doc.GetTreeRoot(), Atom::classType);
    while (Object* object = walk.GetNext()) {
        const auto& atom = static_cast<const Atom&>(*object);
        if (atoms) atoms->push_back(&atom);
        ++stats.atoms;
        const PropertyStore& properties = atom.Properties();
        if (sources.ProvenanceOf(properties, chargeSource) != Voltra::ValueProvenance::Given ||
            sources.ProvenanceOf(properties, radiusSource) != Voltra::ValueProvenance::Given) {
            ++stats.missing;
        }
    }
    return stats;
}

}  // namespace

PqrStats CountPqrAtoms(const HostModel::ChemDoc& doc) { return CollectAtoms(doc, nullptr); }

void WritePqr(std::ostream& out, const HostModel::ChemDoc& doc, const std::string& description) {
    FormatPqr(doc, description, [&out](const std::string& chunk) {
        out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    });
}

void FormatPqr(const HostModel::ChemDoc& doc, const std::string& description, const PqrChunkSink& sink) {
    std::vector<const HostModel::Atom*> atoms;
    const PqrStats stats = CollectAtoms(doc, &atoms);
    std::string text = Header(description, stats);
    const HostModel::Atom* const* const all = atoms.data();
    const std::size_t n = atoms.size();
    RecordWriter writer;
    if (n < kAtomsForTwoThreads) {
        text.resize(writer.Write(all, all + n, 0, text, text.size(), kPqrChunkBytes, sink));
        sink(text);
        return;
    }
    // Even blocks are made here, odd ones on a second thread; each is handed over whole in its
    // turn. A block (over a megabyte) is a piece the file writer takes without copying it; cut at
    // kPqrChunkBytes, an even block left a remainder that it copied, and the next block with it.
    const std::size_t blocks = (n + kBlockAtoms - 1) / kBlockAtoms;
    auto blockEnd = [n](std::size_t block) { return std::min(n, (block + 1) * kBlockAtoms); };
    HostIO::PartHandoff<std::string> oddBlocks(2 * kBlockAtoms);
    std::future<void> other = std::async(std::launch::async, [&] {
        try {
            RecordWriter oddWriter;
            std::string block;
            std::size_t lastBlockBytes = 0;
            for (std::size_t b = 1; b < blocks; b += 2) {
                // A fresh block (none handed back yet) starts at the size of the last: grown from
                // nothing, its text was copied at each doubling.
                if (block.capacity() < lastBlockBytes) block.reserve(lastBlockBytes + kPqrLineRoom);
                const std::size_t used = oddWriter.Write(all + b * kBlockAtoms, all + blockEnd(b), b * kBlockAtoms,
                                                         block, 0, SIZE_MAX, [](const std::string&) {});
                block.resize(used);
                lastBlockBytes = used;
                // Full while the writer is behind, or false once it has given up.
                if (!oddBlocks.Push(block, blockEnd(b) - b * kBlockAtoms)) return;
            }
            oddBlocks.Close();
        } catch (...) {
            oddBlocks.Close(std::current_exception());
        }
    });
    try {
        std::size_t used = text.size();
        for (std::size_t b = 0; b < blocks; ++b) {
            if (b % 2 == 0) {
                used = writer.Write(all + b * kBlockAtoms, all + blockEnd(b), b * kBlockAtoms, text, used, SIZE_MAX,
                                    [](const std::string&) {});
                text.resize(used);
                sink(text);
                used = 0;
                continue;
            }
            std::string block;
            std::size_t blockAtoms = 0;
            if (!oddBlocks.Pop(block, blockAtoms)) throw std::logic_error("PQR: a block of records never came");
            sink(block);
            oddBlocks.Return(std::move(block), blockAtoms);
        }
        text.resize(used);
        sink(text);
    } catch (...) {
        oddBlocks.Stop();
        other.wait();
        throw;
    }
    other.get();
}

}  // namespace VoltraApp
