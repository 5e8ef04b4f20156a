// Guards between a PDB file's bytes and gemmi 0.5.7's PDB reader (gemmi/pdb.hpp).
//
// Upstream defects worked around here, as of gemmi 0.5.7:
//  - pdb_impl::process_conn reads fixed fields of SSBOND and LINK records without checking the
//    record's length against each field: a record of 74 to 77 columns has its distance read at
//    columns 74-78 (read_double, pdb.hpp line 227; LINK at line 257, LINKR's link id at columns
//    73-80), past the end of the std::string that holds it: a heap-buffer-overflow in our
//    process. Padding such records to 80 columns makes every field gemmi reads exist.
//  - read_charge throws for any charge field it cannot parse, so files in the pre-1996 layout
//    (an ID code in columns 73-76 and a line number in 77-80) are refused whole.
//  - read_double passes NaN, infinity and values beyond float's range through as coordinates.
// To see each record as gemmi will, lines are split the way its MemoryStream and
// copy_line_from_stream split them (at most 120 bytes, a NUL ends the record, the rest of an
// overlong line is skipped up to a newline, a NUL or a byte above 0x7f).
#include "io/PdbRecordGuards.h"

#include "io/DecimalField.h"
#include "io/PdbLineSplitter.h"
#include "io/ReadError.h"

#include "Common/Text.h"
#include "Common/TwoHalves.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <exception>

