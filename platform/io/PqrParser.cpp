#include "io/PqrParser.h"

#include "io/ReadError.h"

#include "Common/Text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

namespace HostIO {
namespace {

using Common::SplitFields;  // lines come without their line end

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }
bool IsAlpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

struct ResidueNumber {
    int number = 0;
    char insertionCode = ' ';
};

// "12", "-3", "52A": a signed integer with an optional one-letter insertion code.
std::optional<ResidueNumber> ParseResidueNumber(std::string_view field) {
    if (field.empty()) return std::nullopt;
    ResidueNumber result;
    if (IsAlpha(field.back())) {
        result.insertionCode = field.back();
        field.remove_suffix(1);
    }
    if (field.empty() || !(Common::IsAsciiDigit(field.back()))) return std::nullopt;
    const char* begin = field.data();
    const char* end = begin + field.size();
    if (*begin == '+') ++begin;
    const auto parsed = std::from_chars(begin, end, result.number);
    if (parsed.ec != std::errc() || parsed.ptr != end) return std::nullopt;
    return result;
}

struct NumberScan {
    double values[5] = {};
    std::size_t count = 0;      // numbers read, at most 6 (one too many is enough to know)
    std::string_view badField;  // the field where reading stopped on something not a number
    bool notFinite = false;
};

// Reads numbers up to the end of text; numbers may run into each other ("1.5-2.0").
NumberScan ScanNumbers(std::string_view text) {
    NumberScan scan;
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) {
        while (p < end && IsBlank(*p)) ++p;
        if (p == end) break;
        const char* fieldStart = p;
        if (*p == '+') ++p;
        double value = 0;
        const auto parsed = std::from_chars(p, end, value);
        if (parsed.ec != std::errc() ||
            (parsed.ptr < end && !IsBlank(*parsed.ptr) && *parsed.ptr != '-' && *parsed.ptr != '+')) {
            const char* fieldEnd = fieldStart;
            while (fieldEnd < end && !IsBlank(*fieldEnd)) ++fieldEnd;
            scan.badField = std::string_view(fieldStart, static_cast<std::size_t>(fieldEnd - fieldStart));
            return scan;
        }
        if (!std::isfinite(value)) {
            scan.badField = std::string_view(fieldStart, static_cast<std::size_t>(parsed.ptr - fieldStart));
            scan.notFinite = true;
            return scan;
        }
        if (scan.count < 5) scan.values[scan.count] = value;
        if (++scan.count > 5) return scan;
        p = parsed.ptr;
    }
    return scan;
}

// The text from the start of fields[index] to the end of the line.
std::string_view TailFrom(std::string_view line, const std::vector<std::string_view>& fields, std::size_t index) {
    if (index >= fields.size()) return {};
    const std::size_t offset = static_cast<std::size_t>(fields[index].data() - line.data());
    return line.substr(offset);
}

std::string Quote(std::string_view text) { return "'" + std::string(text) + "'"; }

class LineParser {
public:
    LineParser(const std::string& fileName, int line) : fileName_(fileName), line_(line) {}

    [[noreturn]] void Fail(const std::string& detail) const { throw ReadError(fileName_, line_, detail); }

    PqrAtomRecord ParseAtom(std::string_view line, std::size_t keywordLength, bool hetatm) const {
        // Serial, atom name, residue name, then [chain] residue number and five numbers.
        const std::string_view body = line.substr(keywordLength);
        const auto fields = SplitFields(body);
        if (fields.size() < 4) {
            Fail(
                "too few fields in PQR atom record (need record, serial, atom name, residue name, [chain,] "
                "residue number, x, y, z, charge, radius): " +
                Quote(Trim(line)));
        }
        PqrAtomRecord record;
        record.hetatm = hetatm;
        record.atomName = fields[1];
        record.residueName = fields[2];
        record.line = line_;
        const std::vector<std::string_view> rest(fields.begin() + 3, fields.end());

        // Without a chain column, with one, or with the chain id run into the residue number.
        if (auto number = ParseResidueNumber(rest[0])) {
            const NumberScan scan = ScanNumbers(TailFrom(body, rest, 1));
            if (scan.count == 5 && scan.badField.empty()) return Fill(record, {}, *number, scan);
        }
        if (rest.size() >= 2) {
            if (auto number = ParseResidueNumber(rest[1])) {
                const NumberScan scan = ScanNumbers(TailFrom(body, rest, 2));
                if (scan.count == 5 && scan.badField.empty()) return Fill(record, rest[0], *number, scan);
            }
        }
        if (rest[0].size() >= 2 && IsAlpha(rest[0][0])) {
            if (auto number = ParseResidueNumber(rest[0].substr(1))) {
                const NumberScan scan = ScanNumbers(TailFrom(body, rest, 1));
                if (scan.count == 5 && scan.badField.empty()) return Fill(record, rest[0].substr(0, 1), *number, scan);
            }
        }
        Diagnose(rest, body);
    }

private:
    static PqrAtomRecord Fill(PqrAtomRecord record, std::string_view chain, const ResidueNumber& number,
                              const NumberScan& scan) {
        record.chain = chain;
        record.residueNumber = number.number;
        record.insertionCode = number.insertionCode;
        record.x = scan.values[0];
        record.y = scan.values[1];
        record.z = scan.values[2];
        record.charge = static_cast<float>(scan.values[3]);
        record.radius = static_cast<float>(scan.values[4]);
        return record;
    }

