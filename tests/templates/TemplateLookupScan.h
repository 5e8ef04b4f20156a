// The template lookup as a plain first-match scan over the entries, without an index: the
// tests' oracle for the indexed lookup.
#pragma once

#include "templates/Template.h"

#include <string>

namespace Voltra {

/// Same contract as Template::Lookup; kept as the reference that the indexed lookup must agree with.
std::string LookupByScan(const Template& t, const HostModel::Atom& atom, float& value);

}  // namespace Voltra
