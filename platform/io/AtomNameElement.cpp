#include "io/AtomNameElement.h"

#include "HostModel/Elements.h"

#include <cctype>
#include <string>

namespace HostIO {
namespace {

std::string Upper(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        if (c != ' ') result += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return result;
}

}  // namespace

int ElementFromAtomName(std::string_view atomName, std::string_view residueName) {
    std::string name = Upper(atomName);
    // Force fields write ions with their charge ("Na+" in residue "Na+").
    auto withoutCharge = [](std::string text) {
        while (!text.empty() && (text.back() == '+' || text.back() == '-')) text.pop_back();
        return text;
    };
    const std::string ion = withoutCharge(name);
    if (!ion.empty() && ion == withoutCharge(Upper(residueName))) {
        if (const int z = HostModel::AtomicNumberFromSymbol(ion)) return z;
    }
    std::size_t first = 0;
    while (first < name.size() && std::isdigit(static_cast<unsigned char>(name[first]))) ++first;
    name.erase(0, first);
    if (name.empty() || !std::isalpha(static_cast<unsigned char>(name[0]))) return 0;
    if (name.size() >= 2) {
        static const char* const kTwoLetter[] = {"CL", "BR", "FE", "ZN", "MG", "MN", "CU", "SE"};
        const std::string prefix = name.substr(0, 2);
        for (const char* symbol : kTwoLetter) {
            if (prefix == symbol) return HostModel::AtomicNumberFromSymbol(symbol);
        }
    }
    // A single letter; "D" names deuterium, which the host counts as hydrogen.
    return HostModel::AtomicNumberFromSymbol(name.substr(0, 1));
}

}  // namespace HostIO
