// Which model of a file is read, and the errors when it is not there or holds no atoms. Models
// are known by the names the file gives them ("1", "2", ...), in file order.
#pragma once

#include "HostApi.h"

#include <cstddef>
#include <string>
#include <vector>

namespace HostIO {

/// The index of the model numbered number (0: the first model). Throws ReadError naming
/// fileName when the file has no models ("no atoms found") or none of that number ("no model 7;
/// the file has 21 models (1 to 21)").
HOST_API std::size_t SelectModel(const std::vector<std::string>& modelNames, int number, const std::string& fileName);

/// Throws ReadError naming fileName when the model read has no atoms: "no atoms found" for the
/// only model, read by default; "model 2 has no atoms" otherwise.
HOST_API void CheckModelHasAtoms(std::size_t atomSites, const std::string& modelName, std::size_t modelCount,
                                 int requestedNumber, const std::string& fileName);

}  // namespace HostIO
