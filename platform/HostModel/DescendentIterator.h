// Walks the descendants of an object in tree order (parents before children, children in order).
#pragma once

#include "HostApi.h"
#include "HostModel/ClassType.h"
#include "HostModel/Filter.h"

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

namespace HostModel {

class Object;

class HOST_API DescendentIterator {
public:
    /// Called for each match before it is yielded; returning false skips it.
    using Callback = bool (*)(Object*);

    /// Yields descendants of start (not start itself) of type or a subclass. With
    /// pruneMatches set, the descendants of a yielded object are not visited. The tree must
    /// not change during the walk (treeChangePolicy 0 is the only policy).
    DescendentIterator(const Object* start, ClassType type, bool pruneMatches = false, int treeChangePolicy = 0,
                       Callback callback = nullptr);
    /// The same with a filter; the iterator keeps its own copy of it.
    DescendentIterator(const Object* start, const Filter& filter, bool pruneMatches = false, int treeChangePolicy = 0,
                       Callback callback = nullptr);

    /// The next match, or null when the walk is over.
    Object* GetNext();

private:
    bool Matches(const Object& object) const;

    std::vector<std::pair<const Object*, std::size_t>> stack_;  // node and next child index
    ClassType type_ = nullptr;
    std::unique_ptr<Filter> filter_;
    ClassKinds wanted_;  // a subtree without this bit holds no match and is not entered
    Callback callback_;
    bool pruneMatches_;
};

}  // namespace HostModel
