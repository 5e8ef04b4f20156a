// Each line goes through gemmi's own line splitting (MemoryStream, copy_line_from_stream) into a
// buffer of gemmi's size, and its fields through gemmi's own field readers (pdb_impl; numbers
// through ReadDecimalField, which gives read_double's values faster), so that
// lines cut at 120 bytes, NUL bytes and bytes left in the buffer by longer lines before read as
// gemmi reads them. What this reader mirrors of read_pdb_from_stream:
//  - models: created by MODEL (found again by number) or by the first atom after none, named
//    "1", "2", ... by count; gemmi's errors for a MODEL inside a model and a model given twice;
//  - parts: a new one at each change of chain id and after TER, MODEL and ENDMDL;
//  - residues: looked up by sequence number, insertion code, name and segment within the part,
//    so that a residue written again further down the part gathers its atoms in one place;
//  - atoms: every field the tree reads, by gemmi's steps (elements from the atom name where
//    columns 77-78 are blank, hybrid-36 sequence numbers);
//  - ANISOU and CRYST1 records only for gemmi's errors about them; HEADER for the entry id;
//  - END, and the signs of an mmCIF or mmJSON file.
// With split_chain_on_ter gemmi sets no entity types in a PDB file, so every part is converted
// judging residues by name. Records not listed change nothing the tree shows and never stop
// gemmi's reader.
//
// A large file is read in two halves at once, split after a TER record near the middle. The
// second half's reader starts from the state the first half will most likely leave (one model,
// "1", no part open, the line buffer as the two lines before the split leave it); when the first
// half is read, its reader checks that state, and where it differs (models, an END record, a
// line longer than those two) the second half's work is dropped and the first reader goes on.
#include "io/PdbStreamReader.h"

#include "io/AltlocSelection.h"
#include "io/DecimalField.h"
#include "io/GemmiPartConversion.h"
#include "io/ModelSelection.h"
#include "io/PartHandoff.h"
#include "io/PdbHalfwaySplit.h"
#include "io/PdbLineSplitter.h"
#include "io/ReadError.h"

#include <gemmi/pdb.hpp>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

namespace HostIO {
namespace {

namespace pdb = gemmi::pdb_impl;

constexpr std::size_t kShortestAtomRecord = 55;  // bytes; gemmi refuses shorter ATOM lines
constexpr std::size_t kNone = static_cast<std::size_t>(-1);
// Parts made but not yet placed hold at most about this many atoms beyond the one being placed:
// the reader never runs far ahead.
constexpr std::size_t kAtomsInFlight = 32768;
// The second half's parts wait, made, until the first half's are placed: they are the tree's
// own objects, so holding them costs little beyond their bond records.
constexpr std::size_t kUnbounded = std::numeric_limits<std::size_t>::max();
// Below this much text a second thread costs more than it saves; below the next, a third.
constexpr std::size_t kTextForSecondThread = std::size_t{2} << 20;
constexpr std::size_t kTextForHalves = std::size_t{4} << 20;

// The bytes of an atom record that gemmi reads for its chain (columns 21-22) and residue (name,
// sequence number, insertion code: 18-27; segment: 73-76 where the record is that long).
class ResidueColumns {
public:
    ResidueColumns(const char* line, std::size_t length) : hasSegment_(length > 72) {
        std::memcpy(bytes_, line + 17, 10);
        if (hasSegment_) std::memcpy(bytes_ + 10, line + 72, 4);
    }
    bool operator==(const ResidueColumns& other) const {
        return hasSegment_ == other.hasSegment_ && std::memcmp(bytes_, other.bytes_, sizeof bytes_) == 0;
    }

private:
    char bytes_[14] = {};
    bool hasSegment_;
};

struct ModelEntry {
    std::string name;
    bool hasAtoms = false;  // gemmi's model has chains, so a MODEL record naming it is an error
};

// A part on its way to the builder: made, or as read for the builder to make.
struct QueuedPart {
    bool asRead = false;  // raw holds the part, for the builder to make
    gemmi::Chain raw{""};
    MadePart made;
};
using Handoff = PartHandoff<QueuedPart>;

// Reads records of PDB text, from its start or from a split, and passes each part of the model
// read to the builder as it ends: converted here, or through a handoff to the building thread.
class PdbRecordReader {
public:
    PdbRecordReader(const std::string& name, const ReadOptions& options)
        : name_(name), options_(options), altlocs_(options.altloc) {
        if (options.model != 0) wantedModel_ = std::to_string(options.model);
    }

