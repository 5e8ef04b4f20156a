#include "ProgramOutputs.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace AppTest {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

std::vector<std::string> Tokens(const std::string& line) {
    std::vector<std::string> tokens;
    std::istringstream in(line);
    std::string token;
    while (in >> token) tokens.push_back(token);
    return tokens;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

[[noreturn]] void Fail(const std::string& what, std::size_t lineNumber, const std::string& line) {
    throw std::runtime_error("line " + std::to_string(lineNumber) + ": " + what + ": '" + line + "'");
}

double Number(const std::string& token, std::size_t lineNumber, const std::string& line) {
    char* end = nullptr;
    const double value = std::strtod(token.c_str(), &end);
    if (token.empty() || *end != '\0') Fail("'" + token + "' is not a number", lineNumber, line);
    return value;
}

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// "%8.3f" of the value: optional minus, digits, three decimals, right-aligned in eight columns.
const std::regex kValueToken(R"(-?[0-9]+\.[0-9]{3})");

}  // namespace

TemplateFile ParseTemplateFile(const std::string& text) {
    TemplateFile file;
    if (!text.empty() && text.back() != '\n') throw std::runtime_error("the file does not end with a line end");
    const std::vector<std::string> lines = Lines(text);
    if (lines.size() < 2) throw std::runtime_error("fewer than two lines");
    file.header = {lines[0], lines[1]};
    for (std::size_t i = 2; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const std::size_t lineNumber = i + 1;
        const std::vector<std::string> tokens = Tokens(line);
        if (line.size() < 22) Fail("shorter than the 22 columns", lineNumber, line);
        if (tokens.size() < 2 || tokens.size() > 5) Fail("not 2 to 5 tokens", lineNumber, line);
        const std::string& valueToken = tokens.back();
        if (!std::regex_match(valueToken, kValueToken))
            Fail("the value is not written with 3 decimals", lineNumber, line);
        // The value is right-aligned in the last eight columns and ends the line.
        const std::string valueColumns = line.substr(line.size() - 8);
        if (Trim(valueColumns) != valueToken && valueToken.size() <= 8)
            Fail("the value is not in the last 8 columns", lineNumber, line);
        TemplateLine entry;
        entry.text = line;
        entry.value = Number(valueToken, lineNumber, line);
        entry.atomName = tokens.front();
        if (line.size() == 22 && valueToken.size() <= 8) {
            // Every field fitted: the columns give the fields, and the tokens must agree with them.
            entry.fixedColumns = true;
            entry.atomName = Trim(line.substr(0, 6));
            entry.residueName = Trim(line.substr(6, 3));
            entry.residueNumber = Trim(line.substr(9, 4));
            entry.chain = Trim(line.substr(13, 1));
            if (entry.atomName != tokens.front() || line[0] == ' ')
                Fail("the atom name is not left-aligned in columns 1-6", lineNumber, line);
            std::vector<std::string> expected{entry.atomName};
            // What the loader sees: the residue name and number touch when the name fills its columns.
            if (entry.residueName.size() == 3 && !entry.residueNumber.empty() && line[9] != ' ') {
                expected.push_back(entry.residueName + entry.residueNumber);
            } else {
                if (!entry.residueName.empty()) expected.push_back(entry.residueName);
                if (!entry.residueNumber.empty()) expected.push_back(entry.residueNumber);
            }
            if (!entry.chain.empty()) {
                // The chain column touches the number when the number fills its four columns.
                if (entry.residueNumber.size() == 4) expected.back() += entry.chain;
                else expected.push_back(entry.chain);
            }
            expected.push_back(valueToken);
            if (expected != tokens) Fail("the tokens do not match the columns", lineNumber, line);
            char rebuilt[64];
            std::snprintf(rebuilt, sizeof rebuilt, "%-6s%-3s%-4s%1s%8s", entry.atomName.c_str(),
                          entry.residueName.c_str(), entry.residueNumber.c_str(), entry.chain.c_str(),
                          valueToken.c_str());
            if (line != rebuilt) Fail("fields are not left-aligned in their columns", lineNumber, line);
        }
        file.lines.push_back(std::move(entry));
    }
    return file;
}

std::vector<PqrRecord> ParsePqrRecords(const std::string& text) {
    std::vector<PqrRecord> records;
    const std::vector<std::string> lines = Lines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (!StartsWith(line, "ATOM") && !StartsWith(line, "HETATM")) continue;
        const std::vector<std::string> t = Tokens(line);
        if (t.size() != 10 && t.size() != 11)
            Fail("a PQR record has " + std::to_string(t.size()) + " fields", i + 1, line);
        if (t[0] != "ATOM" && t[0] != "HETATM") Fail("the record name is not followed by a blank", i + 1, line);
        PqrRecord record;
        record.text = line;
        record.record = t[0];
        record.serial = static_cast<long>(Number(t[1], i + 1, line));
        record.atomName = t[2];
        record.residueName = t[3];
        const std::size_t base = t.size() == 11 ? 5 : 4;
        if (t.size() == 11) record.chain = t[4];
        record.residueNumber = t[base];
        record.x = Number(t[base + 1], i + 1, line);
        record.y = Number(t[base + 2], i + 1, line);
        record.z = Number(t[base + 3], i + 1, line);
        record.charge = Number(t[base + 4], i + 1, line);
        record.radius = Number(t[base + 5], i + 1, line);
        records.push_back(std::move(record));
    }
    return records;
}

