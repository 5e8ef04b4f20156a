// Interned ids of the module's property names, so per-atom writes skip building and hashing names.
#pragma once

#include "HostModel/PropertyStore.h"

#include <string>
#include <string_view>

namespace Voltra {

/// The host's interned id of name. name must be a text that lives as long as the program (the
/// templates' name accessors and the vocabulary constants): ids are remembered by its address.
HostModel::PropertyNameId PropertyId(const char* name);

/// A Source property's text, without a copy where it is a pooled text; one written as a number
/// reads as its rendering (kept in scratch), an absent one as empty.
inline std::string_view SourceTextOf(const HostModel::PropertyStore& properties, HostModel::PropertyNameId name,
                                     std::string& scratch) {
    if (const std::string* text = properties.GetText(name)) return *text;
    scratch = properties.GetAsString(name);
    return scratch;
}

}  // namespace Voltra
