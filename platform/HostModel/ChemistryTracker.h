// A tree node that remembers the document's chemistry revision and tells whether it moved since.
#pragma once

#include "HostModel/ClassMacros.h"
#include "HostModel/Object.h"

#include <cstdint>
#include <optional>

namespace HostModel {

class HOST_API ChemistryTracker : public Object {
public:
    HOST_DECLARE_CLASS()

    /// With a parent, the tracker inserts itself below it and the tree owns it, so it must be
    /// created with new. Its baseline is the revision at creation. The flags select what it
    /// watches (atoms, bonds); every tracker watches both.
    ChemistryTracker(Object* parent, bool watchAtoms, bool watchBonds);

    /// Takes the current revision as the new baseline.
    void Start();
    /// Drops the baseline: the tracker answers "changed" until it is started again.
    void Reset();
    /// True when the chemistry moved since the baseline, or when there is no baseline.
    bool CheckChemistryChanged() const;

private:
    std::optional<std::uint64_t> CurrentRevision() const;

    std::optional<std::uint64_t> baseline_;
};

}  // namespace HostModel
