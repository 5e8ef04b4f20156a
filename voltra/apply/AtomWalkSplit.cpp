// Where a walk over molecules' atoms is cut in two: the first span that takes the count past
// half, opened down to its residues.
#include "apply/AtomWalkSplit.h"

#include "HostModel/Molecule.h"
#include "HostModel/OrdCollection.h"
#include "HostModel/Residue.h"

#include <vector>

namespace Voltra {
namespace {

bool IsIndivisible(const HostModel::Object& node) {
    return node.IsA(HostModel::Atom::classType) || node.IsA(HostModel::SubUnit::classType) ||
           node.GetNumChildren() == 0;
}

// The atoms a child of a span brings to the walk. A sub-unit's children are its atoms (in
// practice all of them); counting them would mean visiting every atom of the document. The
// children of an atom, if any, are not counted.
std::size_t Weight(const HostModel::Object& node) {
    if (node.IsA(HostModel::Atom::classType)) return 1;
    if (node.IsA(HostModel::SubUnit::classType)) return node.GetNumChildren();
    std::size_t atoms = 0;
    for (std::size_t i = 0; i < node.GetNumChildren(); ++i) atoms += Weight(*node.GetChild(i));
    return atoms;
}

bool LiesInsideAMolecule(const HostModel::Object& molecule) {
    for (const HostModel::Object* up = molecule.GetParent(); up != nullptr; up = up->GetParent()) {
        if (up->IsA(HostModel::Molecule::classType)) return true;
    }
    return false;
}

// Hands spans to the first range until it holds about the wanted number of atoms, then to the
// second; a span whose child takes the first past it is opened, down to an indivisible child,
// which goes to the range that leaves the two closer.
class Cutter {
public:
    explicit Cutter(std::size_t wanted) : wanted_(wanted) {}

    /// weights, when given, are those of parent's children, counted already.
    void Take(const HostModel::Object& parent, std::size_t begin, std::size_t end,
              const std::vector<std::size_t>* weights = nullptr) {
        if (cut_) {
            Add(second_, parent, begin, end);
            return;
        }
        std::size_t i = begin;
        std::size_t weight = 0;
        for (; i < end; ++i) {
            weight = weights ? (*weights)[i] : Weight(*parent.GetChild(i));
            if (weight > wanted_) break;
            wanted_ -= weight;
            first_.atoms += weight;
        }
        Add(first_, parent, begin, i);
        if (i == end) return;
        const HostModel::Object& child = *parent.GetChild(i);
        if (IsIndivisible(child)) {
            cut_ = true;
            if (2 * wanted_ >= weight) {
                first_.atoms += weight;
                Add(first_, parent, i, i + 1);
            } else {
                Add(second_, parent, i, i + 1);
            }
        } else {
            // Its weight is that of its children, so the cut falls among them.
            Take(child, 0, child.GetNumChildren());
        }
        Add(second_, parent, i + 1, end);
    }

    AtomRange& First() { return first_; }
    AtomRange& Second() { return second_; }

private:
    static void Add(AtomRange& range, const HostModel::Object& parent, std::size_t begin, std::size_t end) {
        if (begin < end) range.spans.push_back({&parent, begin, end});
    }

    std::size_t wanted_;
    bool cut_ = false;
    AtomRange first_;
    AtomRange second_;
};

}  // namespace

std::vector<AtomRange> SplitAtomWalk(const HostModel::OrdCollection& molecules, std::size_t minAtomsToSplit) {
    AtomRange whole;
    bool nested = false;
    // Each molecule's children counted once, for the total and again for the cut: counting visits
    // every residue, a cache miss each.
    std::vector<std::vector<std::size_t>> childWeights;
    for (const HostModel::Object* molecule : molecules) {
        whole.spans.push_back({molecule, 0, molecule->GetNumChildren()});
        std::vector<std::size_t>& weights = childWeights.emplace_back();
        for (std::size_t i = 0; i < molecule->GetNumChildren(); ++i) {
            weights.push_back(Weight(*molecule->GetChild(i)));
            whole.atoms += weights.back();
        }
        nested = nested || LiesInsideAMolecule(*molecule);
    }
    if (nested || whole.atoms < minAtomsToSplit || whole.atoms < 2) return {std::move(whole)};
    Cutter cutter(whole.atoms / 2);
    for (std::size_t m = 0; m < whole.spans.size(); ++m) {
        const ChildSpan& span = whole.spans[m];
        cutter.Take(*span.parent, span.begin, span.end, &childWeights[m]);
    }
    // A single residue holding nearly everything leaves nothing to share.
    if (cutter.First().spans.empty() || cutter.Second().spans.empty()) return {std::move(whole)};
    cutter.Second().atoms = whole.atoms - cutter.First().atoms;
    return {std::move(cutter.First()), std::move(cutter.Second())};
}

}  // namespace Voltra
