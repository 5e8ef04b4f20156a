// Interned ids of the module's property names, so per-atom writes skip building and hashing names.
#pragma once

#include "HostModel/PropertyStore.h"

namespace Voltra {

/// The host's interned id of name. name must be a text that lives as long as the program (the
/// templates' name accessors and the vocabulary constants): ids are remembered by its address.
HostModel::PropertyNameId PropertyId(const char* name);

}  // namespace Voltra
