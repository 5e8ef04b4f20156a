#include "HostModel/TreeRoot.h"

#include "HostModel/DescendentIterator.h"
#include "HostModel/OrdCollection.h"

#include <climits>

namespace HostModel {
namespace {
bool AncestorsVisible(const Object& object, const Object& root) {
    for (const Object* o = &object; o && o != &root; o = o->GetParent()) {
        if (!o->IsVisible()) return false;
    }
    return true;
}
}  // namespace

bool TreeRoot::CheckTypeExists(ClassType type, int minimum, int maximum, int behaviour) const {
    long long count = 0;
    DescendentIterator it(this, type);
    while (Object* found = it.GetNext()) {
        if (behaviour == 1 && !AncestorsVisible(*found, *this)) continue;
        // Beyond the maximum the answer cannot change back.
        if (++count > maximum) return false;
        // INT_MAX is no bound: 2^31 atoms would take 256 GB. "Is there one" need not count a
        // million atoms.
        if (maximum == INT_MAX && count >= minimum) return true;
    }
    return count >= minimum && count <= maximum;
}

void TreeRoot::CollectDescendents(OrdCollection& out, ClassType type, bool visibleOnly) const {
    DescendentIterator it(this, type);
    while (Object* found = it.GetNext()) {
        if (!visibleOnly || AncestorsVisible(*found, *this)) out.Add(found);
    }
}

}  // namespace HostModel
