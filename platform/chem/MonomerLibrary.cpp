#include "chem/MonomerLibrary.h"

#include <gemmi/cif.hpp>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace HostChem {

std::string DefaultMonomerFolder() {
    if (const char* env = std::getenv("VOLTRA_MONOMER_LIBRARY"); env && *env) return env;
    return "/usr/share/refmac/monomers";
}

MonomerLibrary::MonomerLibrary(std::string folder) : folder_(std::move(folder)) {}

bool MonomerLibrary::IsAvailable() const {
    std::error_code error;
    return std::filesystem::is_directory(folder_, error);
}

std::string MonomerLibrary::FindFile(const std::string& name) const {
    if (name.empty()) return {};
    const std::string sub = folder_ + "/" + static_cast<char>(std::tolower(static_cast<unsigned char>(name[0]))) + "/";
    std::error_code error;
    for (const std::string& candidate : {sub + name + ".cif", sub + name + "_" + name + ".cif"})
        if (std::filesystem::is_regular_file(candidate, error)) return candidate;
    return {};
}

std::string MonomerLibrary::RepairText(std::string text) {
    // A CIF file may start with comments or data_; anything else before them is junk.
    std::size_t start = 0;
    while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
    if (start < text.size() && text[start] != '#' && text.compare(start, 5, "data_") != 0) {
        const std::size_t hash = text.find('#', start);
        const std::size_t data = text.find("data_", start);
        const std::size_t cut = std::min(hash, data);
        if (cut != std::string::npos) text.erase(0, cut);
    }
    for (std::size_t at = text.find("sinlge"); at != std::string::npos; at = text.find("sinlge", at))
        text.replace(at, 6, "single");
    return text;
}

const gemmi::ChemComp* MonomerLibrary::Find(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto it = cache_.find(name); it != cache_.end()) return it->second.get();
    std::unique_ptr<gemmi::ChemComp>& slot = cache_[name];
    const std::string path = FindFile(name);
    if (path.empty()) return nullptr;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in) throw std::runtime_error(path + ": cannot be read");
    try {
        const std::string repaired = RepairText(text.str());
        const gemmi::cif::Document doc = gemmi::cif::read_memory(repaired.data(), repaired.size(), path.c_str());
        slot = std::make_unique<gemmi::ChemComp>(gemmi::make_chemcomp_from_cif(name, doc));
    } catch (const std::exception& e) {
        cache_.erase(name);
        throw std::runtime_error(path + ": " + e.what());
    }
    return slot.get();
}

MonomerLibrary& SharedMonomerLibrary() {
    static MonomerLibrary library;
    return library;
}

}  // namespace HostChem