    // Names the first thing that keeps the record from being read.
    [[noreturn]] void Diagnose(const std::vector<std::string_view>& rest, std::string_view body) const {
        std::size_t numberIndex;
        if (ParseResidueNumber(rest[0])) {
            numberIndex = 0;
        } else if (rest.size() >= 2 && ParseResidueNumber(rest[1])) {
            numberIndex = 1;
        } else {
            const bool firstLooksNumeric = Common::IsAsciiDigit(rest[0][0]) || rest[0][0] == '-' || rest[0][0] == '+';
            const std::string_view offending = (firstLooksNumeric || rest.size() < 2) ? rest[0] : rest[1];
            Fail("residue number " + Quote(offending) + " is not a number");
        }
        const std::string numberText(rest[numberIndex]);
        const NumberScan scan = ScanNumbers(TailFrom(body, rest, numberIndex + 1));
        if (!scan.badField.empty()) {
            Fail("field " + Quote(scan.badField) + (scan.notFinite ? " is not a finite number" : " is not a number") +
                 " (expected x, y, z, charge and radius after residue number " + numberText + ")");
        }
        Fail("expected 5 numbers (x, y, z, charge, radius) after residue number " + numberText + ", found " +
             (scan.count > 5 ? std::string("more") : std::to_string(scan.count)));
    }

    const std::string& fileName_;
    int line_;
};

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// A record name alone or followed by a blank or the end of the line ("TER", "TER   123").
bool IsRecord(std::string_view line, std::string_view name) {
    return StartsWith(line, name) &&
           (line.size() == name.size() || IsBlank(line[name.size()]) || Common::IsAsciiDigit(line[name.size()]));
}

void ReadRemark(std::string_view line, PqrRemarks& remarks) {
    static constexpr std::string_view kCharge = "Total charge on this biomolecule:";
    static constexpr std::string_view kForcefield = "Forcefield Used:";
    if (const auto at = line.find(kCharge); at != std::string_view::npos) {
        const std::string_view rest = Trim(line.substr(at + kCharge.size()));
        double value = 0;
        const auto parsed = std::from_chars(rest.data(), rest.data() + rest.size(), value);
        if (parsed.ec == std::errc()) remarks.totalCharge = value;
    } else if (const auto at2 = line.find(kForcefield); at2 != std::string_view::npos) {
        remarks.forcefield = std::string(Trim(line.substr(at2 + kForcefield.size())));
    }
}

}  // namespace

PqrRemarks ParsePqr(std::string_view text, const std::string& fileName, PqrHandler& handler) {
    PqrRemarks remarks;
    int lineNumber = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

        const bool atom = StartsWith(line, "ATOM");
        const bool hetatm = !atom && StartsWith(line, "HETATM");
        if (atom || hetatm) {
            handler.OnAtom(LineParser(fileName, lineNumber).ParseAtom(line, atom ? 4 : 6, hetatm));
        } else if (IsRecord(line, "TER")) {
            handler.OnTer();
        } else if (IsRecord(line, "MODEL")) {
            const auto fields = SplitFields(line.substr(5));
            int number = 0;
            if (!fields.empty()) {
                const auto parsed = std::from_chars(fields[0].data(), fields[0].data() + fields[0].size(), number);
                if (parsed.ec != std::errc() || parsed.ptr != fields[0].data() + fields[0].size()) {
                    LineParser(fileName, lineNumber).Fail("model number " + Quote(fields[0]) + " is not a number");
                }
            }
            handler.OnModel(number);
        } else if (IsRecord(line, "ENDMDL")) {
            handler.OnEndModel();
        } else if (IsRecord(line, "END")) {
            break;
        } else if (StartsWith(line, "REMARK")) {
            ReadRemark(line, remarks);
        }
    }
    return remarks;
}

}  // namespace HostIO