std::vector<std::string> PqrRemarks(const std::string& text) {
    std::vector<std::string> remarks;
    for (const std::string& line : Lines(text)) {
        if (StartsWith(line, "REMARK")) remarks.push_back(line);
    }
    return remarks;
}

ReportText ParseReport(const std::string& text) {
    const std::string head = "<html>\n<title>Electrostatic Charge Report</title>\n<body>\n";
    const std::string tail = "</body></html>\n";
    if (!StartsWith(text, head)) throw std::runtime_error("the report does not start with its header");
    if (text.size() < head.size() + tail.size() || text.compare(text.size() - tail.size(), tail.size(), tail) != 0) {
        throw std::runtime_error("the report does not end with " + tail);
    }
    static const std::regex moleculeLine(R"(Voltra Molecule (.*) Net Charge: *(-?[0-9]+\.[0-9]{2}))");
    static const std::regex residueLine(R"(Voltra Residue (.*) Charge: *(-?[0-9]+\.[0-9]{2}))");
    ReportText report;
    const std::vector<std::string> lines = Lines(text.substr(head.size(), text.size() - head.size() - tail.size()));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        std::smatch match;
        if (line.empty() || line == "<br/>") continue;
        if (std::regex_match(line, match, moleculeLine)) {
            report.molecules.emplace_back(match[1].str(), std::stod(match[2].str()));
        } else if (std::regex_match(line, match, residueLine)) {
            ++report.residueLines;
            report.residueChargeSum += std::stod(match[2].str());
        } else {
            Fail("not a report line", i + 4, line);
        }
    }
    return report;
}

SummaryText ParseSummary(const std::string& err) {
    SummaryText summary;
    bool inMissing = false;
    const std::vector<std::string> lines = Lines(err);
    auto readSources = [](const std::string& list, std::map<std::string, std::size_t>& sources) {
        std::istringstream in(list);
        std::string item;
        while (std::getline(in, item, ',')) {
            item = Trim(item);
            const auto blank = item.rfind(' ');
            if (blank == std::string::npos) throw std::runtime_error("not 'Source count': '" + item + "'");
            sources[item.substr(0, blank)] = std::stoul(item.substr(blank + 1));
        }
    };
    bool inPreparation = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (StartsWith(line, "voltra: read ")) {
            summary.readLine = line;
        } else if (StartsWith(line, "voltra: warning: ")) {
            summary.warnings.push_back(line.substr(17));
        } else if (StartsWith(line, "voltra: Charges and radii: ")) {
            inPreparation = false;
        } else if (line == "voltra: preparation:") {
            // What preparation did is checked by the chemistry tests; here its lines are skipped.
            inPreparation = true;
        } else if (inPreparation && StartsWith(line, "  ")) {
        } else if (StartsWith(line, "  atoms: ")) {
            summary.hasSummary = true;
            summary.atoms = std::stoul(line.substr(9));
        } else if (StartsWith(line, "  charges: ")) {
            readSources(line.substr(11), summary.chargeSources);
        } else if (StartsWith(line, "  radii:   ")) {
            readSources(line.substr(11), summary.radiusSources);
        } else if (StartsWith(line, "  net charge of ")) {
            static const std::regex kNet(
                R"(  net charge of (.*): (-?[0-9]+\.[0-9]{2}) e \([0-9]+ atoms\))"
                R"((, in the report (-?[0-9]+\.[0-9]{2}) e \(its residues only, summed in single precision\))?)");
            std::smatch match;
            if (!std::regex_match(line, match, kNet)) Fail("not a net-charge line", i + 1, line);
            summary.netCharges[match[1].str()] = std::stod(match[2].str());
            if (match[3].matched) summary.reportNetCharges[match[1].str()] = std::stod(match[4].str());
        } else if (line == "  no atom was left Missing") {
            summary.missingAtoms = 0;
        } else if (StartsWith(line, "  atoms left Missing: ")) {
            summary.missingAtoms = std::stoul(line.substr(22));
            inMissing = true;
        } else if (inMissing && StartsWith(line, "    ")) {
            if (line[4] != ' ' && !StartsWith(line, "    ... and "))
                summary.missingResidueTypes.push_back(Tokens(line).front());
        } else {
            Fail("not a summary line", i + 1, line);
        }
    }
    return summary;
}

}  // namespace AppTest
