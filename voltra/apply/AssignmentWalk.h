// The per-atom part of an assignment (the reset, then each template's write rule) done in one
// walk over the atoms, on two threads for a large document.
#pragma once

#include <cstddef>
#include <vector>

namespace HostModel {
class OrdCollection;
}

namespace Voltra {

class Template;

/// From this many atoms on, the walk is shared by two threads; below, a second thread costs
/// more than it saves.
inline constexpr std::size_t kMinAtomsToShareWalk = 20000;

/// Whether AssignAtomsInOneWalk can apply t: it must write the charge or the radius properties
/// the reset makes.
bool WritesResetProperties(const Template& t);

/// Gives every atom of the molecules what ResetTemplateProperties and then, template by
/// template in order, the per-atom rule of a pass give it (the N-terminal charge and the
/// molecule records are left to the caller). Every write touches one atom's own properties, so
/// the atoms are split (SplitAtomWalk with minAtomsToShare) and the two ranges walked at once,
/// each with lookup memos of its own; names and texts are interned before. Rethrows, after
/// both threads are done, what either threw. Each template must satisfy WritesResetProperties.
void AssignAtomsInOneWalk(const HostModel::OrdCollection& molecules, const std::vector<const Template*>& templates,
                          std::size_t minAtomsToShare = kMinAtomsToShareWalk);

}  // namespace Voltra
