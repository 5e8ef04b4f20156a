#include "io/StructureFormat.h"

#include "io/InputBytes.h"

#include "Common/Text.h"

#include <cctype>
#include <string>
#include <vector>

namespace HostIO {
namespace {

using Common::EndsWithNoCase;
using Common::EqualsNoCase;
using Common::SplitFields;
using Common::StartsWithNoCase;

std::optional<StructureFormat> FormatFromExtension(std::string_view fileName) {
    if (EndsWithNoCase(fileName, ".gz")) fileName.remove_suffix(3);
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos) return std::nullopt;
    return ParseStructureFormat(fileName.substr(dot + 1));
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

// -1 when field is not a plain decimal number, otherwise its count of decimals.
int DecimalsOf(std::string_view field) {
    std::size_t i = 0;
    if (i < field.size() && (field[i] == '-' || field[i] == '+')) ++i;
    std::size_t digits = 0;
    int decimals = -1;
    for (; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '.' && decimals < 0) {
            decimals = 0;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            ++digits;
            if (decimals >= 0) ++decimals;
        } else {
            return -1;
        }
    }
    if (digits == 0) return -1;
    return decimals < 0 ? 0 : decimals;
}

bool AtomRecordLooksLikePqr(std::string_view line) {
    const auto fields = SplitFields(line);
    if (fields.size() < 8) return false;
    const int last = DecimalsOf(fields[fields.size() - 1]);
    const int beforeLast = DecimalsOf(fields[fields.size() - 2]);
    if (last < 0 || beforeLast < 0) return false;    // an element symbol ends a PDB record
    if (last == 2 && beforeLast == 2) return false;  // occupancy and B-factor
    for (std::size_t i = fields.size() - 5; i < fields.size() - 2; ++i) {
        if (DecimalsOf(fields[i]) < 0) return false;
    }
    return true;
}

}  // namespace

const char* StructureFormatName(StructureFormat format) {
    switch (format) {
        case StructureFormat::Pdb: return "PDB";
        case StructureFormat::Mmcif: return "mmCIF";
        case StructureFormat::Pqr: return "PQR";
        case StructureFormat::Detect: break;
    }
    return "detect";
}

std::optional<StructureFormat> ParseStructureFormat(std::string_view name) {
    if (EqualsNoCase(name, "pdb") || EqualsNoCase(name, "ent")) return StructureFormat::Pdb;
    if (EqualsNoCase(name, "cif") || EqualsNoCase(name, "mmcif")) return StructureFormat::Mmcif;
    if (EqualsNoCase(name, "pqr")) return StructureFormat::Pqr;
    return std::nullopt;
}

std::string StructureFileStem(std::string_view fileName) {
    if (fileName == "-" || fileName == kStandardInputName) return "stdin";
    const std::size_t slash = fileName.rfind('/');
    std::string_view stem = slash == std::string_view::npos ? fileName : fileName.substr(slash + 1);
    if (stem.size() > 3 && EndsWithNoCase(stem, ".gz")) stem.remove_suffix(3);
    const std::size_t dot = stem.rfind('.');
    if (dot != std::string_view::npos && dot > 0 && ParseStructureFormat(stem.substr(dot + 1)))
        stem = stem.substr(0, dot);
    return std::string(stem);
}

StructureFormat DetectStructureFormat(std::string_view text, std::string_view fileName) {
    // mmCIF: the first thing that is neither blank nor a comment opens a data block.
    std::size_t i = 0;
    while (i < text.size()) {
        if (IsSpace(text[i])) {
            ++i;
        } else if (text[i] == '#') {
            while (i < text.size() && text[i] != '\n') ++i;
        } else {
            break;
        }
    }
    if (StartsWithNoCase(text.substr(i), "data_")) return StructureFormat::Mmcif;

    if (const auto byName = FormatFromExtension(fileName)) return *byName;

    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(start, end - start);
        if (StartsWithNoCase(line, "REMARK") && line.find("PQR") != std::string_view::npos) return StructureFormat::Pqr;
        if (StartsWithNoCase(line, "ATOM") || StartsWithNoCase(line, "HETATM")) {
            return AtomRecordLooksLikePqr(line) ? StructureFormat::Pqr : StructureFormat::Pdb;
        }
        start = end + 1;
    }
    return StructureFormat::Pdb;
}

}  // namespace HostIO
