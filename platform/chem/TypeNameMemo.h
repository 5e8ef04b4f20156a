// What a walk over a molecule's residues works out from a residue type name alone, worked out
// once per name: a structure has a few dozen type names over a million atoms.
#pragma once

#include "chem/PackedName.h"

#include <deque>
#include <string>
#include <utility>

namespace HostChem {

template <class Value>
class TypeNameMemo {
public:
    /// make(name)'s value for name, made on the first call for that name. The reference stays
    /// valid while the memo lives, except for a name too long to pack, whose value is made anew
    /// each call and held until the next one.
    template <class Make>
    const Value& Get(const std::string& name, Make&& make) {
        const PackedName key = PackName(name);
        if (key == kUnpackedName) {
            unpacked_ = make(name);
            return unpacked_;
        }
        for (const auto& [known, value] : values_)
            if (known == key) return value;
        values_.emplace_back(key, make(name));
        return values_.back().second;
    }

private:
    std::deque<std::pair<PackedName, Value>> values_;
    Value unpacked_{};
};

}  // namespace HostChem