    void ConvertInto(HostTreeBuilder& builder) { builder_ = &builder; }
    void PassTo(Handoff& handoff, PdbReadThreads threads) {
        handoff_ = &handoff;
        threads_ = threads;
    }

    /// Reads the records of [begin, end) up to an END record, and ends the part open at the end.
    void ReadRecords(const char* begin, const char* end) {
        PdbLineSplitter lines(begin, end);
        std::size_t length = 0;
        while ((length = lines.Next(line_)) != 0) {
            ++lineNumber_;
            longestWrite_ = std::max(longestWrite_, lines.Written());
            lastLines_[0] = lastLines_[1];
            lastLines_[1] = lines.LineStart();
            const char* line = line_;
            if (pdb::is_record_type(line, "ATOM") || pdb::is_record_type(line, "HETATM")) {
                TakeAtom(line, length);
            } else if (pdb::is_record_type(line, "ANISOU")) {
                CheckAnisou(line);
            } else if (pdb::is_record_type(line, "HEADER")) {
                TakeEntryId(line, length);
            } else if (pdb::is_record_type(line, "CRYST1")) {
                CheckCell(line, length);
            } else if (pdb::is_record_type(line, "MODEL")) {
                StartModel(line);
            } else if (pdb::is_record_type(line, "ENDMDL")) {
                EndPart();
                model_ = kNone;
            } else if (pdb::is_record_type3(line, "TER")) {
                EndPart();
            } else if (pdb::is_record_type3(line, "END")) {
                ended_ = true;
                break;
            } else if (pdb::is_record_type(line, "data")) {
                if (line[4] == '_' && model_ == kNone) Decline("a data block, as in mmCIF", false);
            } else if (pdb::is_record_type(line, "{\"da")) {
                if (gemmi::ialpha3_id(line + 4) == gemmi::ialpha3_id("ta_") && model_ == kNone)
                    Decline("a JSON object, as in mmJSON", false);
            }
        }
        // A line starting with a NUL byte stops gemmi's reader as END does.
        if (length == 0 && !lines.AtEnd()) ended_ = true;
        EndPart();
    }

    /// Whether the reading stopped before the text's end: at an END record, or at a line starting
    /// with a NUL byte.
    bool Ended() const { return ended_; }
    /// The lines read, as gemmi counts them.
    int Lines() const { return lineNumber_; }

    /// Starts in the state a first half ending at split most often leaves: atoms read into model
    /// "1", no part open, the line buffer as split's last two lines left it.
    void StartAt(const PdbHalfwaySplit& split) {
        models_.assign(1, ModelEntry{"1", true});
        model_ = 0;
        std::memcpy(line_, split.line, sizeof line_);
    }

    /// Whether this reader, having read the first half, is in the state StartAt assumed. No part
    /// is open: the half ends with its TER record.
    bool LeftAsStartAssumes(const PdbHalfwaySplit& split) const {
        return !ended_ && !inPart_ && model_ == 0 && models_.size() == 1 && models_[0].name == "1" &&
               models_[0].hasAtoms && lastLines_[0] == split.lastLines[0] && lastLines_[1] == split.lastLines[1] &&
               longestWrite_ <= split.covered;
    }

