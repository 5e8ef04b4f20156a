// Places the hydrogens one residue lacks and adds them to it, reusing what it worked out for the
// residues before it: a structure has a few hundred residue shapes (type, atom names and
// elements) over a million atoms, and each shape's recipe, groups and gemmi model are made once.
// Internal to the platform; one planner per thread.
#pragma once

#include "HostModel/Atom.h"
#include "HostModel/PropertyStore.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace HostModel {
class Residue;
}

namespace HostChem {

class HydrogenPlanner {
public:
    /// terminalState: the interned id of the "Terminal State" property, absent when no object
    /// carries it.
    HydrogenPlanner(HostModel::Atom::HydrogenSet set, std::optional<HostModel::PropertyNameId> terminalState);
    ~HydrogenPlanner();
    HydrogenPlanner(const HydrogenPlanner&) = delete;
    HydrogenPlanner& operator=(const HydrogenPlanner&) = delete;

    /// Adds every missing hydrogen of the set that residue's recipe names, each bonded to its
    /// parent, and returns how many. Notes no chemistry change (Object::AddChildUnnoted): it
    /// changes residue and its atoms alone, and reads of other residues only what no planner
    /// changes, so planners on two threads may take residues of one document. Throws
    /// std::runtime_error when a library file is unreadable.
    std::size_t AddTo(HostModel::Residue& residue);

    /// Hydrogens added so far per residue type, types with none left out.
    std::map<std::string, std::size_t> AddedPerType() const;
    /// Hydrogens whose placement failed, in the order met: "residue: name on parent: reason".
    const std::vector<std::string>& NotPlaced() const { return notPlaced_; }
    /// Residue types the monomer library does not know.
    const std::set<std::string>& UnknownTypes() const { return unknownTypes_; }

    struct Shape;  // what a residue type and its atoms' names and elements decide

private:
    struct ShapeKeyHash {
        std::size_t operator()(const std::vector<std::uint64_t>& key) const;
    };

    Shape& ShapeOf(const HostModel::Residue& residue);

    HostModel::Atom::HydrogenSet set_;
    std::optional<HostModel::PropertyNameId> terminalState_;
    std::unordered_map<std::vector<std::uint64_t>, std::unique_ptr<Shape>, ShapeKeyHash> shapes_;
    std::vector<std::string> notPlaced_;
    std::set<std::string> unknownTypes_;

    // Scratch of the residue in hand, kept for its storage.
    std::vector<std::uint64_t> key_;
    std::vector<HostModel::Atom*> children_;  // the residue's children; null for those not atoms
    std::vector<std::uint32_t> variant_;
    std::vector<std::pair<std::unique_ptr<HostModel::Atom>, HostModel::Atom*>> made_;  // hydrogen, parent
};

}  // namespace HostChem
