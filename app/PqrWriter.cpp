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
#include "Common/HelperThread.h"
#include "Common/ShortText.h"
#include "Common/Text.h"

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <optional>
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
// Blocks of this many atoms: some 1.2 MB of text, large enough that taking one costs nothing
// next to making it, small enough that the last one leaves no thread waiting long.
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
            if (text.size() - used < room) {
                // The room the string holds already first (growing into it fills only the gap);
                // beyond it, twice the size, as a string grows.
                const std::size_t wanted = used + room;
                text.resize(text.capacity() >= wanted ? text.capacity() : std::max(wanted, 2 * text.size()));
            }
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
    PqrFormatJob(doc, description).Write(sink);
}

// Blocks are taken in order from a counter by whichever thread is free, the writing thread
// included when the block it must write next is not made yet; so the thread that also copies
// the text into the file makes fewer blocks than the others, instead of a fixed half. A block is
// taken only while it is fewer than kBlocksAhead past the one written next: each has its own
// slot of text, reused, so the text in memory stays a few blocks whatever the document's size.
class PqrFormatJob::Blocks {
public:
    Blocks(const HostModel::ChemDoc& doc, std::string description) : doc_(doc), description_(std::move(description)) {}

    void Write(const PqrChunkSink& sink) {
        std::optional<Common::HelperCall> helper;
        try {
            std::vector<const HostModel::Atom*> atoms;
            const PqrStats stats = CollectAtoms(doc_, &atoms);
            header_ = Header(description_, stats);
            if (atoms.size() < kAtomsForTwoThreads) {
                End();
                WriteOnThisThread(atoms, sink);
                return;
            }
            Publish(std::move(atoms));
            helper.emplace([](void* blocks) { static_cast<Blocks*>(blocks)->Help(); }, this);
            WriteBlocks(sink);
        } catch (...) {
            End();
            if (helper) helper->Wait();
            throw;
        }
        End();
        helper->Wait();
    }

    void Help() noexcept {
        RecordWriter writer;
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [&] { return ended_ || (published_ && (next_ == blockCount_ || CanTakeBlock())); });
            if (ended_ || next_ == blockCount_) return;
            if (!MakeNextBlock(writer, lock)) return;
        }
    }

    void End() noexcept {
        std::lock_guard<std::mutex> lock(mutex_);
        ended_ = true;
        changed_.notify_all();
    }

private:
    static constexpr std::size_t kBlocksAhead = 4;

    enum class SlotState { Free, Taken, Made };
    struct Slot {
        std::string text;
        SlotState state = SlotState::Free;
    };

    void WriteOnThisThread(const std::vector<const HostModel::Atom*>& atoms, const PqrChunkSink& sink) {
        RecordWriter writer;
        std::string text = std::move(header_);
        const HostModel::Atom* const* const all = atoms.data();
        text.resize(writer.Write(all, all + atoms.size(), 0, text, text.size(), kPqrChunkBytes, sink));
        sink(text);
    }

    void Publish(std::vector<const HostModel::Atom*> atoms) {
        std::lock_guard<std::mutex> lock(mutex_);
        atoms_ = std::move(atoms);
        blockCount_ = (atoms_.size() + kBlockAtoms - 1) / kBlockAtoms;
        published_ = true;
        changed_.notify_all();
    }

    // Each block is handed over whole: over a megabyte, it is a piece the file writer takes
    // without copying it.
    void WriteBlocks(const PqrChunkSink& sink) {
        RecordWriter writer;
        for (std::size_t block = 0; block < blockCount_; ++block) {
            Slot& slot = slots_[block % kBlocksAhead];
            {
                std::unique_lock<std::mutex> lock(mutex_);
                while (slot.state != SlotState::Made) {
                    if (error_) std::rethrow_exception(error_);
                    if (next_ < blockCount_ && CanTakeBlock()) {
                        if (!MakeNextBlock(writer, lock)) std::rethrow_exception(error_);
                    } else {
                        changed_.wait(lock);
                    }
                }
            }
            sink(slot.text);
            std::lock_guard<std::mutex> lock(mutex_);
            slot.state = SlotState::Free;
            written_ = block + 1;
            changed_.notify_all();
        }
        sink(std::string());
    }

    bool CanTakeBlock() const { return next_ < written_ + kBlocksAhead; }

    // Called locked, with a block to take; formats it unlocked. Returns false when it failed,
    // the failure kept for the writer.
    bool MakeNextBlock(RecordWriter& writer, std::unique_lock<std::mutex>& lock) {
        const std::size_t block = next_++;
        Slot& slot = slots_[block % kBlocksAhead];
        slot.state = SlotState::Taken;
        const HostModel::Atom* const* const all = atoms_.data();
        const std::size_t first = block * kBlockAtoms;
        const std::size_t last = std::min(atoms_.size(), first + kBlockAtoms);
        const std::size_t reserve = lastBlockBytes_;
        lock.unlock();
        std::exception_ptr failure;
        std::size_t used = 0;
        try {
            std::string& text = slot.text;
            // The slot's last block is written over, not cleared: a string grown again from
            // empty would fill every byte with zeros before the records do.
            std::size_t start = 0;
            if (block == 0) {
                text = header_;
                start = text.size();
            }
            // Grown from nothing, a block's text would be copied at each doubling.
            if (text.capacity() < reserve) text.reserve(reserve + kPqrLineRoom);
            used = writer.Write(all + first, all + last, first, text, start, SIZE_MAX, [](const std::string&) {});
            text.resize(used);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        if (failure) {
            if (!error_) error_ = failure;
            ended_ = true;
            changed_.notify_all();
            return false;
        }
        lastBlockBytes_ = std::max(lastBlockBytes_, used);
        slot.state = SlotState::Made;
        changed_.notify_all();
        return true;
    }

    const HostModel::ChemDoc& doc_;
    const std::string description_;
    std::string header_;  // set before the blocks are published, then only read
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<const HostModel::Atom*> atoms_;
    std::size_t blockCount_ = 0;
    std::size_t next_ = 0;     // the next block to take
    std::size_t written_ = 0;  // blocks handed to the sink
    std::size_t lastBlockBytes_ = 0;
    Slot slots_[kBlocksAhead];
    bool published_ = false;
    bool ended_ = false;
    std::exception_ptr error_;
};

PqrFormatJob::PqrFormatJob(const HostModel::ChemDoc& doc, std::string description)
    : blocks_(std::make_unique<Blocks>(doc, std::move(description))) {}

PqrFormatJob::~PqrFormatJob() = default;

void PqrFormatJob::Write(const PqrChunkSink& sink) { blocks_->Write(sink); }

void PqrFormatJob::Help() noexcept { blocks_->Help(); }

void PqrFormatJob::End() noexcept { blocks_->End(); }

}  // namespace VoltraApp
