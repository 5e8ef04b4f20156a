// Remembers the interned ids of the few property names the module uses.
#include "templates/PropertyIds.h"

#include <cstddef>
#include <mutex>

namespace Voltra {

HostModel::PropertyNameId PropertyId(const char* name) {
    // The module uses seven names; equal texts at different addresses only take more slots.
    // Documents may be worked on by several threads at once (one document each), so the table
    // is locked; the lookup is a few pointer comparisons.
    struct Slot {
        const char* name;
        HostModel::PropertyNameId id;
    };
    constexpr std::size_t kSlots = 16;
    static Slot slots[kSlots];
    static std::size_t used = 0;
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    for (std::size_t i = 0; i < used; ++i) {
        if (slots[i].name == name) return slots[i].id;
    }
    const HostModel::PropertyNameId id = HostModel::PropertyNames::Intern(name);
    if (used < kSlots) slots[used++] = Slot{name, id};
    return id;
}

}  // namespace Voltra
