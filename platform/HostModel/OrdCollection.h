// An ordered, index-addressable collection of object pointers (not owned).
#pragma once

#include "HostApi.h"

#include <cstddef>
#include <vector>

namespace HostModel {

class Object;
class DescendentIterator;

class HOST_API OrdCollection {
public:
    /// initialSize reserves room; growBy is accepted for the host's interface (-1: automatic).
    explicit OrdCollection(int initialSize = 0, int growBy = -1);
    /// Freezes what an iterator yields, in its order.
    OrdCollection(DescendentIterator& iterator, int initialSize = 0, int growBy = -1);

    void Add(Object* object) { items_.push_back(object); }
    void AddAll(DescendentIterator& iterator);
    std::size_t GetSize() const { return items_.size(); }
    /// Throws std::out_of_range for an index past the end.
    Object* operator[](std::size_t index) const { return items_.at(index); }

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    std::vector<Object*> items_;
};

}  // namespace HostModel
