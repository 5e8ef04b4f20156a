#include "InputAtoms.h"

#include "support/CorpusText.h"

#include <cctype>
#include <map>
#include <sstream>
#include <stdexcept>
#include <tuple>
#include <vector>

namespace AppTest {
namespace {

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// mmCIF values are separated by white space; quoted values may hold blanks.
std::vector<std::string> CifTokens(const std::string& line) {
    std::vector<std::string> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        if (i == line.size()) break;
        const char quote = line[i];
        if (quote == '\'' || quote == '"') {
            std::size_t end = i + 1;
            while (end < line.size() &&
                   !(line[end] == quote &&
                     (end + 1 == line.size() || std::isspace(static_cast<unsigned char>(line[end + 1]))))) {
                ++end;
            }
            tokens.push_back(line.substr(i + 1, end - i - 1));
            i = end + 1;
        } else {
            std::size_t end = i;
            while (end < line.size() && !std::isspace(static_cast<unsigned char>(line[end]))) ++end;
            tokens.push_back(line.substr(i, end - i));
            i = end;
        }
    }
    return tokens;
}

// Counts the atoms kept of one model: blank location, or the residue's first location letter.
class ConformerCounter {
public:
    void Add(const std::string& residueKey, const std::string& altloc) {
        if (altloc.empty() || altloc == " " || altloc == "." || altloc == "?") {
            ++count_;
            return;
        }
        const auto [it, inserted] = first_.emplace(residueKey, altloc);
        if (inserted || it->second == altloc) ++count_;
    }
    std::size_t Count() const { return count_; }

private:
    std::map<std::string, std::string> first_;
    std::size_t count_ = 0;
};

std::size_t CountPdb(const std::string& text, bool pqr) {
    std::istringstream in(text);
    std::string line;
    ConformerCounter counter;
    while (std::getline(in, line)) {
        if (StartsWith(line, "ENDMDL")) break;
        if (!StartsWith(line, "ATOM") && !StartsWith(line, "HETATM")) continue;
        if (pqr || line.size() < 27) {
            counter.Add(line, "");
            continue;
        }
        // Columns 17 (altloc), 22 (chain), 23-26 (resSeq), 27 (insertion code).
        counter.Add(line.substr(21, 6), line.substr(16, 1));
    }
    return counter.Count();
}

std::size_t CountCif(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    std::vector<std::string> columns;
    while (std::getline(in, line)) {
        if (!StartsWith(line, "loop_")) continue;
        std::streampos rowsStart = in.tellg();
        while (std::getline(in, line) && StartsWith(line, "_atom_site.")) {
            std::string name = line.substr(11);
            name = name.substr(0, name.find_first_of(" \t\r"));
            columns.push_back(name);
            rowsStart = in.tellg();
        }
        if (!columns.empty()) {
            in.seekg(rowsStart);
            break;
        }
    }
    if (columns.empty()) throw std::runtime_error("no _atom_site loop");
    auto column = [&columns](const char* name) {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (columns[i] == name) return i;
        }
        throw std::runtime_error(std::string("no _atom_site.") + name);
    };
    const std::size_t alt = column("label_alt_id");
    const std::size_t chain = column("auth_asym_id");
    const std::size_t number = column("auth_seq_id");
    const std::size_t insertion = column("pdbx_PDB_ins_code");
    const std::size_t model = column("pdbx_PDB_model_num");
    ConformerCounter counter;
    std::string firstModel;
    while (std::getline(in, line)) {
        if (line.empty() || StartsWith(line, "#") || StartsWith(line, "loop_") || StartsWith(line, "_")) break;
        const std::vector<std::string> row = CifTokens(line);
        if (row.size() != columns.size()) throw std::runtime_error("an _atom_site row spans lines: " + line);
        if (firstModel.empty()) firstModel = row[model];
        if (row[model] != firstModel) continue;
        counter.Add(row[chain] + "|" + row[number] + "|" + row[insertion], row[alt]);
    }
    return counter.Count();
}

}  // namespace

std::string ReadStructureText(const std::string& path) { return VoltraTest::ReadMaybeGzipped(path); }

std::size_t CountFirstModelAtoms(const std::string& text, const std::string& fileName) {
    if (StartsWith(text, "data_") || text.find("\ndata_") != std::string::npos) return CountCif(text);
    const bool pqr = fileName.size() > 4 && fileName.compare(fileName.size() - 4, 4, ".pqr") == 0;
    return CountPdb(text, pqr);
}

}  // namespace AppTest
