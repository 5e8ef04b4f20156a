#include "HostModel/DescendentIterator.h"

#include "HostModel/Object.h"

namespace HostModel {

DescendentIterator::DescendentIterator(const Object* start, ClassType type, bool pruneMatches, int /*policy*/,
                                       Callback callback)
    : type_(type), wanted_(KindBitOf(type)), callback_(callback), pruneMatches_(pruneMatches) {
    if (start) stack_.emplace_back(start, 0);
}

DescendentIterator::DescendentIterator(const Object* start, const Filter& filter, bool pruneMatches, int /*policy*/,
                                       Callback callback)
    : filter_(filter.Clone()),
      wanted_(KindBitOf(filter.RequiredType())),
      callback_(callback),
      pruneMatches_(pruneMatches) {
    if (start) stack_.emplace_back(start, 0);
}

bool DescendentIterator::Matches(const Object& object) const {
    return filter_ ? filter_->Accepts(object) : object.IsA(type_);
}

Object* DescendentIterator::GetNext() {
    while (!stack_.empty()) {
        auto& [node, next] = stack_.back();
        if (next >= node->children_.size()) {
            stack_.pop_back();
            continue;
        }
        Object* child = node->children_[next++];
        const bool match = Matches(*child) && (!callback_ || callback_(child));
        if (!(match && pruneMatches_) && (child->subtreeKinds_ & wanted_) != 0) stack_.emplace_back(child, 0);
        if (match) return child;
    }
    return nullptr;
}

}  // namespace HostModel
