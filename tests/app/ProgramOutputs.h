// Readers for what the voltra program writes (templates, PQR, report, summary), written from the
// formats themselves so they can judge the program's output independently.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace AppTest {

/// One data line of an exported .crg or .siz file.
struct TemplateLine {
    std::string text;  // the line as written
    std::string atomName;
    std::string residueName;
    std::string residueNumber;
    std::string chain;
    double value = 0;
    bool fixedColumns = false;  // every field fitted its columns, so the fields above are known
};

struct TemplateFile {
    std::vector<std::string> header;  // the two lines before the data
    std::vector<TemplateLine> lines;
};

/// Reads an exported template file and checks each data line's layout: 22 columns
/// ("%-6s%-3s%-4s%1s%8.3f") or wider where a field outgrew its columns, the value last with three
/// decimals, and the white-space tokens the loader would see agreeing with the columns (five
/// tokens, or fewer where the residue name and number touch or fields are blank). Throws
/// std::runtime_error naming the line number and quoting the line.
TemplateFile ParseTemplateFile(const std::string& text);

/// A PQR record split on white space: 10 tokens without a chain id, 11 with one.
struct PqrRecord {
    std::string record;  // "ATOM" or "HETATM"
    long serial = 0;
    std::string atomName;
    std::string residueName;
    std::string chain;          // empty when the record has none
    std::string residueNumber;  // with an insertion code, if any
    double x = 0, y = 0, z = 0;
    double charge = 0;
    double radius = 0;
    std::string text;
};

/// The ATOM and HETATM records of a PQR text; throws std::runtime_error naming the line.
std::vector<PqrRecord> ParsePqrRecords(const std::string& text);

/// The REMARK lines of a PQR text, in order.
std::vector<std::string> PqrRemarks(const std::string& text);

/// The charge report's lines that matter here.
struct ReportText {
    std::vector<std::pair<std::string, double>> molecules;  // label, net charge
    std::size_t residueLines = 0;
    double residueChargeSum = 0;  // of all residue lines, as printed
};

/// Checks the report's frame ("<html>\n<title>...", "</body></html>\n") and reads its charge lines;
/// throws std::runtime_error when the frame or a line is not as the report writes them.
ReportText ParseReport(const std::string& text);

/// The summary the program prints on standard error.
struct SummaryText {
    std::string readLine;  // "voltra: read ..."
    std::size_t atoms = 0;
    std::map<std::string, std::size_t> chargeSources;
    std::map<std::string, std::size_t> radiusSources;
    std::map<std::string, double> netCharges;        // molecule label -> e
    std::map<std::string, double> reportNetCharges;  // molecule label -> e, where the summary gives the report's too
    std::size_t missingAtoms = 0;                    // 0 when "no atom was left Missing"
    std::vector<std::string> missingResidueTypes;    // in printed order
    std::vector<std::string> warnings;               // text after "voltra: warning: "
    bool hasSummary = false;                         // the "atoms:" block was printed
};

/// Reads the summary lines; throws std::runtime_error for a line it does not recognise.
SummaryText ParseSummary(const std::string& err);

}  // namespace AppTest