    /// Takes on what later, which read the rest of the text from StartAt, found.
    void Append(PdbRecordReader&& later) {
        models_ = std::move(later.models_);
        model_ = later.model_;
        atomsRead_ += later.atomsRead_;
        if (!later.entryId_.empty()) entryId_ = std::move(later.entryId_);
        CountDropped(later.altlocs_);
    }

    /// Counts conformers another filter (the building thread's, the second half's) dropped.
    void CountDropped(const AltlocFilter& builderAltlocs) {
        altlocs_.atomsDropped += builderAltlocs.atomsDropped;
        altlocs_.residuesDropped += builderAltlocs.residuesDropped;
    }

    /// The model read, once every part is placed in builder; calls releaseText, if any, first.
    ModelRead Finish(HostTreeBuilder& builder, const std::function<void()>& releaseText) const {
        std::vector<std::string> names;
        names.reserve(models_.size() + 1);
        for (const ModelEntry& model : models_) names.push_back(model.name);
        if (names.empty()) names.push_back("1");  // gemmi's empty model of a file without atoms
        const std::size_t index = SelectModel(names, options_.model, name_);
        CheckModelHasAtoms(atomsRead_, names[index], names.size(), options_.model, name_);
        ModelRead read;
        read.modelCount = names.size();
        read.modelNumber = std::atoi(names[index].c_str());
        if (releaseText) releaseText();
        read.built = builder.Finish();
        // The builder started under the default label: HEADER may come after the atoms.
        if (!entryId_.empty()) read.built.molecule->SetLabel(entryId_);
        read.altlocAtomsDropped = altlocs_.atomsDropped;
        read.altlocResiduesDropped = altlocs_.residuesDropped;
        return read;
    }

    // Thrown on a reading thread when the builder has failed: nothing more is wanted.
    struct BuildStopped {};

private:
    // At the line where gemmi's message puts it; gemmi names none for a file of another format.
    [[noreturn]] void Decline(const std::string& why, bool atLine = true) const {
        throw ReadError(name_, atLine ? lineNumber_ : 0, why);
    }

    bool IsModelRead(std::size_t model) const {
        return options_.model == 0 ? model == 0 : models_[model].name == wantedModel_;
    }

    std::size_t FindModel(const std::string& name) const {
        for (std::size_t i = 0; i < models_.size(); ++i) {
            if (models_[i].name == name) return i;
        }
        return kNone;
    }

    std::size_t AddModel(const std::string& name) {
        models_.push_back({name, false});
        return models_.size() - 1;
    }

    void StartModel(const char* line) {
        if (model_ != kNone && inPart_) Decline("MODEL record inside a model, without ENDMDL");
        const std::string name = std::to_string(pdb::read_int(line + 10, 4));
        std::size_t model = FindModel(name);
        if (model == kNone) model = AddModel(name);
        if (models_[model].hasAtoms) Decline("model " + name + " given twice");
        model_ = model;
    }

    void TakeEntryId(const char* line, std::size_t length) {
        if (length <= 66) return;
        std::string entryId = gemmi::rtrim_str(std::string(line + 62, 4));
        if (!entryId.empty()) entryId_ = std::move(entryId);  // the last one counts, as in gemmi
    }

    // gemmi's unit cell refuses angles of N*180 degrees, and with them the file.
    void CheckCell(const char* line, std::size_t length) const {
        if (length <= 54) return;
        try {
            gemmi::UnitCell cell;
            cell.set(pdb::read_double(line + 6, 9), pdb::read_double(line + 15, 9), pdb::read_double(line + 24, 9),
                     pdb::read_double(line + 33, 7), pdb::read_double(line + 40, 7), pdb::read_double(line + 47, 7));
        } catch (const std::exception& e) {
            Decline(e.what(), false);
        }
    }

