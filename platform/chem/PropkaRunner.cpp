#include "chem/PropkaRunner.h"

#include "HostModel/Atom.h"
#include "HostModel/Residue.h"
#include "chem/ResidueConventions.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <optional>
#include <stdexcept>

namespace HostChem {
namespace {

// PROPKA knows the standard names only.
std::string ParentName(const std::string& name) {
    static const std::map<std::string, std::string> kParents = {{"HID", "HIS"}, {"HIE", "HIS"}, {"HIP", "HIS"},
                                                                {"CYX", "CYS"}, {"CYM", "CYS"}, {"ASH", "ASP"},
                                                                {"GLH", "GLU"}, {"LYN", "LYS"}};
    const auto found = kParents.find(name);
    return found != kParents.end() ? found->second : name;
}

constexpr char kChainLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr int kMaxPdbResidueNumber = 9999;

// PDB atom name columns 13-16: names under four characters start in column 14.
std::string AtomNameField(const std::string& name) {
    std::string field = name.size() < 4 ? " " + name : name.substr(0, 4);
    field.resize(4, ' ');
    return field;
}

// Removes the scratch folder however the run ends.
class ScratchFolder {
public:
    ScratchFolder() {
        static std::atomic<unsigned> counter{0};
        path_ = std::filesystem::temp_directory_path() /
                ("voltra-propka-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Runs program with one argument in folder, its output to a log there; returns the exit status
// (-1 when it did not exit normally).
int RunIn(const std::filesystem::path& folder, const std::string& program, const std::string& argument,
          const std::filesystem::path& log) {
    const pid_t child = ::fork();
    if (child < 0) throw std::runtime_error("cannot start '" + program + "': fork failed");
    if (child == 0) {
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out >= 0) {
            ::dup2(out, 1);
            ::dup2(out, 2);
            ::close(out);
        }
        if (::chdir(folder.c_str()) != 0) ::_exit(126);
        const char* const argv[] = {program.c_str(), argument.c_str(), nullptr};
        ::execv(program.c_str(), const_cast<char* const*>(argv));
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string LastLines(const std::filesystem::path& path, std::size_t count) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) lines.push_back(line);
    }
    std::string text;
    for (std::size_t i = lines.size() > count ? lines.size() - count : 0; i < lines.size(); ++i) {
        text += (text.empty() ? "" : " | ") + lines[i];
    }
    return text;
}

std::optional<TitratableGroup> GroupOfPropkaName(const std::string& name) {
    if (name == "N+") return TitratableGroup::NTerminus;
    if (name == "C-") return TitratableGroup::CTerminus;
    return SideChainGroup(name);
}

}  // namespace

std::string FindProgram(const std::string& program) {
    auto runnable = [](const std::string& path) { return ::access(path.c_str(), X_OK) == 0; };
    if (program.find('/') != std::string::npos) return runnable(program) ? program : std::string();
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "/usr/local/bin:/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (folder.empty()) continue;
        const std::string candidate = folder + "/" + program;
        if (runnable(candidate)) return candidate;
    }
    return {};
}

std::vector<PropkaValue> ParsePropkaSummary(const std::string& text, const std::string& path) {
    std::istringstream in(text);
    std::vector<PropkaValue> values;
    bool inSummary = false, header = false, found = false;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (!inSummary) {
            if (line.find("SUMMARY OF THIS PREDICTION") != std::string::npos) inSummary = found = header = true;
            continue;
        }
        if (header) {  // "Group pKa model-pKa ligand atom-type"
            header = false;
            continue;
        }
        if (line.rfind("---", 0) == 0 || line.find_first_not_of(" \t\r") == std::string::npos) break;
        std::istringstream fields(line);
        PropkaValue value;
        std::string chain;
        if (!(fields >> value.group >> value.residueNumber >> chain >> value.pka) || chain.size() != 1) {
            throw std::runtime_error(path + ":" + std::to_string(number) + ": not a PROPKA summary line: '" + line +
                                     "'");
        }
        value.chain = chain[0];
        values.push_back(value);
    }
    if (!found) throw std::runtime_error(path + ": no 'SUMMARY OF THIS PREDICTION' section");
    return values;
}

