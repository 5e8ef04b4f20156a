// Value equality of template entries (all five fields, the value compared exactly).
#include "templates/TemplateEntry.h"

namespace Voltra {

bool operator==(const TemplateEntry& a, const TemplateEntry& b) {
    return a.atomName == b.atomName && a.value == b.value && a.residueName == b.residueName &&
           a.residueNumber == b.residueNumber && a.chain == b.chain;
}

}  // namespace Voltra