    void CheckAnisou(const char* line) {
        // gemmi's part exists only with an atom in it, the one an ANISOU record belongs to.
        if (model_ == kNone || !inPart_) Decline("ANISOU record not directly after an atom");
        if (lastAnisoU11_ != 0.f) Decline("a second ANISOU record for one atom");
        lastAnisoU11_ = static_cast<float>(pdb::read_int(line + 28, 7)) * 1e-4f;
    }

    void TakeAtom(const char* line, std::size_t length) {
        if (length < 55) Decline("the line is too short to be correct");
        // Most atoms follow one of their residue: the same bytes where the chain and residue are
        // read mean the same part and residue, found again without reading them.
        const ResidueColumns columns(line, length);
        const bool sameResidue = inPart_ && lastColumns_ && columns == *lastColumns_;
        if (!sameResidue) {
            std::string chainName = pdb::read_string(line + 20, 2);
            if (!inPart_ || chainName != partName_) StartPart(std::move(chainName));
        }
        signed char charge = 0;
        try {
            if (length > 78) charge = pdb::read_charge(line[78], line[79]);
        } catch (const std::exception& e) {
            Decline(e.what());
        }
        lastAnisoU11_ = 0.f;
        if (!collecting_) {
            lastColumns_ = columns;
            return;
        }
        gemmi::Residue* found = nullptr;
        if (sameResidue && residue_ != kNone) {
            found = &part_.residues[residue_];
        } else {
            gemmi::ResidueId residueId = pdb::read_res_id(line + 22, line + 17);
            if (length > 72) residueId.segment = pdb::read_string(line + 72, 4);
            found = &FindResidue(residueId, line);
        }
        lastColumns_ = columns;
        gemmi::Residue& residue = *found;
        residue.atoms.push_back(MakeAtom(line, length));
        residue.atoms.back().charge = charge;
        ++atomsRead_;
    }

    void StartPart(std::string chainName) {
        EndPart();
        if (model_ == kNone) {
            // A single model usually has no MODEL record; ENDMDL may also separate models.
            const std::string name = std::to_string(models_.size() + 1);
            if (FindModel(name) != kNone) Decline("atoms between models");
            model_ = AddModel(name);
        }
        models_[model_].hasAtoms = true;
        inPart_ = true;
        partName_ = std::move(chainName);
        collecting_ = IsModelRead(model_);
        if (!collecting_) return;
        part_.name = partName_;
        residueIndex_.clear();
        indexed_ = 0;
        numbersRise_ = true;
        residue_ = kNone;
    }

    // The part's residue of that identity, new at the end of the part where there is none.
    gemmi::Residue& FindResidue(const gemmi::ResidueId& residueId, const char* line) {
        std::vector<gemmi::Residue>& residues = part_.residues;
        if (residue_ != kNone && residues[residue_].matches(residueId)) return residues[residue_];
        // While the part's residue numbers only rise, a residue numbered above the last is new
        // without a look-up; the index of the residues is made only once they stop rising.
        numbersRise_ = numbersRise_ && residueId.seqid.num.has_value() &&
                       (residues.empty() || *residueId.seqid.num > *residues.back().seqid.num);
        if (!numbersRise_) {
            for (; indexed_ < residues.size(); ++indexed_) residueIndex_.emplace(residues[indexed_], indexed_);
            const auto found = residueIndex_.find(residueId);
            if (found != residueIndex_.end()) {
                residue_ = found->second;
                return residues[residue_];
            }
        }
        residue_ = residues.size();
        residues.emplace_back(residueId);
        gemmi::Residue& residue = residues.back();
        residue.het_flag = static_cast<char>(line[0] & ~0x20);
        if (!spareAtoms_.empty()) {
            residue.atoms.swap(spareAtoms_.back());
            spareAtoms_.pop_back();
        }
        return residue;
    }

