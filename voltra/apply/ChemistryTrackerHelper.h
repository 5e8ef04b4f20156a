// The module's chemistry tracker: one host tracker labelled "VoltraTracker" under a tree root,
// started when an assignment is made, so the host can later ask whether the chemistry changed.
#pragma once

#include "host/VoltraApi.h"

namespace HostModel {
class TreeRoot;
}

namespace Voltra {

class VOLTRA_API ChemistryTrackerHelper {
public:
    ChemistryTrackerHelper() = delete;

    /// Restarts the root's "VoltraTracker", or creates it (the tree owns it) when there is none.
    static void StartTracking(HostModel::TreeRoot& root);
    /// Resets the root's "VoltraTracker" if there is one; it stays in the tree.
    static void StopTracking(HostModel::TreeRoot& root);
    /// True when there is no "VoltraTracker" below root or it has seen a chemistry change.
    static bool ChemistryHasChanged(const HostModel::TreeRoot& root);
};

}  // namespace Voltra