namespace HostIO {
namespace {

constexpr std::size_t kGemmiLineBytes = 120;  // PdbReadOptions::max_line_length, at most 120
constexpr std::size_t kRecordColumns = 80;

// One line as gemmi's reader takes it from the text.
struct GemmiLine {
    std::size_t begin = 0;   // offset of the line's first byte
    std::size_t length = 0;  // bytes gemmi's record holds: up to a NUL, with the '\n' when reached
    std::size_t resume = 0;  // offset where gemmi's next line starts
    bool cutByNul = false;
};

// False where gemmi stops: at the end of the text, and at a line that starts with a NUL (its
// copy_line_from_stream then returns 0, which ends the reading loop).
bool NextGemmiLine(std::string_view text, std::size_t at, GemmiLine& line) {
    if (at >= text.size()) return false;
    const char* start = text.data() + at;
    const std::size_t window = std::min(kGemmiLineBytes, text.size() - at);
    const auto* newline = static_cast<const char*>(std::memchr(start, '\n', window));
    const std::size_t copied = newline ? static_cast<std::size_t>(newline - start) + 1 : window;
    const auto* nul = static_cast<const char*>(std::memchr(start, '\0', copied));
    line.begin = at;
    line.length = nul ? static_cast<std::size_t>(nul - start) : copied;
    line.cutByNul = nul != nullptr;
    if (line.length == 0) return false;
    line.resume = at + copied;
    if (text[at + line.length - 1] != '\n') {
        // gemmi skips the rest: for (c = getc(); c > 0 && c != '\n'; ...), char being signed.
        while (line.resume < text.size()) {
            const auto c = static_cast<signed char>(text[line.resume++]);
            if (c <= 0 || c == '\n') break;
        }
    }
    return true;
}

char Upper(char c) { return static_cast<char>(c & ~0x20); }

// gemmi's is_record_type: the first four bytes, case-insensitively.
bool IsRecord(const char* line, std::size_t length, const char* record) {
    if (length < 4) return false;
    for (int i = 0; i < 4; ++i) {
        if (Upper(line[i]) != Upper(record[i])) return false;
    }
    return true;
}

// gemmi's is_record_type3 for END: "END" then a blank, a control character or punctuation.
bool IsEndRecord(const char* line, std::size_t length) {
    if (length < 3 || Upper(line[0]) != 'E' || Upper(line[1]) != 'N' || Upper(line[2]) != 'D') return false;
    const char fourth = length > 3 ? line[3] : '\0';
    return (fourth & 0xd0) == 0;
}

struct Field {
    int first, last;  // 1-based columns
    const char* what;
};

// Fields of the connection records (PDB format 3.3), for telling a record cut inside a field
// from one whose trailing blanks were trimmed.
const std::vector<Field>& ConnectionFields(char kind) {
    static const std::vector<Field> kSsbond = {{8, 10, "serial number"},
                                               {12, 14, "first residue name"},
                                               {18, 21, "first residue number"},
                                               {26, 28, "second residue name"},
                                               {32, 35, "second residue number"},
                                               {60, 65, "first symmetry operator"},
                                               {67, 72, "second symmetry operator"},
                                               {74, 78, "distance"}};
    static const std::vector<Field> kLink = {
        {13, 16, "first atom name"},         {18, 20, "first residue name"},       {23, 26, "first residue number"},
        {43, 46, "second atom name"},        {48, 50, "second residue name"},      {53, 56, "second residue number"},
        {60, 65, "first symmetry operator"}, {67, 72, "second symmetry operator"}, {74, 78, "distance"}};
    static const std::vector<Field> kCispep = {{8, 10, "serial number"},
                                               {12, 14, "first residue name"},
                                               {18, 21, "first residue number"},
                                               {26, 28, "second residue name"},
                                               {32, 35, "second residue number"},
                                               {44, 46, "model number"},
                                               {54, 59, "angle"}};
    return kind == 'S' ? kSsbond : kind == 'L' ? kLink : kCispep;
}

bool IsSign(char c) { return c == '+' || c == '-'; }
bool IsBlank(char c) { return c == ' ' || c == '\0' || c == '\n' || c == '\r' || c == '\t'; }

// A formal charge as the format writes it ("2+"), or as some programs do ("+2"), or nothing.
bool IsFormalCharge(char first, char second) {
    if (IsBlank(first) && IsBlank(second)) return true;
    return (Common::IsAsciiDigit(first) && IsSign(second)) || (IsSign(first) && Common::IsAsciiDigit(second));
}

std::string Printable(const char* begin, std::size_t length) {
    std::string out;
    for (std::size_t i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(begin[i]);
        out += (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '?';
    }
    const std::size_t first = out.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

// True for a field whose value, as gemmi reads it, is surely accepted without reading it: only
// digits, blanks, signs and points, and a point within the first seven columns. gemmi takes the
// longest number at the field's start, so its integer digits lie before that point: at most six,
// under 10^6, and without letters there is no exponent, infinity or NaN. Files written in the
// usual %8.3f layout all pass here; the rest are read in full.
enum CoordinateByte : unsigned char { kOtherByte, kNumberByte, kPointByte };

constexpr std::array<unsigned char, 256> CoordinateBytes() {
    std::array<unsigned char, 256> bytes{};
    for (char c : {' ', '-', '+', '0', '1', '2', '3', '4', '5', '6', '7', '8', '9'})
        bytes[static_cast<unsigned char>(c)] = kNumberByte;
    bytes['.'] = kPointByte;
    return bytes;
}

bool SurelyAcceptedCoordinate(const char* field) {
    static constexpr std::array<unsigned char, 256> kBytes = CoordinateBytes();
    int point = -1;
    for (int i = 0; i < 8; ++i) {
        const unsigned char kind = kBytes[static_cast<unsigned char>(field[i])];
        if (kind == kOtherByte) return false;
        if (kind == kPointByte && point < 0) point = i;
    }
    return point >= 0 && point <= 6;
}

// Below this much text the dry run's second thread costs more than it saves.
constexpr std::size_t kTextWorthTwoHalves = std::size_t{4} << 20;

// The end of the first line at or after from that gemmi reads whole (PdbLineSplitter::IsPlainLine),
// where its next line starts whatever came before. 0 when no such line ends in the next few
// hundred, or nothing follows it.
std::size_t PlainLineEndAfter(std::string_view text, std::size_t from) {
    for (int tries = 0; tries < 500; ++tries) {
        const std::size_t newline = text.find('\n', from);
        if (newline == std::string_view::npos || newline + 1 >= text.size()) return 0;
        const std::size_t start = newline == 0 ? 0 : text.rfind('\n', newline - 1) + 1;  // rfind's npos + 1 is 0
        const std::string_view line = text.substr(start, newline + 1 - start);
        if (PdbLineSplitter::IsPlainLine(line)) return newline + 1;
        from = newline + 1;
    }
    return 0;
}

// Checks, and mends when it owns the text; without the text's owner it only tells whether
// there is anything to mend, stopping at the first such record.
class Guard {
public:
    Guard(std::string& text, const std::string& name) : view_(text), text_(&text), name_(name) {}
    Guard(std::string_view text, const std::string& name) : view_(text), text_(nullptr), name_(name) {}

    bool NeedsMending() const { return needsMending_; }
    /// Whether gemmi stops reading inside the text: at END, or at a line starting with a NUL.
    bool StopsReading() const { return stopsReading_; }
    /// The lines walked.
    int Lines() const { return lines_; }

    std::vector<std::string> Run() {
        GemmiLine line;
        std::size_t at = 0;
        int& number = lines_;
        while (!needsMending_) {
            if (!NextGemmiLine(view_, at, line)) {
                stopsReading_ = at < view_.size();
                break;
            }
            ++number;
            at = line.resume;
            const char* p = view_.data() + line.begin;
            if (IsRecord(p, line.length, "ATOM") || IsRecord(p, line.length, "HETATM")) {
                CheckAtom(line, number);
            } else if (IsRecord(p, line.length, "SSBOND") || IsRecord(p, line.length, "LINK") ||
                       IsRecord(p, line.length, "CISPEP")) {
                PadConnection(line, number);
            } else if (IsEndRecord(p, line.length)) {
                stopsReading_ = true;
                break;  // gemmi reads nothing after END
            }
        }
        if (edited_) {
            rebuilt_.append(view_.substr(copiedUpTo_));
            text_->swap(rebuilt_);
        }
        if (cutRecords_ > kListedCutRecords) {
            warnings_.push_back(std::to_string(cutRecords_ - kListedCutRecords) +
                                " more connection record(s) cut short, read as if padded with blanks");
        }
        if (badCharges_ > 0) {
            warnings_.push_back(Where(firstBadChargeLine_) + "columns 79-80 ('" + firstBadCharge_ +
                                "') hold no formal charge, as in the old layout with an ID code "
                                "and line numbers in columns 73-80; the charge fields of " +
                                std::to_string(badCharges_) + " atom record(s) were ignored");
        }
        return std::move(warnings_);
    }

private:
    std::string Where(int line) const { return name_ + ":" + std::to_string(line) + ": "; }

    void CheckAtom(const GemmiLine& line, int number) {
        const char* p = view_.data() + line.begin;
        if (line.length < 55) return;  // gemmi refuses it as too short
        static const char* const kAxes[] = {"x", "y", "z"};
        for (int axis = 0; axis < 3; ++axis) {
            const char* field = p + 30 + 8 * axis;
            // The usual layout first: its value, under 10^4, needs no more looking at.
            double usual;
            if (detail::ReadCoordinateLayout(field, usual) || SurelyAcceptedCoordinate(field)) continue;
            const double value = ReadDecimalField(field, 8);  // the value gemmi's reader will see
            if (!IsAcceptedCoordinate(value)) {
                const std::string quoted = "'" + Printable(field, 8) + "'";
                throw ReadError(
                    name_, number,
                    std::string(kAxes[axis]) + " coordinate " + quoted +
                        (std::isfinite(value) ? " lies beyond 1e6 Å from the origin" : " is not a finite number"));
            }
        }
        if (line.length <= 78) return;
        const char second = p[79];  // the '\n', or the end of the record when length is 79
        const char secondSeen = line.length > 79 ? second : '\0';
        if (IsFormalCharge(p[78], secondSeen)) return;
        if (!text_) {
            needsMending_ = true;
            return;
        }
        if (badCharges_++ == 0) {
            firstBadChargeLine_ = number;
            firstBadCharge_ = Printable(p + 78, line.length > 79 && !IsBlank(second) ? 2 : 1);
        }
        char* const mended = text_->data() + line.begin;
        mended[78] = ' ';
        if (line.length > 79 && !IsBlank(second)) mended[79] = ' ';
    }

    void PadConnection(const GemmiLine& line, int number) {
        const char* p = view_.data() + line.begin;
        std::size_t content = line.length;
        std::string ending;
        if (content > 0 && p[content - 1] == '\n') {
            --content;
            ending = "\n";
            if (content > 0 && p[content - 1] == '\r') {
                --content;
                ending = "\r\n";
            }
        }
        if (content >= kRecordColumns) return;
        if (!text_) {
            needsMending_ = true;
            return;
        }
        const char kind = Upper(p[0]);
        const char* recordName = kind == 'S' ? "SSBOND" : kind == 'L' ? "LINK" : "CISPEP";
        const auto columns = static_cast<int>(content);
        std::string why;
        for (const Field& f : ConnectionFields(kind)) {
            if (f.first <= columns && columns < f.last) {
                why = "ends inside its " + std::string(f.what) + " field (columns " + std::to_string(f.first) + "-" +
                      std::to_string(f.last) + ")";
                break;
            }
        }
        if (line.cutByNul) why = "is cut by a NUL byte after column " + std::to_string(columns);
        if (!why.empty() && ++cutRecords_ <= kListedCutRecords) {
            warnings_.push_back(Where(number) + recordName + " record " + why +
                                "; read as if padded with blanks to 80 columns");
        }
        // A record cut by a NUL is replaced up to where gemmi would start its next line.
        const std::size_t end = line.cutByNul ? line.resume : line.begin + line.length;
        if (line.cutByNul && ending.empty()) ending = "\n";
        if (!edited_) {
            rebuilt_.reserve(view_.size() + 4096);
            edited_ = true;
        }
        rebuilt_.append(view_.substr(copiedUpTo_, line.begin - copiedUpTo_));
        rebuilt_.append(p, content);
        rebuilt_.append(kRecordColumns - content, ' ');
        rebuilt_ += ending;
        copiedUpTo_ = end;
    }

    std::string_view view_;
    std::string* text_;  // the text's owner, which mending writes to; null: only look
    const std::string& name_;
    bool needsMending_ = false;
    bool stopsReading_ = false;
    int lines_ = 0;
    std::vector<std::string> warnings_;
    // Padding changes lengths: the mended text is built beside the original once needed.
    bool edited_ = false;
    std::string rebuilt_;
    std::size_t copiedUpTo_ = 0;
    static constexpr std::size_t kListedCutRecords = 10;  // warned one by one; the rest counted
    std::size_t cutRecords_ = 0;
    std::size_t badCharges_ = 0;
    int firstBadChargeLine_ = 0;
    std::string firstBadCharge_;
};

}  // namespace

bool IsAcceptedCoordinate(double value) { return std::isfinite(value) && std::fabs(value) <= kCoordinateLimit; }

std::vector<std::string> GuardPdbRecords(std::string& text, const std::string& name) { return Guard(text, name).Run(); }

bool PdbRecordsNeedMending(std::string_view text, const std::string& name) {
    const std::size_t split = text.size() >= kTextWorthTwoHalves ? PlainLineEndAfter(text, text.size() / 2) : 0;
    if (split == 0) {
        Guard guard(text, name);
        guard.Run();
        return guard.NeedsMending();
    }
    // The halves at once; the second's outcome counts only where gemmi reads on into it.
    Guard halves[2] = {Guard(text.substr(0, split), name), Guard(text.substr(split), name)};
    std::exception_ptr errors[2];
    Common::RunInTwoHalves(2, 2, [&](std::size_t begin, std::size_t end, int) {
        for (std::size_t half = begin; half < end; ++half) {
            try {
                halves[half].Run();
            } catch (...) {
                errors[half] = std::current_exception();
            }
        }
    });
    if (errors[0]) std::rethrow_exception(errors[0]);
    if (halves[0].NeedsMending() || halves[0].StopsReading()) return halves[0].NeedsMending();
    if (errors[1]) {
        try {
            std::rethrow_exception(errors[1]);
        } catch (const ReadError& e) {
            // The second half counted its lines from the split.
            if (e.GetLine() == 0) throw;
            throw ReadError(e.GetFile(), e.GetLine() + halves[0].Lines(), e.GetColumn(), e.GetDetail());
        }
    }
    return halves[1].NeedsMending();
}

}  // namespace HostIO