    // gemmi's steps, field by field, for the fields the tree and the conformer choice read: the
    // occupancy only of an atom with an alternative location, which alone weighs it; the serial
    // number and the B-factor, which nothing reads, not at all.
    static gemmi::Atom MakeAtom(const char* line, std::size_t length) {
        gemmi::Atom atom;
        atom.name = pdb::read_string(line + 12, 4);
        atom.altloc = pdb::read_altloc(line[16]);
        atom.pos.x = ReadDecimalField(line + 30, 8);
        atom.pos.y = ReadDecimalField(line + 38, 8);
        atom.pos.z = ReadDecimalField(line + 46, 8);
        if (length > 58 && atom.altloc != '\0') atom.occ = static_cast<float>(ReadDecimalField(line + 54, 6));
        if (length > 76 && (std::isalpha(line[76]) || std::isalpha(line[77]))) atom.element = gemmi::Element(line + 76);
        // Names of four characters starting with H are hydrogens: Hg, He, Hf, Ho and Hs
        // (almost) never have such names.
        else if (gemmi::alpha_up(line[12]) == 'H' && line[15] != ' ') atom.element = gemmi::El::H;
        // Old hydrogen names ("1HB ") and some MD files' names ("1C4A").
        else if (gemmi::is_digit(line[12])) atom.element = gemmi::impl::find_single_letter_element(line[13]);
        else if (gemmi::is_digit(line[13]))  // "C210"
            atom.element = gemmi::impl::find_single_letter_element(line[12]);
        else atom.element = gemmi::Element(line + 12);
        return atom;
    }

    // Converts the part being read, if it is of the model read, or passes it to the thread that
    // converts, and keeps the atoms' storage of a converted part for the parts to come.
    void EndPart() {
        lastColumns_.reset();
        if (!inPart_) return;
        inPart_ = false;
        if (!collecting_) return;
        collecting_ = false;
        if (handoff_ == nullptr) {
            ConvertPart(part_, true, altlocs_, *builder_);
        } else {
            PassPart();
        }
        KeepAtomStorage(part_);
    }

    // Making a part's residues and atoms costs more than reading its records, placing them much
    // less: a part goes to the builder as read while no other waits for it (it may be making
    // the one before), else is made here first. Either thread then makes parts while the other
    // is busy, whatever the parts' sizes.
    void PassPart() {
        QueuedPart queued;
        std::size_t atoms = 0;
        const bool builderMakes = threads_ == PdbReadThreads::TwoBuilderMakes ||
                                  (threads_ != PdbReadThreads::TwoReaderMakes && handoff_->NothingQueued());
        if (builderMakes) {
            for (const gemmi::Residue& residue : part_.residues) atoms += residue.atoms.size();
            queued.asRead = true;
            std::swap(queued.raw, part_);
        } else {
            MakePart(part_, true, altlocs_, name_, queued.made);
            atoms = queued.made.bondAtoms.size();
        }
        if (!handoff_->Push(queued, atoms)) throw BuildStopped();
        // queued is now a part the builder has handed back: its atoms' storage serves again.
        KeepAtomStorage(queued.raw);
    }

    void KeepAtomStorage(gemmi::Chain& part) {
        for (gemmi::Residue& residue : part.residues) {
            residue.atoms.clear();
            spareAtoms_.push_back(std::move(residue.atoms));
        }
        part.residues.clear();
    }

    const std::string& name_;
    const ReadOptions& options_;
    std::string wantedModel_;             // the name of the model read; empty: the first
    HostTreeBuilder* builder_ = nullptr;  // where parts go on this thread, or
    Handoff* handoff_ = nullptr;          // where they go to the building thread
    PdbReadThreads threads_ = PdbReadThreads::One;
    AltlocFilter altlocs_;
    char line_[PdbLineSplitter::kBufferBytes] = {};  // as gemmi's: later lines leave earlier bytes behind
    int lineNumber_ = 0;
    std::size_t longestWrite_ = 0;   // the most bytes a line wrote into line_
    const char* lastLines_[2] = {};  // where the last two lines began
    bool ended_ = false;
    std::string entryId_;

