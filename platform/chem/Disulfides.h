// Cysteines joined by a disulfide bridge, from the bonds the reader perceived or, where a file's
// geometry left them unbonded, from the SG-SG distance.
#pragma once

#include "HostApi.h"

#include <set>
#include <vector>

namespace HostModel {
class Residue;
}

namespace HostChem {

/// SG-SG distance under which two cysteines count as bridged: a disulfide is 2.05 Å, the
/// closest non-bonded sulfur contacts are above 3.3 Å.
constexpr double kDisulfideDistance = 2.5;  // Å

/// The residues among candidates whose SG is bonded to, or within kDisulfideDistance of, the SG
/// of another residue among candidates.
HOST_API std::set<const HostModel::Residue*> FindBridgedCysteines(const std::vector<HostModel::Residue*>& candidates);

}  // namespace HostChem
