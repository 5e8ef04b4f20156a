// Reads Voltra template files: one entry per line, fields split on white space (not on the
// fixed columns the exporter writes), "!" starts a comment, the value is the last field.
#include "templates/TemplateFileIO.h"

#include "host/Errors.h"

#include "Common/Path.h"
#include "Common/StringConversion.h"
#include "Persistence/Persistence.h"

#include <fstream>
#include <istream>
#include <locale>
#include <sstream>
#include <vector>

namespace Voltra {
namespace {

constexpr const char* kSourceModule = "TemplateFileIO";

// White space of the classic locale, as string extraction from a stream skips it; a carriage
// return left by a CRLF line end is one of them.
bool IsClassicSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// Tokens up to the first one that starts with "!", which comments out the rest of the line.
std::vector<std::string> SplitTokens(const std::string& line) {
    std::vector<std::string> tokens;
    std::size_t pos = 0;
    while (true) {
        while (pos < line.size() && IsClassicSpace(line[pos])) ++pos;
        if (pos == line.size() || line[pos] == '!') break;
        const std::size_t start = pos;
        while (pos < line.size() && !IsClassicSpace(line[pos])) ++pos;
        tokens.push_back(line.substr(start, pos - start));
    }
    return tokens;
}

// Number extraction from the start of token, as a stream reads a float: "1.5x" gives 1.5,
// "x1.5" gives nothing. The classic locale keeps "." the decimal point whatever the host sets.
// Values a float cannot hold (1e40), "nan" and "inf" fail extraction, so their line holds no
// entry; an underflow reads as the stream rounds it. NUL is not white space and stays in its
// token; lines have no length limit (getline reads them whole).
bool ReadLeadingFloat(const std::string& token, float& value) {
    std::istringstream in(token);
    in.imbue(std::locale::classic());
    return static_cast<bool>(in >> value);
}

}  // namespace

TemplateEntry ParseTemplateLine(const std::string& line) {
    const std::vector<std::string> tokens = SplitTokens(line);
    const std::size_t n = tokens.size();
    if (n < 2) return {};
    float value = 0.0f;
    if (!ReadLeadingFloat(tokens.back(), value)) return {};

    TemplateEntry entry;
    entry.atomName = tokens[0];
    entry.value = value;
    if (n >= 3) entry.residueName = tokens[1];
    if (n >= 4) entry.residueNumber = tokens[2];
    if (n >= 5) entry.chain = tokens[3];  // tokens between the chain and the value are ignored
    return entry;
}

TemplatePtr CreateTemplateFor(const std::string& fileName) {
    if (fileName.find(".siz") != std::string::npos) return TemplatePtr(new RadiusTemplate(fileName));
    if (fileName.find(".crg") != std::string::npos) return TemplatePtr(new ChargeTemplate(fileName));
    return TemplatePtr();
}

void ReadTemplateEntries(std::istream& in, Template& t, const std::wstring& displayName) {
    std::string line;
    while (std::getline(in, line)) {
        TemplateEntry entry = ParseTemplateLine(line);
        if (!entry.IsEmpty()) t.AddEntry(entry);
    }
    // getline ends with failbit at the end of the file; badbit means the read itself failed, and
    // a template cut short there would silently lack values.
    if (in.bad()) RaiseMessage(kSourceModule, __LINE__, ErrorReadingTemplateFile, displayName);
}

void LoadTemplate(const std::string& fileName, TemplatePtr& out) {
    if (!Persistence::IsInitialized()) RaiseMessage(kSourceModule, __LINE__, ErrorPersistenceNotInitialized);

    Common::Path path = Persistence::GetRootPath();
    path.Append(L"..").Append(L"share").Append(L"voltra").Append(L"templates").Append(Common::ToWString(fileName));
    // Messages name the file as the command asked for it, never the directory searched.
    const std::wstring displayName = path.GetFileName().AsString();

    std::ifstream in(Common::ToSString(path.AsString()));
    if (in.fail()) RaiseMessage(kSourceModule, __LINE__, ErrorReadingTemplateFile, displayName);

    TemplatePtr loaded = CreateTemplateFor(fileName);
    if (!loaded) RaiseMessage(kSourceModule, __LINE__, ErrorInvalidTemplateExtension, displayName);

    ReadTemplateEntries(in, *loaded, displayName);
    out = loaded;
}

}  // namespace Voltra
