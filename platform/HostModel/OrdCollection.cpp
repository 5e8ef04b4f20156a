#include "HostModel/OrdCollection.h"

#include "HostModel/DescendentIterator.h"

namespace HostModel {

OrdCollection::OrdCollection(int initialSize, int /*growBy*/) {
    if (initialSize > 0) items_.reserve(static_cast<std::size_t>(initialSize));
}

OrdCollection::OrdCollection(DescendentIterator& iterator, int initialSize, int growBy)
    : OrdCollection(initialSize, growBy) {
    AddAll(iterator);
}

void OrdCollection::AddAll(DescendentIterator& iterator) {
    while (Object* object = iterator.GetNext()) items_.push_back(object);
}

}  // namespace HostModel
