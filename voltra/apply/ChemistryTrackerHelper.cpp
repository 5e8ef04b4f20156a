// Finds, starts, resets and asks the "VoltraTracker" chemistry tracker of a tree root.
#include "apply/ChemistryTrackerHelper.h"

#include "HostModel/ChemistryTracker.h"
#include "HostModel/DescendentIterator.h"
#include "HostModel/TreeRoot.h"

namespace Voltra {
namespace {

// The label is the only record of the tracker: no pointer to it is kept between calls.
constexpr const char* kTrackerLabel = "VoltraTracker";

// The first tracker labelled exactly kTrackerLabel anywhere below root, in tree order.
HostModel::ChemistryTracker* FindTracker(const HostModel::TreeRoot& root) {
    HostModel::DescendentIterator trackers(&root, HostModel::ChemistryTracker::classType, false, 0, nullptr);
    while (HostModel::Object* tracker = trackers.GetNext()) {
        if (tracker->GetLabel() == kTrackerLabel) return static_cast<HostModel::ChemistryTracker*>(tracker);
    }
    return nullptr;
}

}  // namespace

void ChemistryTrackerHelper::StartTracking(HostModel::TreeRoot& root) {
    if (HostModel::ChemistryTracker* tracker = FindTracker(root)) {
        tracker->Start();
        return;
    }
    // The tracker inserts itself below root, which owns it from here on, and watches from its
    // creation, so it needs no Start.
    auto* tracker = new HostModel::ChemistryTracker(&root, true, true);
    tracker->SetLabel(kTrackerLabel);
}

void ChemistryTrackerHelper::StopTracking(HostModel::TreeRoot& root) {
    if (HostModel::ChemistryTracker* tracker = FindTracker(root)) tracker->Reset();
}

bool ChemistryTrackerHelper::ChemistryHasChanged(const HostModel::TreeRoot& root) {
    const HostModel::ChemistryTracker* tracker = FindTracker(root);
    return tracker == nullptr || tracker->CheckChemistryChanged();
}

}  // namespace Voltra
