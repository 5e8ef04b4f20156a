#include "io/ModelSelection.h"

#include "io/ReadError.h"

namespace HostIO {
namespace {

std::string DescribeModels(const std::vector<std::string>& names) {
    std::string text = std::to_string(names.size()) + (names.size() == 1 ? " model" : " models");
    bool consecutive = true;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] != std::to_string(i + 1)) consecutive = false;
    }
    if (consecutive && names.size() > 1) return text + " (1 to " + std::to_string(names.size()) + ")";
    text += " (";
    for (std::size_t i = 0; i < names.size() && i < 10; ++i) text += (i ? ", " : "") + names[i];
    return text + (names.size() > 10 ? ", ...)" : ")");
}

}  // namespace

std::size_t SelectModel(const std::vector<std::string>& modelNames, int number, const std::string& fileName) {
    if (modelNames.empty()) throw ReadError(fileName, "no atoms found");
    if (number == 0) return 0;
    const std::string wanted = std::to_string(number);
    for (std::size_t i = 0; i < modelNames.size(); ++i) {
        if (modelNames[i] == wanted) return i;
    }
    throw ReadError(fileName, "no model " + wanted + "; the file has " + DescribeModels(modelNames));
}

void CheckModelHasAtoms(std::size_t atomSites, const std::string& modelName, std::size_t modelCount,
                        int requestedNumber, const std::string& fileName) {
    if (atomSites > 0) return;
    throw ReadError(fileName, requestedNumber == 0 && modelCount == 1 ? std::string("no atoms found")
                                                                      : "model " + modelName + " has no atoms");
}

}  // namespace HostIO
