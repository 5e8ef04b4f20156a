// The visible-molecule snapshot that every pass over a document's assignment works on.
#include "apply/VisibleMolecules.h"

#include "HostModel/DescendentIterator.h"
#include "HostModel/Filter.h"
#include "HostModel/Molecule.h"
#include "HostModel/TreeRoot.h"

namespace Voltra {

HostModel::OrdCollection CollectVisibleMolecules(const HostModel::TreeRoot& root) {
    // The iterator keeps its own copy of the filters. Mode 1 of FilterVisible tests the
    // molecule's own flag only.
    const HostModel::FilterType molecules(HostModel::Molecule::classType, 1);
    const HostModel::FilterVisible visible(molecules, false, 1);
    HostModel::DescendentIterator iterator(&root, visible, false, 0, nullptr);
    return HostModel::OrdCollection(iterator, 0, -1);
}

}  // namespace Voltra
