// The atoms of a list of molecules, in walk order, cut into two contiguous ranges at residue or
// chain boundaries, so that each range can be assigned on a thread of its own.
#pragma once

#include "HostModel/Atom.h"
#include "HostModel/Object.h"

#include <cstddef>
#include <vector>

namespace HostModel {
class OrdCollection;
}

namespace Voltra {

/// Children [begin, end) of parent, in order; each is walked whole: the child itself when it is
/// an atom, then the atoms below it in tree order.
struct ChildSpan {
    const HostModel::Object* parent;
    std::size_t begin;
    std::size_t end;
};

/// A contiguous part of a walk.
struct AtomRange {
    std::vector<ChildSpan> spans;  // in walk order
    std::size_t atoms = 0;         // as the split weighs them (see SplitAtomWalk)
};

/// The atoms of the molecules, each molecule walked in tree order (as a DescendentIterator for
/// atoms walks it) one after the other, as one range or as two ranges whose concatenation is
/// that walk. A sub-unit (residue) is never cut, so that its atoms stay together; a chain is cut
/// only when the halves would otherwise differ by more than a residue. Atoms are weighed without
/// visiting them: a sub-unit by its number of children. One range when the molecules weigh
/// fewer than minAtomsToSplit atoms, or when a molecule lies inside another (its atoms would be
/// walked twice, perhaps once in each range).
std::vector<AtomRange> SplitAtomWalk(const HostModel::OrdCollection& molecules, std::size_t minAtomsToSplit);

namespace detail {
// Below node, in tree order; node itself is not visited.
template <class Visit>
void VisitAtomsBelow(const HostModel::Object& node, Visit& visit) {
    for (std::size_t i = 0; i < node.GetNumChildren(); ++i) {
        HostModel::Object* child = node.GetChild(i);
        if (child->IsA(HostModel::Atom::classType)) visit(static_cast<HostModel::Atom&>(*child));
        if (child->MayHoldDescendentOf(HostModel::Atom::classType)) VisitAtomsBelow(*child, visit);
    }
}
}  // namespace detail

/// Calls visit(HostModel::Atom&) for every atom of the range, in walk order.
template <class Visit>
void ForEachAtom(const AtomRange& range, Visit&& visit) {
    for (const ChildSpan& span : range.spans) {
        for (std::size_t i = span.begin; i < span.end; ++i) {
            HostModel::Object* child = span.parent->GetChild(i);
            if (child->IsA(HostModel::Atom::classType)) visit(static_cast<HostModel::Atom&>(*child));
            if (child->MayHoldDescendentOf(HostModel::Atom::classType)) detail::VisitAtomsBelow(*child, visit);
        }
    }
}

}  // namespace Voltra