PkaTable RunPropka(const std::vector<HostModel::Residue*>& residues, const std::string& program) {
    const std::string executable = FindProgram(program);
    if (executable.empty()) {
        throw std::runtime_error("pKa values from PROPKA asked for, but the program '" + program +
                                 "' is not installed (Debian package python3-propka)");
    }
    ScratchFolder scratch;
    const std::filesystem::path input = scratch.Path() / "structure.pdb";
    std::map<std::pair<char, int>, const HostModel::Residue*> written;
    {
        std::ofstream out(input);
        if (!out) throw std::runtime_error(input.string() + ": cannot write the structure for PROPKA");
        // One chain letter per host chain, in turn; numbers run on within a letter.
        std::map<const HostModel::Object*, char> letters;
        std::map<char, int> lastNumber;
        int serial = 0;
        for (const HostModel::Residue* residue : residues) {
            const bool aminoAcid = residue->IsA(HostModel::AminoAcid::classType);
            if (!aminoAcid &&
                (residue->IsA(HostModel::Nucleotide::classType) || IsWaterResidueName(residue->GetResidueType()))) {
                continue;
            }
            const HostModel::Object* chain = residue->GetParent();
            auto letter = letters.find(chain);
            if (letter == letters.end()) {
                const char next = kChainLetters[letters.size() % (sizeof kChainLetters - 1)];
                letter = letters.emplace(chain, next).first;
            }
            const char chainLetter = letter->second;
            const int residueNumber = ++lastNumber[chainLetter];
            if (residueNumber > kMaxPdbResidueNumber) {
                throw std::runtime_error("the structure has too many amino acids for PROPKA's PDB input (more than " +
                                         std::to_string(kMaxPdbResidueNumber * 62) + ")");
            }
            if (aminoAcid) written[{chainLetter, residueNumber}] = residue;
            const std::string name = ParentName(residue->GetResidueType());
            for (std::size_t i = 0; i < residue->GetNumChildren(); ++i) {
                const HostModel::Object* child = residue->GetChild(i);
                if (!child->IsA(HostModel::Atom::classType)) continue;
                const auto& atom = static_cast<const HostModel::Atom&>(*child);
                if (atom.GetAtomicNumber() == 1) continue;
                const HostModel::Vec3& p = atom.GetPosition();
                const char* symbol = atom.GetElementSymbol();
                char line[96];
                std::snprintf(line, sizeof line, "%-6s%5d %s %3.3s %c%4d    %8.3f%8.3f%8.3f  1.00  0.00          %2s\n",
                              aminoAcid ? "ATOM" : "HETATM", ++serial % 100000, AtomNameField(atom.GetLabel()).c_str(),
                              name.c_str(), chainLetter, residueNumber, p.x, p.y, p.z, symbol ? symbol : "");
                out << line;
            }
        }
        out << "END\n";
        if (!out) throw std::runtime_error(input.string() + ": cannot write the structure for PROPKA");
    }
    const std::filesystem::path log = scratch.Path() / "propka.log";
    const int status = RunIn(scratch.Path(), executable, input.filename().string(), log);
    const std::filesystem::path pka = scratch.Path() / "structure.pka";
    if (status != 0 || !std::filesystem::exists(pka)) {
        throw std::runtime_error("PROPKA ('" + executable + "') failed with exit status " + std::to_string(status) +
                                 ": " + LastLines(log, 3));
    }
    std::ifstream in(pka);
    std::stringstream text;
    text << in.rdbuf();
    PkaTable table;
    for (const PropkaValue& value : ParsePropkaSummary(text.str(), pka.string())) {
        const auto group = GroupOfPropkaName(value.group);
        const auto residue = written.find({value.chain, value.residueNumber});
        // Ligand groups and residues PROPKA renumbered are not ours to set.
        if (!group || residue == written.end()) continue;
        table.Set(residue->second, *group, value.pka);
    }
    return table;
}

}  // namespace HostChem