    // gemmi's reading state: its model, whether it is inside a part (its chain pointer), the
    // u11 of the last atom's ANISOU (0: none yet).
    std::vector<ModelEntry> models_;
    std::size_t model_ = kNone;
    bool inPart_ = false;
    std::string partName_;
    float lastAnisoU11_ = 0.f;

    // The part being read, when it belongs to the model read.
    bool collecting_ = false;
    gemmi::Chain part_{""};
    std::unordered_map<gemmi::ResidueId, std::size_t> residueIndex_;  // of the part's first indexed_ residues
    std::size_t indexed_ = 0;
    bool numbersRise_ = true;                    // every residue of the part so far numbered above the one before
    std::size_t residue_ = kNone;                // the residue of the last atom
    std::optional<ResidueColumns> lastColumns_;  // of the last atom, while its part goes on
    std::size_t atomsRead_ = 0;                  // of the model read
    std::vector<std::vector<gemmi::Atom>> spareAtoms_;
};

// Places the parts handoff passes, in order, until the reader closes it; rethrows its error.
void BuildFrom(Handoff& handoff, HostTreeBuilder& builder, AltlocFilter& altlocs, const std::string& name) {
    QueuedPart part;
    std::size_t atoms = 0;
    while (handoff.Pop(part, atoms)) {
        if (part.asRead) MakePart(part.raw, true, altlocs, name, part.made);
        builder.AddPart(std::move(part.made));
        part.made = MadePart();
        handoff.Return(std::move(part), atoms);
        part = QueuedPart();
    }
}

// Runs read on a thread of its own that closes handoff when done, with read's error if any.
std::thread ReadingThread(Handoff& handoff, std::function<void()> read) {
    return std::thread([&handoff, read = std::move(read)] {
        try {
            read();
            handoff.Close();
        } catch (const PdbRecordReader::BuildStopped&) {
            handoff.Close();
        } catch (...) {
            handoff.Close(std::current_exception());
        }
    });
}

// Stops the handoffs' readers and waits for them.
void StopReaders(std::initializer_list<std::pair<Handoff*, std::thread*>> readers) {
    for (const auto& [handoff, thread] : readers) handoff->Stop();
    for (const auto& [handoff, thread] : readers) {
        if (thread->joinable()) thread->join();
    }
}

// The whole read on this thread: each part is converted where it ends.
ModelRead ReadOnOneThread(std::string_view text, const std::string& name, const ReadOptions& options,
                          const std::string& defaultLabel, const std::function<void()>& releaseText) {
    HostTreeBuilder builder(defaultLabel, name);
    builder.ReserveAtoms(text.size() / kShortestAtomRecord);
    PdbRecordReader reader(name, options);
    reader.ConvertInto(builder);
    reader.ReadRecords(text.data(), text.data() + text.size());
    return reader.Finish(builder, releaseText);
}

// The records are read, and each part's residues made, on a second thread while this one places
// them in the tree, in the same order and with the same errors as ReadOnOneThread.
ModelRead ReadBesideBuild(std::string_view text, const std::string& name, const ReadOptions& options,
                          const std::string& defaultLabel, const std::function<void()>& releaseText,
                          PdbReadThreads threads) {
    HostTreeBuilder builder(defaultLabel, name);
    // At most this many atoms: room for them costs address space, growing by doubling would
    // touch each atom's memory several times.
    builder.ReserveAtoms(text.size() / kShortestAtomRecord);
    PdbRecordReader reader(name, options);
    Handoff handoff(kAtomsInFlight);
    reader.PassTo(handoff, threads);
    std::thread thread = ReadingThread(handoff, [&] { reader.ReadRecords(text.data(), text.data() + text.size()); });
    AltlocFilter builderAltlocs(options.altloc);
    try {
        BuildFrom(handoff, builder, builderAltlocs, name);
    } catch (...) {
        StopReaders({{&handoff, &thread}});
        throw;
    }
    thread.join();
    reader.CountDropped(builderAltlocs);
    return reader.Finish(builder, releaseText);
}

// The first and second halves of the text read at once on two threads while this one places
// their parts, the first half's before the second's, with ReadOnOneThread's model and errors.
// The second half's reader makes its parts itself, since this thread is busy with the first's.
ModelRead ReadInHalves(std::string_view text, const PdbHalfwaySplit& split, const std::string& name,
                       const ReadOptions& options, const std::string& defaultLabel,
                       const std::function<void()>& releaseText) {
    HostTreeBuilder builder(defaultLabel, name);
    builder.ReserveAtoms(text.size() / kShortestAtomRecord);
    const char* const begin = text.data();
    const char* const middle = begin + split.at;
    const char* const end = begin + text.size();
    PdbRecordReader first(name, options), second(name, options);
    Handoff firstParts(kAtomsInFlight), secondParts(kUnbounded);
    first.PassTo(firstParts, PdbReadThreads::Two);
    second.PassTo(secondParts, PdbReadThreads::TwoReaderMakes);
    second.StartAt(split);
    bool secondHolds = false;  // set before firstParts closes, read after
    std::thread firstThread = ReadingThread(firstParts, [&] {
        first.ReadRecords(begin, middle);
        if (first.Ended()) return;
        secondHolds = first.LeftAsStartAssumes(split);
        if (!secondHolds) first.ReadRecords(middle, end);
    });
    std::thread secondThread;
    try {
        secondThread = ReadingThread(secondParts, [&] { second.ReadRecords(middle, end); });
    } catch (...) {
        StopReaders({{&firstParts, &firstThread}});
        throw;
    }
    AltlocFilter builderAltlocs(options.altloc);
    try {
        BuildFrom(firstParts, builder, builderAltlocs, name);
        if (secondHolds) {
            try {
                BuildFrom(secondParts, builder, builderAltlocs, name);
            } catch (const ReadError& e) {
                // The second reader counted its lines from the split.
                if (e.GetLine() == 0) throw;
                throw ReadError(e.GetFile(), e.GetLine() + first.Lines(), e.GetColumn(), e.GetDetail());
            }
        }
    } catch (...) {
        StopReaders({{&firstParts, &firstThread}, {&secondParts, &secondThread}});
        throw;
    }
    StopReaders({{&firstParts, &firstThread}, {&secondParts, &secondThread}});
    if (secondHolds) first.Append(std::move(second));
    first.CountDropped(builderAltlocs);
    return first.Finish(builder, releaseText);
}

}  // namespace

ModelRead ReadPdbStreaming(std::string_view text, const std::string& name, const ReadOptions& options,
                           const std::string& defaultLabel, const std::function<void()>& releaseText,
                           PdbReadThreads threads) {
    const bool bySize = threads == PdbReadThreads::BySize;
    const bool halves = threads == PdbReadThreads::Halves || (bySize && text.size() >= kTextForHalves);
    const bool beside = threads == PdbReadThreads::Two || threads == PdbReadThreads::TwoReaderMakes ||
                        threads == PdbReadThreads::TwoBuilderMakes || halves ||
                        (bySize && text.size() >= kTextForSecondThread);
    try {
        if (halves) {
            if (const std::optional<PdbHalfwaySplit> split = FindPdbHalfwaySplit(text)) {
                return ReadInHalves(text, *split, name, options, defaultLabel, releaseText);
            }
        }
        if (beside) return ReadBesideBuild(text, name, options, defaultLabel, releaseText, threads);
    } catch (const std::system_error& e) {
        // No second thread to be had: the same read on this one.
        if (e.code() != std::errc::resource_unavailable_try_again) throw;
    }
    return ReadOnOneThread(text, name, options, defaultLabel, releaseText);
}

}  // namespace HostIO
