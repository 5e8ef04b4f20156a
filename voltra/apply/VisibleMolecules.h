// The visible molecules of a document, frozen in tree order.
#pragma once

#include "HostModel/OrdCollection.h"

namespace HostModel {
class TreeRoot;
}

namespace Voltra {

/// The molecules below root whose own visibility flag is set (a type filter for molecules
/// inside a visibility filter), in tree order.
HostModel::OrdCollection CollectVisibleMolecules(const HostModel::TreeRoot& root);

}  // namespace Voltra
