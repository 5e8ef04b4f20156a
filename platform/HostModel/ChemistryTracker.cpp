#include "HostModel/ChemistryTracker.h"

#include "HostModel/ChemDoc.h"

namespace HostModel {

ChemistryTracker::ChemistryTracker(Object* parent, bool /*watchAtoms*/, bool /*watchBonds*/) {
    if (parent) parent->AddChild(std::unique_ptr<Object>(this));
    baseline_ = CurrentRevision();
}

std::optional<std::uint64_t> ChemistryTracker::CurrentRevision() const {
    const ChemDoc* doc = GetDocument();
    if (!doc) return std::nullopt;
    return doc->GetChemistryRevision();
}

void ChemistryTracker::Start() { baseline_ = CurrentRevision(); }

void ChemistryTracker::Reset() { baseline_.reset(); }

bool ChemistryTracker::CheckChemistryChanged() const {
    const auto current = CurrentRevision();
    return !baseline_ || !current || *current != *baseline_;
}

}  // namespace HostModel
